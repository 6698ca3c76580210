// Sending a file: File > Send File..., the transfer's progress and Cancel in the status bar, and
// what the log says of it. The transfer itself runs in the session, on the sender thread.
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>

namespace {

// Parts of a thousand: a file of more than 2 GiB still fits the bar's int.
int Permille(uint64_t part, uint64_t whole)
{
    return whole == 0 ? 1000 : static_cast<int>(part * 1000 / whole);
}

} // namespace

void TfrmMain::ConnectSendFileCommands()
{
    TfrmMainExtras &x = *m_extras;
    QAction *capture = x.mnuFileCapture;
    x.mnuFileSendFile = new QAction(QStringLiteral("Send &File..."), ui.mnuFile);
    x.mnuFileSendFile->setObjectName(QStringLiteral("mnuFileSendFile"));
    ui.mnuFile->insertAction(capture, x.mnuFileSendFile);
    connect(x.mnuFileSendFile, &QAction::triggered, this, &TfrmMain::mnuFileSendFileClick);

    x.pbTransfer = new QProgressBar(ui.stbComStatus);
    x.pbTransfer->setObjectName(QStringLiteral("pbTransfer"));
    x.pbTransfer->setAccessibleName(QStringLiteral("File send progress"));
    x.pbTransfer->setRange(0, 1000);
    x.pbTransfer->setMaximumWidth(120);
    x.pbTransfer->hide(); // hidden before it joins the bar, so it never widens it
    x.btnCancelTransfer = new QPushButton(QStringLiteral("Cancel"), ui.stbComStatus);
    x.btnCancelTransfer->setObjectName(QStringLiteral("btnCancelTransfer"));
    x.btnCancelTransfer->setAccessibleName(QStringLiteral("Cancel the file send"));
    x.btnCancelTransfer->setFlat(true);
    x.btnCancelTransfer->hide();
    ui.stbComStatus->addPermanentWidget(x.pbTransfer);
    ui.stbComStatus->addPermanentWidget(x.btnCancelTransfer);
    connect(x.btnCancelTransfer, &QPushButton::clicked, this, [this] { m_session->CancelTransfer(); });
    UpdateSendFileControls();
}

void TfrmMain::mnuFileSendFileClick()
{
    TfrmMainExtras &x = *m_extras;
    TfrmSendFile dialog(this, x.sendFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    x.sendFile = dialog.Choice();
    // The port may have gone, or a transfer begun, while the dialog was open.
    if (!IsPortOpen() || m_session->TransferRunning()) {
        ShowMessage(QStringLiteral("The port is not open; the file was not sent."));
        return;
    }
    if (!m_session->StartTransfer({dialog.File()}, dialog.Options())) {
        ShowMessage(QStringLiteral("The port is not taking data; the file was not sent."));
        return;
    }
    x.pbTransfer->setValue(0);
    x.pbTransfer->setToolTip(QString());
    x.pbTransfer->show();
    x.btnCancelTransfer->show();
    UpdateControls();
}

void TfrmMain::UpdateSendFileControls()
{
    if (!m_extras || !m_extras->mnuFileSendFile)
        return;
    TfrmMainExtras &x = *m_extras;
    const bool transferring = m_session->TransferRunning();
    x.mnuFileSendFile->setEnabled(IsPortOpen() && !transferring);
    // The sender is the transfer's until it ends: a break would wait behind it, and a run's sends
    // would be refused.
    x.mnuOpSendBreak->setEnabled(IsPortOpen() && !transferring);
    if (transferring) {
        ui.btnStartAutoSend->setEnabled(false);
        ui.mnuOpStartAutoSend->setEnabled(false);
    }
}

void TfrmMain::SessionTransferFile(const ST_TransferProgress &progress)
{
    if (m_showSendData)
        ui.edData->LogSendNote("File " + progress.FileName + ", " + std::to_string(progress.FileSize) +
                               " bytes, " + TransferProtocolName(m_extras->sendFile.Protocol));
    ShowSendCount();
}

void TfrmMain::SessionTransferProgress(const ST_TransferProgress &progress)
{
    QProgressBar *bar = m_extras->pbTransfer;
    bar->setValue(Permille(progress.Sent, progress.Total));
    bar->setToolTip(QStringLiteral("%1: %2 of %3 bytes")
                        .arg(QString::fromLocal8Bit(progress.FileName))
                        .arg(progress.FileSent)
                        .arg(progress.FileSize));
    ShowSendCount();
}

void TfrmMain::SessionTransferDone(const ST_TransferOutcome &outcome, bool portLost)
{
    TfrmMainExtras &x = *m_extras;
    x.pbTransfer->hide();
    x.btnCancelTransfer->hide();
    std::string text = TransferEndText(outcome.End);
    if (portLost && outcome.End != ETransferEnd::Done)
        text += " (the port was lost)";
    else if (outcome.End == ETransferEnd::WriteFailed)
        text += std::string(": ") + SerialErrorText(outcome.Code, false);
    ui.edData->LogNote("File send: " + text + ", " + std::to_string(outcome.WireBytes) +
                       " bytes on the line");
    ShowSendCount();
    if (outcome.End != ETransferEnd::Done)
        ShowSendNote(QStringLiteral("file send: ") + QString::fromLocal8Bit(text));
    UpdateControls();
}

void TfrmMain::LoadSendFileChoice(const QSettings &settings)
{
    ST_SendFileChoice &choice = m_extras->sendFile;
    choice.Path = settings.value(QStringLiteral("SendFilePath")).toString();
    const int protocol = settings.value(QStringLiteral("SendFileProtocol")).toString().trimmed().toInt();
    if (protocol >= 0 && protocol <= static_cast<int>(ETransferProtocol::Ymodem))
        choice.Protocol = static_cast<ETransferProtocol>(protocol);
    choice.LineDelayMs =
        std::max(0, settings.value(QStringLiteral("SendFileLineDelay")).toString().trimmed().toInt());
}

void TfrmMain::SaveSendFileChoice(QSettings &settings) const
{
    const ST_SendFileChoice &choice = m_extras->sendFile;
    settings.setValue(QStringLiteral("SendFilePath"), choice.Path);
    settings.setValue(QStringLiteral("SendFileProtocol"), static_cast<int>(choice.Protocol));
    settings.setValue(QStringLiteral("SendFileLineDelay"), choice.LineDelayMs);
}
