// Reading and writing through the device on a pseudo-terminal: the read time-outs, bursts read in
// the main window's chunks, timed waits, and calls from several threads at once.
#include "serialonpty.h"
#include "threadmark.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

std::vector<uint8_t> AllByteValues()
{
    std::vector<uint8_t> v(256);
    for (int i = 0; i < 256; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    return v;
}

using SerialIo = CSerialOnPty;

} // namespace

TEST_F(SerialIo, EveryByteValuePassesUnchangedBothWays)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    const std::vector<uint8_t> all = AllByteValues();
    uint32_t written = 0;
    ASSERT_EQ(port.Write(all.data(), static_cast<long>(all.size()), &written), 0);
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(pty.Receive(256), all);

    ASSERT_TRUE(pty.Send(all));
    std::vector<uint8_t> got;
    uint8_t buf[300];
    for (int tries = 0; got.size() < 256 && tries < 50; ++tries) {
        uint32_t n = 0;
        ASSERT_EQ(port.Read(buf, sizeof buf, &n), 0);
        got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(got, all);
}

TEST_F(SerialIo, BurstIsReadInMainWindowChunks)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    std::vector<uint8_t> burst(5000);
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<uint8_t>(1 + i % 200);
    ASSERT_TRUE(pty.Send(burst));
    ASSERT_TRUE(pty.WaitUnread(2 * 2047));

    std::vector<uint32_t> sizes;
    std::vector<uint8_t> block;
    uint8_t buf[2048];
    for (;;) {
        uint32_t n = 0;
        ASSERT_EQ(port.Read(buf, 2047, &n), 0);
        sizes.push_back(n);
        block.insert(block.end(), buf, buf + n);
        if (n == 0 || sizes.size() > 10)
            break;
    }
    EXPECT_EQ(sizes, (std::vector<uint32_t>{2047, 2047, 906, 0}));
    EXPECT_EQ(block, burst);
}

TEST_F(SerialIo, ReadTimeoutsAreEmulated)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    uint8_t buf[64];
    uint32_t n = 99;

    // Short: nothing there, back after about 10 ms with nothing.
    Clock::time_point start = Clock::now();
    ASSERT_EQ(port.Read(buf, sizeof buf, &n), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(ElapsedMs(start), 9);
    EXPECT_LT(ElapsedMs(start), 500);

    // Blocking: waits for the whole count, across pauses.
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::BlockingRead), 0);
    start = Clock::now();
    std::thread feeder([this] {
        pty.Send("hello");
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        pty.Send("world");
    });
    ASSERT_EQ(port.Read(buf, 10, &n), 0);
    feeder.join();
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "helloworld");
    EXPECT_GE(ElapsedMs(start), 59);

    // A caller's time limit ends a blocking read with what came.
    pty.Send("abc");
    ASSERT_EQ(port.Read(buf, 10, &n, 80), ERROR_TIMEOUT);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(home.LogText(), "");
}

