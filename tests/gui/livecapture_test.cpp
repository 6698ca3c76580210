#include "extcap/livecapture.h"
#include "frame/frameprofiles.h"
#include "log/logpcapng.h"
#include "log/pcapng.h"
#include "mainwindow/features/TLiveCapture.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QMainWindow>
#include <gtest/gtest.h>
#include <unistd.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tsharklive.h"

namespace {

std::string Text(const std::vector<uint8_t> &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

// The analyser lists a running window by its port and captures what the window sees from the
// moment it attached, both directions, a packet per frame while the window frames its traffic
// and per block once it does not.
TEST(LiveCapture, WindowListedAndCapturedBothWays)
{
    GuiTestEnv env;
    CAnalyserHome home(KESTRUM_EXTCAP);
    auto window = NewMainWindow();
    CTestPty pty;
    const COM_PORT_SETTING link = Link("Pty", pty.Path());
    Feature<TPortCommands>(*window)->Open(link);
    ASSERT_TRUE(SessionOf(*window).IsOpen());
    CPortSession &session = SessionOf(*window);
    session.Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(link));
    // Before anyone attached: never in the capture.
    pty.Send("early\r\n");
    ASSERT_TRUE(WaitUntil([&] { return session.RecBytes() == 7; }));

    const std::string interface = WindowInterfaceName(LiveCaptureSocketName(getpid(), 1));
    const std::string list = home.Interfaces();
    const size_t listed = list.find(interface + " (Kestrum window 1: " + pty.Path().substr(5));
    EXPECT_NE(std::string::npos, listed) << list;
    // The window holds its port: it is offered through the window only.
    EXPECT_EQ(std::string::npos, list.find("kestrum-port:" + pty.Path())) << list;

    // The greeting, a frame each way, then two blocks once framing is off.
    const int64_t beforeAttach = WallNowMicros();
    CLiveTshark tshark(interface, 5, home.File("window.pcapng"));
    ASSERT_TRUE(WaitUntil([&] { return tshark.Lines() >= 1 || tshark.Ended(); }, 20000)) << tshark.Output();
    ASSERT_FALSE(tshark.Ended()) << tshark.Output();
    SendItem(*window, CCommData(Bytes{'p', 'i', 'n', 'g', '\r', '\n'}, FMT_STRING));
    ASSERT_EQ("ping\r\n", pty.ReceiveText(6));
    pty.Send("pong\r\n");
    ASSERT_TRUE(WaitUntil([&] { return session.RecBytes() == 13; }));
    session.Frames().SetProfile(std::nullopt, LineTimingOf(link));
    SendItem(*window, CCommData(Bytes{'A', 'B'}, FMT_STRING));
    ASSERT_EQ("AB", pty.ReceiveText(2));
    pty.Send("c"); // one byte: one read, one block
    ASSERT_TRUE(WaitUntil([&] { return tshark.Ended(); }, 20000)) << tshark.Output();
    EXPECT_EQ(0, tshark.Status()) << tshark.Output();

    const ST_PcapngContent content = ReadPcapngFile(home.File("window.pcapng"));
    ASSERT_EQ(5u, content.Records.size());
    ASSERT_FALSE(content.Interfaces.empty());
    EXPECT_NE(std::string::npos, content.Interfaces[0].Description.find(pty.Path().substr(5)));
    EXPECT_EQ(LiveGreeting(1, content.Interfaces[0].Description), content.Records[0].Comment);
    EXPECT_GE(content.Records[0].WallMicros, beforeAttach)
        << "the greeting is stamped as the capture attached";
    const std::pair<EPcapngDirection, std::string> expected[] = {{EPcapngDirection::Outbound, "ping\r\n"},
                                                                 {EPcapngDirection::Inbound, "pong\r\n"},
                                                                 {EPcapngDirection::Outbound, "AB"},
                                                                 {EPcapngDirection::Inbound, "c"}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].first, content.Records[i + 1].Direction) << i;
        EXPECT_EQ(expected[i].second, Text(content.Records[i + 1].Bytes)) << i;
        EXPECT_LE(content.Records[i].WallMicros, content.Records[i + 1].WallMicros) << i;
    }
}
