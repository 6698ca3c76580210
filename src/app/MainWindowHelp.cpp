// The Edit menu's list windows and the Help menu.
#include "app/HelpContent.h"
#include "app/MainWindow.h"
#include "app/TfrmAbout.h"
#include "platform/appfolder.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>
#include <QDesktopServices>

void TfrmMain::ConnectOtherCommands()
{
    connect(ui.mnuSettingRecDataList, &QAction::triggered, this, [this] {
        if (m_recDataList)
            m_recDataList->exec();
    });
    connect(ui.mnuHelpAbout, &QAction::triggered, this, [this] {
        TfrmAbout about(this);
        about.exec();
    });
    connect(ui.mnuHelpContent, &QAction::triggered, this, [this] {
        ShowHelpContent(this, ExecutablePath(),
                        [](const QUrl &url) { return QDesktopServices::openUrl(url); });
    });
}
