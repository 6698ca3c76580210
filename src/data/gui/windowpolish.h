#pragma once
// What every window gets once it is shown, so controls added later are covered without a line of
// their own: each control that has no name for assistive tools takes one from its tool tip, its
// buddy label or the label just before it in its layout; list columns whose header text would be
// cut grow to show it.
class QWidget;

void PolishWindow(QWidget *window);

// Runs PolishWindow on every window and dialog of the application as it is shown. Installed once.
void InstallWindowPolish();
