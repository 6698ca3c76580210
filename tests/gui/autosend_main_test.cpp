#include "autosend/engine.h"
#include "autosend/rulelist.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

struct Controls
{
    QToolButton *start, *pause, *stop;
    QAction *mnuStart, *mnuPause, *mnuStop;

    explicit Controls(const QMainWindow &w)
        : start(w.findChild<QToolButton *>("btnStartAutoSend")),
          pause(w.findChild<QToolButton *>("btnPauseAutoSend")),
          stop(w.findChild<QToolButton *>("btnStopAutoSend")),
          mnuStart(w.findChild<QAction *>("mnuOpStartAutoSend")),
          mnuPause(w.findChild<QAction *>("mnuOpPauseAutoSend")),
          mnuStop(w.findChild<QAction *>("mnuOpStopAutoSend"))
    {
    }

    // Enabled states of Start, Pause and Stop, each checked against its menu item.
    std::string Enabled() const
    {
        EXPECT_EQ(mnuStart->isEnabled(), start->isEnabled());
        EXPECT_EQ(mnuPause->isEnabled(), pause->isEnabled());
        EXPECT_EQ(mnuStop->isEnabled(), stop->isEnabled());
        return std::string(start->isEnabled() ? "S" : "-") + (pause->isEnabled() ? "P" : "-") +
               (stop->isEnabled() ? "X" : "-");
    }
    // Pressed states of Start and Pause, checked against the menu; Stop is never checked.
    std::string Pressed() const
    {
        EXPECT_EQ(mnuStart->isChecked(), start->isChecked());
        EXPECT_EQ(mnuPause->isChecked(), pause->isChecked());
        EXPECT_FALSE(mnuStop->isChecked());
        return std::string(start->isChecked() ? "S" : "-") + (pause->isChecked() ? "P" : "-");
    }
};

std::unique_ptr<CSingleRule> Single(const char *name, std::unique_ptr<CEvent> event, const std::string &send,
                                    bool always)
{
    auto rule = std::make_unique<CSingleRule>();
    rule->Name = name;
    rule->Event = std::move(event);
    rule->DataItem = CCommData(send, FMT_STRING);
    rule->Always = always;
    return rule;
}

// The far end of the port: collects what the window sends while the event loop runs.
class Device
{
public:
    explicit Device(CTestPty &pty) : m_pty(pty) {}

    const std::string &Seen()
    {
        const std::vector<uint8_t> got = m_pty.Receive(4096, 0);
        m_seen.append(got.begin(), got.end());
        return m_seen;
    }
    bool WaitFor(const std::string &text, int ms = 3000)
    {
        return WaitUntil([&] { return Seen().find(text) != std::string::npos; }, ms);
    }
    // Nothing new arrives for `ms` while the event loop runs.
    bool StaysQuiet(int ms)
    {
        const size_t before = Seen().size();
        Pump(ms);
        return Seen().size() == before;
    }

private:
    CTestPty &m_pty;
    std::string m_seen;
};

// "B" on every Begin, "P" on every Pause, "R" on every Resume: the actions the controls queue
// become visible at the device.
void WriteActionRules(const GuiTestEnv &env)
{
    CRuleList rules;
    rules.Add(Single("begin", std::make_unique<CActionEvent>(ACTION_BEGIN), "B", true));
    rules.Add(Single("pause", std::make_unique<CActionEvent>(ACTION_PAUSE), "P", true));
    rules.Add(Single("resume", std::make_unique<CActionEvent>(ACTION_RESUME), "R", true));
    rules.SaveToFile(env.File("Default.ass"));
}

} // namespace

