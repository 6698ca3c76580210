#include "mainwindow/features/TSendMenus.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>

TSendMenus::TSendMenus(QWidget *window, TMenuSlots &menus, QComboBox *format, QComboBox *lineEnding)
    : QObject(window)
{
    Mirror(window, menus, "mnuOpLineEnding", tr("Line &Ending"), lineEnding,
           {{"mnuOpLineEndingNone", tr("&None")},
            {"mnuOpLineEndingCR", tr("&CR")},
            {"mnuOpLineEndingLF", tr("&LF")},
            {"mnuOpLineEndingCRLF", tr("CR L&F")}});
    Mirror(window, menus, "mnuOpSendFormat", tr("Send &Format"), format,
           {{"mnuOpSendFormatString", tr("&String")},
            {"mnuOpSendFormatHex", tr("&Hex")},
            {"mnuOpSendFormatDecimal", tr("&Decimal")},
            {"mnuOpSendFormatStringSymbol", tr("String and S&ymbol")}});
}

// A choice from the menu is made in the list, as if there: the list may refuse it (typed Hex that
// does not parse keeps its format), and the menu shows what the list holds.
QMenu *TSendMenus::Mirror(QWidget *window, TMenuSlots &menus, const char *name, const QString &title,
                          QComboBox *list, const std::initializer_list<ST_Item> &items)
{
    auto *menu = new QMenu(title, window);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    auto *group = new QActionGroup(menu);
    int index = 0;
    for (const ST_Item &item : items) {
        QAction *action = menu->addAction(item.Text);
        action->setObjectName(QString::fromLatin1(item.Name));
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, list, [list, index] { list->setCurrentIndex(index); });
        ++index;
    }
    const auto show = [group, list] {
        const QList<QAction *> actions = group->actions();
        if (QAction *chosen = actions.value(list->currentIndex()))
            chosen->setChecked(true);
        else if (QAction *checked = group->checkedAction())
            checked->setChecked(false);
    };
    connect(list, &QComboBox::currentIndexChanged, menu, show);
    // The format is also set where its list keeps quiet (an item recalled or loaded).
    connect(menu, &QMenu::aboutToShow, menu, show);
    for (QAction *action : group->actions())
        connect(action, &QAction::triggered, menu, show);
    show();
    menus.AddMenu(menu);
    return menu;
}
