// The two-port monitor between pseudo-terminals: the test holds the masters of the "devices" A and
// B, and a "program" opens the virtual port through its link as it would open a serial port.
#include "fakerfc2217.h"
#include "monitor/portmonitor.h"
#include "platform/handoverbound.h"
#include "ptypair.h"
#include "serial/serial.h"
#include "session/sessionframes.h"
#include "tempdir.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

COM_PORT_SETTING Link(const std::string &port)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = port;
    link.Baud = 9600;
    return link;
}

// Every value, each next to many others, in an order no two neighbouring runs share.
Bytes Payload(size_t size, uint8_t salt)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i + i / 256 * 7 + salt);
    return bytes;
}

void WriteAll(int fd, const Bytes &bytes)
{
    // A reader that stopped for good fails the test instead of holding it until the run's limit.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "nothing read what was written";
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        }
    }
}

Bytes ReadExactly(int fd, size_t count)
{
    Bytes out(count);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (size_t got = 0; got < count;) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ADD_FAILURE() << "only " << got << " of " << count << " bytes came";
            out.resize(got);
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(fd, out.data() + got, count - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return out;
}

std::string LinkTarget(const std::string &path)
{
    char target[256];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
}

// What a program does to use the virtual port: open it and make it raw. `deviceA` reads the
// byte it sends then, so the monitor has seen the open once this returns.
int OpenAsProgram(const std::string &path, int deviceA)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    WriteAll(fd, {'+'});
    ReadExactly(deviceA, 1);
    return fd;
}

class MonitorTest : public testing::Test
{
protected:
    MonitorTest()
        : monitor(
              [this](ST_MonitorBlock &&block) {
                  const std::lock_guard<std::mutex> guard(lock);
                  received += block.Data.size();
                  blocks.push_back(std::move(block));
                  changed.notify_all();
              },
              [this](const std::string &note) {
                  const std::lock_guard<std::mutex> guard(lock);
                  notes.push_back(note);
                  changed.notify_all();
              },
              [this](EMonitorEvent event) {
                  const std::lock_guard<std::mutex> guard(lock);
                  events.push_back(event);
                  changed.notify_all();
              })
    {
    }

    ST_MonitorSetup Config(bool bridge, bool virtualB)
    {
        ST_MonitorSetup setup;
        setup.PortA = Link(devA.Path());
        setup.PortB = Link(devB.Path());
        setup.Bridge = bridge;
        setup.VirtualB = virtualB;
        setup.VirtualPath = dir.File("ttyVirtual");
        return setup;
    }

    Bytes Tagged(EMonitorTag tag)
    {
        Bytes out;
        for (const ST_MonitorBlock &b : blocks)
            if (b.Tag == tag)
                out.insert(out.end(), b.Data.begin(), b.Data.end());
        return out;
    }
    void WaitTagged(EMonitorTag tag, size_t count)
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return Tagged(tag).size() >= count; });
    }
    void WaitNote(const std::string &note)
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return std::find(notes.begin(), notes.end(), note) != notes.end(); });
    }

    // Both directions at once through a bridge; `farB` is the descriptor B's partner writes and
    // reads (the test's master of device B, or the program's end of the virtual port).
    void ExchangeThroughBridge(int farB)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            blocks.clear();
        }
        const Bytes toB = Payload(64 * 1024, 1), toA = Payload(48 * 1024, 2);
        std::thread sendA([&] { WriteAll(devA.Master(), toB); });
        std::thread sendB([&] { WriteAll(farB, toA); });
        std::thread readA([&] { EXPECT_EQ(ReadExactly(devA.Master(), toA.size()), toA); });
        EXPECT_EQ(ReadExactly(farB, toB.size()), toB);
        readA.join();
        sendA.join();
        sendB.join();
        WaitTagged(EMonitorTag::BtoA, toA.size());
        WaitTagged(EMonitorTag::AtoB, toB.size());
        const std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(Tagged(EMonitorTag::AtoB), toB);
        EXPECT_EQ(Tagged(EMonitorTag::BtoA), toA);
        EXPECT_TRUE(Tagged(EMonitorTag::A).empty() && Tagged(EMonitorTag::B).empty());
    }

    CTempHome home;
    TempDir dir;
    CTestPty devA, devB;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<ST_MonitorBlock> blocks;
    std::vector<std::string> notes;
    std::vector<EMonitorEvent> events;
    size_t received = 0;  // bytes in `blocks`
    CPortMonitor monitor; // last: stopped before what its sinks use goes
};

