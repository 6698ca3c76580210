#include "mainwindow/features/TSendReports.h"
#include "platform/diaglog.h"
#include "platform/gui/coretext.h"
#include "shell/TFeatureServices.h"
#include "shell/TSessionBridge.h"
#include "shell/TStatusArea.h"

#include <QLabel>

TSendReports::TSendReports(QObject *parent, CPortSession &session, TSessionBridge &events,
                           TFeatureServices &services, TStatusArea &status,
                           std::function<void(const QString &)> showMessage)
    : QObject(parent), m_session(session), m_status(status), m_showMessage(std::move(showMessage))
{
    connect(&events, &TSessionBridge::SendWaiting, this,
            [this] { m_status.ShowSendNote(tr("waiting for the line (Close Port abandons the send)")); });
    connect(&events, &TSessionBridge::SendDone, this, &TSendReports::Done);
    connect(&services, &TFeatureServices::PortOpened, this, [this] { m_autoFaultNoted = false; });
    connect(&services, &TFeatureServices::PortLost, this, [this] {
        if (m_session.AutoSendState() != AUTOSEND_STOPPED)
            NoteAutoSendFault(tr("the port was lost; sends are dropped until a port is open"));
    });
}

// What went out has been through the traffic path (and its log stage) already.
void TSendReports::Done(const ST_SendReport &report)
{
    const ST_SendOutcome &outcome = report.Outcome;
    const bool whole = outcome.Whole();
    if (whole || outcome.Written > 0) {
        m_status.ShowSendCount(m_session.SendBytes(), m_session.SendBlocks());
        m_status.Panel(TStatusArea::Send)->setToolTip(QString());
    }
    if (whole) {
        if (report.Auto)
            m_autoFaultNoted = false;
    } else {
        ReportFault(report);
    }
    if (report.Settled)
        m_manualFaultNoted = false;
}

void TSendReports::ReportFault(const ST_SendReport &report)
{
    const ST_SendOutcome &outcome = report.Outcome;
    const QString what = tr("%1 of %2 bytes sent").arg(outcome.Written).arg(report.Item.GetLength());
    const bool cut = outcome.Cancelled || outcome.Code == ERROR_INVALID_HANDLE;
    if (cut && !report.PortLost) {
        m_status.ShowSendNote(tr("send abandoned, %1").arg(what));
        return;
    }
    const QString reason = cut ? tr("the port was lost") : CoreText(SerialErrorText(outcome.Code, false));
    const QString detail = what + QStringLiteral(": ") + reason;
    if (report.Auto) {
        NoteAutoSendFault(tr("send failed, %1").arg(detail));
        return;
    }
    m_status.ShowSendNote(tr("send failed, %1").arg(detail));
    if (!m_manualFaultNoted) {
        m_manualFaultNoted = true;
        m_showMessage(tr("Send failed, %1").arg(detail));
    }
}

void TSendReports::NoteAutoSendFault(const QString &what)
{
    if (m_autoFaultNoted)
        return;
    m_autoFaultNoted = true;
    AppendLogFormatted(DiagLogPath(), "TfrmMain::SendItem - Auto send: %s", what.toLocal8Bit().constData());
    m_status.ShowSendNote(tr("auto send: %1").arg(what));
}
