#include "mainwindow/features/TSendFileCommands.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/coretext.h"
#include "platform/gui/settingvalue.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTextDocument>
#include <algorithm>
#include <stdexcept>

namespace {

const TSettingValue<QString> kPath("SendFilePath", QString());
const TSettingValue<int> kProtocol("SendFileProtocol", 0);
const TSettingValue<int> kLineDelay("SendFileLineDelay", 0);
const TSettingValue<bool> kEscapeControls("SendFileEscapeControls", false);

// Parts of a thousand: a file of more than 2 GiB still fits the bar's int.
int Permille(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 1000 : static_cast<int>(part * 1000 / whole);
}

} // namespace

TSendFileCommands::TSendFileCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                                     TFeatureServices &services, TMenuSlots &menus, TStatusArea &status,
                                     TTrafficLog &log, std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_events(events), m_status(status), m_log(log),
      m_showMessage(std::move(showMessage))
{
    connect(&services, &TFeatureServices::SendAsked, this, &TSendFileCommands::SendAskedByDevice);
    m_action = menus.AddNew(this, "mnuFileSendFile", tr("Send &File..."));
    connect(m_action, &QAction::triggered, this, &TSendFileCommands::SendFile);

    m_progress = new QProgressBar(status.Bar());
    m_progress->setObjectName(QStringLiteral("pbTransfer"));
    m_progress->setAccessibleName(tr("File transfer progress"));
    m_progress->setRange(0, 1000);
    m_progress->setMaximumWidth(120);
    m_progress->hide();
    m_cancel = new QPushButton(tr("Cancel"), status.Bar());
    m_cancel->setObjectName(QStringLiteral("btnCancelTransfer"));
    m_cancel->setAccessibleName(tr("Cancel the file transfer"));
    m_cancel->setFlat(true);
    // A bar short of room narrows the bar and the button before the counters; the percentage and
    // the caption stay readable.
    m_progress->setMinimumWidth(m_progress->fontMetrics().horizontalAdvance(QStringLiteral("100%")) +
                                m_progress->fontMetrics().horizontalAdvance(QLatin1Char('x')));
    m_cancel->setMinimumWidth(
        m_cancel->fontMetrics().horizontalAdvance(m_cancel->text() + QStringLiteral("xx")));
    m_cancel->hide();
    status.AddPermanent(m_progress);
    status.AddPermanent(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_session.CancelTransfer(); });

    connect(&events, &TSessionBridge::TransferFile, this, &TSendFileCommands::FileBegun);
    connect(&events, &TSessionBridge::TransferProgress, this, &TSendFileCommands::Progress);
    connect(&events, &TSessionBridge::TransferDone, this, &TSendFileCommands::Done);
    UpdateControls();
}

void TSendFileCommands::SendFile()
{
    AskAndSend(m_choice);
}

void TSendFileCommands::SendAskedByDevice()
{
    if (m_session.TransferAsked() != EZmodemStart::ReceiverWaits)
        return;
    ST_SendFileChoice proposed = m_choice;
    proposed.Protocol = ETransferProtocol::Zmodem;
    if (!AskAndSend(proposed))
        m_session.DeclineTransfer();
}

bool TSendFileCommands::AskAndSend(const ST_SendFileChoice &proposed)
{
    TfrmSendFile dialog(m_window, proposed);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_choice = dialog.Choice();
    // The port may have gone, or a transfer begun, while the dialog was open.
    if (!m_session.IsOpen() || m_session.TransferRunning()) {
        m_showMessage(tr("The port is not open; the file was not sent."));
        return false;
    }
    bool started = false;
    try {
        started = m_session.StartTransfer({dialog.File()}, dialog.Options());
    } catch (const std::invalid_argument &) {
    }
    if (!started) {
        m_showMessage(tr("The port is not taking data; the file was not sent."));
        return false;
    }
    emit StateChanged();
    return true;
}

void TSendFileCommands::UpdateControls()
{
    m_action->setEnabled(m_session.IsOpen() && !m_session.TransferRunning());
    const bool running = m_session.TransferRunning();
    if (running && m_progress->isHidden()) {
        m_progress->setValue(0);
        m_progress->setToolTip(QString());
        m_since.start();
    }
    m_progress->setVisible(running);
    m_cancel->setVisible(running);
}

