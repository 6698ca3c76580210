// A port whose device went away: a note in the log, and, when the user asked for it, the same
// link opened again as soon as the same device is back, never another one that took its name.
// The device is looked for twice a second: a stat call, and a few small sysfs reads once a node
// of that name exists; opening a port is quick, so the window never waits long.
#include "Serial/SerialWnd.h"
#include "Serial/devicereturn.h"
#include "app/MainWindow.h"
#include "app/MainWindowExtras.h"
#include "app/TrafficLog.h"

#include <QLabel>

namespace {

constexpr int kRetryMs = 500;
// A device just plugged in may refuse to open for a moment (udev has not given it its group yet,
// a modem service probes it), so the first tries fail quietly; after that the user hears once,
// and the tries slow down: a device that does not open now seldom does a moment later.
constexpr int kQuietFailures = 4;
constexpr int kSlowRetryMs = 5000;

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
    m_extras->deviceRoots.ByIdFolder = folder;
}

bool TfrmMain::WaitingForPort() const
{
    return m_extras && m_extras->reconnect && m_extras->lostLink && !IsPortOpen();
}

void TfrmMain::NotePortOpened(const std::string &device)
{
    if (!m_extras)
        return;
    m_extras->openMark = MarkDevice(device, m_extras->deviceRoots);
    // Whatever opened a port, a port lost earlier is no longer waited for.
    EndReconnectWait();
}

void TfrmMain::NotePortLost(long code)
{
    TfrmMainExtras &x = *m_extras;
    const std::string port = m_lastLink ? m_lastLink->PortName : std::string();
    ui.edData->LogNote("Port lost: " + port + " (" + SerialErrorText(code, false) + ")");
    x.lostLink = m_lastLink;
    x.lostMark = x.openMark;
    x.lostReason = QString::fromLocal8Bit(SerialErrorText(code, false));
    x.failedReturns = 0;
    x.returnError.clear();
    ShowReconnectWait();
    UpdateControls();
}

void TfrmMain::EndReconnectWait()
{
    TfrmMainExtras &x = *m_extras;
    x.lostLink.reset();
    x.reconnectTimer.stop();
    x.failedReturns = 0;
    x.returnError.clear();
}

// The first status panel says what is awaited, or that the port was lost once the user no
// longer waits for it; the tries run only while it says so.
void TfrmMain::ShowReconnectWait()
{
    TfrmMainExtras &x = *m_extras;
    if (!WaitingForPort()) {
        x.reconnectTimer.stop();
        if (x.lostLink && !IsPortOpen()) {
            ui.panels[0]->setText(QStringLiteral("Port: lost"));
            ui.panels[0]->setToolTip(QStringLiteral("The port was lost: ") + x.lostReason);
        }
        return;
    }
    if (!x.reconnectTimer.isActive())
        x.reconnectTimer.start(x.failedReturns >= kQuietFailures ? kSlowRetryMs : kRetryMs);
    const ST_DeviceMark &mark = x.lostMark;
    QString tip =
        QStringLiteral("The port was lost: ") + x.lostReason + QStringLiteral("\nIt is reopened when ");
    if (!mark.ById.empty())
        tip += QString::fromLocal8Bit(mark.ById) + QStringLiteral(" is back.");
    else if (!mark.Identity.empty())
        tip += QString::fromLocal8Bit(mark.Path) + QStringLiteral(" is back with the same device (") +
               QString::fromLocal8Bit(mark.Identity) + QStringLiteral(").");
    else
        tip += QString::fromLocal8Bit(mark.Path) + QStringLiteral(" is back.");
    if (!x.returnError.isEmpty())
        tip += QStringLiteral("\nThe device is back but did not open: ") + x.returnError;
    ui.panels[0]->setText(
        QStringLiteral("Waiting for %1 to come back").arg(ShortPortName(x.lostLink->PortName)));
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
    const std::string device = ReturnedDevicePath(x.lostMark, x.deviceRoots);
    if (device.empty())
        return;
    // The link keeps the name the user gave it; only the device opened for it may differ.
    const COM_PORT_SETTING link = *x.lostLink;
    m_quietMessages = true;
    m_heldMessage.clear();
    OpenLink(link, device);
    m_quietMessages = false;
    if (IsPortOpen()) {
        std::string note = "Port back: " + link.PortName;
        if (device != CSerial::DevicePath(link.PortName))
            note += " (" + device + ")";
        ui.edData->LogNote(note);
        return;
    }
    x.returnError = m_heldMessage;
    ++x.failedReturns;
    if (x.failedReturns == kQuietFailures)
        x.reconnectTimer.start(kSlowRetryMs);
    ShowReconnectWait();
    // The box waits for the user while the slower tries go on: a port that opens meanwhile is
    // not held up by a box nobody is there to close.
    if (x.failedReturns == kQuietFailures)
        ShowMessage(x.returnError +
                    QStringLiteral("\n\nThe device is back but could not be opened. Kestrum tries "
                                   "again every 5 seconds; Close Port stops waiting."));
}