TEST_F(SerialIo, TimedCallsNeedTimedDevice)
{
    ASSERT_EQ(port.Open(pty.Path(), 0, 0, false), 0);
    uint8_t buf[8];
    EXPECT_EQ(port.Write("abc", nullptr, 100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.Read(buf, 8, nullptr, 100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.WaitEvent(100), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(home.LogText(),
              "CSerial::Write - Overlapped I/O is disabled, specified parameters are illegal.\r\n\r\n"
              "CSerial::Read - Overlapped I/O is disabled, specified parameters are illegal.\r\n\r\n"
              "CSerial::WaitEvent - Overlapped I/O is disabled, specified parameters are illegal.\r\n\r\n");
    EXPECT_EQ(port.Write("abc"), 0);
    EXPECT_EQ(pty.Receive(3).size(), 3u);
}

TEST_F(SerialIo, WriteThatCannotDrainTimesOut)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    // Nobody reads the far end, so the queue fills and stays full.
    std::vector<uint8_t> big(4 << 20, 'x');
    uint32_t written = 0;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(port.Write(big.data(), static_cast<long>(big.size()), &written, 100), ERROR_TIMEOUT);
    EXPECT_GE(ElapsedMs(start), 90);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    EXPECT_EQ(home.LogText(), "");
}

TEST_F(SerialIo, ConcurrentWritersNeverInterleave)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    constexpr size_t kBlock = 200000; // far beyond one kernel write
    std::vector<uint8_t> received;
    std::thread reader([&] { received = pty.Receive(2 * kBlock, 3000); });
    auto writer = [this](uint8_t fill) {
        std::vector<uint8_t> block(kBlock, fill);
        EXPECT_EQ(port.Write(block.data(), static_cast<long>(block.size())), 0);
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();
    reader.join();
    ASSERT_EQ(received.size(), 2 * kBlock);
    const uint8_t first = received.front();
    for (size_t i = 0; i < received.size(); ++i)
        ASSERT_EQ(received[i], i < kBlock ? first : (first == 'A' ? 'B' : 'A')) << "at " << i;
}

TEST_F(SerialIo, CloseReleasesBlockedReadWriteAndWait)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::BlockingRead), 0);
    long readResult = -1;
    long waitResult = -1;
    CThreadMark reading, waiting, writing;
    std::thread reader([&] {
        uint8_t buf[16];
        reading.Mark();
        readResult = port.Read(buf, 16);
    });
    std::thread waiter([&] {
        waiting.Mark();
        waitResult = port.WaitEvent();
    });
    // A writer stuck on a queue nobody drains, as a sender would be behind a stalled line.
    std::vector<uint8_t> big(4 << 20, 'w');
    ASSERT_EQ(port.Write(big.data(), static_cast<long>(big.size()), nullptr, 30),
              ERROR_TIMEOUT); // queue full
    long writeResult = -1;
    std::thread writer([&] {
        writing.Mark();
        writeResult = port.Write(big.data(), static_cast<long>(big.size()));
    });
    EXPECT_TRUE(reading.WaitAsleep() && waiting.WaitAsleep() && writing.WaitAsleep());
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(port.Close(), 0);
    reader.join();
    waiter.join();
    writer.join();
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(readResult, ERROR_INVALID_HANDLE);
    EXPECT_EQ(waitResult, ERROR_INVALID_HANDLE);
    EXPECT_EQ(writeResult, ERROR_INVALID_HANDLE);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialIo, WaitEventSeesDataMaskChangesAndLoss)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    EXPECT_EQ(port.WaitEvent(30), ERROR_TIMEOUT);
    pty.Send("a");
    ASSERT_EQ(port.WaitEvent(1000), 0);
    EXPECT_EQ(port.GetEventType(), EV_RXCHAR);
    uint8_t c = 0;
    ASSERT_EQ(port.Read(&c, 1), 0);

    // A mask applied from another thread ends a pending wait with no event.
    CThreadMark waiting;
    std::thread setter([this, &waiting] {
        EXPECT_TRUE(waiting.WaitAsleep());
        port.SetMask(CSerial::DefaultMask);
    });
    const Clock::time_point start = Clock::now();
    waiting.Mark();
    EXPECT_EQ(port.WaitEvent(5000), 0);
    EXPECT_LT(ElapsedMs(start), 2000);
    setter.join();
    EXPECT_EQ(port.GetEventType(), 0);

    // The far end going away ends the wait with an error instead of waking it forever.
    pty.CloseMaster();
    EXPECT_EQ(port.WaitEvent(1000), SystemError(EIO));
    uint8_t buf[8];
    EXPECT_EQ(port.Read(buf, 8), SystemError(EIO));
    EXPECT_NE(home.LogText().find("CSerial::WaitEvent - Unable to wait for COM event\r\n"),
              std::string::npos);
    EXPECT_NE(home.LogText().find("CSerial::Read - Unable to read the data\r\n"), std::string::npos);
    uint32_t errors = 1;
    EXPECT_TRUE(port.ClearCommErrors(&errors));
    EXPECT_EQ(errors, 0u);
}

