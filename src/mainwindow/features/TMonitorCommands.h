#pragma once
// The two-port monitor in the window: started from its dialog in place of the window's own port,
// its blocks and notes on their way from its threads to the log, and stopped by Close Port.
#include "monitor/portmonitor.h"
#include "session/trafficpath.h"
#include "shell/TFeatureServices.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class CPortSession;
class QAction;
class QWidget;
class TMonitorRun;
class TStatusArea;
class TTrafficLog;

// Offers whether it runs (IMonitorService).
class TMonitorCommands : public QObject, public IMonitorService
{
    Q_OBJECT
public:
    TMonitorCommands(QWidget *window, QAction *mnuOpMonitor, CPortSession &session,
                     TFeatureServices &services, TStatusArea &status, TTrafficLog &log,
                     std::function<void(const QString &)> showMessage);
    ~TMonitorCommands() override;

    bool Running() const override { return m_run != nullptr; }
    // Logs what the monitor's threads still had on the way, hands out the frames they left
    // unfinished, then removes the virtual port.
    void Stop();
    // The window closes: the monitor's threads end before the session they frame into goes.
    void EndRun() { Stop(); }
    // The log stage of the window's traffic path, for the monitor's blocks: the log line with the
    // tag of the run's mode and its own stamp.
    void LogTraffic(const ST_Traffic &traffic);
    void UpdateControls();

signals:
    void StateChanged();

private:
    void Start();
    // What the run's threads brought, on the GUI thread.
    void Show(TMonitorRun &run);
    void Started(TMonitorRun &run, const std::string &error);
    // Counts a side's line error for the log's next note of them; NoteLineErrors writes it.
    void NoteLineError(TMonitorRun &run, const ST_LineEvent &event);
    void NoteLineErrors(TMonitorRun &run);
    void ShowStatus();
    // Sets both sides' profiles for `setup`, each its link's as chosen in the framing profiles (a
    // virtual port B takes port A's link, since the program speaks the device's protocol through
    // it, with the floor of no adapter), or turns them off (what they held handed out) for none;
    // what kept a side from framing, as log notes.
    std::vector<std::string> FrameSides(const ST_MonitorSetup *setup);

    QWidget *m_window;
    QAction *m_action;
    CPortSession &m_session;
    TFeatureServices &m_services;
    TStatusArea &m_status;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    TMonitorRun *m_run = nullptr; // a child object while the monitor runs
    // The block being shown, while the traffic path has it.
    struct ST_Showing
    {
        TMonitorRun *Run = nullptr;
        bool SincePrevious = false;
        EMonitorTag Tag = EMonitorTag::A;
    };
    ST_Showing m_showing;
};
