#include "guiwindow.h"

#include <csignal>
#include <sys/wait.h>

#include "guiwidgets.h"
#include "lineprogram.h"
#include "mainwindow/features/TPortCommands.h"

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
    w = NewMainWindow();
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = pty.Path();
    Feature<TPortCommands>(*w)->Open(link);
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
