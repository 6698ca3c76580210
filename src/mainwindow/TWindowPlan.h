#pragma once
// Where the features' commands and status widgets stand in the main window, named in one table
// (TWindowPlan.cpp): a feature adds an item by its object name, and the table says which menu or
// tool bar slot it joins and where in it, whatever order the features were made in.
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

const std::vector<ST_MenuSlotPlan> &MainMenuPlan();

// The object names of the widgets features put at the right end of the status bar, left to right.
const std::vector<const char *> &StatusWidgetPlan();
