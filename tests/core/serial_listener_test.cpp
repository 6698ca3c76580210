// The listener thread and the hand-over of its events to an owner thread, on a pseudo-terminal.
// These run under ThreadSanitizer as well.
#include "ptypair.h"
#include "serial/serialwnd.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Reads like the main window: chunks of up to 2047 until a read brings nothing.
std::vector<uint8_t> ReadAll(CSerial &port)
{
    std::vector<uint8_t> out;
    uint8_t buf[2048];
    for (;;) {
        uint32_t n = 0;
        if (port.Read(buf, 2047, &n) != 0 || n == 0)
            return out;
        out.insert(out.end(), buf, buf + n);
    }
}

class CRecordingPort : public CSerialEx
{
public:
    ~CRecordingPort() override { Close(); }

    bool WaitForBytes(size_t count, int ms = 3000)
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] { return data_.size() >= count; });
    }
    bool WaitForLoss(int ms = 3000)
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] { return lostCode_ != 0; });
    }
    size_t Events()
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    long LostCode()
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return lostCode_;
    }

protected:
    void OnEvent(uint16_t events, uint16_t errors) override
    {
        EXPECT_EQ(events & ~DefaultMask, 0);
        EXPECT_EQ(errors, 0);
        // One chunk per event: bytes left waiting bring another event.
        uint8_t buf[2048];
        uint32_t n = 0;
        Read(buf, 2047, &n);
        const std::lock_guard<std::mutex> guard(lock_);
        ++events_;
        data_.insert(data_.end(), buf, buf + n);
        changed_.notify_all();
    }
    void OnPortLost(long code) override
    {
        const std::lock_guard<std::mutex> guard(lock_);
        lostCode_ = code;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    size_t events_ = 0;
    std::vector<uint8_t> data_;
    long lostCode_ = 0;
};

const std::string kBegin = "CSerialEx::ThreadProc - Begin\r\n";

// Leaves what arrives unread for as long as the test says, once it has said so, and notes
// whether a timed wait ran out while bytes waited in the driver.
class CPausingPort : public CRecordingPort
{
public:
    void Pause(uint32_t pauseMs, uint32_t waitMs)
    {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            pauseMs_ = pauseMs;
            waitMs_ = waitMs;
            pausing_ = false;
        }
        SetMask(GetEventMask()); // the wait under way begins again with these
    }
    bool WaitUntilPausing()
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return pausing_; });
    }
    int ExpiredWithBytesWaiting()
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return expiredWithBytes_;
    }

protected:
    uint32_t NextWaitMs() override
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return waitMs_;
    }
    uint32_t NextDataPauseMs() override
    {
        const std::lock_guard<std::mutex> guard(lock_);
        pausing_ = pauseMs_ > 0;
        changed_.notify_all();
        return pauseMs_;
    }
    void OnWaitExpired() override
    {
        int waiting = 0;
        ioctl(Descriptor(), FIONREAD, &waiting);
        const std::lock_guard<std::mutex> guard(lock_);
        expiredWithBytes_ += waiting > 0;
        waitMs_ = INFINITE;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    uint32_t pauseMs_ = 0;
    uint32_t waitMs_ = INFINITE;
    bool pausing_ = false;
    int expiredWithBytes_ = 0;
};

} // namespace

