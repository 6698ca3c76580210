// View > One Line per Frame on a pseudo-terminal whose traffic is cut into lines.
#include "frame/frameprofiles.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <QAction>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

TTrafficLog &Log(const QWidget &w)
{
    return *w.findChild<TTrafficLog *>(QStringLiteral("edData"));
}

bool LogShows(const QMainWindow &w, const std::string &text)
{
    return WaitUntil([&] { return Log(w).WholeText() == text; });
}

// The log has taken the bytes, whether or not a line shows them yet.
bool LogTook(const QMainWindow &w, uint64_t bytes)
{
    return WaitUntil([&] { return Log(w).ReceivedBytes() == bytes; });
}

struct ST_FramedWindow
{
    explicit ST_FramedWindow(bool lineEachFrame)
    {
        const COM_PORT_SETTING link = Link("Pty", pty.Path());
        Feature<TPortCommands>(w)->Open(link);
        SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(link));
        Find<QAction>(w, "mnuViewFrameLines")->setChecked(lineEachFrame);
    }
    GuiTestEnv env;
    CTestPty pty;
    std::unique_ptr<QMainWindow> made = NewMainWindow();
    QMainWindow &w = *made;
};

} // namespace

TEST(FrameLines, EachFrameIsALineWhateverBlocksThePortRead)
{
    std::string told; // what a capture records
    ST_FramedWindow f(true);
    QMainWindow &w = f.w;
    Log(w).AddObserver([&told](LogDirection, const uint8_t *bytes, size_t length, bool) {
        told.append(reinterpret_cast<const char *>(bytes), length);
    });
    f.pty.Send("ab\r\ncd");
    ASSERT_TRUE(LogShows(w, "Rec  :ab\r\n")) << Log(w).WholeText();
    f.pty.Send("\r\nef\r\n");
    ASSERT_TRUE(LogShows(w, "Rec  :ab\r\nRec  :cd\r\nRec  :ef\r\n")) << Log(w).WholeText();

    // The request is its own line, before the answer the device gave to it.
    ASSERT_EQ(SessionOf(w).Send(CCommData(std::string("ping\r\n"), FMT_STRING), ESendLog::Each),
              CPortSession::ESend::Queued);
    ASSERT_EQ(f.pty.ReceiveText(6), "ping\r\n");
    f.pty.Send("pong\r\n");
    ASSERT_TRUE(LogShows(w, "Rec  :ab\r\nRec  :cd\r\nRec  :ef\r\nSend :ping\r\nRec  :pong\r\n"))
        << Log(w).WholeText();

    // Turned off with a frame half read: its bytes are shown at once, and not again as the frame
    // ends; the log goes on in blocks.
    f.pty.Send("gh");
    ASSERT_TRUE(LogTook(w, 20));
    Find<QAction>(w, "mnuViewFrameLines")->setChecked(false);
    const std::string before = "Rec  :ab\r\nRec  :cd\r\nRec  :ef\r\nSend :ping\r\nRec  :pong\r\nRec  :gh\r\n";
    EXPECT_EQ(Log(w).WholeText(), before);
    f.pty.Send("ij\r\nkl\r\n");
    EXPECT_TRUE(LogShows(w, before + "Rec  :ij\r\nkl\r\n")) << Log(w).WholeText();
    EXPECT_EQ(told, "ab\r\ncd\r\nef\r\nping\r\npong\r\nghij\r\nkl\r\n");
}

TEST(FrameLines, OffTheLogKeepsTheBlocks)
{
    ST_FramedWindow f(false);
    f.pty.Send("ab\r\ncd");
    ASSERT_TRUE(LogShows(f.w, "Rec  :ab\r\ncd\r\n")) << Log(f.w).WholeText();
}

// What the framing or the port ends is shown once, whichever ends first.
TEST(FrameLines, AFrameOpenWhenFramingOrThePortEndsIsShownOnce)
{
    ST_FramedWindow f(true);
    QMainWindow &w = f.w;
    f.pty.Send("xy");
    ASSERT_TRUE(LogTook(w, 2));
    SessionOf(w).Frames().SetProfile(std::nullopt, {});
    f.pty.Send("z\r\n");
    ASSERT_TRUE(LogShows(w, "Rec  :xy [timed out]\r\nRec  :z\r\n")) << Log(w).WholeText();

    SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), {});
    f.pty.Send("uv");
    ASSERT_TRUE(LogTook(w, 7));
    Feature<TPortCommands>(w)->Close();
    EXPECT_EQ(CountOf(Log(w).WholeText(), "uv"), 1) << Log(w).WholeText();
    EXPECT_NE(Log(w).WholeText().find("Rec  :uv [timed out]\r\n"), std::string::npos) << Log(w).WholeText();
}