TEST_F(MonitorTest, WithoutBridgeReadsBothPortsAndWritesNeither)
{
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(false, false), error)) << error;
    const Bytes fromA = Payload(256, 0), fromB = Payload(256, 128);
    devA.Send(fromA);
    devB.Send(fromB);
    WaitTagged(EMonitorTag::A, fromA.size());
    WaitTagged(EMonitorTag::B, fromB.size());
    {
        const std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(Tagged(EMonitorTag::A), fromA);
        EXPECT_EQ(Tagged(EMonitorTag::B), fromB);
        EXPECT_GT(blocks.front().ArrivalMs, 1600000000000);
    }
    devA.CloseMaster();
    WaitNote("Port A lost: the device stopped answering (was it unplugged?)");
    devB.Send("still read");
    WaitTagged(EMonitorTag::B, fromB.size() + 10);
    monitor.Stop();
    EXPECT_FALSE(monitor.Running());
    uint8_t byte = 0;
    EXPECT_LT(read(devB.Master(), &byte, 1), 0) << "a read-only monitor wrote to B";
}

TEST_F(MonitorTest, BridgePassesEveryByteBothWaysBetweenTwoPorts)
{
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(true, false), error)) << error;
    ExchangeThroughBridge(devB.Master());
}

TEST_F(MonitorTest, BridgePassesEveryByteBothWaysToAProgramOnTheVirtualPort)
{
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(true, true), error)) << error;
    const int program = OpenAsProgram(dir.File("ttyVirtual"), devA.Master());
    ASSERT_GE(program, 0);
    ExchangeThroughBridge(program);
    // Once the program has closed the port, what the device sends is only read, and none of it
    // waits for the next program; the monitor is still there when it opens the port.
    close(program);
    for (;;) {
        std::unique_lock<std::mutex> guard(lock);
        const size_t before = blocks.size();
        devA.Send("x");
        changed.wait(guard, [&] { return blocks.size() > before; });
        if (blocks.back().Tag == EMonitorTag::A)
            break;
    }
    const int again = OpenAsProgram(dir.File("ttyVirtual"), devA.Master());
    devA.Send("ok");
    EXPECT_EQ(ReadExactly(again, 2), Bytes({'o', 'k'}));
    close(again);
}

TEST_F(MonitorTest, PortAFollowsTheRateAndStopBitsTheProgramSets)
{
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(true, true), error)) << error;
    const int program = OpenAsProgram(dir.File("ttyVirtual"), devA.Master());
    termios t{};
    tcgetattr(program, &t);
    cfsetospeed(&t, B115200);
    cfsetispeed(&t, B115200);
    t.c_cflag |= CSTOPB | CRTSCTS;
    tcsetattr(program, TCSANOW, &t);
    WaitNote("Virtual port: 115200 baud, 2 stop bits, RTS/CTS flow control; port A follows");
    termios a{};
    tcgetattr(devA.Master(), &a);
    EXPECT_EQ(cfgetospeed(&a), static_cast<speed_t>(B115200));
    EXPECT_TRUE((a.c_cflag & CSTOPB) && (a.c_cflag & CRTSCTS));

    // A program that writes its local flags whole clears what lets the monitor see its changes;
    // the ones after still arrive, a rate without a fixed code among them.
    t.c_lflag = 0;
    t.c_cflag &= ~(CSTOPB | CRTSCTS);
    tcsetattr(program, TCSANOW, &t);
    WaitNote("Virtual port: 115200 baud, 1 stop bit, no flow control; port A follows");
    KTermios odd;
    GetKernelTermios(program, &odd);
    odd.c_cflag = (odd.c_cflag & ~CBAUD) | 0010000; // BOTHER
    odd.c_ispeed = odd.c_ospeed = 250000;
    SetKernelTermios(program, odd);
    WaitNote("Virtual port: 250000 baud, 1 stop bit, no flow control; port A follows");
    KTermios got;
    GetKernelTermios(devA.Master(), &got);
    EXPECT_EQ(got.c_ospeed, 250000u);
    close(program);
}

