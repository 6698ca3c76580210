#include "mainwindow/features/TAutoSendCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <functional>

TAutoSendCommands::TAutoSendCommands(QObject *parent, CPortSession &session, const ST_Controls &controls)
    : QObject(parent), m_session(session), m_c(controls)
{
    const auto command = [this](QAction *action, std::function<void()> run) {
        connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
            run();
            emit StateChanged();
        });
    };
    command(m_c.mnuStart, [this] { m_session.StartAutoSend(); });
    command(m_c.mnuPause, [this] { m_session.PauseAutoSend(); });
    command(m_c.mnuStop, [this] { m_session.StopAutoSend(); });
}

// A file transfer holds the sender until it ends: a run's sends would be refused.
void TAutoSendCommands::UpdateControls()
{
    const bool open = m_session.IsOpen();
    const uint8_t state = m_session.AutoSendState();
    m_c.mnuStart->setChecked(state != AUTOSEND_STOPPED);
    m_c.mnuStart->setEnabled(open && !m_session.TransferRunning());
    m_c.mnuPause->setChecked(state == AUTOSEND_PAUSED);
    m_c.mnuPause->setEnabled(open && state != AUTOSEND_STOPPED);
    m_c.mnuStop->setEnabled(open && state != AUTOSEND_STOPPED);
}
