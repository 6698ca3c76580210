#pragma once
// The main window shows one port session (CPortSession, session/portsession.h): the session
// owns the device, its listener, the sender, the counters, automatic sending and what is awaited
// of a lost port; the window owns the widgets, the log, the send list, the symbol table and the
// received list, tells the session what the user asks for and shows what it reports. Its work is
// split over several files by concern: the layout (MainWindowUi), the log's calls
// (MainWindowView), sending (MainWindowSend), the port, the status bar and the receive path
// (MainWindowPort), automatic sending (MainWindowAutoSend), the modem lines (MainWindowLines), a
// lost port (MainWindowReconnect) and the settings kept between runs (MainWindowSettings).
#include "autosend/sendtarget.h"
#include "autosend/sharedstate.h"
#include "data/checksum.h"
#include "data/commdata.h"
#include "data/gui/shownbytes.h"
#include "data/symboltable.h"
#include "link/linksetting.h"
#include "mainwindow/TfrmMainUi.h"
#include "session/portsession.h"
#include "session/receivepipeline.h"

#include <QMainWindow>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CAutoSendEngine;
class QSettings;
struct TfrmMainExtras;
class QTimer;
class TAutoSendCommands;
class TCaptureCommands;
class TfrmRecDataList;
class TLogViewCommands;
class TMenuSlots;
class TModemLines;
class TMonitorRun;
class TPlotCommands;
class TRecvChecksum;
class TSendChecksum;
class TSendFileCommands;
class TSessionBridge;
class TSharedStore;
class TStatusArea;

class TfrmMain : public QMainWindow, public ISendTarget
{
    Q_OBJECT
public:
    // The first window, with send list, symbols and history of its own.
    explicit TfrmMain(QWidget *parent = nullptr);
    // Window `number` (1 is the first), sharing the lists in `store` with the other windows of the
    // process; a null store makes one of its own.
    TfrmMain(int number, std::shared_ptr<TSharedStore> store, QWidget *parent = nullptr);
    // Stops auto send and waits for its threads, saves the settings, then releases the session,
    // which closes an open port.
    ~TfrmMain() override;

    // No content, however long a port's path, asks for more than the screen has room for.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    const TfrmMainUi &Ui() const { return ui; }

    // ---- What makes this window one of several (MainWindowWindows.cpp) ----
    int Number() const { return m_number; }
    // The first window keeps the files and settings it always had; window n >= 2 has its rules in
    // "Default-n.ass", its received list in "TempRec-n.tmp" and its settings in group "Windown".
    std::string RuleFilePath() const;
    std::string RecDataFilePath() const;
    QString SettingsGroup() const;
    TfrmRecDataList *RecDataList() const { return m_recDataList; }

    // Start-up and the settings kept between runs.
    void InitSession();
    // False when a value was missing or not a number; the values before it are taken over.
    bool LoadSettings();
    // Throws EFCreateError when the settings cannot be written.
    void SaveSettings();

    // The traffic log and its view commands.
    void UpdateViewState();
    void LogRecData(const CCommData &item, int64_t ageMs = 0);
    void LogSendData(const CCommData &item);
    int CurDisplayType() const;
    bool ShowTime() const;
    bool ShowSendData() const;
    const CSymbolTable &Symbols() const;
    void ReloadSymbols();

    // Sending. SendItem may be called from any thread.
    void SendItem(const CCommData &item) override;
    CCommData GetInstantItem() const;
    void SetInstantItem(const CCommData &item);
    bool LoadSendList(const std::string &path);
    void AddSendListItem(const CCommData &item);
    const std::vector<CCommData> &SendListItems() const;
    int CurrentType() const { return m_currentType; }