TEST_F(MonitorTest, LinkIsReplacedWhenStaleRemovedOnStopAndNeverClobbersOtherFiles)
{
    const std::string path = dir.File("ttyVirtual");
    ASSERT_EQ(symlink("/dev/pts/999999", path.c_str()), 0);
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(false, true), error)) << error;
    EXPECT_EQ(LinkTarget(path), monitor.VirtualDevice());
    monitor.Stop();
    EXPECT_EQ(LinkTarget(path), "");
    EXPECT_TRUE(monitor.VirtualDevice().empty());

    WriteRaw(path, "keep me");
    EXPECT_FALSE(monitor.Start(Config(false, true), error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_EQ(ReadRaw(path), "keep me");
    CSerial portA; // a refused start leaves port A free
    EXPECT_EQ(portA.Open(devA.Path()), 0);
    portA.Close();
    unlink(path.c_str());
    ASSERT_EQ(symlink("/etc/hostname", path.c_str()), 0);
    EXPECT_FALSE(monitor.Start(Config(false, true), error));
    EXPECT_EQ(LinkTarget(path), "/etc/hostname");

    // A link whose pty another program still holds is that program's live port.
    const CTestPty held;
    unlink(path.c_str());
    ASSERT_EQ(symlink(held.Path().c_str(), path.c_str()), 0);
    EXPECT_FALSE(monitor.Start(Config(false, true), error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(LinkTarget(path), held.Path());
    // Once let go, its node is gone as /dev/pts/999999's is, which the start above replaced; it is
    // not tried again here, as another process may be handed the same number at once.
}

TEST_F(MonitorTest, LinkDoesNotOutliveAProcessKilledByASignal)
{
    const std::string path = dir.File("ttyVirtual");
    for (int sig : {SIGABRT, SIGSEGV, SIGTERM}) {
        const pid_t child = fork();
        if (child == 0) {
            std::string error;
            CPortMonitor inChild([](ST_MonitorBlock &&) {}, [](const std::string &) {});
            if (!inChild.Start(Config(false, true), error))
                _exit(3);
            raise(sig);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        // 3: the monitor did not start; 4: the child outlived the signal.
        ASSERT_TRUE(WIFSIGNALED(status) || (WEXITSTATUS(status) != 3 && WEXITSTATUS(status) != 4))
            << "signal " << sig << ", status " << status;
        EXPECT_EQ(LinkTarget(path), "") << "link left after signal " << sig;
    }
}

// A window that takes nothing: reading stops at the hand-over's bound, says so once, and goes on
// without losing a byte once the window has taken what it had.
TEST_F(MonitorTest, AWindowThatFallsBehindPausesTheReadingWithoutLosingAByte)
{
    std::string error;
    ASSERT_TRUE(monitor.Start(Config(false, false), error)) << error;
    constexpr size_t kLimit = CHandOverBound::kLimit;
    const Bytes flood = Payload(kLimit + 4 * 1024 * 1024, 3);
    std::thread writer([&] { WriteAll(devA.Master(), flood); });
    const auto held = [&] { return std::count(events.begin(), events.end(), EMonitorEvent::ReadingHeld); };
    size_t heldAt = 0;
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return held() > 0 || received == flood.size(); });
        heldAt = received;
    }
    EXPECT_GE(heldAt, kLimit);
    EXPECT_LT(heldAt, flood.size()) << "read on past the bound";
    monitor.Taken(heldAt);
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return received == flood.size(); });
        EXPECT_EQ(held(), 1);
        EXPECT_EQ(Tagged(EMonitorTag::A), flood);
    }
    writer.join();
}

