// Ports on other machines: the address names, the telnet codec on byte strings, and the pump
// against a scripted server in the test's process.
#include "fakerfc2217.h"
#include "loopbackport.h"
#include "netport/netconnect.h"
#include "netport/netline.h"
#include "netport/silencewatch.h"
#include "portbase/serialerror.h"
#include "ptypair.h"

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/sockios.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using telnet::Bytes;
using telnet::ST_Command;

namespace telnet {
void PrintTo(const ST_Command &c, std::ostream *out)
{
    static const char *const kKinds[] = {"WILL", "WONT", "DO", "DONT", "SB"};
    *out << kKinds[c.Kind] << ' ' << int(c.Option);
    if (c.Kind == ST_Command::ComPort)
        *out << ' ' << int(c.Code) << ' ' << testing::PrintToString(c.Value);
}
} // namespace telnet

namespace {

// Only a fault waits this long for a state that should come.
constexpr int kPatienceMs = 60000;

Bytes AllByteValuesWithFfRuns()
{
    Bytes v;
    for (int i = 0; i < 256; ++i)
        v.push_back(static_cast<uint8_t>(i));
    v.insert(v.end(), 5, 0xFF);
    v.push_back(0x0D);
    v.push_back(0x00);
    v.insert(v.end(), 2, 0xFF);
    return v;
}

// Reads `fd` until `count` bytes or the end came.
Bytes ReadFd(int fd, size_t count)
{
    Bytes got;
    uint8_t buffer[8192];
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPatienceMs) <= 0)
            break;
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n == 0)
            break;
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

bool WaitReadable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, kPatienceMs) == 1;
}

bool WaitWritable(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    return poll(&p, 1, kPatienceMs) == 1;
}

std::vector<ST_Command> Decode(const Bytes &wire, size_t split, Bytes *data)
{
    telnet::CDecoder decoder;
    std::vector<ST_Command> commands;
    for (size_t at = 0; at < wire.size(); at += split)
        decoder.Feed(wire.data() + at, std::min(split, wire.size() - at), data, &commands);
    return commands;
}

ST_Command Option(ST_Command::EKind kind, uint8_t option)
{
    ST_Command c;
    c.Kind = kind;
    c.Option = option;
    return c;
}

} // namespace

TEST(NetAddress, ParsesNamesAndSaysWhatIsWrong)
{
    ST_NetAddress a;
    ASSERT_TRUE(ParseNetAddress("RFC2217://lab-pi:7000", &a));
    EXPECT_EQ(a.Kind, ENetKind::Rfc2217);
    EXPECT_EQ(HostPortText(a), "lab-pi:7000");
    ASSERT_TRUE(ParseNetAddress("socket://[fe80::1]:65535", &a));
    EXPECT_EQ(a.Kind, ENetKind::Raw);
    EXPECT_EQ(a.Host, "fe80::1");
    EXPECT_EQ(HostPortText(a), "[fe80::1]:65535");
    EXPECT_TRUE(IsNetworkPortName("Socket://"));
    EXPECT_FALSE(IsNetworkPortName("/dev/ttyUSB0"));

    const std::pair<const char *, const char *> bad[] = {
        {"rfc2217://lab-pi", "no port number after the host"},
        {"rfc2217://lab-pi:", "no port number after the host"},
        {"rfc2217://lab-pi:0", "the port number must be from 1 to 65535"},
        {"rfc2217://lab-pi:65536", "the port number must be from 1 to 65535"},
        {"rfc2217://lab-pi:70x", "the port number is not a number"},
        {"socket://:7000", "no host before the port number"},
        {"socket://fe80::1:7000", "an IPv6 address must be written in brackets"},
        {"socket://[fe80::1:7000", "no closing bracket after the IPv6 address"},
        {"socket://[lab-pi]:7000", "not a valid IPv6 address in the brackets"},
        {"socket://lab pi:7000", "the host name has characters a host name cannot have"},
        {"socket://", "no host after the scheme"},
    };
    for (const auto &[name, why] : bad) {
        std::string error;
        EXPECT_FALSE(ParseNetAddress(name, &a, &error)) << name;
        EXPECT_EQ(error, why) << name;
    }
}

