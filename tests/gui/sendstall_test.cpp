// The window on a line that stops taking data or goes away: every command returns (the test
// goes on only if it does), and counters and log show only what went out.
#include "autosend/engine.h"
#include "autosend/rulelist.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/diaglog.h"
#include "platform/textfile.h"
#include "serial/serial.h"
#include "session/portsession.h"

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

constexpr uint8_t kXoff = 0x13;
constexpr int kHangMs = 30000; // only ends a hang

// A group that starts on Begin and steps every 10 ms after a send began, round and round.
void WriteBusyGroup(const GuiTestEnv &env)
{
    auto group = std::make_unique<CGroupRule>();
    group->Name = "Busy";
    group->StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group->StepEvent = std::make_unique<CTimeEvent>("00:00:00.010", TIME_FROM_SEND_BEGIN);
    group->Loop = true;
    group->Items = {CCommData("[g1]", FMT_STRING), CCommData("[g2]", FMT_STRING)};
    CRuleList rules;
    rules.Add(std::move(group));
    rules.SaveToFile(env.File("Default.ass"));
}

bool SendPanelSays(const QMainWindow &w, const char *text)
{
    return StatusPanel(w, 7).contains(QString::fromLatin1(text));
}

std::string LastLogLine(const QMainWindow &w)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    return log->LineCount() == 0 ? std::string() : log->LineText(log->LineCount() - 1);
}

} // namespace

// The device holds the line with XOFF while a group keeps sending.
TEST(SendStall, StopStartSendCloseAndExitNeverWaitForTheLine)
{
    GuiTestEnv env;
    WriteBusyGroup(env);
    CTestPty pty;
    auto w = NewMainWindow();
    COM_PORT_SETTING link = Link("Held", pty.Path());
    link.FlowControl = 1;
    Feature<TPortCommands>(*w)->Open(link);
    ASSERT_TRUE(SessionOf(*w).IsOpen());
    ASSERT_TRUE(pty.Send(std::vector<uint8_t>{kXoff}));

    Find<QToolButton>(*w, "btnStartAutoSend")->click();
    ASSERT_TRUE(WaitUntil([&] { return SendPanelSays(*w, "waiting"); }, kHangMs))
        << StatusPanel(*w, 7).toStdString();

    Find<QAction>(*w, "mnuOpStopAutoSend")->trigger();
    EXPECT_EQ(SessionOf(*w).AutoSend().AutoSendState.load(), AUTOSEND_STOPPED);
    EXPECT_FALSE(SessionOf(*w).AutoSendEngine().HasThreads());

    Find<QAction>(*w, "mnuOpStartAutoSend")->trigger();
    EXPECT_TRUE(SessionOf(*w).AutoSendEngine().HasThreads());
    QTest::keyClicks(Find<QTextEdit>(*w, "edSendItem"), QStringLiteral("hello"));
    Find<QPushButton>(*w, "btnSend")->click();
    EXPECT_FALSE(SessionOf(*w).SendsSettled());

    Find<QAction>(*w, "mnuOpClosePort")->trigger();
    EXPECT_FALSE(SessionOf(*w).IsOpen());
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).SendsSettled(); }, kHangMs));
    EXPECT_EQ(LastLogLine(*w).find("hello"), std::string::npos) << "the abandoned send is not logged";
    CSerial other;
    EXPECT_EQ(other.Open(pty.Path()), 0) << "the port was let go";
    other.Close();

    Find<QAction>(*w, "mnuFileExit")->trigger();
    w.reset();
}

