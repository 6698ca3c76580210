// Handing work to an owner thread and waiting for it, with cancellation from either side.
#include "platform/handover.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(HandOver, DeliveriesRunOnTheOwnerInOrder)
{
    CQueuedHandOver handOver;
    const std::thread::id owner = std::this_thread::get_id();
    std::vector<int> ran;
    std::atomic<int> wrongThread{0};
    std::atomic<bool> allDelivered{false};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            const bool done = handOver.Deliver([&, i] {
                wrongThread += std::this_thread::get_id() != owner;
                ran.push_back(i);
            });
            EXPECT_TRUE(done);
        }
        allDelivered = true;
    });
    while (!allDelivered.load())
        handOver.RunOne(50);
    worker.join();
    ASSERT_EQ(ran.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ran[static_cast<size_t>(i)], i);
    EXPECT_EQ(wrongThread.load(), 0);

    // On the owner thread a delivery runs at once.
    bool inline_ = false;
    EXPECT_TRUE(handOver.Deliver([&] { inline_ = true; }));
    EXPECT_TRUE(inline_);
}

TEST(HandOver, CancelFromInsideARunningDeliveryFreesTheWorker)
{
    // The owner, while running the delivery, stops the worker and waits for it: the worker must
    // not keep waiting for the delivery to end.
    CQueuedHandOver handOver;
    bool first = false;
    bool result = true;
    bool finishedTask = false;
    std::thread worker([&] { first = handOver.Deliver([&] {}); });
    std::thread *workerRef = &worker;
    ASSERT_TRUE(handOver.WaitQueued(3000));
    std::thread second([&] {
        result = handOver.Deliver([&] {
            handOver.Cancel();
            workerRef->join();
            finishedTask = true;
        });
    });
    // Run the first delivery, then the second which cancels and joins the (finished) first worker.
    ASSERT_TRUE(handOver.RunOne(3000));
    ASSERT_TRUE(handOver.RunOne(3000));
    second.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(finishedTask);
    EXPECT_FALSE(result); // the second worker was let go before its task ended
    // Cancelled, it refuses everything (even on the owner thread) until resumed.
    int ran = 0;
    EXPECT_FALSE(handOver.Deliver([&] { ++ran; }));
    handOver.Resume();
    EXPECT_TRUE(handOver.Deliver([&] { ++ran; }));
    EXPECT_EQ(ran, 1);
}

namespace {

// Notes the thread that destroys it; a task holds it by a shared pointer, as tasks hold handlers.
struct Tracker
{
    explicit Tracker(std::atomic<std::thread::id> &where) : where(where) {}
    ~Tracker() { where = std::this_thread::get_id(); }
    std::atomic<std::thread::id> &where;
};

} // namespace

TEST(HandOver, WhatATaskHoldsIsReleasedOnTheOwnerThread)
{
    // A task's captures may be objects of the owner thread; the worker must never be the one
    // that releases them, whether the task ran or was dropped.
    CQueuedHandOver handOver;
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<std::thread::id> delivered, forwarded, dropped;
    std::atomic<bool> releasedBeforeReturn{false};
    std::thread worker([&] {
        handOver.Deliver([t = std::make_shared<Tracker>(delivered)] {});
        releasedBeforeReturn = delivered == owner;
        handOver.Forward([t = std::make_shared<Tracker>(forwarded)] {});
    });
    while (forwarded == std::thread::id())
        handOver.RunOne(50);
    worker.join();
    EXPECT_TRUE(releasedBeforeReturn.load()) << "Deliver returns once the task's captures are gone";
    EXPECT_EQ(forwarded, owner);

    std::thread([&] { handOver.Forward([t = std::make_shared<Tracker>(dropped)] {}); }).join();
    handOver.Cancel();
    EXPECT_EQ(dropped, std::thread::id()) << "not yet: the owner drops it";
    EXPECT_EQ(handOver.RunPending(), 1);
    EXPECT_EQ(dropped, owner);
}
