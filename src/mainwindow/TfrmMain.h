#pragma once
// The main window shows one port session (CPortSession, session/portsession.h): the session
// owns the device, its listener, the sender, the counters, automatic sending and what is awaited
// of a lost port. The window is the shell its features plug into (features/, one class each; see
// docs/architecture.md): it builds the layout, hands each feature the parts it works with, writes
// down the order a received block takes through them, and keeps the settings in their order.
#include "autosend/sendtarget.h"
#include "autosend/sharedstate.h"
#include "data/commdata.h"
#include "data/symboltable.h"
#include "link/linksetting.h"
#include "session/portsession.h"
#include "shell/TfrmMainUi.h"

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;
class TCaptureCommands;
class TFeatureList;
class TFeatureServices;
class TConsoleCommands;
class TfrmRecDataList;
class TInstantSend;
class TLogViewCommands;
class TMenuSlots;
class TModemLines;
class TMonitorCommands;
class TPlotCommands;
class TPortCommands;
class TReceiveCounters;
class TReconnect;
class TRecvChecksum;
class TSendListPanel;
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

    // ---- What makes this window one of several ----
    int Number() const { return m_number; }
    // The first window keeps the files and settings it always had; window n >= 2 has its rules in
    // "Default-n.ass", its received list in "TempRec-n.tmp" and its settings in group "Windown".
    std::string RuleFilePath() const;
    std::string RecDataFilePath() const;
    QString SettingsGroup() const;
    TfrmRecDataList *RecDataList() const { return m_recDataList; }

    // The settings kept between runs. False when a value of the window's own was missing or not a
    // number: it kept its value and the rest were still read.
    bool LoadSettings();
    // Throws EFCreateError when the settings cannot be written.
    void SaveSettings();

    // Sending. SendItem may be called from any thread.
    void SendItem(const CCommData &item) override;
    bool IsPortOpen() const { return m_session && m_session->IsOpen(); }

    // The session behind the window: its counters, automatic sending, the port's events.
    CPortSession &Session() { return *m_session; }
    const CPortSession &Session() const { return *m_session; }

    // Received blocks go to this window's list; without one they are kept in RecDataHeld().
    void SetRecDataList(TfrmRecDataList *list);
    const std::vector<CCommData> &RecDataHeld() const { return m_recHeld; }

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Start-up: the lists, the settings kept between runs, the panels as a closed port has them.
    void InitSession();
    // Every feature brings its commands' states up to date; none corrects another's.
    void UpdateControls();
    // A share of the screen, the log the larger part of it, centred.
    void PlaceFirstTime();
    void MakeFeatures();
    void BuildReceivePipeline();
    void ConnectStore();
    void ShowSymbols();
    void AddRecData(CCommData item);
    void ShowTitle(const COM_PORT_SETTING &link);
    void ShowMessage(const QString &text);
    // Modem-line changes move the lamps; line errors and held reads are counted and noted.
    void SessionEvent(uint32_t eventWord, bool loss);

    TfrmMainUi ui;
    int m_number = 1;
    std::shared_ptr<TSharedStore> m_store;
    // The first window on the store loads the shared lists; the others show what it loaded.
    bool m_loadsShared = true;

    // Made before the session, which tells it what happens, and gone after it.
    TSessionBridge *m_bridge = nullptr;
    TMenuSlots *m_slots = nullptr;
    TFeatureList *m_features = nullptr;
    TFeatureServices *m_services = nullptr;
    std::unique_ptr<TStatusArea> m_status;
    std::unique_ptr<CPortSession> m_session;

    // The features, children of the window.
    TPortCommands *m_port = nullptr;
    TReconnect *m_reconnect = nullptr;
    TMonitorCommands *m_monitor = nullptr;
    TInstantSend *m_instantSend = nullptr;
    TSendListPanel *m_sendList = nullptr;
    TModemLines *m_modemLines = nullptr;
    TRecvChecksum *m_recvChecksum = nullptr;
    TPlotCommands *m_plot = nullptr;
    TReceiveCounters *m_counters = nullptr;
    TLogViewCommands *m_logView = nullptr;
    TConsoleCommands *m_console = nullptr;
    // Deleted by the window before the log it watches.
    TCaptureCommands *m_capture = nullptr;

    TfrmRecDataList *m_recDataList = nullptr;
    std::vector<CCommData> m_recHeld;
};
