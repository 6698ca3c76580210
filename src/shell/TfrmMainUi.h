#pragma once
// The controls of the main window, built once by BuildMainWindowUi. Each carries its own name as
// objectName so the window's commands and the tests find them the same way.
#include <QString>

class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QWidget;
class TTrafficLog;

constexpr int kStatusPanelCount = 8;
// Between the send counters and a note about the last send in their panel.
constexpr char kStatusNoteSeparator[] = "  - ";

struct TfrmMainUi
{
    // Toolbar speed buttons, left to right.
    QToolButton *btnSave = nullptr, *btnCopy = nullptr, *btnClear = nullptr, *btnShowSendData = nullptr,
                *btnShowTime = nullptr, *btnText = nullptr, *btnHex = nullptr, *btnDecimal = nullptr,
                *btnTextSymbol = nullptr, *btnLinkList = nullptr, *btnClosePort = nullptr,
                *btnQuickLink = nullptr, *btnStartAutoSend = nullptr, *btnPauseAutoSend = nullptr,
                *btnStopAutoSend = nullptr, *btnGo = nullptr;

    // The log, or the console in its place.
    QStackedWidget *stkLogPlace = nullptr;
    TTrafficLog *edData = nullptr;
    QSplitter *splitter = nullptr;
    QTreeWidget *lsvSendData = nullptr;
    QTextEdit *edSendItem = nullptr;
    QPushButton *btnSend = nullptr, *btnEdit = nullptr;
    QComboBox *cboFormat = nullptr;
    QStatusBar *stbComStatus = nullptr;
    QLabel *panels[kStatusPanelCount] = {};
    // Between the two counters; hidden until a line error or a held read is counted.
    QLabel *lblInboundLoss = nullptr;

    // Main menu.
    QMenu *mnuFile = nullptr, *mnuView = nullptr, *mnuSetting = nullptr, *mnuOperate = nullptr,
          *mnuHelp = nullptr;
    QAction *mnuFileNew = nullptr, *mnuFileOpen = nullptr, *mnuFileSave = nullptr, *mnuFileSaveAs = nullptr,
            *mnuFileExport = nullptr, *mnuFileImport = nullptr, *mnuFileExit = nullptr;
    QAction *mnuViewShowTime = nullptr, *mnuViewShowSendData = nullptr, *mnuViewText = nullptr,
            *mnuViewHex = nullptr, *mnuViewDecimal = nullptr, *mnuViewTextSymbol = nullptr,
            *mnuViewAsciiTable = nullptr, *mnuViewClearDisplay = nullptr, *mnuCopytoClipboard = nullptr;
    QAction *mnuSettingAutoSend = nullptr, *mnuSettingSendSetting = nullptr, *mnuSettingRecDataList = nullptr;
    QAction *mnuOpOpenPort = nullptr, *mnuOpClosePort = nullptr, *mnuOpQuickLink = nullptr,
            *mnuOpStartAutoSend = nullptr, *mnuOpStopAutoSend = nullptr, *mnuOpPauseAutoSend = nullptr,
            *mnuOpSendItem = nullptr, *mnuSendAndGoNext = nullptr;
    QAction *mnuOpMonitor = nullptr;
    QAction *mnuHelpAbout = nullptr, *mnuHelpContent = nullptr;

    // Context menu of the log.
    QMenu *popmnuDisplay = nullptr;
    QAction *mnuShowTime = nullptr, *mnuShowSendData = nullptr, *mnuText = nullptr, *mnuHex = nullptr,
            *mnuDecimal = nullptr, *mnuTextSymbol = nullptr, *mnuClearDisplay = nullptr;

    // Context menu of the send-list panel.
    QMenu *popmnuSendData = nullptr;
    QAction *mnuSendItem = nullptr, *mnuSendDataSetting = nullptr, *mnuCopyToInput = nullptr,
            *popmnuSendAndGoNext = nullptr;
};

void BuildMainWindowUi(QMainWindow *window, TfrmMainUi &ui);

// Sizes the status panels to their present texts (a Linux port path is longer than the panel was
// made for); while no port is open, never narrower than the first layout.
void FitStatusPanels(TfrmMainUi &ui, bool open);
// The port's panel, whose path may be longer than any window, takes what the other panels leave.
void FitPortPanel(TfrmMainUi &ui);
