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
