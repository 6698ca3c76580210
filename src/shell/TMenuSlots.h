#pragma once
// Named places in the window's menus and tool bar where features put their commands. The window's
// plan (ST_MenuSlotPlan) declares the slots and the order of the items in each, by object name; a feature
// adds an item by its name alone, and it stands in its place whatever order the features were
// made in. A slot with a separator shows it only once it holds an item.
#include "shell/menuplan.h"

#include <QObject>
#include <QString>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QWidget;

class TMenuSlots : public QObject
{
    Q_OBJECT
public:
    // Declares the slots of `plan` in the menus and tool bars of `window`; the plan outlives this.
    TMenuSlots(QWidget *window, const std::vector<ST_MenuSlotPlan> &plan, QObject *parent = nullptr);

    // Each of these throws std::logic_error for a name the plan does not place.
    void Add(QAction *action);
    // A new action owned by `owner`, named `name` for the plan, the tests and the screen reader.
    QAction *AddNew(QObject *owner, const char *name, const QString &text, bool checkable = false);
    // A submenu, placed by the menu's name; returns its menu action.
    QAction *AddMenu(QMenu *menu);
    // A widget on a tool bar slot (a tool button); returns the action that stands for it.
    QAction *AddWidget(QWidget *widget);

private:
    struct ST_Slot
    {
        QWidget *Container = nullptr;
        QAction *End = nullptr;       // an invisible mark after the slot's last item
        QAction *Separator = nullptr; // shown once the slot has an item
        std::vector<std::pair<int, QAction *>> Items;
    };
    struct ST_Place
    {
        ST_Slot *Slot = nullptr;
        int Rank = 0;
    };
    void Declare(QWidget *window, const ST_MenuSlotPlan &plan);
    const ST_Place &Find(const QString &name) const;
    // The item an item of `rank` goes before, and the noting of it there.
    static QAction *Before(ST_Slot &slot, int rank);
    static void Note(ST_Slot &slot, int rank, QAction *action);

    std::map<QString, ST_Slot> m_slots;
    std::map<QString, ST_Place> m_places;
};