TEST(TelnetCodec, EverySplitGivesTheSameDataAndCommands)
{
    const Bytes data = AllByteValuesWithFfRuns();
    Bytes wire = telnet::Escaped(Bytes(data.begin(), data.begin() + 100));
    for (const Bytes &part :
         {telnet::OptionCommand(telnet::DO, telnet::OptBinary), Bytes{telnet::IAC, telnet::NOP},
          telnet::BaudCommand(0x00FFFFFF, 101), Bytes{telnet::IAC, telnet::SB, 24, 1, 2},
          Bytes{telnet::IAC, telnet::SE}, telnet::Escaped(Bytes(data.begin() + 100, data.end())),
          telnet::ComPortCommand(107, 0xFF)})
        wire.insert(wire.end(), part.begin(), part.end());

    Bytes whole;
    const std::vector<ST_Command> commands = Decode(wire, wire.size(), &whole);
    EXPECT_EQ(whole, data);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], Option(ST_Command::Do, telnet::OptBinary));
    EXPECT_EQ(commands[1].Code, 101);
    EXPECT_EQ(telnet::BaudOf(commands[1].Value), 0x00FFFFFFu);
    EXPECT_EQ(commands[2].Value, Bytes{0xFF});

    for (size_t split = 1; split < 8; ++split) {
        Bytes got;
        EXPECT_EQ(Decode(wire, split, &got), commands) << split;
        EXPECT_EQ(got, data) << split;
    }
    for (size_t at = 1; at < wire.size(); ++at) {
        telnet::CDecoder decoder;
        Bytes got;
        std::vector<ST_Command> gotCommands;
        decoder.Feed(wire.data(), at, &got, &gotCommands);
        decoder.Feed(wire.data() + at, wire.size() - at, &got, &gotCommands);
        ASSERT_EQ(got, data) << at;
        ASSERT_EQ(gotCommands, commands) << at;
    }
}

TEST(TelnetCodec, BrokenCommandsCostNoMoreThanThemselves)
{
    Bytes wire{telnet::IAC, telnet::SB, telnet::OptComPort, 1};
    wire.insert(wire.end(), 100000, 0x41);
    for (const Bytes &part :
         {Bytes{telnet::IAC, telnet::SE, 'o', 'k', 0x0D, 0x0A, 0x0D, 0x00},
          // a subnegotiation that lost its SE, then a command
          Bytes{telnet::IAC, telnet::SB, telnet::OptComPort, 5, telnet::IAC, telnet::WILL, 3},
          // IAC before a byte that is no command; a stray SE; a bare com-port SB
          Bytes{telnet::IAC, 'x', '!', telnet::IAC, telnet::SE, telnet::IAC, telnet::SB, telnet::OptComPort,
                telnet::IAC, telnet::SE}})
        wire.insert(wire.end(), part.begin(), part.end());

    telnet::CDecoder decoder;
    Bytes data;
    std::vector<ST_Command> commands;
    for (size_t at = 0; at < wire.size(); at += 1000) {
        decoder.Feed(wire.data() + at, std::min<size_t>(1000, wire.size() - at), &data, &commands);
        EXPECT_LE(decoder.Held(), telnet::CDecoder::kMaxSubnegotiation);
    }
    EXPECT_EQ(data, (Bytes{'o', 'k', 0x0D, 0x0A, 0x0D, 0x00, '!'}));
    EXPECT_EQ(commands, std::vector<ST_Command>{Option(ST_Command::Will, 3)});
}

namespace {

class NetLine : public ::testing::Test
{
protected:
    ~NetLine() override { line.Close(); }

