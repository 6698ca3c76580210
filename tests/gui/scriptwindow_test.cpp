// Operate > Run Script in the window: a script that answers the device, and ones stopped from the
// menu inside an endless loop, against the master end of a pseudo-terminal.
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TScriptCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <gtest/gtest.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"

namespace {

int LogLine(const QWidget &w, const std::string &text)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    for (int i = 0; i < log->LineCount(); ++i)
        if (log->LineText(i).find(text) != std::string::npos)
            return i;
    return -1;
}

bool LogHas(const QWidget &w, const std::string &text)
{
    return LogLine(w, text) >= 0;
}

TEST(ScriptWindow, AScriptAnswersTheDeviceAndAnEndlessOneStopsFromTheMenu)
{
    GuiTestEnv env;
    TempDir dir;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = pty.Path();
    Feature<TPortCommands>(w)->Open(link);
    auto *scripts = w.findChild<TScriptCommands *>();
    ASSERT_NE(scripts, nullptr);

    const std::string answer = dir.File("answer.lua");
    WriteRaw(answer,
             "local _, n = expect('value=(%d+)') note('got ' .. n) write('twice=' .. 2 * tonumber(n))");
    ASSERT_TRUE(scripts->Run(QString::fromStdString(answer)));
    pty.Send("value=21\r\n");
    std::string heard;
    EXPECT_TRUE(
        WaitUntil([&] { return (heard += pty.ReceiveText(1, 0)).find("twice=42") != std::string::npos; }));
    EXPECT_TRUE(WaitUntil([&] { return !scripts->Running(); }));
    // The script read the answer long before its block was complete: its notes still follow it.
    EXPECT_TRUE(WaitUntil([&] { return LogHas(w, "answer.lua passed"); }));
    const int answered = LogLine(w, "Rec  :v");
    EXPECT_GE(answered, 0);
    EXPECT_GT(LogLine(w, "Script: got 21"), answered);
    EXPECT_GT(LogLine(w, "answer.lua passed"), LogLine(w, "Script: got 21"));

    // The session's frames reach the script while it runs.
    SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(link));
    const std::string framed = dir.File("framed.lua");
    WriteRaw(framed,
             "local f = expectframe('^v') note('frame ' .. f.bytes:sub(1, -3) .. ' ' .. f.direction)");
    ASSERT_TRUE(scripts->Run(QString::fromStdString(framed)));
    pty.Send("skip\r\nvalue=7\r\n");
    EXPECT_TRUE(WaitUntil([&] { return LogHas(w, "framed.lua passed"); }));
    EXPECT_TRUE(LogHas(w, "Script: frame value=7 rx"));
    SessionOf(w).Frames().SetProfile(std::nullopt, {});

    // Offered again, and stopped inside a loop that never waits.
    const std::string endless = dir.File("endless.lua");
    WriteRaw(endless, "write('looping') while true do end");
    ASSERT_TRUE(scripts->Run(QString::fromStdString(endless)));
    heard.clear();
    EXPECT_TRUE(
        WaitUntil([&] { return (heard += pty.ReceiveText(1, 0)).find("looping") != std::string::npos; }));
    auto *stop = Find<QAction>(w, "mnuOpStopScript");
    EXPECT_TRUE(stop->isEnabled());
    stop->trigger();
    EXPECT_TRUE(WaitUntil([&] { return !scripts->Running(); }));
    EXPECT_TRUE(LogHas(w, "endless.lua stopped: stopped by the user"));
    // Lua looks at no hook inside a finalizer: one that never returns is let go.
    const std::string stuck = dir.File("stuck.lua");
    WriteRaw(stuck,
             "write('stuck') setmetatable({}, {__gc = function() while true do end end}) collectgarbage()");
    ASSERT_TRUE(scripts->Run(QString::fromStdString(stuck)));
    heard.clear();
    EXPECT_TRUE(
        WaitUntil([&] { return (heard += pty.ReceiveText(1, 0)).find("stuck") != std::string::npos; }));
    stop->trigger();
    EXPECT_TRUE(WaitUntil([&] { return !scripts->Running(); }));
    EXPECT_TRUE(LogHas(w, "stuck.lua stopped: it did not stop within a second"));
    // The first script, from the recent ones; the window's close ends it waiting.
    Find<QAction>(w, "mnuOpRecentScript3")->trigger();
    EXPECT_TRUE(scripts->Running());
}

} // namespace