    // The port and the receive path. `device`, when given, is opened for the link's port: a lost
    // port's device found again under another name; the link keeps its own.
    void OpenLink(const COM_PORT_SETTING &link, const std::string &device = std::string());
    void ClosePort();
    bool IsPortOpen() const;
    void ShowLinkStatus(const COM_PORT_SETTING &link);
    void UpdateControls();
    // The port's event word: event bits low, line error bits high; `errorCounts` are the
    // driver's counts behind the error bits.
    void OnComEvent(uint32_t wParam, const ST_LineCounters &errorCounts = {});
    void OnRecBlock(CReceivedBlock &block);
    // Bytes counted and logged as sent that the close dropped from the driver's queue come off
    // the Send counter, with a note in the log.
    void TakeBackUnsent(uint32_t bytes);
    const std::optional<COM_PORT_SETTING> &LastLink() const { return m_lastLink; }

    int64_t RecBytes() const { return m_session->RecBytes(); }
    int64_t RecBlocks() const { return m_session->RecBlocks(); }
    int64_t SendBytes() const { return m_session->SendBytes(); }
    int64_t SendBlocks() const { return m_session->SendBlocks(); }

    CPortSession &Session() { return *m_session; }
    CAutoSendShared &AutoSend() { return m_session->AutoSend(); }
    const CAutoSendEngine &AutoSendEngine() const { return m_session->AutoSendEngine(); }
    // Every send handed in has been written (or failed or was cancelled) and logged and counted.
    bool SendsSettled() const { return m_session->SendsSettled(); }

    // Received blocks go to this window's list; without one they are kept in RecDataHeld().
    void SetRecDataList(TfrmRecDataList *list);
    void AddRecData(CCommData item);
    const std::vector<CCommData> &RecDataHeld() const { return m_recHeld; }

    // ---- Everyday tools: line ending, send history, modem lines,
    // reconnect (MainWindowExtras.cpp, MainWindowHistory.cpp, MainWindowLines.cpp,
    // MainWindowReconnect.cpp) ----
    // Where the stable names of serial devices are looked up when a lost port is watched for.
    void SetByIdFolder(const std::string &folder);
    // Loss and return marker lines are written in a colour of their own.
    void NotePortLost(long code);
    // A lost port is waited for (Reconnect Automatically): Close Port stays enabled to end it.
    bool WaitingForPort() const;
    TfrmMainExtras &Extras() const { return *m_extras; }

    // The window's features and the parts they plug into.
    TModemLines &ModemLines() const { return *m_modemLines; }
    TLogViewCommands &LogView() const { return *m_logView; }
    TCaptureCommands &CaptureCommands() const { return *m_capture; }
    TMenuSlots &MenuSlots() const { return *m_slots; }

    // ---- Two ports in one log (MainWindowMonitor.cpp): while the monitor runs, the window's own
    // port stays closed and Close Port stops the monitor ----
    bool MonitorRunning() const;
    // Logs what the monitor's threads still had on the way, then removes the virtual port.
    void StopMonitor();

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Window n >= 2 starts from the first window's rules until it saves its own.
    void PrepareRuleFile();
    void ConnectStore();
    void FillSendList();
    void AppendSendListRow(const CCommData &item);
    void ShowSymbols();
    void ShowTitle(const COM_PORT_SETTING &link);

    // A share of the screen, the log the larger part of it, centred.
    void PlaceFirstTime();
    void ConnectCommands();
    void ConnectSendCommands();
    void ConnectPortCommands();
    void ConnectOtherCommands();

    // Sending.
    void btnSendClick();
    void btnEditClick();
    void cboFormatChange(int format);
    bool RefuseUnparsedInstantText();
    void SendCurrent();
    void btnGoClick();
    void mnuCopyToInputClick();
    void mnuSettingSendSettingClick();
    void lsvSendDataChange();
    int SelectedRow() const;
    void ReportSendFault(const ST_SendReport &report);
    void ShowSendNote(const QString &note);
    void NoteAutoSendFault(const QString &what);

    // Port.
    void btnLinkListClick();
    void btnQuickLinkClick();
    void btnClosePortClick();
    void ShowMessage(const QString &text);
    void ShowSendCount();

