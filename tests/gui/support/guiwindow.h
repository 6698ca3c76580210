#pragma once
// A window with its port open on a pseudo-terminal whose master end the test holds: the test
// plays the device, or hands the master end to a program such as a receiver of lrzsz.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "guitestenv.h"
#include "ptypair.h"

struct COpenWindow
{
    GuiTestEnv env;
    CTestPty pty;
    std::unique_ptr<QMainWindow> w;
    pid_t device = -1; // the program on the master end, killed at the end if it still runs

    // `prepare` writes the window's files before it starts.
    explicit COpenWindow(const std::function<void(GuiTestEnv &)> &prepare = {});
    ~COpenWindow();
    COpenWindow(const COpenWindow &) = delete;
    COpenWindow &operator=(const COpenWindow &) = delete;

    // A new window (the next run, when there was one) on the same port.
    void Open();
    // `args` in `folder` on the master end (see StartOnLine).
    void StartOnDevice(const std::string &folder, std::vector<std::string> args, std::string environment);
    // The program's exit status.
    int DeviceEnded();
};
