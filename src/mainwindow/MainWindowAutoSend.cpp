// Starting, pausing and stopping auto send: the session runs the engine, sends what it schedules
// and feeds it the received blocks; the window keeps the commands' states up to date.
#include "mainwindow/TfrmMain.h"

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
    m_session->StartAutoSend();
    UpdateControls();
}

void TfrmMain::btnPauseAutoSendClick()
{
    m_session->PauseAutoSend();
    UpdateControls();
}

void TfrmMain::btnStopAutoSendClick()
{
    m_session->StopAutoSend();
    UpdateControls();
}
