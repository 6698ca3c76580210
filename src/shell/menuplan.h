#pragma once
// One slot of the menus or the tool bar that features fill (TMenuSlots). The window's plan
// (mainwindow/windowplan.cpp) lists them and hands them to the slots, so what stands where is
// said in one place, above the features.
#include <vector>

struct ST_MenuSlotPlan
{
    // Where the slot starts in its container, by the name of one of the shell's own items there.
    enum EAt { End, After, Before };
    const char *Name;
    const char *Container; // the object name of a QMenu or a QToolBar
    EAt At;
    const char *Anchor; // the item the slot follows or precedes; none at the end
    // Shown above the slot's items once it holds one.
    bool Separator;
    std::vector<const char *> Items; // object names, in their order: of an action, a submenu, a widget
};
