#include "mainwindow/features/TSendFileCommands.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TSessionBridge.h"
#include "mainwindow/TStatusArea.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <algorithm>

namespace {

// Parts of a thousand: a file of more than 2 GiB still fits the bar's int.
int Permille(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 1000 : static_cast<int>(part * 1000 / whole);
}

} // namespace

TSendFileCommands::TSendFileCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                                     TMenuSlots &menus, TStatusArea &status, TTrafficLog &log,
                                     std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_events(events), m_status(status), m_log(log),
      m_showMessage(std::move(showMessage))
{
    m_action = menus.AddNew(MenuSlot::FileTools, this, "mnuFileSendFile", QStringLiteral("Send &File..."), 0);
    connect(m_action, &QAction::triggered, this, &TSendFileCommands::SendFile);

    m_progress = new QProgressBar(status.Bar());
    m_progress->setObjectName(QStringLiteral("pbTransfer"));
    m_progress->setAccessibleName(QStringLiteral("File send progress"));
    m_progress->setRange(0, 1000);
    m_progress->setMaximumWidth(120);
    m_progress->hide();
    m_cancel = new QPushButton(QStringLiteral("Cancel"), status.Bar());
    m_cancel->setObjectName(QStringLiteral("btnCancelTransfer"));
    m_cancel->setAccessibleName(QStringLiteral("Cancel the file send"));
    m_cancel->setFlat(true);
    m_cancel->hide();
    status.AddPermanent(m_progress, TStatusArea::TransferRank);
    status.AddPermanent(m_cancel, TStatusArea::TransferRank);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_session.CancelTransfer(); });

    connect(&events, &TSessionBridge::TransferFile, this, &TSendFileCommands::FileBegun);
    connect(&events, &TSessionBridge::TransferProgress, this, &TSendFileCommands::Progress);
    connect(&events, &TSessionBridge::TransferDone, this, &TSendFileCommands::Done);
    UpdateControls();
}

void TSendFileCommands::SendFile()
{
    TfrmSendFile dialog(m_window, m_choice);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_choice = dialog.Choice();
    // The port may have gone, or a transfer begun, while the dialog was open.
    if (!m_session.IsOpen() || m_session.TransferRunning()) {
        m_showMessage(QStringLiteral("The port is not open; the file was not sent."));
        return;
    }
    if (!m_session.StartTransfer({dialog.File()}, dialog.Options())) {
        m_showMessage(QStringLiteral("The port is not taking data; the file was not sent."));
        return;
    }
    m_progress->setValue(0);
    m_progress->setToolTip(QString());
    m_progress->show();
    m_cancel->show();
    emit StateChanged();
}

void TSendFileCommands::UpdateControls()
{
    m_action->setEnabled(m_session.IsOpen() && !m_session.TransferRunning());
}

void TSendFileCommands::ShowSendCount()
{
    m_status.ShowSendCount(m_session.SendBytes(), m_session.SendBlocks());
}

void TSendFileCommands::FileBegun(const ST_TransferProgress &progress)
{
    if (m_events.LogsSends())
        m_log.LogSendNote("File " + progress.FileName + ", " + std::to_string(progress.FileSize) +
                          " bytes, " + TransferProtocolName(m_choice.Protocol));
    ShowSendCount();
}

void TSendFileCommands::Progress(const ST_TransferProgress &progress)
{
    m_progress->setValue(Permille(progress.Sent, progress.Total));
    m_progress->setToolTip(QStringLiteral("%1: %2 of %3 bytes")
                               .arg(QString::fromLocal8Bit(progress.FileName))
                               .arg(progress.FileSent)
                               .arg(progress.FileSize));
    ShowSendCount();
}

void TSendFileCommands::Done(const ST_TransferOutcome &outcome, bool portLost)
{
    m_progress->hide();
    m_cancel->hide();
    std::string text = TransferEndText(outcome.End);
    if (portLost && outcome.End != ETransferEnd::Done)
        text += " (the port was lost)";
    else if (outcome.End == ETransferEnd::WriteFailed)
        text += std::string(": ") + SerialErrorText(outcome.Code, false);
    else if (outcome.EndUnacknowledged)
        text += " (the receiver did not acknowledge the end)";
    m_log.LogNote("File send: " + text + ", " + std::to_string(outcome.WireBytes) + " bytes on the line");
    ShowSendCount();
    if (outcome.End != ETransferEnd::Done)
        m_status.ShowSendNote(QStringLiteral("file send: ") + QString::fromLocal8Bit(text));
    emit StateChanged();
}

void TSendFileCommands::Load(const QSettings &settings)
{
    m_choice.Path = settings.value(QStringLiteral("SendFilePath")).toString();
    const int protocol = settings.value(QStringLiteral("SendFileProtocol")).toString().trimmed().toInt();
    if (protocol >= 0 && protocol <= static_cast<int>(ETransferProtocol::Ymodem))
        m_choice.Protocol = static_cast<ETransferProtocol>(protocol);
    m_choice.LineDelayMs =
        std::max(0, settings.value(QStringLiteral("SendFileLineDelay")).toString().trimmed().toInt());
}

void TSendFileCommands::Save(QSettings &settings) const
{
    settings.setValue(QStringLiteral("SendFilePath"), m_choice.Path);
    settings.setValue(QStringLiteral("SendFileProtocol"), static_cast<int>(m_choice.Protocol));
    settings.setValue(QStringLiteral("SendFileLineDelay"), m_choice.LineDelayMs);
}
