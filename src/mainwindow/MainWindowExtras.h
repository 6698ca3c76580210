#pragma once
// What the main window keeps for its everyday tools, beside the controls its layout builds.
#include "data/checksum.h"
#include "data/commdata.h"
#include "link/linksetting.h"
#include "senddata/sendhistory.h"

#include <QString>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TStatusPanel;
class QToolButton;

// Line endings offered for instant sends in STRING format, in the order of cboLineEnding.
enum : int { LINE_END_NONE = 0, LINE_END_CR = 1, LINE_END_LF = 2, LINE_END_CRLF = 3 };

struct TfrmMainExtras
{
    TfrmMainExtras();
    ~TfrmMainExtras();

    QComboBox *cboLineEnding = nullptr;
    QAction *mnuOpReconnect = nullptr;

    // The shared history, with this window's own place in a recall.
    CSendHistory history;

    // What the session awaits of a lost port is shown with why it was lost and, once a device
    // that is back would not open, what the last try said; the timer makes the tries.
    QString lostReason;
    QString returnError;
    QTimer reconnectTimer;
};
