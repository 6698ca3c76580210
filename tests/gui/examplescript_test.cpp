// The manual's example scripts as its tour runs them: in the window, on a demo board that already
// waits at its prompt and says nothing until it is asked.
#include "demo/demodevices.h"
#include "link/linksetting.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TScriptCommands.h"
#include "portbase/demoports.h"

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"

#include <QMainWindow>
#include <gtest/gtest.h>

namespace {

std::string LogText(const QWidget &window)
{
    const auto *log = Find<TTrafficLog>(window, "edData");
    std::string all;
    for (int i = 0; i < log->LineCount(); ++i)
        all += log->LineText(i) + "\n";
    return all;
}

} // namespace

TEST(ExampleScript, LinuxLoginPassesOnABoardWaitingAtItsPrompt)
{
    GuiTestEnv env;
    demo::InstallDemoPorts();
    struct Unregister
    {
        ~Unregister() { RegisterDemoPorts(nullptr); }
    } unregister;
    std::unique_ptr<QMainWindow> window = NewMainWindow();
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = "demo://board";
    Feature<TPortCommands>(*window)->Open(link);
    ASSERT_TRUE(WaitUntil([&] { return LogText(*window).find("demo login: ") != std::string::npos; }, 30000));

    TScriptCommands *scripts = Feature<TScriptCommands>(*window);
    ASSERT_TRUE(scripts->Run(QStringLiteral(KESTRUM_EXAMPLES "/linux-login.lua")));
    ASSERT_TRUE(WaitUntil([&] { return !scripts->Running(); }, 60000));
    EXPECT_TRUE(WaitUntil([&] {
        return LogText(*window).find("linux-login.lua passed") != std::string::npos;
    })) << LogText(*window);
}
