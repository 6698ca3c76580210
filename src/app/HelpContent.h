#pragma once
// The help file lies beside the program and has its base name: the executable's path with its
// extension (if any) replaced by ".chm".
#include <QUrl>
#include <functional>
#include <string>

class QWidget;

std::string HelpFilePath(const std::string &executable);

// Opens the help file with `open` (the desktop's default handler), or says "Help file not found!".
void ShowHelpContent(QWidget *owner, const std::string &executable,
                     const std::function<bool(const QUrl &)> &open);
