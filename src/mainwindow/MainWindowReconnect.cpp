// A port whose device went away: a note in the log, and, when the user asked for it, the same
// link opened again as soon as the same device is back, never another one that took its name.
// The session knows what is awaited; the window looks for it twice a second: a stat call, and a
// few small sysfs reads once a node of that name exists; opening a port is quick, so the window
// never waits long. A port on another machine cannot be looked for: the window connects to the
// same address again, on the session's own thread, less and less often up to every 5 seconds.
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"

#include <QLabel>

namespace {

constexpr int kRetryMs = 500;
// A device just plugged in may refuse to open for a moment (udev has not given it its group yet,
// a modem service probes it), so the first tries fail quietly; after that the user hears once,
// and the tries slow down: a device that does not open now seldom does a moment later.
constexpr int kQuietFailures = 4;
constexpr int kSlowRetryMs = 5000;
constexpr int kFirstConnectRetryMs = 1000;

bool IsNetworkLink(const std::optional<COM_PORT_SETTING> &link)
{
    return link && CPortSession::NeedsConnect(*link);
}

// The name a user knows the port by: "ttyUSB0", "pts/3", or the last part of a longer path.
QString ShortPortName(const std::string &port)
{
    std::string name = CSerial::DevicePath(port);
    if (name.rfind("/dev/", 0) == 0)
        name = name.substr(5);
    const size_t slash = name.find_last_of('/');
    const bool number = slash != std::string::npos && slash + 1 < name.size() &&
                        name.find_first_not_of("0123456789", slash + 1) == std::string::npos;
    if (slash != std::string::npos && !number)
        name = name.substr(slash + 1);
    return QString::fromLocal8Bit(name);
}

} // namespace

void TfrmMain::SetByIdFolder(const std::string &folder)
{
    m_session->SetByIdFolder(folder);
}

bool TfrmMain::WaitingForPort() const
{
    return m_session && m_session->WaitingForPort();
}

// The session has noted what is awaited: the link of the lost port and its device.
void TfrmMain::NotePortLost(long code)
{
    TfrmMainExtras &x = *m_extras;
    const std::string port = m_lastLink ? m_lastLink->PortName : std::string();
    ui.edData->LogNote("Port lost: " + port + " (" + SerialErrorText(code, false) + ")");
    x.lostReason = QString::fromLocal8Bit(SerialErrorText(code, false));
    x.returnError.clear();
    ShowReconnectWait();
    UpdateControls();
}

void TfrmMain::EndReconnectWait()
{
    TfrmMainExtras &x = *m_extras;
    m_session->EndReconnectWait();
    x.reconnectTimer.stop();
    x.returnError.clear();
}

// The first status panel says what is awaited, or that the port was lost once the user no
// longer waits for it; the tries run only while it says so.
void TfrmMain::ShowReconnectWait()
{
    TfrmMainExtras &x = *m_extras;
    if (!WaitingForPort()) {
        x.reconnectTimer.stop();
        if (m_session->LostLink() && !IsPortOpen()) {
            ui.panels[0]->setText(QStringLiteral("Port: lost"));
            ui.panels[0]->setToolTip(QStringLiteral("The port was lost: ") + x.lostReason);
        }
        return;
    }
    const bool network = IsNetworkLink(m_session->LostLink());
    const int failed = m_session->FailedReturns();
    if (!x.reconnectTimer.isActive())
        x.reconnectTimer.start(network ? std::min(kSlowRetryMs, kFirstConnectRetryMs << std::min(failed, 3))
                               : failed >= kQuietFailures ? kSlowRetryMs
                                                          : kRetryMs);
    const ST_DeviceMark &mark = m_session->LostMark();
    QString tip =
        QStringLiteral("The port was lost: ") + x.lostReason + QStringLiteral("\nIt is reopened when ");
    if (network)
        tip += QStringLiteral("the server answers again.");
    else if (!mark.ById.empty())
        tip += QString::fromLocal8Bit(mark.ById) + QStringLiteral(" is back.");
    else if (!mark.Identity.empty())
        tip += QString::fromLocal8Bit(mark.Path) + QStringLiteral(" is back with the same device (") +
               QString::fromLocal8Bit(mark.Identity) + QStringLiteral(").");
    else
        tip += QString::fromLocal8Bit(mark.Path) + QStringLiteral(" is back.");
    if (!x.returnError.isEmpty())
        tip += (network ? QStringLiteral("\nThe last try: ")
                        : QStringLiteral("\nThe device is back but did not open: ")) +
               x.returnError;
    ui.panels[0]->setText(
        QStringLiteral("Waiting for %1 to come back").arg(ShortPortName(m_session->LostLink()->PortName)));
    ui.panels[0]->setToolTip(tip);
    FitStatusPanels(ui, false);
}

void TfrmMain::ReconnectTick()
{
    TfrmMainExtras &x = *m_extras;
    if (!WaitingForPort()) {
        x.reconnectTimer.stop();
        return;
    }
    const COM_PORT_SETTING link = *m_session->LostLink();
    if (IsNetworkLink(link)) {
        if (m_session->Connecting())
            return;
        x.reconnectTimer.stop();
        m_retryNextOpen = true;
        OpenLink(link);
        return;
    }
    const std::string device = m_session->ReturnedDevice();
    if (device.empty())
        return;
    // The link keeps the name the user gave it; only the device opened for it may differ.
    m_quietMessages = true;
    m_heldMessage.clear();
    OpenLink(link, device);
    m_quietMessages = false;
    ReconnectTried(link, device);
}

void TfrmMain::ReconnectTried(const COM_PORT_SETTING &link, const std::string &device)
{
    TfrmMainExtras &x = *m_extras;
    if (IsPortOpen()) {
        std::string note = "Port back: " + link.PortName;
        if (!device.empty() && device != CSerial::DevicePath(link.PortName))
            note += " (" + device + ")";
        ui.edData->LogNote(note);
        return;
    }
    if (!WaitingForPort())
        return; // the user stopped waiting meanwhile
    x.returnError = m_heldMessage;
    const int failed = m_session->NoteReturnFailed();
    if (IsNetworkLink(link)) {
        // A server that is down is the common case here, not a fault to stop the user for.
        x.reconnectTimer.stop();
        ShowReconnectWait();
        return;
    }
    if (failed == kQuietFailures)
        x.reconnectTimer.start(kSlowRetryMs);
    ShowReconnectWait();
    // The box waits for the user while the slower tries go on: a port that opens meanwhile is
    // not held up by a box nobody is there to close.
    if (failed == kQuietFailures)
        ShowMessage(x.returnError +
                    QStringLiteral("\n\nThe device is back but could not be opened. Kestrum tries "
                                   "again every 5 seconds; Close Port stops waiting."));
}
