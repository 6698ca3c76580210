// The device on a port served by Debian's ser2net in front of a pseudo-terminal: every byte
// value both ways, line settings that reach the terminal, a raw port, a server that goes away.
#include "ptypair.h"
#include "ser2netserver.h"
#include "serial/serialex.h"

#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

namespace {

// Every value, then long runs of the one the protocol escapes, alone and between others.
std::vector<uint8_t> Pattern()
{
    std::vector<uint8_t> bytes;
    for (int round = 0; round < 3; ++round) {
        for (int v = 0; v < 256; ++v)
            bytes.push_back(static_cast<uint8_t>(v));
        bytes.insert(bytes.end(), 300 + round, 0xFF);
        bytes.push_back(0xFE);
    }
    return bytes;
}

std::vector<uint8_t> ReadAll(CSerial &port, size_t count)
{
    std::vector<uint8_t> got(count);
    size_t have = 0;
    while (have < count) {
        uint32_t n = 0;
        if (port.Read(got.data() + have, static_cast<long>(count - have), &n) != 0 && n == 0)
            break;
        have += n;
    }
    got.resize(have);
    return got;
}

KTermios LineOf(const CTestPty &pty)
{
    KTermios t;
    EXPECT_TRUE(GetKernelTermios(pty.Slave(), &t));
    return t;
}

// The server applies settings after it answers them: wait until the terminal shows them.
bool WaitForLine(const CTestPty &pty, const std::function<bool(const KTermios &)> &shows)
{
    for (int look = 0; look < 2000; ++look) {
        if (shows(LineOf(pty)))
            return true;
        poll(nullptr, 0, 5);
    }
    return false;
}

class Ser2Net : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(CSer2NetServer::Installed()) << "the install step installs ser2net"; }
    CTempHome home;
    CTestPty pty;
};

class LostWatcher : public CSerialEx
{
public:
    ~LostWatcher() override { Close(); }
    std::atomic<long> lost{0};

protected:
    void OnEvent(uint16_t, uint16_t) override {}
    void OnPortLost(long code) override { lost.store(code); }
};

} // namespace

TEST_F(Ser2Net, EveryByteValuePassesBothWaysThroughRfc2217)
{
    CSer2NetServer server(pty.Path(), true);
    ASSERT_TRUE(server.Start());
    CSerial port;
    ASSERT_EQ(port.Open(server.Address()), 0) << port.OpenFailure();
    EXPECT_TRUE(port.IsNetworkPort());
    EXPECT_FALSE(port.SettingsAreServers());
    ASSERT_EQ(port.Setup(115200), 0);
    const std::vector<uint8_t> pattern = Pattern();
    ASSERT_EQ(port.Write(pattern.data(), static_cast<long>(pattern.size())), 0);
    EXPECT_EQ(pty.Receive(pattern.size()), pattern);
    ASSERT_TRUE(pty.Send(pattern));
    EXPECT_EQ(ReadAll(port, pattern.size()), pattern);
}

TEST_F(Ser2Net, LineSettingsAndFlowControlReachTheDevice)
{
    CSer2NetServer server(pty.Path(), true);
    ASSERT_TRUE(server.Start());
    CSerial port;
    ASSERT_EQ(port.Open(server.Address()), 0) << port.OpenFailure();
    // The server takes data bits and parity too, but a pseudo-terminal always reads back 8N.
    ASSERT_EQ(port.Setup(57600, 7, EVENPARITY, TWOSTOPBITS), 0) << home.LogText();
    EXPECT_TRUE(
        WaitForLine(pty, [](const KTermios &t) { return t.c_ospeed == 57600 && (t.c_cflag & CSTOPB); }));
    EXPECT_EQ(port.GetDataBits(), 7);
    EXPECT_EQ(port.GetParity(), EVENPARITY);
    ASSERT_EQ(port.SetupHandshaking(CSerial::XonXoffHandshake), 0) << home.LogText();
    EXPECT_TRUE(
        WaitForLine(pty, [](const KTermios &t) { return (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF); }));
    EXPECT_EQ(port.GetHandshaking(), CSerial::XonXoffHandshake);
    ASSERT_EQ(port.SetupHandshaking(CSerial::NoHandshake), 0);
    ASSERT_EQ(port.Setup(1200, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_TRUE(WaitForLine(pty, [](const KTermios &t) {
        return t.c_ospeed == 1200 && !(t.c_cflag & CSTOPB) && !(t.c_iflag & IXON);
    }));
}

TEST_F(Ser2Net, ARawPortPassesBytesUnchangedAndLeavesTheLineToTheServer)
{
    CSer2NetServer server(pty.Path(), false);
    ASSERT_TRUE(server.Start());
    CSerial port;
    ASSERT_EQ(port.Open(server.Address()), 0) << port.OpenFailure();
    EXPECT_TRUE(port.SettingsAreServers());
    EXPECT_EQ(port.Setup(115200, 8, NOPARITY, TWOSTOPBITS), 0);
    const std::vector<uint8_t> pattern = Pattern();
    ASSERT_EQ(port.Write(pattern.data(), static_cast<long>(pattern.size())), 0);
    EXPECT_EQ(pty.Receive(pattern.size()), pattern);
    // The rate the server was started with, not the one asked for.
    EXPECT_EQ(LineOf(pty).c_ospeed, 9600u) << "nothing but data goes over a raw port";
    EXPECT_FALSE(port.HasModemLines());
}

TEST_F(Ser2Net, AServerThatGoesAwayIsALostPortAndOpensAgainWhenBack)
{
    CSer2NetServer server(pty.Path(), true);
    ASSERT_TRUE(server.Start());
    LostWatcher port;
    ASSERT_EQ(port.Open(server.Address(), 0, 0, true), 0) << port.OpenFailure();
    server.Kill();
    for (int look = 0; port.lost.load() == 0 && look < 20000; ++look)
        poll(nullptr, 0, 1);
    EXPECT_EQ(port.lost.load(), SystemError(ECONNRESET));
    port.Close();
    EXPECT_NE(port.Open(server.Address()), 0);
    EXPECT_EQ(port.OpenFailure(),
              "Cannot connect to 127.0.0.1:" + std::to_string(server.Port()) + ": connection refused");
    ASSERT_TRUE(server.Start());
    ASSERT_EQ(port.Open(server.Address(), 0, 0, true), 0) << port.OpenFailure();
    ASSERT_EQ(port.Write("back"), 0);
    const std::vector<uint8_t> got = pty.Receive(4);
    EXPECT_EQ(std::string(got.begin(), got.end()), "back");
}
