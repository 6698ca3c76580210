// The GUI hand-over: work from a worker thread runs in the event loop, in order, and a close on
// the GUI thread never waits for a worker stuck in a delivery.
#include "platform/gui/qthandover.h"

#include "guiwait.h"

#include <QApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(QtHandOver, DeliveriesRunInTheEventLoopInOrderAndWaitForTheirEnd)
{
    QObject context;
    CQtHandOver handOver(&context);
    std::vector<int> ran;
    std::atomic<int> offGuiThread{0};
    std::atomic<int> completed{0};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            const size_t before = ran.size();
            // Deliver returns only after the task ran, so the worker sees its effect at once.
            if (handOver.Deliver([&, i] {
                    offGuiThread += QThread::currentThread() != qApp->thread();
                    ran.push_back(i);
                }) &&
                ran.size() == before + 1)
                ++completed;
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return completed.load() == 50; }, 10000));
    worker.join();
    ASSERT_EQ(ran.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(ran[static_cast<size_t>(i)], i);
    EXPECT_EQ(offGuiThread.load(), 0);
}

TEST(QtHandOver, CancelOnTheGuiThreadReleasesAWaitingWorkerAndItsTaskNeverRuns)
{
    QObject context;
    CQtHandOver handOver(&context);
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    // The GUI thread does not return to its event loop before cancelling, as a close would.
    std::thread worker([&] { result = handOver.Deliver([&] { ran = true; }) ? 1 : 0; });
    // Give the worker time to queue its delivery; the event loop is not run meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    handOver.Cancel();
    worker.join();
    EXPECT_EQ(result.load(), 0);
    Pump(50);
    EXPECT_FALSE(ran.load()) << "a cancelled delivery must not run later from the event loop";
}

TEST(QtHandOver, ATaskInANestedEventLoopDoesNotHoldUpTheNext)
{
    // A delivered task that shows a message box runs the event loop inside it; deliveries
    // queued behind it must run there, as the box may wait for them.
    QObject context;
    CQtHandOver handOver(&context);
    bool secondRan = false, firstDone = false, firstSawSecond = false;
    handOver.Forward([&] {
        firstSawSecond = WaitUntil([&] { return secondRan; }, 10000);
        firstDone = true;
    });
    handOver.Forward([&] { secondRan = true; });
    ASSERT_TRUE(WaitUntil([&] { return firstDone; }, 20000));
    EXPECT_TRUE(firstSawSecond);
}