    long Open(std::string *message = nullptr) { return line.Open(server.Address(), -1, message); }

    bool HasCommand(const ST_Command &want)
    {
        return server.WaitUntil([&] {
            for (const ST_Command &c : server.Commands())
                if (c == want)
                    return true;
            return false;
        });
    }

    CTempHome home;
    CFakeRfc2217 server;
    CNetLine line;
};

ST_Command ComPort(uint8_t code, const Bytes &value)
{
    ST_Command c;
    c.Kind = ST_Command::ComPort;
    c.Option = telnet::OptComPort;
    c.Code = code;
    c.Value = value;
    return c;
}

} // namespace

TEST_F(NetLine, EveryByteValuePassesBothWaysAfterTheNegotiation)
{
    ASSERT_TRUE(server.Ok());
    ASSERT_EQ(Open(), 0);
    EXPECT_TRUE(line.CarriesSettings());
    EXPECT_TRUE(HasCommand(ComPort(telnet::SetLineStateMask, {0x1E})));
    const std::vector<ST_Command> got = server.Commands();
    const std::vector<ST_Command> opening = {
        Option(ST_Command::Will, telnet::OptBinary),  Option(ST_Command::Do, telnet::OptBinary),
        Option(ST_Command::Will, telnet::OptSga),     Option(ST_Command::Do, telnet::OptSga),
        Option(ST_Command::Will, telnet::OptComPort), ComPort(telnet::SetModemStateMask, {0xFF}),
        ComPort(telnet::SetLineStateMask, {0x1E})};
    EXPECT_EQ(got, opening); // the server's agreement changed nothing, so nothing was answered

    const Bytes all = AllByteValuesWithFfRuns();
    for (size_t at = 0; at < all.size(); at += 7) // split anywhere, 0xFF runs included
        ASSERT_EQ(write(line.DataFd(), all.data() + at, std::min<size_t>(7, all.size() - at)),
                  static_cast<ssize_t>(std::min<size_t>(7, all.size() - at)));
    ASSERT_TRUE(server.WaitForData(all.size()));
    EXPECT_EQ(server.Data(), all);

    for (size_t at = 0; at < all.size(); ++at) // the server's bytes one segment each
        ASSERT_TRUE(server.SendData({all[at]}));
    EXPECT_EQ(ReadFd(line.DataFd(), all.size()), all);
    EXPECT_EQ(line.Close(), 0u);
}