TEST(SerialListener, DeliversEventsAndStopsWithoutOne)
{
    CTempHome home;
    CTestPty pty;
    CRecordingPort port;
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    EXPECT_TRUE(port.IsListening());
    ASSERT_TRUE(pty.Send("hello"));
    ASSERT_TRUE(port.WaitForBytes(5));
    std::vector<uint8_t> burst(5000, 'b');
    ASSERT_TRUE(pty.Send(burst));
    ASSERT_TRUE(port.WaitForBytes(5005));
    EXPECT_GE(port.Events(), 4u);

    const size_t events = port.Events();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsListening());
    EXPECT_EQ(port.Events(), events);
    // One line when the listener starts, one after every wait that was not the stop (the last
    // one only when the handler had returned before the stop came).
    const int begins = CountOf(home.LogText(), kBegin);
    EXPECT_GE(begins, static_cast<int>(events));
    EXPECT_LE(begins, static_cast<int>(events) + 1);
    EXPECT_EQ(CountOf(home.LogText(), "not within mask"), 0);
    EXPECT_EQ(port.LostCode(), 0);

    // Closing while idle: the stop wake-up adds no line and no event.
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    EXPECT_TRUE(port.IsListening());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(CountOf(home.LogText(), kBegin), begins + 1);
    EXPECT_EQ(port.Events(), events);

    // And opening again starts a new listener.
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    ASSERT_TRUE(pty.Send("again"));
    ASSERT_TRUE(port.WaitForBytes(5010));
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.LostCode(), 0);

    // Without the flag the port opens without a listener; one can be started and stopped later.
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, false), 0);
    EXPECT_FALSE(port.IsListening());
    EXPECT_EQ(port.StartListener(), 0);
    EXPECT_EQ(port.StartListener(), 0);
    EXPECT_EQ(port.StopListener(), 0);
    EXPECT_FALSE(port.IsListening());
    EXPECT_TRUE(port.IsOpen());
    port.Close();
    EXPECT_EQ(port.StartListener(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(port.IsListening());
}

TEST(SerialListener, StopsPromptlyUnderSteadyTraffic)
{
    CTempHome home;
    CTestPty pty;
    CRecordingPort port;
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    std::atomic<bool> run{true};
    std::thread feeder([&] {
        while (run.load()) {
            pty.Send("0123456789");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(port.StopListener(), 0);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        ASSERT_EQ(port.StartListener(), 0);
    }
    run = false;
    feeder.join();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.LostCode(), 0);
}

TEST(SerialListener, LostPortEndsTheListenerOnce)
{
    CTempHome home;
    CTestPty pty;
    CRecordingPort port;
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    pty.CloseMaster();
    ASSERT_TRUE(port.WaitForLoss());
    EXPECT_EQ(port.LostCode(), SystemError(EIO));
    // No spinning: the listener ended after the one failed wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(CountOf(home.LogText(), kBegin), 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.LostCode(), SystemError(EIO));
}

// A wait that leaves arriving bytes unread still hands them over before it reports a time-out,
// and a hang-up ends it at once (the hang-up itself drops what the terminal held).
TEST(SerialListener, APausedWaitReadsBeforeItsTimeOutAndEndsAtAHangUp)
{
    CTempHome home;
    CTestPty pty;
    CPausingPort port;
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    ASSERT_TRUE(pty.Send("one"));
    ASSERT_TRUE(port.WaitForBytes(3));

    port.Pause(3600 * 1000, INFINITE);
    ASSERT_TRUE(port.WaitUntilPausing());
    ASSERT_TRUE(pty.Send("two"));
    ASSERT_TRUE(pty.WaitUnread(3));
    // The pause may last no longer than the wait's own time.
    port.Pause(3600 * 1000, 1);
    ASSERT_TRUE(port.WaitForBytes(6));
    EXPECT_EQ(port.ExpiredWithBytesWaiting(), 0);

    port.Pause(3600 * 1000, INFINITE);
    ASSERT_TRUE(port.WaitUntilPausing());
    pty.CloseMaster();
    ASSERT_TRUE(port.WaitForLoss());
    EXPECT_EQ(port.LostCode(), SystemError(EIO));
    EXPECT_EQ(port.Close(), 0);
}

TEST(SerialWnd, EventsRunOnTheOwnerThreadInOrder)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    std::vector<uint8_t> received;
    int wrongThread = 0;
    const std::thread::id owner = std::this_thread::get_id();
    ASSERT_EQ(port.Open(
                  pty.Path(), &handOver,
                  [&](uint16_t events, uint16_t, const ST_LineCounters &) {
                      wrongThread += std::this_thread::get_id() != owner;
                      if (events & EV_RXCHAR) {
                          const std::vector<uint8_t> got = ReadAll(port);
                          received.insert(received.end(), got.begin(), got.end());
                      }
                  },
                  {}, 4096, 4096),
              0);
    std::vector<uint8_t> burst(5000);
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(pty.Send(burst));
    const Clock::time_point start = Clock::now();
    while (received.size() < burst.size() && Clock::now() - start < std::chrono::seconds(5))
        handOver.RunOne(100);
    EXPECT_EQ(received, burst);
    EXPECT_EQ(wrongThread, 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialWnd, CloseWithADeliveryPendingNeverDeadlocks)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    int handled = 0;
    ASSERT_EQ(
        port.Open(pty.Path(), &handOver, [&](uint16_t, uint16_t, const ST_LineCounters &) { ++handled; }), 0);
    ASSERT_TRUE(pty.Send("x"));
    // The listener is now blocked handing the event to this thread, which is busy closing.
    ASSERT_TRUE(handOver.WaitQueued(3000));
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    handOver.RunPending();
    EXPECT_EQ(handled, 0); // the dropped delivery never runs

    // The same hand-over serves the next opening.
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](uint16_t, uint16_t, const ST_LineCounters &) {
                            ++handled;
                            ReadAll(port);
                        }),
              0);
    ASSERT_TRUE(pty.Send("y"));
    ASSERT_TRUE(handOver.RunOne(3000));
    EXPECT_EQ(handled, 1);
    port.Close();
}

