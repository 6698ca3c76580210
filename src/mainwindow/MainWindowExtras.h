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
class TFindBar;
class QMenu;
class TLogCapture;

struct TfrmMainExtras
{
    TfrmMainExtras();
    ~TfrmMainExtras();

    QAction *mnuViewMilliseconds = nullptr, *mnuViewTimeSincePrevious = nullptr, *mnuViewSplitLines = nullptr;
    QMenu *mnuViewEncoding = nullptr, *mnuViewAnsi = nullptr;
    QAction *mnuViewEncodingLatin1 = nullptr, *mnuViewEncodingUtf8 = nullptr;
    QAction *mnuViewAnsiOff = nullptr, *mnuViewAnsiStrip = nullptr, *mnuViewAnsiShow = nullptr;
    QAction *mnuFileCapture = nullptr, *mnuFileStopCapture = nullptr, *mnuEditFind = nullptr;
    TFindBar *findBar = nullptr;
    std::unique_ptr<TLogCapture> capture;

    bool milliseconds = false;
    bool sincePrevious = false;
    int64_t lastLineMs = -1; // steady clock, of the newest logged line
};
