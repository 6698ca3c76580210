#pragma once
// The commands that open the window's other windows from the Edit menu: the rules and the received
// list.
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
        QAction *mnuSettingAutoSend, *mnuSettingRecDataList;
    };
    // `ruleFile` is this window's rule file; `recDataList` its received list, when it has one.
    TWindowCommands(QWidget *window, const ST_Controls &controls, std::string ruleFile,
                    std::function<TfrmRecDataList *()> recDataList);
};