TEST(SerialWnd, HandlersMayCloseThePort)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](uint16_t, uint16_t, const ST_LineCounters &) { EXPECT_EQ(port.Close(), 0); }),
              0);
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(handOver.RunOne(3000));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsListening());

    // Port lost: told once, on the owner thread, and the handler closes.
    long lost = 0;
    int lostCalls = 0;
    ASSERT_EQ(port.Open(
                  pty.Path(), &handOver, [](uint16_t, uint16_t, const ST_LineCounters &) {},
                  [&](long code) {
                      lost = code;
                      ++lostCalls;
                      port.Close();
                  }),
              0);
    pty.CloseMaster();
    const Clock::time_point start = Clock::now();
    while (lostCalls == 0 && Clock::now() - start < std::chrono::seconds(3))
        handOver.RunOne(100);
    EXPECT_EQ(lostCalls, 1);
    EXPECT_EQ(lost, SystemError(EIO));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(handOver.RunOne(50));
}

TEST(SerialWnd, FailedOpenLeavesItClosedAndDestructorCloses)
{
    CTempHome home;
    CQueuedHandOver handOver;
    {
        CSerialWnd port;
        EXPECT_EQ(port.Open("/dev/kestrum-no-such-port", &handOver,
                            [](uint16_t, uint16_t, const ST_LineCounters &) {}),
                  SystemError(ENOENT));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.IsListening());
        CTestPty pty;
        EXPECT_EQ(port.Open(pty.Path(), nullptr, [](uint16_t, uint16_t, const ST_LineCounters &) {}),
                  E_INVALIDARG);
        EXPECT_FALSE(port.IsOpen());
        ASSERT_EQ(port.Open(pty.Path(), &handOver, [](uint16_t, uint16_t, const ST_LineCounters &) {}), 0);
    }
    const std::string log = home.LogText();
    EXPECT_EQ(CountOf(log, "CSerial::Open - Unable to open port\r\n"), 1);
    EXPECT_EQ(CountOf(log, "CSerialWnd::~CSerialWnd - Serial port not closed\r\n"), 1);
    EXPECT_EQ(CountOf(log, "CSerialEx::~CSerialEx"), 0);
    EXPECT_EQ(CountOf(log, kBegin), 1);
}

namespace {

// Restarts its own listener from inside its first event, as a handler that re-arms would.
class CRestartingPort : public CSerialEx
{
public:
    ~CRestartingPort() override { Close(); }
    std::mutex lock;
    std::condition_variable changed;
    std::string data;
    std::vector<std::thread::id> threads;

protected:
    void OnEvent(uint16_t, uint16_t) override
    {
        uint8_t buf[64];
        uint32_t n = 0;
        Read(buf, sizeof buf, &n);
        const bool first = [&] {
            const std::lock_guard<std::mutex> guard(lock);
            return threads.empty();
        }();
        if (first) {
            EXPECT_EQ(StopListener(), 0);
            EXPECT_EQ(StartListener(), 0);
        }
        const std::lock_guard<std::mutex> guard(lock);
        threads.push_back(std::this_thread::get_id());
        data.append(reinterpret_cast<char *>(buf), n);
        changed.notify_all();
    }
};

} // namespace

TEST(SerialListener, ListenerRestartedFromItsOwnEventNeverRunsBesideTheOldOne)
{
    CTempHome home;
    CTestPty pty;
    CRestartingPort port;
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, true), 0);
    const auto waitFor = [&](const std::string &text) {
        std::unique_lock<std::mutex> guard(port.lock);
        return port.changed.wait_for(guard, std::chrono::seconds(5), [&] { return port.data == text; });
    };
    // An old listener still waiting would take about half of these from the new one.
    const std::string sent = "abcdefghij";
    for (size_t i = 0; i < sent.size(); ++i) {
        ASSERT_TRUE(pty.Send(sent.substr(i, 1)));
        ASSERT_TRUE(waitFor(sent.substr(0, i + 1)));
    }
    EXPECT_EQ(port.Close(), 0);

    ASSERT_EQ(port.threads.size(), sent.size());
    for (size_t i = 1; i < sent.size(); ++i) {
        EXPECT_NE(port.threads[i], port.threads[0]) << i;
        EXPECT_EQ(port.threads[i], port.threads[1]) << i;
    }
}

