#include "mainwindow/features/TAutoSendCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <QToolButton>

TAutoSendCommands::TAutoSendCommands(QObject *parent, CPortSession &session, const ST_Controls &controls)
    : QObject(parent), m_session(session), m_c(controls)
{
    const struct
    {
        QToolButton *button;
        QAction *menu;
        void (CPortSession::*command)();
    } commands[] = {{m_c.btnStart, m_c.mnuStart, &CPortSession::StartAutoSend},
                    {m_c.btnPause, m_c.mnuPause, &CPortSession::PauseAutoSend},
                    {m_c.btnStop, m_c.mnuStop, &CPortSession::StopAutoSend}};
    for (const auto &c : commands) {
        const auto run = [this, command = c.command] {
            (m_session.*command)();
            emit StateChanged();
        };
        connect(c.button, &QToolButton::clicked, this, run);
        connect(c.menu, &QAction::triggered, this, run);
    }
}

// A file transfer holds the sender until it ends: a run's sends would be refused.
void TAutoSendCommands::UpdateControls()
{
    const bool open = m_session.IsOpen();
    const uint8_t state = m_session.AutoSendState();
    m_c.btnStart->setChecked(state != AUTOSEND_STOPPED);
    m_c.btnStart->setEnabled(open && !m_session.TransferRunning());
    m_c.btnPause->setChecked(state == AUTOSEND_PAUSED);
    m_c.btnPause->setEnabled(open && state != AUTOSEND_STOPPED);
    m_c.btnStop->setEnabled(open && state != AUTOSEND_STOPPED);
    m_c.mnuStart->setChecked(m_c.btnStart->isChecked());
    m_c.mnuStart->setEnabled(m_c.btnStart->isEnabled());
    m_c.mnuPause->setChecked(m_c.btnPause->isChecked());
    m_c.mnuPause->setEnabled(m_c.btnPause->isEnabled());
    m_c.mnuStop->setEnabled(m_c.btnStop->isEnabled());
}
