// The Edit menu's windows and the Help menu.
#include "autosend/gui/TfrmAutoSendSetting.h"
#include "help/gui/TfrmAbout.h"
#include "help/gui/helpcontent.h"
#include "mainwindow/TfrmMain.h"
#include "platform/gui/commandguard.h"
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
