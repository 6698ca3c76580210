// The port: opening a link, closing, the status bar, the states of the port-dependent commands
// and what the session reports of received data, port events and a lost port.
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TStatusPanel.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TAutoSendCommands.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "mainwindow/features/TSendFileCommands.h"
#include "platform/gui/commandguard.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <array>
#include <chrono>
#include <utility>

namespace {

// The counters in the status bar are redrawn at most this often: a fast line brings hundreds of
// blocks a second, and every new text costs a layout and a paint.
constexpr int kCounterRefreshMs = 200;
// A burst of line errors ends after this long without one, and is noted after this long at most.
constexpr int kLossQuietMs = 500;
constexpr int64_t kLossBurstLongestMs = 5000;

const char *const kPanelLabels[kStatusPanelCount] = {
    "Port: ", "Baud Rate: ", "Data Bits: ", "Parity: ", "Stop Bits: ", "DTC: ", "Rec  :", "Send :"};

} // namespace

void TfrmMain::ConnectPortCommands()
{
    connect(ui.btnLinkList, &QToolButton::clicked, this, &TfrmMain::btnLinkListClick);
    connect(ui.mnuOpOpenPort, &QAction::triggered, this, &TfrmMain::btnLinkListClick);
    connect(ui.btnQuickLink, &QToolButton::clicked, this, &TfrmMain::btnQuickLinkClick);
    connect(ui.mnuOpQuickLink, &QAction::triggered, this, &TfrmMain::btnQuickLinkClick);
    connect(ui.btnClosePort, &QToolButton::clicked, this, &TfrmMain::btnClosePortClick);
    connect(ui.mnuOpClosePort, &QAction::triggered, this, &TfrmMain::btnClosePortClick);
    connect(ui.mnuOpMonitor, &QAction::triggered, this, &TfrmMain::mnuOpMonitorClick);
}

bool TfrmMain::IsPortOpen() const
{
    return m_session && m_session->IsOpen();
}

void TfrmMain::OpenLink(const COM_PORT_SETTING &link, const std::string &device)
{
    const bool retry = std::exchange(m_retryNextOpen, false);
    CloseDevice();
    if (CPortSession::NeedsConnect(link)) {
        // The network may keep the connect waiting for seconds; the window goes on meanwhile
        // and hears the outcome in SessionOpened.
        m_session->BeginOpen(link);
        m_reconnectTry = retry;
        if (!retry) {
            ui.panels[0]->setText(QStringLiteral("Connecting to ") + QString::fromLatin1(link.PortName) +
                                  QStringLiteral("..."));
            ui.panels[0]->setToolTip(QStringLiteral("Close Port stops connecting"));
            FitStatusPanels(ui, false);
        }
        UpdateControls();
        return;
    }
    const CPortSession::ST_OpenResult opened = m_session->Open(link, device);
    FinishOpen(link, opened.Open, opened.SettingRefused, opened.Code, opened.Message);
}

void TfrmMain::SessionOpened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                             const std::string &message)
{
    if (!std::exchange(m_reconnectTry, false)) {
        FinishOpen(link, open, settingRefused, code, message);
        return;
    }
    m_quietMessages = true;
    m_heldMessage.clear();
    FinishOpen(link, open, settingRefused, code, message);
    m_quietMessages = false;
    ReconnectTried(link, std::string());
}

void TfrmMain::FinishOpen(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                          const std::string &message)
{
    const QString port = QString::fromLatin1(link.PortName);
    // A port that did not open has no settings to refuse: it gets the one message below.
    if (settingRefused)
        ShowMessage(QStringLiteral("Error Port Setting: ") + port);
    if (open) {
        m_lastLink = link;
        m_autoFaultNoted = false;
        m_modemLines->PortOpened(link.PortName);
        // The session waits no longer for a port lost earlier; nor does the window.
        if (m_extras)
            EndReconnectWait();
    } else if (!message.empty() && CPortSession::NeedsConnect(link)) {
        // The connection's own words name the address and what the network said.
        ShowMessage(QString::fromLocal8Bit(message));
    } else {
        QString text = QStringLiteral("Can not Open ") + port;
        if (code != 0)
            text += QStringLiteral(": ") + QString::fromLocal8Bit(SerialErrorText(code));
        ShowMessage(text);
    }
    UpdateControls();
    ShowLinkStatus(open ? link : COM_PORT_SETTING());
}

void TfrmMain::ClosePort()
{
    CloseDevice();
    UpdateControls();
    ShowLinkStatus(COM_PORT_SETTING());
}

