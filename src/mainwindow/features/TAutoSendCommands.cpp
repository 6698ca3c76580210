#include "mainwindow/features/TAutoSendCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <QToolButton>
#include <functional>

TAutoSendCommands::TAutoSendCommands(QObject *parent, CPortSession &session, const ST_Controls &controls)
    : QObject(parent), m_session(session), m_c(controls)
{
    const auto command = [this](QToolButton *button, QAction *menu, std::function<void()> run) {
        const auto click = [this, run = std::move(run)] {
            run();
            emit StateChanged();
        };
        connect(button, &QToolButton::clicked, this, click);
        connect(menu, &QAction::triggered, this, click);
    };
    command(m_c.btnStart, m_c.mnuStart, [this] { m_session.StartAutoSend(); });
    command(m_c.btnPause, m_c.mnuPause, [this] { m_session.PauseAutoSend(); });
    command(m_c.btnStop, m_c.mnuStop, [this] { m_session.StopAutoSend(); });
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