TEST(AutoSendControls, StatesFollowThePortAndTheRun)
{
    GuiTestEnv env;
    WriteActionRules(env);
    CTestPty pty;
    Device device(pty);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const Controls c(w);
    EXPECT_EQ(c.Enabled(), "---");
    EXPECT_EQ(c.Pressed(), "--");

    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(c.Enabled(), "S--");

    c.start->click();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_RUNNING);
    EXPECT_EQ(c.Enabled(), "SPX");
    EXPECT_EQ(c.Pressed(), "S-");
    EXPECT_TRUE(SessionOf(w).AutoSendEngine().HasThreads());
    EXPECT_TRUE(device.WaitFor("B"));

    c.pause->click();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_PAUSED);
    EXPECT_EQ(c.Pressed(), "SP");
    EXPECT_TRUE(device.WaitFor("BP"));
    c.mnuPause->trigger();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_RUNNING);
    EXPECT_EQ(c.Pressed(), "S-");
    EXPECT_TRUE(device.WaitFor("BPR"));

    // Start while running changes nothing: no new run, no second Begin.
    const int64_t started = SessionOf(w).AutoSend().Marks().StartTime;
    c.start->click();
    EXPECT_EQ(c.Pressed(), "S-");
    EXPECT_EQ(SessionOf(w).AutoSend().Marks().StartTime, started);
    EXPECT_TRUE(device.StaysQuiet(150));

    // Closing the port keeps the run; only Pause and Stop wait for the port.
    Feature<TPortCommands>(w)->Close();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_RUNNING);
    EXPECT_TRUE(SessionOf(w).AutoSendEngine().HasThreads());
    EXPECT_EQ(c.Enabled(), "---");
    EXPECT_EQ(c.Pressed(), "S-");
    c.mnuStop->trigger();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_RUNNING) << "a disabled command does nothing";
    w.findChild<QAction *>("mnuOpQuickLink")->trigger();
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(c.Enabled(), "SPX");

    c.stop->click();
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_STOPPED);
    EXPECT_FALSE(SessionOf(w).AutoSendEngine().HasThreads()) << "Stop waits for both threads";
    EXPECT_EQ(c.Enabled(), "S--");
    EXPECT_EQ(c.Pressed(), "--");
    EXPECT_TRUE(device.StaysQuiet(100));
    EXPECT_EQ(device.Seen(), "BPR");
}

TEST(AutoSendControls, FunctionKeysDriveTheRun)
{
    GuiTestEnv env;
    WriteActionRules(env);
    CTestPty pty;
    Device device(pty);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const Controls c(w);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    // Without a port every key is refused.
    for (Qt::Key key : {Qt::Key_F9, Qt::Key_F11, Qt::Key_F10})
        QTest::keyClick(&w, key);
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_STOPPED);
    EXPECT_FALSE(SessionOf(w).AutoSendEngine().HasThreads());

    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    QTest::keyClick(&w, Qt::Key_F9);
    EXPECT_EQ(c.Pressed(), "S-");
    ASSERT_TRUE(device.WaitFor("B"));
    const int64_t started = SessionOf(w).AutoSend().Marks().StartTime;
    QTest::keyClick(&w, Qt::Key_F9);
    EXPECT_EQ(SessionOf(w).AutoSend().Marks().StartTime, started) << "F9 while running does nothing";

    QTest::keyClick(&w, Qt::Key_F11);
    EXPECT_EQ(c.Pressed(), "SP");
    QTest::keyClick(&w, Qt::Key_F11);
    EXPECT_EQ(c.Pressed(), "S-");
    EXPECT_TRUE(device.WaitFor("BPR"));

    QTest::keyClick(&w, Qt::Key_F10);
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState, AUTOSEND_STOPPED);
    EXPECT_EQ(c.Pressed(), "--");
    EXPECT_EQ(c.Enabled(), "S--");
    EXPECT_FALSE(SessionOf(w).AutoSendEngine().HasThreads());
    EXPECT_TRUE(device.StaysQuiet(100));
    EXPECT_EQ(device.Seen(), "BPR");
}