// Sends still queued are dropped; the close wakes the one being written.
void TfrmMain::CloseDevice()
{
    const bool wasOpen = IsPortOpen();
    const uint32_t unsent = m_session->Close();
    if (wasOpen)
        PortClosed(unsent);
}

void TfrmMain::PortClosed(uint32_t unsent)
{
    m_modemLines->PortClosed();
    ShowUnsent(unsent);
}

void TfrmMain::TakeBackUnsent(uint32_t bytes)
{
    m_session->TakeBackUnsent(bytes);
    ShowUnsent(bytes);
}

void TfrmMain::ShowUnsent(uint32_t bytes)
{
    if (bytes == 0)
        return;
    ShowSendCount();
    ui.edData->LogNote("Not sent: " + std::to_string(bytes) +
                       " bytes were still queued for the line when the port closed");
}

void TfrmMain::ShowSendCount()
{
    ui.panels[7]->setText(
        QStringLiteral("Send:%1/%2").arg(m_session->SendBytes()).arg(m_session->SendBlocks()));
}

void TfrmMain::btnQuickLinkClick()
{
    if (m_lastLink)
        OpenLink(COM_PORT_SETTING(*m_lastLink));
}

void TfrmMain::btnClosePortClick()
{
    StopMonitor();
    EndReconnectWait();
    ClosePort();
}

// The device went away under an open port: the session has closed it; say so where the port
// name stood.
void TfrmMain::SessionPortLost(long code, uint32_t unsent)
{
    m_extras->lostReason = QString::fromLocal8Bit(SerialErrorText(code, false));
    PortClosed(unsent);
    UpdateControls();
    ShowLinkStatus(COM_PORT_SETTING());
    ui.panels[0]->setText(QStringLiteral("Port: lost"));
    ui.panels[0]->setToolTip(QStringLiteral("The port was lost: ") +
                             QString::fromLocal8Bit(SerialErrorText(code, false)));
    NotePortLost(code);
    if (m_session->AutoSendState() != AUTOSEND_STOPPED)
        NoteAutoSendFault(QStringLiteral("the port was lost; sends are dropped until a port is open"));
}

void TfrmMain::ShowLinkStatus(const COM_PORT_SETTING &link)
{
    m_recCountShown = true;
    for (int i = 0; i < kStatusPanelCount; ++i) {
        ui.panels[i]->setText(QString::fromLatin1(kPanelLabels[i]));
        ui.panels[i]->setToolTip(QString());
    }
    if (IsPortOpen()) {
        const std::array<std::string, 9> texts = LinkToDisplay(link).Columns();
        // A raw TCP port carries data only: what the link says of the line was never sent.
        const bool servers = m_session->Device().SettingsAreServers();
        for (int i = 0; i < 6; ++i) {
            const bool line = servers && i >= 1 && i <= 5;
            ui.panels[i]->setText(
                QString::fromLatin1(kPanelLabels[i]) +
                (line ? QStringLiteral("server's") : QString::fromLatin1(texts[static_cast<size_t>(i) + 1])));
            if (line)
                ui.panels[i]->setToolTip(
                    QStringLiteral("A raw TCP port carries data only: the line settings are the server's"));
        }
    }
    FitStatusPanels(ui, IsPortOpen());
    ShowTitle(IsPortOpen() ? link : COM_PORT_SETTING());
    if (WaitingForPort())
        ShowReconnectWait();
}

void TfrmMain::UpdateControls()
{
    const bool open = IsPortOpen();
    const bool one = SelectedRow() >= 0;

    ui.btnSend->setEnabled(open);
    const bool closable = open || WaitingForPort() || m_session->Connecting();
    ui.mnuOpClosePort->setEnabled(closable);
    ui.btnClosePort->setEnabled(closable);
    ui.mnuOpQuickLink->setEnabled(m_lastLink.has_value());
    ui.btnQuickLink->setEnabled(m_lastLink.has_value());

    ui.btnGo->setEnabled(open && one);
    ui.mnuSendAndGoNext->setEnabled(open && one);
    for (QAction *a : {ui.popmnuSendAndGoNext, ui.mnuSendItem, ui.mnuOpSendItem})
        a->setEnabled(ui.btnGo->isEnabled());

    m_autoSend->UpdateControls();
    m_modemLines->UpdateControls();
    m_sendFile->UpdateControls();

    if (ui.lsvSendData->selectedItems().isEmpty() && ui.lsvSendData->topLevelItemCount() > 0) {
        ui.lsvSendData->setCurrentItem(ui.lsvSendData->topLevelItem(0));
        ui.lsvSendData->scrollToItem(ui.lsvSendData->topLevelItem(0));
    }
    UpdateMonitorControls();
    m_capture->UpdateControls();
}

