#pragma once
// View > Console Settings: what Enter and Backspace send, how much the console keeps, whether it
// echoes typed keys itself, and the pauses that pace a paste for devices without flow control.
#include "console/consolekeys.h"

#include <QDialog>
#include <cstddef>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSettings;
class QSpinBox;

struct ST_ConsoleSettings
{
    ST_ConsoleKeySettings Keys;
    size_t ScrollbackLines = 10'000;
    bool LocalEcho = false;
    int PasteCharMs = 0;
    int PasteLineMs = 0;
    // A shell speaks UTF-8 whatever the log's text encoding; Latin-1 only when asked for.
    bool Latin1 = false;
};

// Values "ConsoleEnter", "ConsoleBackspace", "ConsoleScrollback", "ConsoleLocalEcho",
// "ConsolePasteCharMs", "ConsolePasteLineMs" and "ConsoleLatin1"; a store without them reads as
// the defaults.
void SaveConsoleSettings(QSettings &settings, const ST_ConsoleSettings &console);
ST_ConsoleSettings LoadConsoleSettings(const QSettings &settings);

class TfrmConsoleSettings : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmConsoleSettings(QWidget *owner);

    ST_ConsoleSettings Settings() const;
    void SetSettings(const ST_ConsoleSettings &console);
    // Shows the dialog with `console`; on OK, `console` takes the new values and true is returned.
    static bool Ask(QWidget *owner, ST_ConsoleSettings &console);

private:
    QComboBox *cboConsoleEnter;
    QComboBox *cboConsoleBackspace;
    QSpinBox *spnConsoleScrollback;
    QCheckBox *chkConsoleLocalEcho;
    QSpinBox *spnConsolePasteChar;
    QSpinBox *spnConsolePasteLine;
    QComboBox *cboConsoleEncoding;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
