// The window under load from every side at once, for the race detector: a device floods the port
// and gets answers, a group steps every 10 ms, and the user pauses, stops, closes and reopens by
// keys in a random order. Each step waits for the state it leads to; the run is a fixed number of
// steps from a fixed seed.
#include "autosend/engine.h"
#include "autosend/rulelist.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <random>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

constexpr int kHangMs = 30000; // only ends a hang

void WriteRules(const GuiTestEnv &env)
{
    CRuleList rules;
    auto answer = std::make_unique<CSingleRule>();
    answer->Name = "Answer";
    answer->Event = std::make_unique<CReceiveAnythingEvent>();
    answer->DataItem = CCommData("<ack>", FMT_STRING);
    answer->Always = true;
    rules.Add(std::move(answer));
    auto group = std::make_unique<CGroupRule>();
    group->Name = "Poll";
    group->StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group->StepEvent = std::make_unique<CTimeEvent>("00:00:00.010", TIME_FROM_SEND_BEGIN);
    group->Loop = true;
    group->Items = {CCommData("[g1]", FMT_STRING), CCommData("[g2]", FMT_STRING)};
    rules.Add(std::move(group));
    rules.SaveToFile(env.File("Default.ass"));
}

} // namespace

TEST(Stress, FloodAnswersAndKeysInARandomOrder)
{
    GuiTestEnv env;
    WriteRules(env);
    CTestPty pty;
    auto w = NewMainWindow();
    // Active for the shortcuts, never painted: painting hands work to Qt's own threads.
    w->setAttribute(Qt::WA_DontShowOnScreen);
    w->setUpdatesEnabled(false);
    w->show();
    QApplication::setActiveWindow(w.get());
    Feature<TPortCommands>(*w)->Open(Link("Stress", pty.Path()));
    ASSERT_TRUE(SessionOf(*w).IsOpen());
    ModalCatcher boxes;

    std::mt19937 random(17);
    std::string seen; // what the device got
    const auto state = [&] { return SessionOf(*w).AutoSend().AutoSendState.load(); };
    // What the window did, as seen from outside: bytes it counted, reopens, runs paused.
    int64_t counted = 0;
    int reopens = 0, pauses = 0;
    for (int step = 0; step < 400; ++step) {
        const std::vector<uint8_t> got = pty.Receive(1 << 16, 0);
        seen.append(got.begin(), got.end());
        const bool open = SessionOf(*w).IsOpen();
        const int action = static_cast<int>(random() % 10);
        if (!open || action == 9) {
            QTest::keyClick(w.get(), open ? Qt::Key_F6 : Qt::Key_F5);
            ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).IsOpen() != open; }, kHangMs)) << step;
            reopens += open ? 0 : 1;
        } else if (action < 6) {
            std::vector<uint8_t> chunk(1 + random() % 2048);
            for (uint8_t &byte : chunk)
                byte = static_cast<uint8_t>(random());
            const int64_t before = SessionOf(*w).RecBytes();
            const int64_t expected = before + static_cast<int64_t>(chunk.size());
            ASSERT_TRUE(pty.Send(chunk));
            ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).RecBytes() == expected; }, kHangMs)) << step;
            counted += SessionOf(*w).RecBytes() - before;
        } else {
            // F9 starts a stopped run, F11 pauses or resumes it, F10 stops it; otherwise the key
            // does nothing.
            const Qt::Key key = action == 6 ? Qt::Key_F9 : action == 7 ? Qt::Key_F11 : Qt::Key_F10;
            const int before = state();
            int after = before;
            if (key == Qt::Key_F9 && before == AUTOSEND_STOPPED)
                after = AUTOSEND_RUNNING;
            else if (key == Qt::Key_F11 && before != AUTOSEND_STOPPED)
                after = before == AUTOSEND_RUNNING ? AUTOSEND_PAUSED : AUTOSEND_RUNNING;
            else if (key == Qt::Key_F10)
                after = AUTOSEND_STOPPED;
            QTest::keyClick(w.get(), key);
            ASSERT_TRUE(WaitUntil([&] { return state() == after; }, kHangMs)) << step << " " << key;
            if (after == AUTOSEND_STOPPED) {
                EXPECT_FALSE(SessionOf(*w).AutoSendEngine().HasThreads());
            }
            pauses += state() == AUTOSEND_PAUSED && before != AUTOSEND_PAUSED ? 1 : 0;
        }
    }
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Seen().join(QStringLiteral(" | ")).toStdString();
    EXPECT_GT(counted, 100 * 1024) << "the window counted the floods";
    EXPECT_GT(reopens, 10) << "closed ports were reopened";
    EXPECT_GT(pauses, 5) << "running auto sends were paused";
    EXPECT_GT(CountOf(seen, "<ack>"), 10) << "the device's data was answered";
    EXPECT_GT(CountOf(seen, "[g1]"), 0) << "the group stepped";

    // Exit with the run going, a flood on the line.
    if (!SessionOf(*w).IsOpen())
        QTest::keyClick(w.get(), Qt::Key_F5);
    if (state() == AUTOSEND_STOPPED)
        QTest::keyClick(w.get(), Qt::Key_F9);
    ASSERT_TRUE(SessionOf(*w).IsOpen() && SessionOf(*w).AutoSendEngine().HasThreads());
    ASSERT_TRUE(pty.Send(std::vector<uint8_t>(4096, 'x')));
    w.reset();
}