void TfrmMain::OnComEvent(uint32_t wParam, const ST_LineCounters &errorCounts)
{
    m_session->OnEvent(wParam, errorCounts);
}

// The port's other events come here in order with the blocks: modem-line changes move the
// indicators; line errors and a listener held by a full queue, counted by the session, are noted.
void TfrmMain::SessionEvent(uint32_t eventWord, bool loss)
{
    if (eventWord & (EV_CTS | EV_DSR | EV_RLSD | EV_RING))
        m_modemLines->ShowLines();
    if (loss) {
        ShowInboundLoss();
        ScheduleLossNote();
    }
}

void TfrmMain::ShowInboundLoss()
{
    const CInboundLoss &loss = m_session->InboundLoss();
    const QString text = QString::fromStdString(loss.StatusText());
    ui.lblInboundLoss->setText(text);
    ui.lblInboundLoss->setToolTip(QString::fromStdString(loss.StatusDetails()));
    ui.lblInboundLoss->setVisible(!text.isEmpty());
}

// Errors come in bursts (a wrong rate makes one at nearly every byte): the note waits until none
// came for a moment, and a burst that never ends is still noted every few seconds.
void TfrmMain::ScheduleLossNote()
{
    if (m_lossNoteTimer == nullptr) {
        m_lossNoteTimer = new QTimer(this);
        m_lossNoteTimer->setSingleShot(true);
        connect(m_lossNoteTimer, &QTimer::timeout, this, [this] {
            for (const std::string &note : m_session->InboundLoss().TakeBurstNotes())
                ui.edData->LogNote(note);
        });
    }
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (!m_lossNoteTimer->isActive())
        m_lossBurstStartMs = now;
    if (now - m_lossBurstStartMs < kLossBurstLongestMs)
        m_lossNoteTimer->start(kLossQuietMs);
}

void TfrmMain::OnRecBlock(CReceivedBlock &block)
{
    m_session->OnBlock(block);
}

void TfrmMain::ShowRecCount()
{
    if (m_recCountShown)
        return;
    m_recCountShown = true;
    static_cast<TStatusPanel *>(ui.panels[6])
        ->SetCount(QStringLiteral("Rec:%1/%2").arg(m_session->RecBytes()).arg(m_session->RecBlocks()));
    m_recvChecksum->ShowCounts();
}

void TfrmMain::PaceBlocks()
{
    // A block that ends a quiet while comes and is drawn at once. The blocks that follow it within
    // a frame would only be drawn at the frame's end anyway: they wait in the port's queue and
    // come together then, so a stream wakes the window once a frame rather than once a block.
    // A hidden window keeps the blocks coming one by one, as nothing paces it.
    if (!isVisible() || isMinimized() || !m_session->IsOpen())
        return;
    if (m_blockTick == nullptr) {
        m_blockTick = new QTimer(this);
        m_blockTick->setSingleShot(true);
        m_blockTick->setTimerType(Qt::PreciseTimer);
        connect(m_blockTick, &QTimer::timeout, this, [this] {
            // Blocks taken here start the next frame's wait (PaceBlocks); none means the stream
            // paused, and the next block comes at once.
            if (!m_session->TakeHeldBlocks())
                m_session->HoldBlocksFor(0);
            ui.edData->FlushIfDue();
            // Counts due before the next frame are shown with this one, in the same drawing.
            if (m_counterTimer != nullptr && m_counterTimer->isActive() &&
                m_counterTimer->remainingTime() < ui.edData->FrameMs()) {
                m_counterTimer->stop();
                ShowRecCount();
            }
        });
    }
    if (m_blockTick->isActive())
        return;
    // The port hands them over by itself a while after the frame, should this window be late.
    // Running rules answer a steady stream no later than they answered its start: the log then
    // draws every other time the blocks come.
    constexpr int kLateMs = 25;
    const int frame = ui.edData->FrameMs(m_session->AutoSend().AutoSendState != AUTOSEND_RUNNING);
    m_blockTick->start(frame);
    m_session->HoldBlocksFor(static_cast<uint32_t>(frame + kLateMs));
}

void TfrmMain::ScheduleRecCount()
{
    m_recCountShown = false;
    if (m_counterTimer == nullptr) {
        m_counterTimer = new QTimer(this);
        m_counterTimer->setSingleShot(true);
        m_counterTimer->setInterval(kCounterRefreshMs);
        connect(m_counterTimer, &QTimer::timeout, this, &TfrmMain::ShowRecCount);
    }
    // Not restarted by later blocks, so a steady stream still shows its count every period.
    if (!m_counterTimer->isActive())
        m_counterTimer->start();
}
