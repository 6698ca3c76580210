#pragma once
// The main window's plan, in one file (windowplan.cpp): the features made from the shell's parts
// alone, and where every feature's commands and status widgets stand. A feature adds an item by
// its object name, and the plan says which menu or tool bar slot it joins and where in it,
// whatever order the features were made in.
#include "mainwindow/featurecontext.h"

#include <vector>

struct ST_PlannedFeature
{
    FeatureMaker Make;
    // Where its values stand in the settings (SettingsPlace); -1: it keeps none.
    int SettingsPlace;
};

// Made in this order, after the features the window keeps for its own functions.
const std::vector<ST_PlannedFeature> &PlannedFeatures();

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
