// A port whose device went away: a note in the log, and, when the user asked for it, the same
// link opened again as soon as the device is back. The device is looked for twice a second, which
// costs two stat calls; opening a port is quick, so the window never waits long.
#include "Serial/SerialWnd.h"
#include "Serial/devicereturn.h"
#include "app/MainWindow.h"
#include "app/MainWindowExtras.h"
#include "app/TrafficLog.h"

void TfrmMain::SetByIdFolder(const std::string &folder)
{
    m_extras->byIdFolder = folder;
}

void TfrmMain::NotePortLost(long code)
{
    TfrmMainExtras &x = *m_extras;
    const std::string port = m_lastLink ? m_lastLink->PortName : std::string();
    ui.edData->LogNote("Port lost: " + port + " (" + SerialErrorText(code, false) + ")");
    x.lostLink = m_lastLink;
    x.lostById = x.openById;
    if (x.reconnect && x.lostLink)
        x.reconnectTimer.start();
}

void TfrmMain::ReconnectTick()
{
    TfrmMainExtras &x = *m_extras;
    if (IsPortOpen() || !x.reconnect || !x.lostLink) {
        // The user opened a port (or gave up waiting): nothing is reopened behind their back.
        x.reconnectTimer.stop();
        x.lostLink.reset();
        return;
    }
    const std::string path = ReturnedDevicePath(x.lostLink->PortName, x.lostById);
    if (path.empty())
        return;
    COM_PORT_SETTING link = *x.lostLink;
    if (path != CSerial::DevicePath(link.PortName))
        link.PortName = path;
    m_quietMessages = true;
    OpenLink(link);
    m_quietMessages = false;
    if (!IsPortOpen())
        return; // back in name only, or busy: try again at the next tick
    x.reconnectTimer.stop();
    x.lostLink.reset();
    ui.edData->LogNote("Port back: " + link.PortName);
}
