#include "mainwindow/TMenuSlots.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <algorithm>
#include <stdexcept>

TMenuSlots::TMenuSlots(QObject *parent) : QObject(parent) {}

void TMenuSlots::Declare(const QString &name, QWidget *container, QAction *before, bool separator)
{
    ST_Slot slot;
    slot.Container = container;
    if (separator) {
        slot.Separator = new QAction(container);
        slot.Separator->setSeparator(true);
        slot.Separator->setVisible(false);
        container->insertAction(before, slot.Separator);
    }
    // A separator, so that a tool bar makes no button for it.
    slot.End = new QAction(container);
    slot.End->setSeparator(true);
    slot.End->setVisible(false);
    container->insertAction(before, slot.End);
    m_slots[name] = slot;
}

TMenuSlots::ST_Slot &TMenuSlots::Find(const QString &name)
{
    const auto found = m_slots.find(name);
    if (found == m_slots.end())
        throw std::logic_error("no menu slot " + name.toStdString());
    return found->second;
}

namespace {

using Items = std::vector<std::pair<int, QAction *>>;

Items::iterator After(Items &items, int rank)
{
    return std::find_if(items.begin(), items.end(), [rank](const auto &item) { return item.first > rank; });
}

} // namespace

QAction *TMenuSlots::Before(ST_Slot &slot, int rank)
{
    const auto at = After(slot.Items, rank);
    return at == slot.Items.end() ? slot.End : at->second;
}

void TMenuSlots::Note(ST_Slot &slot, int rank, QAction *action)
{
    slot.Items.insert(After(slot.Items, rank), {rank, action});
    if (slot.Separator)
        slot.Separator->setVisible(true);
}

void TMenuSlots::Add(const QString &name, QAction *action, int rank)
{
    ST_Slot &slot = Find(name);
    slot.Container->insertAction(Before(slot, rank), action);
    Note(slot, rank, action);
}

QAction *TMenuSlots::AddNew(const QString &slot, QObject *owner, const char *name, const QString &text,
                            int rank, bool checkable)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    Add(slot, action, rank);
    return action;
}

QAction *TMenuSlots::AddMenu(const QString &name, QMenu *menu, int rank)
{
    Add(name, menu->menuAction(), rank);
    return menu->menuAction();
}

QAction *TMenuSlots::AddWidget(const QString &name, QWidget *widget, int rank)
{
    ST_Slot &slot = Find(name);
    auto *bar = qobject_cast<QToolBar *>(slot.Container);
    if (bar == nullptr)
        throw std::logic_error("widgets go on tool bar slots only");
    // The bar makes the action that stands for the widget.
    QAction *action = bar->insertWidget(Before(slot, rank), widget);
    Note(slot, rank, action);
    return action;
}