// A new run starts with fresh rules, a new start time and no send or receive marks: a rule timed
// from the last receive waits for a receive of its own run.
TEST(AutoSendControls, StartAfterStopBeginsAFreshRun)
{
    GuiTestEnv env;
    CRuleList rules;
    rules.Add(Single("once", std::make_unique<CActionEvent>(ACTION_BEGIN), "b", false));
    rules.Add(Single("after", std::make_unique<CTimeEvent>("00:00:00.050", TIME_FROM_REC_END), "t", false));
    rules.SaveToFile(env.File("Default.ass"));
    CTestPty pty;
    Device device(pty);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const Controls c(w);
    Feature<TPortCommands>(w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());

    c.start->click();
    ASSERT_TRUE(device.WaitFor("b"));
    EXPECT_TRUE(device.StaysQuiet(200)) << "no receive yet, so no timed send";
    pty.Send("x");
    EXPECT_TRUE(device.WaitFor("bt"));
    EXPECT_TRUE(SessionOf(w).AutoSend().Marks().RecEndValid);
    const int64_t firstStart = SessionOf(w).AutoSend().Marks().StartTime;
    c.stop->click();

    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    c.start->click();
    const ST_TimeMarks marks = SessionOf(w).AutoSend().Marks();
    EXPECT_GT(marks.StartTime, firstStart);
    EXPECT_FALSE(marks.RecEndValid || marks.RecBeginValid);
    EXPECT_TRUE(device.WaitFor("btb")) << "the once-only rule fires again in the new run";
    EXPECT_TRUE(device.StaysQuiet(200)) << "the old run's receive does not time the new run";
    pty.Send("y");
    EXPECT_TRUE(device.WaitFor("btbt"));
    c.stop->click();
}

// The whole path: rules written to "Default.ass", started from the window, answering a device on
// a pseudo-terminal while a group steps through its items.
TEST(AutoSendEndToEnd, AnswersTheDeviceAndStepsThroughAGroup)
{
    GuiTestEnv env;
    CRuleList rules;
    rules.Add(Single("Answer", std::make_unique<CReceiveSpecDataEvent>(CCommData("Q?", FMT_STRING)), "<ack>",
                     true));
    auto group = std::make_unique<CGroupRule>();
    group->Name = "Polling";
    group->StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group->StepEvent = std::make_unique<CTimeEvent>("00:00:00.050", TIME_FROM_SEND_END);
    group->StepDelay = 60;
    group->Items = {CCommData("[g1]", FMT_STRING), CCommData("[g2]", FMT_STRING),
                    CCommData("[g3]", FMT_STRING)};
    rules.Add(std::move(group));
    rules.SaveToFile(env.File("Default.ass"));
    {
        CRuleList check;
        ASSERT_TRUE(check.LoadFromFile(env.File("Default.ass")));
        ASSERT_EQ(check.Count(), 2);
    }

    CTestPty pty;
    Device device(pty);
    auto w = NewMainWindow();
    Feature<TPortCommands>(*w)->Open(Link("Test", pty.Path()));
    ASSERT_TRUE(SessionOf(*w).IsOpen());
    Controls(*w).start->click();

    // Each question is its own block; a block that does not begin with it gets no answer.
    int blocks = 0;
    size_t answers = 0;
    for (const char *block : {"Q?1", "nope", "Q?2", "Q?3"}) {
        pty.Send(std::string(block));
        ++blocks;
        ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).RecBlocks() == blocks; }));
        if (block[0] == 'Q')
            ++answers;
        ASSERT_TRUE(WaitUntil([&] { return CountOf(device.Seen(), "<ack>") == static_cast<int>(answers); }))
            << device.Seen();
    }
    ASSERT_TRUE(device.WaitFor("[g3]")) << device.Seen();
    EXPECT_TRUE(device.StaysQuiet(200));

    std::string groupPart, answerPart = device.Seen();
    for (size_t at; (at = answerPart.find('[')) != std::string::npos;) {
        groupPart += answerPart.substr(at, 4);
        answerPart.erase(at, 4);
    }
    EXPECT_EQ(groupPart, "[g1][g2][g3]");
    EXPECT_EQ(answerPart, "<ack><ack><ack>");
    EXPECT_EQ(SessionOf(*w).SendBlocks(), 6);

    // Exit while the run goes on: the window waits for the engine's threads and goes cleanly.
    pty.Send("Q?4");
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).RecBlocks() == 5; }));
    ASSERT_TRUE(SessionOf(*w).AutoSendEngine().HasThreads());
    w.reset();
    pty.Receive(4096, 50);
}