TEST_F(SerialIo, EventCharacterIsSeenWithoutLosingOrReorderingBytes)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.SetEventChar('\n'), 0);
    EXPECT_EQ(port.GetEventMask(), CSerial::DefaultMask | EV_RXFLAG);
    uint8_t buf[64];
    uint32_t n = 0;
    const auto readAll = [&] {
        std::string out;
        while (port.Read(buf, sizeof buf, &n) == 0 && n > 0)
            out.append(reinterpret_cast<char *>(buf), n);
        return out;
    };

    pty.Send("abc\ndef");
    ASSERT_EQ(port.WaitEvent(2000), 0);
    EXPECT_EQ(port.GetEventType(), EV_RXCHAR | EV_RXFLAG);
    pty.Send("ghi");
    EXPECT_EQ(readAll(), "abc\ndefghi");

    // Only the flag in the mask: data without it keep waiting, in order, until it comes.
    ASSERT_EQ(port.SetMask(EV_RXFLAG), 0);
    pty.Send("xyz");
    EXPECT_EQ(port.WaitEvent(50), ERROR_TIMEOUT);
    pty.Send("\n!");
    ASSERT_EQ(port.WaitEvent(2000), 0);
    EXPECT_EQ(port.GetEventType(), EV_RXFLAG);
    pty.Send("+");
    EXPECT_EQ(readAll(), "xyz\n!+");

    // More than the device buffers: the rest waits in the kernel until a Read makes room, and
    // then the flag behind it is found; every byte comes out once and in order.
    std::string flood(70000, ' ');
    for (size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>('a' + i % 26);
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        pty.Send(flood + "\n");
        sent = true;
    });
    for (int i = 0; !sent && i < 500; ++i)
        port.WaitEvent(20); // takes what arrived into the device, keeping the sender going
    sender.join();
    std::vector<char> room(8000);
    ASSERT_EQ(port.Read(room.data(), static_cast<long>(room.size()), &n), 0);
    const std::string drained(room.data(), n);
    ASSERT_EQ(port.WaitEvent(5000), 0);
    EXPECT_EQ(port.GetEventType(), EV_RXFLAG);
    EXPECT_EQ(drained + readAll(), flood + "\n");

    // A flag that a Read took straight from the line is still reported.
    pty.Send("k\n");
    ASSERT_EQ(port.SetupReadTimeouts(CSerial::BlockingRead), 0);
    ASSERT_EQ(port.Read(buf, 2, &n), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "k\n");
    ASSERT_EQ(port.WaitEvent(2000), 0);
    EXPECT_EQ(port.GetEventType(), EV_RXFLAG);
    EXPECT_EQ(port.WaitEvent(30), ERROR_TIMEOUT);
}

TEST_F(SerialIo, OutputQueueDrainedAndModemLinesAPtyLacks)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.SetMask(EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_RING), 0);
    EXPECT_EQ(port.WaitEvent(30), ERROR_TIMEOUT); // nothing was written
    ASSERT_EQ(port.Write("abc"), 0);
    ASSERT_EQ(port.WaitEvent(2000), 0);
    EXPECT_EQ(port.GetEventType(), EV_TXEMPTY);
    EXPECT_EQ(port.WaitEvent(30), ERROR_TIMEOUT); // once per drained queue

    // A waiter already asleep hears of a write made meanwhile.
    long waited = -1;
    std::thread waiter([&] { waited = port.WaitEvent(10000); });
    ASSERT_EQ(port.Write("def"), 0);
    waiter.join();
    EXPECT_EQ(waited, 0);
    EXPECT_EQ(port.GetEventType(), EV_TXEMPTY);
    EXPECT_EQ(pty.Receive(6).size(), 6u);

    // The pty has no modem lines: no such event, and the log says so once.
    EXPECT_EQ(CountOf(home.LogText(), "CSerial::WaitEvent - The driver has no modem lines: EV_CTS, EV_DSR, "
                                      "EV_RLSD and EV_RING are never raised\r\n"),
              1);
}

TEST_F(SerialIo, TimedOutOrCutOffWriteCountsWhatWentOut)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    std::vector<uint8_t> big(4 << 20, 'x');
    uint32_t written = 0;
    ASSERT_EQ(port.Write(big.data(), static_cast<long>(big.size()), &written, 50), ERROR_TIMEOUT);
    EXPECT_EQ(pty.Receive(big.size(), 300).size(), written);

    // Unplugged in the middle of a write: the loss and the count that got out before it.
    long rc = 0;
    written = 0;
    std::thread writer([&] { rc = port.Write(big.data(), static_cast<long>(big.size()), &written); });
    const size_t seen = pty.Receive(1000).size();
    ASSERT_EQ(seen, 1000u);
    pty.CloseMaster();
    writer.join();
    EXPECT_TRUE(IsPortGone(rc)) << rc;
    EXPECT_GE(written, seen);
    EXPECT_LT(written, big.size());
}

// Close never waits for a line that does not take its output. On a real line what is left is
// dropped; a pseudo-terminal's close does not wait for its far end, so there nothing is dropped
// and the far end still reads every byte that went in.
TEST_F(SerialIo, CloseNeverWaitsForAStalledLineAndLosesNothingThePeerCanStillRead)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    std::vector<uint8_t> big(4 << 20, 'q');
    uint32_t written = 0;
    ASSERT_EQ(port.Write(big.data(), static_cast<long>(big.size()), &written, 50), ERROR_TIMEOUT);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.UnsentAtClose(), 0u);
    EXPECT_EQ(pty.Receive(written, 5000).size(), written);
}