TEST_F(NetLine, SettingsTheServerAnswersDifferentlyAreNamed)
{
    ASSERT_EQ(Open(), 0);
    ST_NetLineSettings s;
    s.Baud = 0x0001C2FF; // 0xFF doubled inside the subnegotiation
    s.DataBits = 7;
    s.Parity = 3;   // mark
    s.StopBits = 1; // 1.5
    s.Flow = ST_NetLineSettings::RtsCts;
    std::string untaken;
    EXPECT_EQ(line.ApplySettings(s, &untaken), 0);
    EXPECT_EQ(server.ComPortValues(telnet::SetBaudRate).back(), (Bytes{0x00, 0x01, 0xC2, 0xFF}));
    EXPECT_EQ(server.ComPortValues(telnet::SetDataSize).back(), Bytes{7});
    EXPECT_EQ(server.ComPortValues(telnet::SetParity).back(), Bytes{telnet::ParityMark});
    EXPECT_EQ(server.ComPortValues(telnet::SetStopSize).back(), Bytes{telnet::StopOneAndHalf});
    EXPECT_EQ(server.ComPortValues(telnet::SetControl).back(), Bytes{telnet::ControlRtsCts});

    const struct
    {
        uint8_t code;
        const char *name, *reason;
    } cases[] = {
        {telnet::SetStopSize, "stop bits", "the stop bits with 1 instead of 1.5"},
        {telnet::SetParity, "parity", "the parity with none instead of mark"},
        {telnet::SetControl, "RTS/CTS flow control", "the flow control with none instead of RTS/CTS"},
        {telnet::SetBaudRate, "baud rate", "the baud rate with 9600 instead of 115455"}};
    for (const auto &c : cases) {
        server.SetAnswers([code = c.code](uint8_t asked, const Bytes &value) -> std::optional<Bytes> {
            if (asked != code)
                return value;
            return asked == telnet::SetBaudRate ? Bytes{0, 0, 0x25, 0x80} : Bytes{1};
        });
        std::string reason;
        untaken.clear();
        EXPECT_EQ(line.ApplySettings(s, &untaken, &reason), ERROR_NOT_SUPPORTED) << c.name;
        EXPECT_EQ(untaken, c.name);
        EXPECT_EQ(reason, std::string("the server answered ") + c.reason);
    }

    // Lines, break and purge go out without a wait.
    EXPECT_EQ(line.SetDtr(false), 0);
    EXPECT_EQ(line.SetRts(false), 0);
    EXPECT_EQ(line.SetBreak(true), 0);
    EXPECT_EQ(line.Purge(true, true), 0);
    EXPECT_TRUE(HasCommand(ComPort(telnet::PurgeData, {telnet::PurgeBoth})));
    const std::vector<Bytes> controls = server.ComPortValues(telnet::SetControl);
    EXPECT_EQ(
        std::vector<Bytes>(controls.end() - 3, controls.end()),
        (std::vector<Bytes>{{telnet::ControlDtrOff}, {telnet::ControlRtsOff}, {telnet::ControlBreakOn}}));
    EXPECT_FALSE(line.State().Dtr);
}

TEST_F(NetLine, ASilentServerCostsABoundedWaitAndANote)
{
    server.SetComPort(CFakeRfc2217::EComPort::Silent);
    server.SetAnswers([](uint8_t, const Bytes &) { return std::nullopt; });
    ASSERT_EQ(Open(), 0);
    EXPECT_NE(home.LogText().find("did not answer the com-port option"), std::string::npos);
    std::string untaken;
    EXPECT_EQ(line.ApplySettings(ST_NetLineSettings{}, &untaken), 0);
    EXPECT_TRUE(untaken.empty());
    EXPECT_NE(home.LogText().find("did not answer the baud rate"), std::string::npos);
}

TEST_F(NetLine, ARefusedComPortOptionOpensAndIsNoted)
{
    server.SetComPort(CFakeRfc2217::EComPort::Refuse);
    ASSERT_EQ(Open(), 0);
    EXPECT_NE(home.LogText().find("refused the com-port option"), std::string::npos);
    EXPECT_EQ(line.ApplySettings(ST_NetLineSettings{}, nullptr), 0);
    ASSERT_TRUE(server.SendData({'h', 'i'}));
    EXPECT_EQ(ReadFd(line.DataFd(), 2), (Bytes{'h', 'i'}));
    for (const ST_Command &c : server.Commands())
        EXPECT_NE(c.Kind, ST_Command::ComPort);
}

