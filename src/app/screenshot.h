#pragma once
// The "--screenshot" tool option: renders the main window or one of its dialogs, as the working
// files and settings make it look, into a picture; the manual's and the README's pictures are made
// this way, without a display.
#include <QString>

class TfrmMain;

// Saves the picture of `which` to `path`; 0 when it was written, 1 otherwise (also for an
// unknown name).
int SaveScreenshot(TfrmMain &window, const QString &path, const QString &which);
