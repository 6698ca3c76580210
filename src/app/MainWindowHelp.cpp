// The Edit menu's windows and the Help menu.
#include "app/CommandGuard.h"
#include "app/HelpContent.h"
#include "app/MainWindow.h"
#include "app/TfrmAbout.h"
#include "autosend/gui/TfrmAutoSendSetting.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>

void TfrmMain::ConnectOtherCommands()
{
    // Open at any time, also while auto send runs; what is saved applies from the next start.
    connect(ui.mnuSettingAutoSend, &QAction::triggered, this, [this] {
        RunGuarded(this, [this] {
            TfrmAutoSendSetting dialog(this, RuleFilePath());
            dialog.exec();
        });
    });
    connect(ui.mnuSettingRecDataList, &QAction::triggered, this, [this] {
        if (m_recDataList)
            m_recDataList->exec();
    });
    connect(ui.mnuHelpAbout, &QAction::triggered, this, [this] {
        TfrmAbout about(this);
        about.exec();
    });
    connect(ui.mnuHelpContent, &QAction::triggered, this,
            [this] { ShowHelpPage(this, QStringLiteral("contents.html")); });
    InstallHelpKey();
}