namespace {

std::vector<uint8_t> Numbered(size_t size)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(1 + i % 251);
    return data;
}

} // namespace

// In block mode the listener reads on while the owner thread is busy: a flood far larger than the
// terminal's buffer is drained without one delivery running, then handed over in order, many
// blocks to one run of the owner thread.
TEST(SerialWnd, BlocksQueueInOrderWhileTheOwnerIsBusy)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    std::vector<uint8_t> received;
    std::vector<size_t> sizes;
    int wrongThread = 0;
    const std::thread::id owner = std::this_thread::get_id();
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](CReceivedBlock &block) {
                            wrongThread += std::this_thread::get_id() != owner;
                            EXPECT_LE(block.beginMs, block.endMs);
                            sizes.push_back(block.bytes.size());
                            received.insert(received.end(), block.bytes.begin(), block.bytes.end());
                        },
                        {}, {}),
              0);
    // Far more than the kernel buffers between the two ends, so a finished send means the
    // listener has read nearly all of it.
    const std::vector<uint8_t> flood = Numbered(2 * 1000 * 1000);
    // The writer waits for room as long as it takes; the owner thread sleeps meanwhile and runs
    // no delivery.
    std::promise<bool> sentAll;
    std::future<bool> sent = sentAll.get_future();
    std::thread writer([&] {
        size_t done = 0;
        const Clock::time_point until = Clock::now() + std::chrono::seconds(60);
        while (done < flood.size() && Clock::now() < until) {
            const ssize_t n = write(pty.Master(), flood.data() + done, flood.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else {
                pollfd p{pty.Master(), POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
        sentAll.set_value(done == flood.size());
    });
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(90)), std::future_status::ready);
    writer.join();
    ASSERT_TRUE(sent.get()) << "the listener stopped reading while the owner thread was busy";
    const Clock::time_point start = Clock::now();

    // The first run takes everything that had queued.
    ASSERT_TRUE(handOver.WaitQueued(3000));
    handOver.RunOne(0);
    EXPECT_GT(sizes.size(), 5u);
    while (received.size() < flood.size() && Clock::now() - start < std::chrono::seconds(30))
        handOver.RunOne(100);
    EXPECT_EQ(received, flood);
    for (const size_t size : sizes)
        EXPECT_LE(size, CBlockFormer::kBlockLimit + CBlockFormer::kReadChunk - 1);
    EXPECT_EQ(wrongThread, 0);
    EXPECT_EQ(port.Close(), 0);
}

// A reader slower than the line (the console's emulator in a flood): one turn of the owner thread
// hands blocks over for a slice only, then lets its other events run; the rest follow in order.
TEST(SerialWnd, ASlowReaderTakesTheBlocksASliceAtATime)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    std::vector<uint8_t> received;
    int calls = 0;
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](CReceivedBlock &block) {
                            ++calls;
                            const Clock::time_point slow = Clock::now() + CSerialWnd::kDrainSlice;
                            while (Clock::now() < slow) {
                            }
                            received.insert(received.end(), block.bytes.begin(), block.bytes.end());
                        },
                        {}, {}),
              0);
    const std::vector<uint8_t> flood = Numbered(200 * 1000);
    ASSERT_TRUE(pty.Send(flood));
    // Once the listener has read it all, a dozen blocks of 16 KiB wait for the owner.
    for (int unread = 1; unread > 0;) {
        ASSERT_EQ(ioctl(pty.Slave(), FIONREAD, &unread), 0);
        std::this_thread::yield();
    }
    ASSERT_TRUE(handOver.WaitQueued(3000));
    handOver.RunOne(0);
    EXPECT_EQ(calls, 1);
    while (received.size() < flood.size())
        ASSERT_TRUE(handOver.RunOne(3000));
    EXPECT_EQ(received, flood);
    EXPECT_EQ(port.Close(), 0);
}

