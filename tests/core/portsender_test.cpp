// The sender thread on a pseudo-terminal whose far end stops reading: a cancel reaches a write
// the line does not take, waiters are let go at once, and every outcome counts only the bytes
// that went out.
#include "serial/portsender.h"
#include "serialonpty.h"

#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

// Far more than a pseudo-terminal buffers, so a write of it stalls while nobody reads.
constexpr size_t kFlood = 1u << 20;
constexpr auto kHang = std::chrono::seconds(30); // only ends a hang

struct Recorder
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<char, ST_SendOutcome>> done;
    std::promise<void> waiting;

    ST_SendJob Job(char tag, std::vector<uint8_t> data, uint8_t origin = 0, bool tellWaiting = false)
    {
        ST_SendJob job;
        job.Data = std::move(data);
        job.Origin = origin;
        if (tellWaiting)
            job.OnWaiting = [this] { waiting.set_value(); };
        job.OnDone = [this, tag](const ST_SendOutcome &outcome) {
            {
                const std::lock_guard<std::mutex> guard(lock);
                done.emplace_back(tag, outcome);
            }
            changed.notify_all();
        };
        return job;
    }
    bool WaitDone(size_t count)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, kHang, [&] { return done.size() >= count; });
    }
    std::vector<std::pair<char, ST_SendOutcome>> Done()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return done;
    }
};

using PortSender = CSerialOnPty;

} // namespace

TEST_F(PortSender, CancelReachesAStalledWriteAndCountsOnlyWhatWentOut)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    Recorder rec;
    std::future<void> stalled = rec.waiting.get_future();
    {
        CPortSender sender(port, 20, 2);
        std::thread engine([&] {
            EXPECT_TRUE(sender.PostAndWait(rec.Job('F', std::vector<uint8_t>(kFlood, 'f'), 1, true)));
        });
        ASSERT_EQ(stalled.wait_for(kHang), std::future_status::ready);
        EXPECT_TRUE(sender.Post(rec.Job('a', {'A'})));
        EXPECT_TRUE(sender.Post(rec.Job('b', {'B'})));
        EXPECT_FALSE(sender.Post(rec.Job('c', {'C'}))) << "the queue is bounded";

        sender.Cancel(1, true);
        engine.join(); // let go without the line moving
        EXPECT_FALSE(sender.PostAndWait(rec.Job('r', {'R'}, 1))) << "refused until allowed";
        sender.Allow(1);

        // What the flood got out is read first, then the next jobs follow it with nothing between.
        ASSERT_TRUE(rec.WaitDone(1));
        const std::vector<uint8_t> wire = pty.Receive(rec.Done()[0].second.Written + 2);
        EXPECT_TRUE(sender.PostAndWait(rec.Job('d', {'D'}, 1)));
        const auto done = rec.Done();
        ASSERT_EQ(done.size(), 4u);
        EXPECT_EQ(done[0].first, 'F');
        EXPECT_TRUE(done[0].second.Cancelled);
        EXPECT_LT(done[0].second.Written, kFlood);
        std::vector<uint8_t> expected(done[0].second.Written, 'f');
        expected.push_back('A');
        expected.push_back('B');
        EXPECT_EQ(wire, expected);
        EXPECT_EQ(done[1].first, 'a');
        EXPECT_TRUE(done[1].second.Whole());
        EXPECT_EQ(done[3].first, 'd');
    }
    EXPECT_EQ(pty.Receive(1), std::vector<uint8_t>{'D'});
}

TEST_F(PortSender, ALostLineFailsTheStalledWriteAndTheNextWithoutWaiting)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    Recorder rec;
    std::future<void> stalled = rec.waiting.get_future();
    CPortSender sender(port);
    ASSERT_TRUE(sender.Post(rec.Job('F', std::vector<uint8_t>(kFlood, 'f'), 0, true)));
    ASSERT_EQ(stalled.wait_for(kHang), std::future_status::ready);
    pty.CloseMaster();
    EXPECT_TRUE(sender.PostAndWait(rec.Job('x', {'X'})));
    const auto done = rec.Done();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_NE(done[0].second.Code, 0);
    EXPECT_FALSE(done[0].second.Cancelled);
    EXPECT_GT(done[0].second.Written, 0u);
    EXPECT_LT(done[0].second.Written, kFlood);
    EXPECT_NE(done[1].second.Code, 0) << "the next job fails too, without waiting";
}

// A sender destroyed while the line stalls lets its queued jobs go with nothing written.
TEST_F(PortSender, DestroyedWhileStalledEndsEveryJob)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    Recorder rec;
    std::future<void> stalled = rec.waiting.get_future();
    {
        CPortSender sender(port);
        ASSERT_TRUE(sender.Post(rec.Job('F', std::vector<uint8_t>(kFlood, 'f'), 0, true)));
        ASSERT_EQ(stalled.wait_for(kHang), std::future_status::ready);
        ASSERT_TRUE(sender.Post(rec.Job('a', {'A'})));
    }
    const auto done = rec.Done();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_TRUE(done[0].second.Cancelled);
    EXPECT_TRUE(done[1].second.Cancelled);
    EXPECT_EQ(done[1].second.Written, 0u);
}
