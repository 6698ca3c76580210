// File > Replay Capture as a user meets it: a recording played into the window frame by frame
// reaches the log and the frames as a device's data would, the recording's own sends never; out
// of a virtual port it reaches the program that opens the port the window names.
#include "frame/frameprofiles.h"
#include "link/linksetting.h"
#include "log/gui/TTrafficLog.h"
#include "log/logpcapng.h"
#include "log/pcapng.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TReplayCommands.h"
#include "replay/gui/TfrmReplay.h"
#include "replay/replayports.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "tempdir.h"

namespace {

// A device that greets, is asked something and answers; the times matter only as an order.
std::string Recording()
{
    std::string file = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 9600 8N1"));
    const auto add = [&file](int64_t ms, EPcapngDirection direction, const std::string &text) {
        ST_PcapngPacket packet;
        packet.WallMicros = 1797000000000000 + ms * 1000;
        packet.Direction = direction;
        packet.Bytes = reinterpret_cast<const uint8_t *>(text.data());
        packet.Length = text.size();
        AppendPcapngPacket(file, packet);
    };
    add(0, EPcapngDirection::Inbound, "hello\r\n");
    add(10, EPcapngDirection::Outbound, "asked\r\n");
    add(20, EPcapngDirection::Inbound, "world\r\n");
    return file;
}

TfrmReplay *OpenReplayDialog(QWidget &window, const std::string &file, int target, int speed)
{
    Find<QAction>(window, "mnuFileReplay")->trigger();
    auto *dialog = Find<TfrmReplay>(window, "frmReplay");
    if (!dialog)
        return nullptr;
    Find<QLineEdit>(dialog, "edReplayFile")->setText(QString::fromStdString(file));
    Find<QComboBox>(dialog, "cbReplayTarget")->setCurrentIndex(target);
    Find<QComboBox>(dialog, "cbReplaySpeed")->setCurrentIndex(speed);
    Find<QPushButton>(dialog, "btnReplayStart")->click();
    return dialog;
}

constexpr int kFrameByFrame = 4;
constexpr int kAtThePace = 0;

} // namespace

TEST(ReplayWindow, FrameByFrameIntoTheWindowAsReceivedData)
{
    GuiTestEnv env;
    InstallReplayPorts();
    TempDir dir;
    WriteRaw(dir.File("session.pcapng"), Recording());
    auto w = NewMainWindow();
    CPortSession &session = SessionOf(*w);
    TfrmReplay *dialog = OpenReplayDialog(*w, dir.File("session.pcapng"), 0, kFrameByFrame);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return session.IsOpen(); }));
    std::vector<std::string> frames;
    session.Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(*session.Link()));
    session.Frames().SetObserver("test", [&frames](const ST_Frame &frame) {
        frames.emplace_back(frame.Bytes.begin(), frame.Bytes.end());
    });
    auto *step = Find<QPushButton>(dialog, "btnReplayStep");
    ASSERT_TRUE(step->isEnabled());
    step->click();
    ASSERT_TRUE(WaitUntil([&] { return frames.size() == 1; }));
    EXPECT_EQ(frames[0], "hello\r\n");
    // Both are written at once by a replay that does not wait for its steps.
    EXPECT_EQ(Feature<TReplayCommands>(*w)->Control()->Played(), 1u);
    step->click();
    ASSERT_TRUE(WaitUntil([&] { return frames.size() == 2; }));
    EXPECT_EQ(frames[1], "world\r\n");
    // The recording's own send was not played: the window makes its own.
    auto *log = Find<TTrafficLog>(*w, "edData");
    ASSERT_TRUE(WaitUntil([&] { return log->WholeText().find("world") != std::string::npos; }));
    EXPECT_NE(log->WholeText().find("Rec  :hello"), std::string::npos);
    EXPECT_EQ(log->WholeText().find("asked"), std::string::npos);
    auto *status = Find<QLabel>(dialog, "lblReplayStatus");
    EXPECT_TRUE(WaitUntil([&] { return status->text() == QStringLiteral("Played all 2 frames"); }))
        << status->text().toStdString();
    session.Frames().SetObserver("test", nullptr);

    Find<QPushButton>(dialog, "btnReplayStop")->click();
    EXPECT_FALSE(session.IsOpen());
}

// replay://FILE typed as a link's port opens as any port does, its file read while the window
// goes on (the open is still under way when the command returns), and plays into the log; a
// file that is not there is told in the recording's own words.
TEST(ReplayWindow, ATypedReplayPortOpensInTheBackgroundAndPlays)
{
    GuiTestEnv env;
    InstallReplayPorts();
    TempDir dir;
    WriteRaw(dir.File("session.pcapng"), Recording());
    auto w = NewMainWindow();
    CPortSession &session = SessionOf(*w);
    Feature<TPortCommands>(*w)->Open(Link("recorded", "replay://" + dir.File("session.pcapng")));
    EXPECT_TRUE(session.Connecting());
    EXPECT_FALSE(session.IsOpen());
    ASSERT_TRUE(WaitUntil([&] { return session.IsOpen(); }));
    auto *log = Find<TTrafficLog>(*w, "edData");
    EXPECT_TRUE(WaitUntil([&] { return log->WholeText().find("world") != std::string::npos; }))
        << log->WholeText();
    EXPECT_NE(log->WholeText().find("Rec  :hello"), std::string::npos);
    Find<QAction>(*w, "mnuOpClosePort")->trigger();

    const std::string missing = "replay://" + dir.File("missing.pcapng");
    ModalCatcher boxes;
    Feature<TPortCommands>(*w)->Open(Link("recorded", missing));
    ASSERT_TRUE(WaitUntil([&] { return !boxes.Seen().isEmpty(); }));
    EXPECT_TRUE(boxes.Seen()[0].startsWith(QString::fromStdString(missing + ": ")))
        << boxes.Seen()[0].toStdString();
    EXPECT_FALSE(session.IsOpen());
    EXPECT_FALSE(session.Connecting());
}

TEST(ReplayWindow, OutOfAVirtualPortForAnotherProgram)
{
    GuiTestEnv env;
    TempDir dir;
    WriteRaw(dir.File("session.pcapng"), Recording());
    auto w = NewMainWindow();
    TfrmReplay *dialog = OpenReplayDialog(*w, dir.File("session.pcapng"), 1, kAtThePace);
    ASSERT_NE(dialog, nullptr);
    auto *status = Find<QLabel>(dialog, "lblReplayStatus");
    ASSERT_TRUE(WaitUntil([&] { return status->text().contains(QStringLiteral("/dev/pts/")); }))
        << status->text().toStdString();
    const QString text = status->text();
    const int at = text.indexOf(QStringLiteral("/dev/pts/"));
    int end = at + 9;
    while (end < text.size() && text[end].isDigit())
        ++end;
    const std::string path = text.mid(at, end - at).toStdString();
    EXPECT_NE(LastLogLine(*w).find(path), std::string::npos);

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << path;
    std::string got;
    WaitUntil(
        [&] {
            char buffer[64];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<size_t>(n));
            return got.size() >= 14;
        },
        10000);
    close(fd);
    EXPECT_EQ(got, "hello\r\nworld\r\n");
    EXPECT_FALSE(SessionOf(*w).IsOpen());
}