// A hold keeps blocks from the owner thread until it takes them or the hold's time is up.
TEST(SerialWnd, HeldBlocksWaitForTheOwnerOrTheHoldsEnd)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    std::vector<std::string> seen;
    ASSERT_EQ(
        port.Open(pty.Path(), &handOver,
                  [&](CReceivedBlock &block) { seen.emplace_back(block.bytes.begin(), block.bytes.end()); },
                  {}, {}),
        0);
    port.HoldBlocksFor(3600 * 1000);
    ASSERT_TRUE(pty.Send("one"));
    const Clock::time_point start = Clock::now();
    while (!port.TakeHeldBlocks() && Clock::now() - start < std::chrono::seconds(10))
        ASSERT_FALSE(handOver.WaitQueued(1)) << "a held block was handed over";
    EXPECT_EQ(seen, std::vector<std::string>{"one"});

    port.HoldBlocksFor(30);
    ASSERT_TRUE(pty.Send("two"));
    while (seen.size() < 2 && Clock::now() - start < std::chrono::seconds(10))
        handOver.RunOne(100);
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(port.Close(), 0);
}

// A hold that paces the reads: a stream in many small writes comes whole and in order.
TEST(SerialWnd, APacedHoldLosesNoByte)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    std::vector<uint8_t> received;
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](CReceivedBlock &block) {
                            received.insert(received.end(), block.bytes.begin(), block.bytes.end());
                        },
                        {}, {}),
              0);
    port.HoldBlocksFor(3600 * 1000, 4);
    const std::vector<uint8_t> stream = Numbered(300 * 1000);
    std::atomic<bool> sent{true};
    std::thread writer([&] {
        constexpr size_t kPiece = 64;
        for (size_t at = 0; at < stream.size() && sent; at += kPiece) {
            const auto from = stream.begin() + static_cast<long>(at);
            sent = pty.Send(
                std::vector<uint8_t>(from, from + static_cast<long>(std::min(kPiece, stream.size() - at))));
        }
    });
    const Clock::time_point start = Clock::now();
    while (received.size() < stream.size() && Clock::now() - start < std::chrono::seconds(60)) {
        if (!port.TakeHeldBlocks())
            handOver.RunOne(10);
    }
    writer.join();
    ASSERT_TRUE(sent);
    EXPECT_TRUE(received == stream) << received.size() << " of " << stream.size();
    EXPECT_EQ(port.Close(), 0);
}

TEST(SerialWnd, CloseInsideABlockHandlerDropsTheRestAndLossComesLast)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    int blocks = 0;
    ASSERT_EQ(port.Open(pty.Path(), &handOver,
                        [&](CReceivedBlock &) {
                            ++blocks;
                            EXPECT_EQ(port.Close(), 0);
                        },
                        {}, {}),
              0);
    ASSERT_TRUE(pty.Send(Numbered(60 * 1000)));
    ASSERT_TRUE(handOver.WaitQueued(3000));
    const Clock::time_point start = Clock::now();
    while (port.IsOpen() && Clock::now() - start < std::chrono::seconds(10))
        handOver.RunOne(100);
    handOver.RunPending();
    EXPECT_EQ(blocks, 1);
    EXPECT_FALSE(port.IsListening());

    // A lost port: what was read still comes first, then the loss, once.
    std::vector<std::string> seen;
    ASSERT_EQ(port.Open(
                  pty.Path(), &handOver, [&](CReceivedBlock &) { seen.push_back("block"); }, {},
                  [&](long) {
                      seen.push_back("lost");
                      port.Close();
                  }),
              0);
    ASSERT_TRUE(pty.Send("abc"));
    while (seen.empty() && Clock::now() - start < std::chrono::seconds(10))
        handOver.RunOne(100);
    pty.CloseMaster();
    while (seen.size() < 2 && Clock::now() - start < std::chrono::seconds(20))
        handOver.RunOne(100);
    EXPECT_EQ(seen, (std::vector<std::string>{"block", "lost"}));
    EXPECT_FALSE(port.IsOpen());
}

