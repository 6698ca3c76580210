#pragma once
// A frame around the control that has the keyboard, for the controls whose style shows none: flat
// tool buttons, and views that draw their own contents (the log, the console, lists, text edits).
// Like the style's own focus marks it shows once the keyboard moved the focus, not after a click.
class QWidget;

// Follows the focus in every window of the application. Installed once.
void InstallFocusFrames();
// Whether `widget` gets the frame when it has the focus.
bool TakesFocusFrame(const QWidget *widget);