void TSendFileCommands::ShowSendCount()
{
    m_status.ShowSendCount(m_session.SendBytes(), m_session.SendBlocks());
}

// A received file's note waits for its final name (TReceiveFileCommands).
void TSendFileCommands::FileBegun(const ST_TransferProgress &progress)
{
    if (!m_session.TransferReceiving() && m_events.LogsSends())
        m_log.LogSendNote("File " + progress.FileName + ", " + std::to_string(progress.FileSize) +
                          " bytes, " + TransferProtocolName(m_choice.Protocol));
    ShowSendCount();
}

void TSendFileCommands::Progress(const ST_TransferProgress &progress)
{
    m_progress->setValue(Permille(progress.Sent, progress.Total));
    const qint64 ms = std::max<qint64>(1, m_since.elapsed());
    // A received file's name is the device's: shown escaped (ShownFileName) and never as rich text.
    m_progress->setToolTip(Qt::convertFromPlainText(
        tr("%1: %2 of %3 bytes, %4 bytes/s")
            .arg(QString::fromLocal8Bit(progress.FileName))
            .arg(progress.FileSent)
            .arg(progress.FileSize)
            .arg(static_cast<qint64>(progress.Sent * 1000 / static_cast<uint64_t>(ms)))));
    ShowSendCount();
}

void TSendFileCommands::Done(const ST_TransferOutcome &outcome, bool portLost)
{
    m_progress->hide();
    m_cancel->hide();
    // The log keeps the English words; the status bar says them in the window's language.
    std::string text = TransferEndText(outcome.End, outcome.Receiving);
    QString shown = CoreText(text);
    if (portLost && outcome.End != ETransferEnd::Done) {
        text += " (the port was lost)";
        shown = tr("%1 (the port was lost)").arg(shown);
    } else if (outcome.End == ETransferEnd::WriteFailed) {
        const std::string why = SerialErrorText(outcome.Code, false);
        text += ": " + why;
        shown = tr("%1: %2").arg(shown, CoreText(why));
    } else if (outcome.EndUnacknowledged) {
        text += " (the receiver did not acknowledge the end)";
        shown = tr("%1 (the receiver did not acknowledge the end)").arg(shown);
    }
    if (!outcome.Detail.empty()) {
        text += ": " + outcome.Detail;
        shown = tr("%1: %2").arg(shown, QString::fromLocal8Bit(outcome.Detail));
    }
    const std::string what = outcome.Receiving ? "File receive" : "File send";
    // A receive is told by what came in, a send by what went out; the protocol's answers the other
    // way are counted by the Rec and Send counters.
    m_log.LogNote(what + ": " + text + ", " +
                  std::to_string(outcome.Receiving ? outcome.ReadBytes : outcome.WireBytes) +
                  (outcome.Receiving ? " bytes read from the line" : " bytes on the line"));
    ShowSendCount();
    if (outcome.End != ETransferEnd::Done)
        m_status.ShowSendNote((outcome.Receiving ? tr("file receive: %1") : tr("file send: %1")).arg(shown));
    emit StateChanged();
}

void TSendFileCommands::Load(const QSettings &settings)
{
    m_choice.Path = kPath.Read(settings);
    const int protocol = kProtocol.Read(settings);
    if (protocol >= 0 && protocol <= static_cast<int>(ETransferProtocol::Zmodem))
        m_choice.Protocol = static_cast<ETransferProtocol>(protocol);
    m_choice.LineDelayMs = std::max(0, kLineDelay.Read(settings));
    m_choice.EscapeAllControls = kEscapeControls.Read(settings);
}

void TSendFileCommands::Save(QSettings &settings) const
{
    kPath.Write(settings, m_choice.Path);
    kProtocol.Write(settings, static_cast<int>(m_choice.Protocol));
    kLineDelay.Write(settings, m_choice.LineDelayMs);
    kEscapeControls.Write(settings, m_choice.EscapeAllControls);
}