// Port A on a server that takes the com-port option but stops answering settings: the program's
// rate change leaves the virtual port's reader waiting in port A's Setup for the answer, and
// Stop (a window's Close Port) cuts that wait short instead of waiting it out.
TEST_F(MonitorTest, StopCutsShortAWaitForAServerThatDoesNotAnswerASetting)
{
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    ST_MonitorSetup setup = Config(true, true);
    setup.PortA = Link("rfc2217://127.0.0.1:" + std::to_string(server.Port()));
    std::string error;
    ASSERT_TRUE(monitor.Start(setup, error)) << error;
    server.SetAnswers([](uint8_t, const Bytes &) { return std::nullopt; });

    const int program = open(dir.File("ttyVirtual").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(program, 0);
    termios t{};
    tcgetattr(program, &t);
    cfmakeraw(&t);
    cfsetospeed(&t, B115200);
    cfsetispeed(&t, B115200);
    tcsetattr(program, TCSANOW, &t);
    const Bytes rate{0x00, 0x01, 0xC2, 0x00}; // 115200
    ASSERT_TRUE(server.WaitUntil([&] {
        const std::vector<Bytes> asked = server.ComPortValues(telnet::SetBaudRate);
        return std::find(asked.begin(), asked.end(), rate) != asked.end();
    }));
    monitor.Stop();
    const std::string log = home.LogText();
    EXPECT_NE(log.find("gave up waiting for 127.0.0.1:" + std::to_string(server.Port()) +
                       " to answer the baud rate"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("did not answer the baud rate"), std::string::npos) << "the stop waited it out";
    {
        const std::lock_guard<std::mutex> guard(lock);
        for (const std::string &note : notes)
            EXPECT_EQ(note.find("cannot follow"), std::string::npos) << note;
    }
    close(program);
}

// A device bridged to a server that closes while the monitor writes to it. Device A holds the
// monitor's writes to it (XOFF), so B's reader waits there and does not see the server's end:
// only the write to the closed connection finds it. SIGPIPE is left to end this process, as it
// would end any program that did not ignore it.
TEST_F(MonitorTest, AServerThatClosesWhileTheMonitorWritesIsAPortLostNotADeath)
{
    ASSERT_NE(std::signal(SIGPIPE, SIG_DFL), SIG_ERR);
    CFakeRfc2217 server(ENetKind::Raw);
    ASSERT_TRUE(server.Ok());
    ST_MonitorSetup setup = Config(true, false);
    setup.PortA.FlowControl = 1; // XON/XOFF
    setup.PortB = Link("socket://127.0.0.1:" + std::to_string(server.Port()));
    std::string error;
    ASSERT_TRUE(monitor.Start(setup, error)) << error;
    const auto lostB = [&] {
        return std::any_of(notes.begin(), notes.end(),
                           [](const std::string &note) { return note.rfind("Port B lost: ", 0) == 0; });
    };
    // XOFF stops A's output; the byte after it reaching the server shows it was taken.
    devA.Send(Bytes{0x13, 'x'});
    ASSERT_TRUE(server.WaitForData(1));
    ASSERT_TRUE(server.SendData({'h', 'i'}));
    WaitTagged(EMonitorTag::BtoA, 2); // B's reader now waits for A to take it
    server.Disconnect();
    // A byte at a time from A, each written to B, until a write finds the connection gone.
    for (;;) {
        std::unique_lock<std::mutex> guard(lock);
        if (lostB())
            break;
        const size_t before = received;
        guard.unlock();
        devA.Send("y");
        guard.lock();
        changed.wait(guard, [&] { return received > before || lostB(); });
    }
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return !events.empty(); });
    EXPECT_EQ(events, std::vector<EMonitorEvent>{EMonitorEvent::Ended});
}

} // namespace

// The monitor's two directions framed apart, by the profiles of the sides that read them: a frame
// the quiet line ended on one side goes before a later frame of the other, as the traffic ran.
TEST(MonitorFrames, EachSideByItsOwnProfileInTheOrderFramesBegan)
{
    CSessionFrames frames;
    std::vector<ST_Frame> seen;
    frames.SetObserver("test", [&seen](const ST_Frame &frame) { seen.push_back(frame); });
    ST_FramingProfile silence;
    silence.Mode = EFramingMode::Silence;
    ST_LineTiming timing; // 9600 baud, 8N1: a gap of 3.5 characters is about 3.6 ms
    timing.Baud = 9600;
    frames.SetSideProfile(EFrameDirection::MonitorAtoB, silence, timing);
    frames.SetSideProfile(EFrameDirection::MonitorBtoA, CFrameProfile::BuiltIn("Lines"), timing);
    const Bytes reading{0x01, 0x03, 0x00}, line{'O', 'K', '\r', '\n'};
    using std::chrono::milliseconds;
    frames.Feed(EFrameDirection::MonitorAtoB, reading.data(), reading.size(), milliseconds(1));
    frames.Feed(EFrameDirection::MonitorBtoA, line.data(), 2, milliseconds(2));
    frames.Feed(EFrameDirection::MonitorBtoA, line.data() + 2, 2, milliseconds(20));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Direction, EFrameDirection::MonitorAtoB);
    EXPECT_EQ(seen[0].Bytes, reading);
    EXPECT_EQ(seen[1].Direction, EFrameDirection::MonitorBtoA);
    EXPECT_EQ(seen[1].Bytes, line);
    EXPECT_THROW(frames.SetSideProfile(EFrameDirection::Received, silence, timing), std::invalid_argument);

    // The window's own framing, set or not, neither takes nor cuts the monitor's frames.
    frames.Feed(EFrameDirection::MonitorBtoA, line.data(), 2, milliseconds(30));
    frames.SetProfile(CFrameProfile::BuiltIn("Lines"), timing);
    frames.SetSideProfile(EFrameDirection::MonitorAtoB, std::nullopt, timing);
    frames.Feed(EFrameDirection::MonitorAtoB, reading.data(), reading.size(), milliseconds(40));
    frames.Feed(EFrameDirection::MonitorBtoA, line.data() + 2, 2, milliseconds(41));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].Bytes, line);
}
