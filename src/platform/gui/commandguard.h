#pragma once
// A command chosen by the user runs through RunGuarded: a file or number error abandons the
// command and is shown in a message box (see TellProblem), and the program goes on.
#include <functional>

class QWidget;

void RunGuarded(QWidget *owner, const std::function<void()> &command);
