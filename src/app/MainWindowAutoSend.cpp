// Starting, pausing and stopping auto send. The window owns the state the engine's threads read;
// the engine sends through SendItem and is fed by the receive path.
#include "Serial/SerialWnd.h"
#include "app/MainWindow.h"
#include "autosend/engine.h"
#include "autosend/event.h"
#include "platform/clock.h"

#include <QAction>
#include <QToolButton>

void TfrmMain::ConnectAutoSendCommands()
{
    connect(ui.btnStartAutoSend, &QToolButton::clicked, this, &TfrmMain::btnStartAutoSendClick);
    connect(ui.mnuOpStartAutoSend, &QAction::triggered, this, &TfrmMain::btnStartAutoSendClick);
    connect(ui.btnPauseAutoSend, &QToolButton::clicked, this, &TfrmMain::btnPauseAutoSendClick);
    connect(ui.mnuOpPauseAutoSend, &QAction::triggered, this, &TfrmMain::btnPauseAutoSendClick);
    connect(ui.btnStopAutoSend, &QToolButton::clicked, this, &TfrmMain::btnStopAutoSendClick);
    connect(ui.mnuOpStopAutoSend, &QAction::triggered, this, &TfrmMain::btnStopAutoSendClick);
}

void TfrmMain::btnStartAutoSendClick()
{
    if (m_autoSend.AutoSendState == AUTOSEND_STOPPED) {
        // The previous run's threads have ended before this run's state is set up, so none of
        // them can take the new run's Begin.
        m_engine->Stop();
        m_autoSend.ResetMarks(CSystemClock::Instance().NowMs());
        m_autoSend.SetState(AUTOSEND_RUNNING);
        m_autoSend.PushAction(ACTION_BEGIN);
        m_engine->Start();
    }
    UpdateControls();
}

void TfrmMain::btnPauseAutoSendClick()
{
    switch (m_autoSend.AutoSendState.load()) {
    case AUTOSEND_RUNNING:
        m_autoSend.SetState(AUTOSEND_PAUSED);
        m_autoSend.PushAction(ACTION_PAUSE);
        break;
    case AUTOSEND_PAUSED:
        m_autoSend.SetState(AUTOSEND_RUNNING);
        m_autoSend.PushAction(ACTION_RESUME);
        break;
    default:
        break;
    }
    UpdateControls();
}

// The run's Stop action is not queued: the run it would be meant for has ended before it could
// take it, and the next run must not find it. The engine's send write is cancelled first, so the
// threads are joined without waiting for the line; sends still pending are dropped with the run.
void TfrmMain::btnStopAutoSendClick()
{
    m_autoSend.SetState(AUTOSEND_STOPPED);
    m_sender->Cancel(kSendAuto, true);
    m_engine->Stop();
    m_sender->Allow(kSendAuto);
    UpdateControls();
}

void TfrmMain::ShutDownAutoSend()
{
    if (!m_engine)
        return;
    m_autoSend.SetState(AUTOSEND_STOPPED);
    m_sender->Cancel(kSendAuto, true);
    m_sender->CancelAll();
    m_engine.reset();
}
