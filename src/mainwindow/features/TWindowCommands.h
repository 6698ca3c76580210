#pragma once
// The commands that open the window's other windows: the rules and the received list (Edit), the
// manual and About (Help), and File > Exit.
#include <QObject>
#include <functional>
#include <string>

class QAction;
class QWidget;
class TfrmRecDataList;

class TWindowCommands : public QObject
{
    Q_OBJECT
public:
    struct ST_Controls
    {
        QAction *mnuSettingAutoSend, *mnuSettingRecDataList, *mnuHelpAbout, *mnuHelpContent, *mnuFileExit;
    };
    // `ruleFile` is this window's rule file; `recDataList` its received list, when it has one.
    TWindowCommands(QWidget *window, const ST_Controls &controls, std::string ruleFile,
                    std::function<TfrmRecDataList *()> recDataList);
};
