#include "mainwindow/features/THelpCommands.h"
#include "help/gui/TfrmAbout.h"
#include "help/gui/helpcontent.h"

#include <QAction>
#include <QWidget>

THelpCommands::THelpCommands(QWidget *window, QAction *about, QAction *content) : QObject(window)
{
    connect(about, &QAction::triggered, this, [window] {
        TfrmAbout box(window);
        box.exec();
    });
    connect(content, &QAction::triggered, this,
            [window] { ShowHelpPage(window, QStringLiteral("contents.html")); });
    InstallHelpKey();
}