TEST_F(NetLine, NotificationsCountAndSignal)
{
    ASSERT_EQ(Open(), 0);
    ASSERT_TRUE(server.SendComPort(107, {telnet::ModemCts | telnet::ModemDcd}));
    ASSERT_TRUE(WaitReadable(line.StateFd()));
    ST_NetLineState s = line.State();
    EXPECT_TRUE(s.ModemKnown && s.Cts && s.Dcd && !s.Dsr);
    EXPECT_EQ(s.CtsChanges + s.DcdChanges, 0); // the first report only sets the levels

    uint64_t count = 0;
    ASSERT_EQ(read(line.StateFd(), &count, sizeof count), 8);
    // CTS dropped without its delta bit, DSR toggled twice (delta, same level), a ring ended.
    ASSERT_TRUE(server.SendComPort(107, {telnet::ModemDcd | telnet::ModemDeltaDsr | telnet::ModemRingEnded}));
    ASSERT_TRUE(server.SendComPort(106, {telnet::LineBreak | telnet::LineFraming | 0x01}));
    ASSERT_TRUE(server.SendComPort(106, {telnet::LineParity | telnet::LineOverrun | telnet::LineFraming}));
    ASSERT_TRUE(server.SendData({'.'}));
    ASSERT_EQ(ReadFd(line.DataFd(), 1), Bytes{'.'}); // everything before it was handled
    ASSERT_TRUE(WaitReadable(line.StateFd()));
    s = line.State();
    EXPECT_FALSE(s.Cts);
    EXPECT_EQ(s.CtsChanges, 1);
    EXPECT_EQ(s.DsrChanges, 1);
    EXPECT_EQ(s.RingChanges, 1);
    EXPECT_EQ(s.DcdChanges, 0);
    EXPECT_EQ(s.Breaks, 1);
    EXPECT_EQ(s.FrameErrors, 2);
    EXPECT_EQ(s.ParityErrors, 1);
    EXPECT_EQ(s.Overruns, 1);
}

TEST_F(NetLine, AHostileServerGetsOnlyItsDataThrough)
{
    ASSERT_EQ(Open(), 0);
    Bytes wire{'a', telnet::IAC, telnet::SB, telnet::OptComPort, 107};
    wire.insert(wire.end(), 200000, 0x55); // endless subnegotiation
    for (int i = 0; i < 50; ++i) {         // an unknown option asked for again and again
        for (const Bytes &part :
             {telnet::OptionCommand(telnet::DO, 99), telnet::OptionCommand(telnet::WILL, 98)})
            wire.insert(wire.end(), part.begin(), part.end());
    }
    for (const Bytes &part :
         {Bytes{telnet::IAC, telnet::SE, 'b', telnet::IAC, 7, 'c'},
          telnet::OptionCommand(telnet::DONT, telnet::OptBinary),
          telnet::OptionCommand(telnet::DO, telnet::OptBinary), Bytes{telnet::IAC, telnet::SB}})
        wire.insert(wire.end(), part.begin(), part.end());
    ASSERT_TRUE(server.SendRaw(wire));
    EXPECT_EQ(ReadFd(line.DataFd(), 3), (Bytes{'a', 'b', 'c'}));
    // Refused once each, and BINARY switched off and on again with one answer each way.
    const std::vector<ST_Command> answers = {Option(ST_Command::Wont, 99), Option(ST_Command::Dont, 98),
                                             Option(ST_Command::Wont, telnet::OptBinary),
                                             Option(ST_Command::Will, telnet::OptBinary)};
    auto replies = [&] {
        std::vector<ST_Command> got;
        int binary = 0;
        for (const ST_Command &c : server.Commands())
            if (c.Kind != ST_Command::ComPort &&
                (c.Option == 98 || c.Option == 99 || (c.Option == telnet::OptBinary && ++binary > 2)))
                got.push_back(c);
        return got;
    };
    EXPECT_TRUE(server.WaitUntil([&] { return replies().size() >= answers.size(); }));
    EXPECT_EQ(replies(), answers);

    // Closed in the middle of a command: the reader sees the end and why.
    server.Disconnect();
    EXPECT_EQ(ReadFd(line.DataFd(), 1), Bytes{});
    EXPECT_EQ(line.LostErrno(), ECONNRESET);
    pollfd p{line.DataFd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, kPatienceMs), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_EQ(line.SetDtr(true), SystemError(ECONNRESET));
}

