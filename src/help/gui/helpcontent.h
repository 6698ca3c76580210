#pragma once
// Where the manual lies and which of its pages belongs to which window. Installed, the pages are in
// share/doc/kestrum beside the program's bin folder, so any install prefix works unchanged; in a
// build tree the source tree's docs/manual stands in.
#include <QString>
#include <string>

class QWidget;

// The folder of the manual for the program at `executable`: "../share/doc/kestrum" from the
// program's folder, else `fallback`; the first that holds an "index.html". Empty when none does.
std::string ManualFolder(const std::string &executable, const std::string &fallback);

// The manual of this process: the one given by OverrideManualFolder, else the one of the running
// program (with the source tree's as fallback).
std::string CurrentManualFolder();
// For tests and tools that bring a manual of their own; the empty text returns to the default.
void OverrideManualFolder(const std::string &folder);

// The page that tells about a window, by its objectName; the first page for the main window and
// any window the manual has no page of its own for.
QString HelpPageFor(const QWidget *window);

// Shows `page` of the manual in the help window (owned by `owner`'s window, so it takes input while
// that window is modal), or says "Help file not found!" when there is no manual.
void ShowHelpPage(QWidget *owner, const QString &page);

// F1 anywhere in the application opens the page of the window in front. Installed once.
void InstallHelpKey();
