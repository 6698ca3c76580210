#include "mainwindow/features/TFindCommands.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QVBoxLayout>

TFindCommands::TFindCommands(QObject *parent, QWidget *column, TTrafficLog &log, TMenuSlots &menus,
                             TFeatureServices &services)
    : QObject(parent), m_bar(new TFindBar(column, &log))
{
    services.Offer(static_cast<IFindService &>(*this));
    TFindBar *bar = m_bar;
    if (auto *layout = qobject_cast<QVBoxLayout *>(column->layout()))
        layout->insertWidget(0, bar);
    const auto makeAction = [this, &menus](const char *name, const QString &text, const QKeySequence &key) {
        QAction *action = menus.AddNew(this, name, text);
        action->setShortcut(key);
        return action;
    };
    connect(makeAction("mnuEditFind", tr("&Find..."), QKeySequence::Find), &QAction::triggered, bar,
            &TFindBar::Open);
    connect(makeAction("mnuEditFindNext", tr("Find &Next"), Qt::Key_F3), &QAction::triggered, bar,
            &TFindBar::FindNext);
    connect(makeAction("mnuEditFindPrevious", tr("Find Pre&vious"), Qt::SHIFT | Qt::Key_F3),
            &QAction::triggered, bar, &TFindBar::FindPrevious);
}
