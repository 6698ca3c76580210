#pragma once
// Scripts in the window: Operate > Run Script... runs a Lua file on a thread of its own against the
// open port while the log, the console, capture and the rules go on; Stop Script ends it. The
// script's notes and outcome go to the log; the last ten scripts are offered again.
//
// The script's thread never touches the window: what it needs of the port's owner (a send, the
// modem lines, a file transfer) is delivered to the GUI thread, and it waits for the answer. The
// GUI thread never waits for the script: a stop is a flag the script sees within a few thousand
// instructions, and the hand-over's cancel frees a script waiting on the window at its close.
#include "script/sessionhost.h"
#include "session/portsession.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <future>
#include <memory>
#include <thread>

class CQtHandOver;
class QAction;
class QMenu;
class QSettings;
class QWidget;
class TMenuSlots;
class TSessionBridge;
class TTrafficLog;

class TScriptCommands : public QObject
{
    Q_OBJECT
public:
    TScriptCommands(QWidget *window, CPortSession &session, TSessionBridge &events, TMenuSlots &menus,
                    TTrafficLog &log, std::function<const std::vector<CCommData> &()> sendList,
                    std::function<void(const QString &)> showMessage);
    ~TScriptCommands() override;

    // Runs `path` against the open port; false (with a message shown) when it cannot start.
    bool Run(const QString &path);
    bool Running() const { return m_thread.joinable(); }
    // Ends a running script and waits for its thread, which waits on nothing of the window's once
    // the hand-over is cancelled, a second at most (then it is let go). Before the session goes.
    void EndRun();
    void UpdateControls();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

signals:
    // A script began or ended.
    void StateChanged();

private:
    // `read`: the reads so far when the script ended; its last note waits for their blocks.
    void Finished(const ST_ScriptOutcome &outcome, const CTrafficPath::ST_ReadMark *read = nullptr);
    void StopScript(bool portLost, const std::string &why);
    void MakeHost();
    bool Ended() const;
    // Lets go of a script's thread that did not end when told to; `again`: the next run gets a
    // host and a hand-over of its own.
    void Abandon(bool again);
    void ChooseAndRun();
    void RememberRecent(const QString &path);
    void ShowRecent();

    QWidget *m_window;
    CPortSession &m_session;
    TTrafficLog &m_log;
    std::function<const std::vector<CCommData> &()> m_sendList;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_run = nullptr;
    QAction *m_stop = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_recentAction = nullptr;
    QStringList m_recent;
    QString m_running;

    std::unique_ptr<CQtHandOver> m_toWindow;
    std::unique_ptr<CSessionScriptHost> m_host;
    // Shared with the port's read tap, which may still be running on the listener as it is removed.
    std::shared_ptr<CScriptRunner> m_runner;
    std::thread m_thread;
    std::future<void> m_ended; // ready once the script's thread is done with the runner
    uint64_t m_runId = 0;
};