TEST_F(NetLine, AFloodWaitsForTheReaderAndArrivesWhole)
{
    ASSERT_EQ(Open(), 0);
    Bytes flood(3 * 1024 * 1024);
    for (size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<uint8_t>(i % 7 == 0 ? 0xFF : i * 31);
    std::thread sender([&] { server.SendData(flood); });
    const Bytes got = ReadFd(line.DataFd(), flood.size());
    sender.join();
    EXPECT_TRUE(got == flood);
}

TEST(NetLineRaw, PassesBytesUnchangedAndSendsNoSettings)
{
    CFakeRfc2217 server(ENetKind::Raw);
    CNetLine line;
    ASSERT_EQ(line.Open(server.Address(), -1, nullptr), 0);
    EXPECT_FALSE(line.CarriesSettings());
    EXPECT_EQ(line.ApplySettings(ST_NetLineSettings{}, nullptr), 0);
    EXPECT_EQ(line.SetDtr(false), 0);
    const Bytes all = AllByteValuesWithFfRuns();
    ASSERT_EQ(write(line.DataFd(), all.data(), all.size()), static_cast<ssize_t>(all.size()));
    ASSERT_TRUE(server.WaitForData(all.size()));
    EXPECT_EQ(server.Data(), all);
    ASSERT_TRUE(server.SendData(all));
    EXPECT_EQ(ReadFd(line.DataFd(), all.size()), all);
}

TEST(NetLineRaw, CloseCountsWhatNeverReachedTheServer)
{
    // A server that never takes its connection: the kernel accepts a few KiB for it, no more.
    CLoopbackPort server(4096);
    ASSERT_TRUE(server.Listen(1));
    CNetLine line;
    ASSERT_EQ(line.Open({ENetKind::Raw, "127.0.0.1", server.Port()}, -1, nullptr), 0);
    const Bytes block(64 * 1024, 0x5A);
    for (size_t done = 0; done < block.size();) {
        ASSERT_TRUE(WaitWritable(line.DataFd()));
        const ssize_t n = write(line.DataFd(), block.data() + done, block.size() - done);
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    // Counted wherever it sits; once the pump took it all (should the kernel's buffers let it),
    // in the pump and in the socket's queue.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    for (int queued = 1; queued > 0 && ioctl(line.DataFd(), SIOCOUTQ, &queued) == 0 &&
                         std::chrono::steady_clock::now() < until;)
        std::this_thread::yield();
    const uint32_t unsent = line.Close();
    EXPECT_LE(unsent, block.size());
    EXPECT_GE(unsent, block.size() / 2);
}

TEST(NetLineConnect, FailuresSayWhatHappened)
{
    // A port nobody listens on: bound, never listening.
    CLoopbackPort refusing;
    ASSERT_TRUE(refusing.Ok());
    ST_NetAddress nobody{ENetKind::Rfc2217, "127.0.0.1", refusing.Port()};
    CNetLine line;
    std::string message;
    EXPECT_EQ(line.Open(nobody, -1, &message), SystemError(ECONNREFUSED));
    EXPECT_EQ(message, "Cannot connect to " + HostPortText(nobody) + ": connection refused");
    EXPECT_FALSE(line.IsOpen());

    // A cancel while the server keeps silent about the com-port option ends the wait at once.
    CTempHome home;
    CFakeRfc2217 silent;
    silent.SetComPort(CFakeRfc2217::EComPort::Silent);
    const int cancel = eventfd(1, EFD_CLOEXEC);
    EXPECT_EQ(line.Open(silent.Address(), cancel, &message), SystemError(ECANCELED));
    EXPECT_EQ(message, "Cannot connect to " + HostPortText(silent.Address()) + ": cancelled");
    EXPECT_FALSE(line.IsOpen());
    close(cancel);
}

TEST(NetLineCommands, ForAServerThatStopsReadingAreRefusedAtTheirLimit)
{
    // The server takes the first DTR command and then reads nothing more until told; the kernel
    // holds only a little for it.
    CFakeRfc2217 server(ENetKind::Rfc2217, 4096);
    std::mutex gate;
    std::condition_variable opened;
    bool release = false;
    server.SetAnswers([&](uint8_t code, const Bytes &value) -> std::optional<Bytes> {
        if (code == telnet::SetControl) {
            std::unique_lock<std::mutex> hold(gate);
            opened.wait(hold, [&] { return release; });
        }
        return value;
    });
    CNetLine line;
    ASSERT_EQ(line.Open(server.Address(), -1, nullptr), 0);
    // The kernel takes a connection's first window or so (about 1.4 MiB on loopback); past that,
    // only the pump's own limits may hold more. Paced, so the pump is not simply outrun. The pump
    // may still hand a little to the kernel after a refusal, so one settings command may find room:
    // filling up again and asking again must meet the refusal.
    bool settingsRefused = false;
    for (int attempt = 0; attempt < 20 && !settingsRefused; ++attempt) {
        long rc = 0;
        for (size_t queued = 0; rc == 0 && queued < 6 * 1024 * 1024; queued += 7) {
            rc = line.SetDtr(queued % 14 == 0);
            std::this_thread::yield();
        }
        ASSERT_EQ(rc, SystemError(ENOBUFS)) << "commands went on piling up behind a server not reading";
        settingsRefused = line.ApplySettings(ST_NetLineSettings{}, nullptr) == SystemError(ENOBUFS);
    }
    EXPECT_TRUE(settingsRefused) << "the settings went past the limit";
    line.Close();
    {
        std::lock_guard<std::mutex> hold(gate);
        release = true;
    }
    opened.notify_all();
    server.SetAnswers(nullptr); // the gate goes with this test; the server lives a moment longer
}

namespace {

using SilenceClock = CSilenceWatch::Clock;

// Writes to `fd` until it takes nothing more for a while (the far end stopped reading).
void FillUntilHeld(int fd)
{
    const Bytes block(64 * 1024, 0x5A);
    for (;;) {
        if (write(fd, block.data(), block.size()) > 0)
            continue;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 200) == 0)
            return;
    }
}

} // namespace

