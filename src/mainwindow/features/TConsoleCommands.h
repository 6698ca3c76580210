#pragma once
// View > Console: a terminal screen in the log's place, for a device's shell. Keys go to the
// device as they are pressed, through the session's sender, and are counted as sent; the log goes
// on recording underneath, the received blocks as always and the typed keys as sends, one line
// for each line typed rather than one for each key. The terminal's answers to the device's own
// questions (where is the cursor, what terminal is this) go out too, but they are no typed line
// and are not logged.
//
// A typed line is logged once its Enter went out; a line left unfinished is logged when the
// console is left or after kLinePauseMs without a typed key, so that a prompt answered without
// Enter (a boot loader's "any key") still shows in the log. Received blocks wait in the log while
// a line is typed, so that the typed line, stamped when its first key went out, stands before its
// echo and what it caused, and the echo reads as a line rather than one block per key.
#include "console/consolekeys.h"
#include "console/gui/TfrmConsoleSettings.h"
#include "data/commdata.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <vector>

class CPortSession;
class QAction;
class QLabel;
class QMenuBar;
class QSettings;
class QStackedWidget;
class QWidget;
class TConsoleView;
class TFeatureServices;
class TMenuSlots;
class TSessionBridge;
class TStatusArea;
class TTrafficLog;
struct ST_SendReport;

class TConsoleCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLinePauseMs = 3000;

    struct ST_Controls
    {
        QWidget *Window;
        QStackedWidget *Place; // the log's place; the log is its first page
        QMenuBar *MenuBar;
        // The send list and the send box: a shell needs the height, so they step aside while the
        // console is shown.
        std::vector<QWidget *> SendArea;
    };
    TConsoleCommands(const ST_Controls &controls, CPortSession &session, TSessionBridge &events,
                     TMenuSlots &menus, TStatusArea &status, TTrafficLog &log, TFeatureServices &services);

    bool Shown() const;
    // The window closes: the line being typed, and what waits behind it, reach the log and its
    // capture before the log goes.
    void EndRun() { LogTyped(true); }
    // The console widget, made the first time it is shown; null until then.
    TConsoleView *View() const { return m_view; }
    // A receive stage: once made, the console follows the device even while the log is shown, so
    // that it shows the device's screen as it is when it comes back. The emulator reads a flood
    // more slowly than the log stores it: what it has not read within a slice of kSliceMs waits
    // for the next turn of the event loop, so the window never stalls on it (the log, the list
    // and the counters have the block at once meanwhile). Beyond kMaxBacklog the oldest waiting
    // bytes are dropped, as a device that floods a terminal loses them anyway.
    void Feed(const CCommData &block);
    // Received bytes the console has yet to read.
    size_t Backlog() const { return m_backlog.size() - m_backlogAt; }
    static constexpr int kSliceMs = 8;
    static constexpr size_t kMaxBacklog = 64 << 20;

    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    struct ST_Out
    {
        Bytes Data;
        bool Typed = false;
    };

    void Show(bool on);
    void MakeView();
    void Apply();
    void EditSettings();
    void FeedSlice();
    void ToDevice(const std::vector<uint8_t> &bytes, bool typed);
    void SendPending();
    void SendDone(const ST_SendReport &report);
    // Logs the typed lines that are complete, and with `unfinished` the rest too.
    void LogTyped(bool unfinished);

    QWidget *m_window;
    QStackedWidget &m_place;
    QMenuBar *m_menuBar;
    std::vector<QWidget *> m_sendArea;
    std::vector<QWidget *> m_sendAreaHidden; // what the console hid, to be shown again
    CPortSession &m_session;
    TStatusArea &m_status;
    TTrafficLog &m_log;
    TFeatureServices &m_services;
    QAction *m_showItem;
    QLabel *m_hint;
    TConsoleView *m_view = nullptr;
    ST_ConsoleSettings m_settings;
    // Received bytes the console has yet to read, from m_backlogAt on.
    Bytes m_backlog;
    size_t m_backlogAt = 0;
    QTimer m_feedSlices;

    // One send of the console's at a time: keys pressed meanwhile wait here and go out together,
    // so a fast typist or a paste never fills the sender's queue for the other sends.
    std::deque<ST_Out> m_pending;
    size_t m_pendingBytes = 0;
    bool m_inFlight = false;
    // Typed bytes that went out, not yet logged as a line.
    Bytes m_typedLine;
    int64_t m_typedBeganMs = 0; // on the steady clock: when its first byte went out
    int64_t m_lastTypedMs = 0;  // when the latest typed send went out
    QTimer m_linePause;
};
