#pragma once
// The main window's plan, in one file (windowplan.cpp): the features made from the shell's parts
// alone, and where every feature's commands and status widgets stand. A feature adds an item by
// its object name, and the plan says which menu or tool bar slot it joins and where in it,
// whatever order the features were made in.
#include "mainwindow/featurecontext.h"
#include "shell/menuplan.h"

#include <vector>

struct ST_PlannedFeature
{
    FeatureMaker Make;
    // Where its values stand in the settings (SettingsPlace); -1: it keeps none.
    int SettingsPlace;
};

// Made in this order, after the features the window keeps for its own functions.
const std::vector<ST_PlannedFeature> &PlannedFeatures();

const std::vector<ST_MenuSlotPlan> &MainMenuPlan();

// The object names of the widgets features put at the right end of the status bar, left to right.
const std::vector<const char *> &StatusWidgetPlan();
