#include "mainwindow/features/TWindowCommands.h"
#include "autosend/gui/TfrmAutoSendSetting.h"
#include "platform/gui/commandguard.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>

TWindowCommands::TWindowCommands(QWidget *window, const ST_Controls &controls, std::string ruleFile,
                                 std::function<TfrmRecDataList *()> recDataList)
    : QObject(window)
{
    // Open at any time, also while auto send runs; what is saved applies from the next start.
    connect(controls.mnuSettingAutoSend, &QAction::triggered, this, [window, ruleFile = std::move(ruleFile)] {
        RunGuarded(window, [window, &ruleFile] {
            TfrmAutoSendSetting dialog(window, ruleFile);
            dialog.exec();
        });
    });
    connect(controls.mnuSettingRecDataList, &QAction::triggered, this,
            [recDataList = std::move(recDataList)] {
                if (TfrmRecDataList *list = recDataList())
                    list->exec();
            });
}