    // What the session reports, through the bridge.
    void MakeFeatures();
    void BuildReceivePipeline();
    void DeclareMenuSlots();
    void SessionEvent(uint32_t eventWord, bool loss);
    void SessionSendWaiting();
    void SessionSendDone(const ST_SendReport &report);
    void SessionPortLost(long code, uint32_t unsent);
    void SessionOpened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                       const std::string &message);

    TfrmMainUi ui;
    int m_number = 1;
    std::shared_ptr<TSharedStore> m_store;
    // The first window on the store loads the shared lists; the others show what it loaded.
    bool m_loadsShared = true;

    // Made before the session, which tells it what happens, and gone after it.
    TSessionBridge *m_bridge = nullptr;
    TMenuSlots *m_slots = nullptr;
    std::unique_ptr<TStatusArea> m_status;
    std::unique_ptr<CPortSession> m_session;
    TAutoSendCommands *m_autoSend = nullptr;
    TModemLines *m_modemLines = nullptr;
    TSendFileCommands *m_sendFile = nullptr;
    TRecvChecksum *m_recvChecksum = nullptr;
    TPlotCommands *m_plot = nullptr;
    TSendChecksum *m_sendChecksum = nullptr;
    TLogViewCommands *m_logView = nullptr;
    TCaptureCommands *m_capture = nullptr;

    uint8_t m_currentType = FMT_STRING;
    std::optional<COM_PORT_SETTING> m_lastLink;
    CCommData m_instantSymbolItem;
    // What SetInstantItem showed last: until the user changes the text it reads back as these
    // bytes, which a round trip through the edit's text would not always give (a 0x00, a CR).
    CCommData m_shownInstant;
    // The String form's text and the bytes behind it: an edit changes only the bytes typed over.
    CShownBytes m_shownInstantText;

    TfrmRecDataList *m_recDataList = nullptr;
    std::vector<CCommData> m_recHeld;

    // Everyday tools.
    void ConnectEverydayCommands();
    void LoadEverydaySettings(const QSettings &settings);
    void SaveEverydaySettings(QSettings &settings);
    void SendInstantItem();
    bool RecallHistory(bool older);
    // `typed` with the checksum of its bytes and the line ending, in the order chosen.
    Bytes FinishInstantBytes(const CCommData &typed) const;
    // Closes the device (queued sends are dropped, the one being written is woken) and takes
    // back what the driver dropped unsent.
    void CloseDevice();
    void PortClosed(uint32_t unsent);
    void ShowUnsent(uint32_t bytes);
    void ReconnectTick();
    // After a reopen in the background: a note when the port is back, else the next try.
    void ReconnectTried(const COM_PORT_SETTING &link, const std::string &device);
    void FinishOpen(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                    const std::string &message);
    void ShowReconnectWait();
    void EndReconnectWait();
    bool m_quietMessages = false; // a reopen in the background has nobody to tell
    bool m_retryNextOpen = false; // OpenLink is called for a reopen in the background
    bool m_reconnectTry = false;  // the network link being connected is a reopen in the background
    QString m_heldMessage;        // what the quiet messages would have said, one a line
    std::unique_ptr<TfrmMainExtras> m_extras;

    // A failing auto send is reported once, until one of its sends gets through or a port opens.
    bool m_autoFaultNoted = false;
    // A failing manual send is told in one box for all that fail before the queue runs empty.
    bool m_manualFaultNoted = false;

    // The received counters wait in m_counterTimer until they are shown.
    void ScheduleRecCount();
    void ShowRecCount();
    QTimer *m_counterTimer = nullptr;
    bool m_recCountShown = true;
    // While the log is on screen, the blocks of a stream come to the window once a frame.
    void PaceBlocks();
    QTimer *m_blockTick = nullptr;

    // The two-port monitor.
    void mnuOpMonitorClick();
    void UpdateMonitorControls();
    void ShowMonitorStatus();
    TMonitorRun *m_monitorRun = nullptr; // a child object while the monitor runs

    // Line errors and held reads: counted with the other counters, noted in the log once per burst.
    void ShowInboundLoss();
    void ScheduleLossNote();
    QTimer *m_lossNoteTimer = nullptr;
    int64_t m_lossBurstStartMs = 0;
};