// The kernel's view of a connection whose server never takes its data: the window shuts, and
// with the probes acknowledged nothing stays unanswered, so however long it lasts it is no loss.
TEST(NetLineSilence, AShutWindowIsHeldNeverDeadAndAnUnansweredOneIs)
{
    CLoopbackPort server(4096); // never takes the connection: the kernel acknowledges for it
    ASSERT_TRUE(server.Listen(1));
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server.Port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    FillUntilHeld(fd);
    ST_TcpLook look;
    const auto until = SilenceClock::now() + std::chrono::milliseconds(kPatienceMs);
    while (LookAtTcp(fd, &look) && look.SendWindow != 0 && SilenceClock::now() < until)
        std::this_thread::yield();
    ASSERT_EQ(look.SendWindow, 0u);
    EXPECT_GT(look.NotSent, 0u);
    EXPECT_EQ(look.Unacked, 0u);

    constexpr int kLimitMs = 1000;
    CSilenceWatch watch(kLimitMs);
    const SilenceClock::time_point t0 = SilenceClock::now();
    look.Probes = 0; // each acknowledged by the time of the look
    for (int s = 0; s <= 120; s += 10) {
        look.LastAckMs = static_cast<uint32_t>(s * 1000); // the probes back off up to 2 min apart
        EXPECT_FALSE(watch.Dead(t0 + std::chrono::seconds(s), look)) << s << " s";
        EXPECT_EQ(watch.ShutLong(t0 + std::chrono::seconds(s), look), s == 10) << s << " s";
    }
    close(fd);

    // Data (or a probe) that stay unanswered, and not one acknowledgement for the limit: gone.
    // Data sent just now after a long quiet are not that, however long ago the last ACK came.
    ST_TcpLook unanswered;
    unanswered.Unacked = 3;
    unanswered.LastAckMs = 60000;
    EXPECT_FALSE(watch.Dead(t0, unanswered));
    unanswered.LastAckMs = 60000 + kLimitMs - 1;
    EXPECT_FALSE(watch.Dead(t0 + std::chrono::milliseconds(kLimitMs - 1), unanswered));
    unanswered.LastAckMs = 60000 + kLimitMs;
    EXPECT_TRUE(watch.Dead(t0 + std::chrono::milliseconds(kLimitMs), unanswered));
    // Answered in between: the count starts again.
    EXPECT_FALSE(watch.Dead(t0, ST_TcpLook{}));
    // A shut window's probe may go unanswered once (a receiver answers out-of-window segments at
    // most twice a second); two in a row unanswered are a server gone.
    unanswered = ST_TcpLook{};
    unanswered.Probes = 1;
    unanswered.LastAckMs = 5 * kLimitMs;
    EXPECT_FALSE(watch.Dead(t0 + std::chrono::milliseconds(kLimitMs), unanswered));
    EXPECT_FALSE(watch.Dead(t0 + std::chrono::milliseconds(3 * kLimitMs), unanswered));
    unanswered.Probes = 2;
    EXPECT_FALSE(watch.Dead(t0 + std::chrono::milliseconds(4 * kLimitMs), unanswered));
    EXPECT_TRUE(watch.Dead(t0 + std::chrono::milliseconds(5 * kLimitMs), unanswered));
}