namespace {

// Writes `data` to the far end as the terminal takes it, until all went or `stop` is set.
class CFloodWriter
{
public:
    CFloodWriter(int master, const std::vector<uint8_t> &data)
        : thread_([this, master, &data] {
              size_t done = 0;
              while (done < data.size() && !stop_.load()) {
                  const ssize_t n = write(master, data.data() + done, data.size() - done);
                  if (n > 0) {
                      done += static_cast<size_t>(n);
                      continue;
                  }
                  pollfd p{master, POLLOUT, 0};
                  poll(&p, 1, 50); // the stop flag is looked at between waits
              }
          })
    {
    }
    ~CFloodWriter()
    {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void WaitUntilHeld(CSerialWnd &port)
{
    while (!port.ReadingHeld())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

// An owner thread that takes nothing: the listener stops reading at the queue's bound, says so once
// where it stopped, and loses nothing; Close ends it while it waits.
TEST(SerialWnd, AFullQueueHoldsTheListenerWithoutLosingAByte)
{
    CTempHome home;
    CTestPty pty;
    CQueuedHandOver handOver;
    CSerialWnd port;
    constexpr size_t kLimit = CSerialWnd::kQueuedBytesLimit;
    // One read (64 KiB) and the block it completed may go past the bound.
    constexpr size_t kSlack = 128 * 1024;
    const std::vector<uint8_t> flood = Numbered(kLimit + 4 * 1024 * 1024);
    {
        ASSERT_EQ(port.Open(
                      pty.Path(), &handOver, [](CReceivedBlock &) {},
                      [](uint16_t, uint16_t, const ST_LineCounters &) {}, {}),
                  0);
        const CFloodWriter writer(pty.Master(), flood);
        WaitUntilHeld(port);
        EXPECT_EQ(port.Close(), 0);
        EXPECT_FALSE(port.IsListening());
    }
    handOver.RunPending();
    tcflush(pty.Slave(), TCIFLUSH);

    std::vector<uint8_t> received;
    // Bytes received before each hold was told: all that had queued when reading stopped.
    std::vector<size_t> heldAt;
    ASSERT_EQ(port.Open(
                  pty.Path(), &handOver,
                  [&](CReceivedBlock &block) {
                      received.insert(received.end(), block.bytes.begin(), block.bytes.end());
                  },
                  [&](uint16_t events, uint16_t, const ST_LineCounters &) {
                      if (events & EV_RX80FULL)
                          heldAt.push_back(received.size());
                  },
                  {}),
              0);
    const CFloodWriter writer(pty.Master(), flood);
    WaitUntilHeld(port);
    // Until nothing has come for a long while: a stall, not a slow machine, ends this early.
    while (received.size() < flood.size() && handOver.RunOne(10000)) {
    }
    ASSERT_EQ(received.size(), flood.size());
    EXPECT_TRUE(received == flood) << "first difference at "
                                   << std::mismatch(received.begin(), received.end(), flood.begin()).first -
                                          received.begin();
    // Catching up by 4 MiB never takes the queue below half, so the hold was one.
    ASSERT_EQ(heldAt.size(), 1u);
    EXPECT_GE(heldAt[0], kLimit);
    EXPECT_LE(heldAt[0], kLimit + kSlack);
    EXPECT_EQ(port.Close(), 0);
}

// Pacing lets a trickle gather in the driver between reads, never a flood: a read that brings
// nearly a terminal's buffer within the reads' usual distance is followed by the next at once,
// and no pause runs past the forming block's deadline.
TEST(SerialWnd, APaceHoldsATrickleButNeverAFlood)
{
    using namespace std::chrono;
    const auto t0 = CBlockFormer::Clock::now();
    ST_ReadPace pace;
    pace.LastRead = t0;
    pace.PaceEnd = t0 + milliseconds(4);

    pace.Spacing = microseconds(4500); // 100 bytes a read, a read every pace and a little more
    pace.ReadSize = 100;
    EXPECT_EQ(ReadPauseMs(pace, t0), 4u);
    EXPECT_EQ(ReadPauseMs(pace, t0 + microseconds(2500)), 1u) << "rounded down, not up";
    pace.BlockDeadline = t0 + milliseconds(3);
    EXPECT_EQ(ReadPauseMs(pace, t0), 1u) << "read before the block's deadline";
    pace.BlockDeadline.reset();

    // Full reads (a flood), or three quarters full within a millisecond: the next read at once.
    for (const auto &[size, spacing] :
         {std::pair<uint64_t, int>{4096, 50}, {4096, 900}, {4096, 1300}, {3072, 50}, {3072, 900}}) {
        pace.ReadSize = size;
        pace.Spacing = microseconds(spacing);
        EXPECT_EQ(ReadPauseMs(pace, t0), 0u) << size << " bytes a read " << spacing << " us apart";
    }
    pace.PaceEnd.reset();
    pace.ReadSize = 10;
    EXPECT_EQ(ReadPauseMs(pace, t0), 0u) << "no pace, no pause";
}
