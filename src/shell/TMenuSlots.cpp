#include "shell/TMenuSlots.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <algorithm>
#include <stdexcept>

TMenuSlots::TMenuSlots(QWidget *window, const std::vector<ST_MenuSlotPlan> &plan, QObject *parent)
    : QObject(parent)
{
    for (const ST_MenuSlotPlan &entry : plan)
        Declare(window, entry);
}

void TMenuSlots::Declare(QWidget *window, const ST_MenuSlotPlan &plan)
{
    auto *container = window->findChild<QWidget *>(QString::fromLatin1(plan.Container));
    if (container == nullptr)
        throw std::logic_error(std::string("no menu or tool bar ") + plan.Container);
    QAction *before = nullptr;
    if (plan.At != ST_MenuSlotPlan::End) {
        const QList<QAction *> actions = container->actions();
        const auto anchor = std::find_if(actions.begin(), actions.end(), [&plan](const QAction *action) {
            return action->objectName() == QLatin1String(plan.Anchor);
        });
        if (anchor == actions.end())
            throw std::logic_error(std::string("no item ") + plan.Anchor + " for menu slot " + plan.Name);
        before =
            plan.At == ST_MenuSlotPlan::Before ? *anchor : actions.value(int(anchor - actions.begin()) + 1);
    }
    ST_Slot &slot = m_slots[QString::fromLatin1(plan.Name)];
    slot.Container = container;
    if (plan.Separator) {
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
    for (size_t i = 0; i < plan.Items.size(); ++i)
        m_places[QString::fromLatin1(plan.Items[i])] = {&slot, static_cast<int>(i)};
}

const TMenuSlots::ST_Place &TMenuSlots::Find(const QString &name) const
{
    const auto found = m_places.find(name);
    if (found == m_places.end())
        throw std::logic_error("no menu place for " + name.toStdString());
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

void TMenuSlots::Add(QAction *action)
{
    const ST_Place &place = Find(action->objectName());
    place.Slot->Container->insertAction(Before(*place.Slot, place.Rank), action);
    Note(*place.Slot, place.Rank, action);
}

QAction *TMenuSlots::AddNew(QObject *owner, const char *name, const QString &text, bool checkable)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    Add(action);
    return action;
}

// The menu's action may carry a name of its own; the plan knows the menu's.
QAction *TMenuSlots::AddMenu(QMenu *menu)
{
    const ST_Place &place = Find(menu->objectName());
    place.Slot->Container->insertAction(Before(*place.Slot, place.Rank), menu->menuAction());
    Note(*place.Slot, place.Rank, menu->menuAction());
    return menu->menuAction();
}

QAction *TMenuSlots::AddWidget(QWidget *widget)
{
    const ST_Place &place = Find(widget->objectName());
    auto *bar = qobject_cast<QToolBar *>(place.Slot->Container);
    if (bar == nullptr)
        throw std::logic_error("widgets go on tool bar slots only");
    // The bar makes the action that stands for the widget.
    QAction *action = bar->insertWidget(Before(*place.Slot, place.Rank), widget);
    Note(*place.Slot, place.Rank, action);
    return action;
}