// A server gone without a word: its connection is taken, then every segment that reaches it is
// dropped before TCP sees it (a socket filter), so nothing is acknowledged any more.
class CGoneServer
{
public:
    CGoneServer()
    {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof at;
        if (bind(listen_, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 && listen(listen_, 1) == 0 &&
            getsockname(listen_, reinterpret_cast<sockaddr *>(&at), &length) == 0)
            port_ = ntohs(at.sin_port);
    }
    ~CGoneServer()
    {
        close(conn_);
        close(listen_);
    }
    uint16_t Port() const { return port_; }
    bool Vanish()
    {
        conn_ = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        sock_filter dropAll{BPF_RET | BPF_K, 0, 0, 0};
        const sock_fprog program{1, &dropAll};
        return conn_ >= 0 && setsockopt(conn_, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
    }

private:
    int listen_ = -1, conn_ = -1;
    uint16_t port_ = 0;
};

// Two lines with a short silence limit: one to a server that stopped reading, kept however long
// it holds its window shut; one to a server gone, lost once its data stayed unanswered so long.
TEST(NetLineSilence, AServerThatStopsReadingIsKeptAndOneGoneIsLost)
{
    CTempHome home;
    constexpr int kLimitMs = 1000;
    CLoopbackPort holding(4096);
    ASSERT_TRUE(holding.Listen(1));
    CNetLine held;
    held.SetSilenceLimitMs(kLimitMs);
    ASSERT_EQ(held.Open({ENetKind::Raw, "127.0.0.1", holding.Port()}, -1, nullptr), 0);
    FillUntilHeld(held.DataFd());
    const auto until = SilenceClock::now() + std::chrono::milliseconds(kPatienceMs);
    while (home.LogText().find("has kept its window shut") == std::string::npos &&
           SilenceClock::now() < until && held.LostErrno() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(home.LogText().find("has kept its window shut"), std::string::npos);

    CGoneServer gone;
    ASSERT_NE(gone.Port(), 0);
    CNetLine lost;
    lost.SetSilenceLimitMs(kLimitMs);
    ASSERT_EQ(lost.Open({ENetKind::Raw, "127.0.0.1", gone.Port()}, -1, nullptr), 0);
    ASSERT_TRUE(gone.Vanish());
    ASSERT_EQ(write(lost.DataFd(), "?", 1), 1);
    while (lost.LostErrno() == 0 && SilenceClock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(lost.LostErrno(), ETIMEDOUT);
    // By now the held window has been shut for over two limits.
    EXPECT_EQ(held.LostErrno(), 0) << ErrnoWords(held.LostErrno());
    held.Close();
}
