#pragma once
// File > Replay Capture...: a recording played back into the window as received data, through
// the port "replay://FILE" the window opens in place of its own (so the log, the frames, the
// decoders, the rules and the scripts meet it as they meet a device), or out of a pseudo-terminal
// for another program to open. The file is read on a thread of its own; the playing is the
// replay's runner thread's, so the window never waits on either.
#include "replay/gui/TfrmReplay.h"
#include "replay/replayports.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>

class CPortSession;
class QAction;
class QWidget;
class TFeatureServices;
class TMenuSlots;
class TTrafficLog;

class TReplayCommands : public QObject
{
    Q_OBJECT
public:
    TReplayCommands(QWidget *window, CPortSession &session, TFeatureServices &services, TMenuSlots &menus,
                    TTrafficLog &log, std::function<void(const QString &)> showMessage);
    ~TReplayCommands() override; // waits for a file being read

    // The replay under way (null when none): what a test or a status reads.
    const std::shared_ptr<CReplayControl> &Control() const { return m_control; }
    // The program's end of a replay out of a virtual port; empty when there is none.
    QString VirtualPortPath() const;

private:
    void Start(const ST_ReplayChoice &choice);
    void Read(const ST_ReplayChoice &choice, ST_Recording recording, const QString &error);
    void Stop();
    bool PlaysInWindow() const;
    void ShowStatus();

    QWidget *m_window;
    CPortSession &m_session;
    TFeatureServices &m_services;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_item = nullptr;
    QPointer<TfrmReplay> m_dialog;
    std::thread m_reader;
    std::shared_ptr<CReplayControl> m_control;
    std::unique_ptr<CReplayOutlet> m_outlet;
    bool m_stepping = false;
    bool m_inWindow = false;
    QTimer m_statusTimer;
};
