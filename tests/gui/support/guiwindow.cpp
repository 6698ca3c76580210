#include "guiwindow.h"

#include <csignal>
#include <sys/wait.h>

#include "lineprogram.h"

COpenWindow::COpenWindow(const std::function<void(GuiTestEnv &)> &prepare)
{
    if (prepare)
        prepare(env);
    Open();
}

COpenWindow::~COpenWindow()
{
    if (device > 0) {
        kill(device, SIGKILL);
        waitpid(device, nullptr, 0);
    }
}

void COpenWindow::Open()
{
    w.reset();
    w = std::make_unique<TfrmMain>();
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = pty.Path();
    w->OpenLink(link);
}

void COpenWindow::StartOnDevice(const std::string &folder, std::vector<std::string> args,
                                std::string environment)
{
    device = StartOnLine(pty.Master(), folder, std::move(args), std::move(environment), true);
}

int COpenWindow::DeviceEnded()
{
    const int status = WaitEnded(device);
    device = -1;
    return status;
}