// The far end goes while a big manual send waits for it: one box, and only what went out counts.
TEST(SendStall, AFailedManualSendIsToldOnceAndCountsOnlyWhatWentOut)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Gone", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    const CCommData flood(Bytes(1u << 20, 'f'), FMT_STRING);
    SendItem(w, flood);
    SendItem(w, flood);
    ASSERT_TRUE(WaitUntil([&] { return SendPanelSays(w, "waiting"); }, kHangMs));

    ModalCatcher boxes;
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).SendsSettled() && !SessionOf(w).IsOpen(); }, kHangMs));
    ASSERT_EQ(boxes.Seen().size(), 1) << boxes.Seen().join(QStringLiteral(" | ")).toStdString();
    const int64_t sent = SessionOf(w).SendBytes();
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int64_t>(flood.GetLength()));
    EXPECT_TRUE(
        boxes.Seen().front().startsWith(QStringLiteral("Send failed, %1 of 1048576 bytes sent").arg(sent)))
        << boxes.Seen().front().toStdString();
    EXPECT_EQ(SessionOf(w).SendBlocks(), 0);
    // The sender's report and the listener's note of the lost port come from two threads, so
    // either may be logged last.
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    std::vector<std::string> lastLines;
    for (int line = std::max(0, log->LineCount() - 3); line < log->LineCount(); ++line)
        lastLines.push_back(log->LineText(line));
    const std::string sendLine = "Send :" + std::string(static_cast<size_t>(sent), 'f');
    EXPECT_NE(std::find(lastLines.begin(), lastLines.end(), sendLine), lastLines.end());
}

// Auto send outlives a lost port: one note and one log line for the loss, no count for what went
// nowhere, and a port opened again gets the run's answers.
TEST(SendStall, ALostPortIsNotedOnceAndAReopenedPortCarriesOn)
{
    GuiTestEnv env;
    {
        auto answer = std::make_unique<CSingleRule>();
        answer->Name = "Answer";
        answer->Event = std::make_unique<CReceiveAnythingEvent>();
        answer->DataItem = CCommData("<ack>", FMT_STRING);
        answer->Always = true;
        CRuleList rules;
        rules.Add(std::move(answer));
        rules.SaveToFile(env.File("Default.ass"));
    }
    auto first = std::make_unique<CTestPty>();
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Lost", first->Path()));
    Find<QToolButton>(w, "btnStartAutoSend")->click();
    ASSERT_TRUE(first->Send("x"));
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).SendBlocks() == 1; }, kHangMs));

    first->CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !SessionOf(w).IsOpen() && SessionOf(w).SendsSettled(); }, kHangMs));
    EXPECT_TRUE(SendPanelSays(w, "auto send:")) << StatusPanel(w, 7).toStdString();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState.load(), AUTOSEND_RUNNING);
    SendItem(w, CCommData(Bytes{1}));
    std::thread([&w] { SendItem(w, CCommData(Bytes{2})); }).join();
    EXPECT_EQ(SessionOf(w).SendBlocks(), 1) << "sends to a missing port are not counted";
    std::vector<std::string> diag;
    ReadTextLines(DiagLogPath(), diag);
    EXPECT_EQ(
        std::count_if(diag.begin(), diag.end(),
                      [](const std::string &line) { return line.find("Auto send") != std::string::npos; }),
        1);

    CTestPty second;
    Feature<TPortCommands>(w)->Open(Link("Again", second.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    ASSERT_TRUE(second.Send("y"));
    EXPECT_TRUE(WaitUntil([&] { return SessionOf(w).SendBlocks() == 2; }, kHangMs));
    EXPECT_EQ(second.Receive(5), (std::vector<uint8_t>{'<', 'a', 'c', 'k', '>'}));
    first.reset();
}

// The engine's thread sends while the GUI thread closes and opens the port under it.
TEST(SendStall, SendsFromAnotherThreadRaceCloseAndOpen)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const COM_PORT_SETTING link = Link("Race", pty.Path());
    Feature<TPortCommands>(w)->Open(link);
    std::atomic<bool> done{false};
    std::thread engine([&] {
        while (!done) {
            SendItem(w, CCommData(Bytes{1, 2, 3}));
            std::this_thread::yield();
        }
    });
    constexpr int kCloses = 20;
    for (int i = 0; i < kCloses; ++i) {
        pty.Receive(1 << 16, 0);
        Feature<TPortCommands>(w)->Close();
        QCoreApplication::processEvents();
        Feature<TPortCommands>(w)->Open(link);
        ASSERT_TRUE(SessionOf(w).IsOpen());
    }
    done = true;
    engine.join();
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).SendsSettled(); }, kHangMs));
    const int64_t cut = SessionOf(w).SendBytes() - 3 * SessionOf(w).SendBlocks();
    EXPECT_TRUE(cut >= 0 && cut < 3 * kCloses) << "whole items, and at most a part of one per close";
}
