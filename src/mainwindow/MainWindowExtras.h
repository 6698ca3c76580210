#pragma once
// What the main window keeps for its everyday tools, beside the controls its layout builds.
#include "data/checksum.h"
#include "data/commdata.h"
#include "filesend/gui/TfrmSendFile.h"
#include "link/linksetting.h"
#include "recdata/checksumcheck.h"
#include "recdata/gui/TfrmCheckChecksum.h"
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
class TFindBar;
class QMenu;
class TLogCapture;

// Line endings offered for instant sends in STRING format, in the order of cboLineEnding.
enum : int { LINE_END_NONE = 0, LINE_END_CR = 1, LINE_END_LF = 2, LINE_END_CRLF = 3 };
// Where the checksum goes, in the order of cboChecksumPlace.
enum : int { CHECKSUM_AFTER_ENDING = 0, CHECKSUM_BEFORE_ENDING = 1 };

struct TfrmMainExtras
{
    TfrmMainExtras();
    ~TfrmMainExtras();

    QComboBox *cboLineEnding = nullptr;
    // The checksum of the typed bytes added to instant sends; "Custom CRC..." asks for its
    // parameters. Kept in the settings only once the user chose one.
    QComboBox *cboChecksum = nullptr, *cboChecksumPlace = nullptr;
    QAction *mnuAppendChecksum = nullptr;
    std::optional<CChecksum> sendChecksum;
    ST_ChecksumSpec sendChecksumSpec;
    bool sendChecksumKept = false;
    QAction *mnuViewMilliseconds = nullptr, *mnuViewTimeSincePrevious = nullptr, *mnuViewSplitLines = nullptr;
    QMenu *mnuViewEncoding = nullptr, *mnuViewAnsi = nullptr;
    QAction *mnuViewEncodingLatin1 = nullptr, *mnuViewEncodingUtf8 = nullptr;
    QAction *mnuViewAnsiOff = nullptr, *mnuViewAnsiStrip = nullptr, *mnuViewAnsiShow = nullptr;
    QAction *mnuFileCapture = nullptr, *mnuFileStopCapture = nullptr, *mnuEditFind = nullptr;
    QAction *mnuOpDTR = nullptr, *mnuOpRTS = nullptr, *mnuOpSendBreak = nullptr, *mnuOpReconnect = nullptr;
    QToolButton *btnDTR = nullptr, *btnRTS = nullptr, *btnSendBreak = nullptr;
    // CTS, DSR, DCD, RI.
    QLabel *modemLines[4] = {};
    TFindBar *findBar = nullptr;
    std::unique_ptr<TLogCapture> capture;

    // The shared history, with this window's own place in a recall.
    CSendHistory history;

    bool milliseconds = false;
    bool sincePrevious = false;
    int64_t lastLineMs = -1; // steady clock, of the newest logged line

    // Output lines the user chose, per port and kept between runs; a line not chosen keeps what
    // opening gave it.
    struct Lines
    {
        std::optional<bool> dtr;
        std::optional<bool> rts;
    };
    std::map<std::string, Lines> lines;
    std::string openPort; // the port the line controls were last set up for
    bool modemLinesWork = false;
    bool shownDtr = false, shownRts = false; // what the toggles were last set to show
    QTimer *lampTimer = nullptr;             // runs only while a port with modem lines is open

    // What the session awaits of a lost port is shown with why it was lost and, once a device
    // that is back would not open, what the last try said; the timer makes the tries.
    QString lostReason;
    QString returnError;
    QTimer reconnectTimer;

    // Sending a file: the menu item, the progress and its Cancel in the status bar (shown only
    // while a transfer runs) and the dialog's last choices.
    QAction *mnuFileSendFile = nullptr;
    QProgressBar *pbTransfer = nullptr;
    QPushButton *btnCancelTransfer = nullptr;
    ST_SendFileChoice sendFile;

    // Checking received checksums: the choice, and its settings values only once it was made or
    // read; the check exists while it is on, and so does the panel with its counts.
    QAction *mnuViewCheckChecksum = nullptr;
    TStatusPanel *stbChecksumPanel = nullptr;
    ST_RecvChecksumChoice recvChecksum;
    bool recvChecksumChosen = false;
    std::unique_ptr<CChecksumCheck> checksumCheck;
};
