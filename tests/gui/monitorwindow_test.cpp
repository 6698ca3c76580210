#include "decode/modbus.h"
#include "frame/framechoices.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesModel.h"
#include "link/linklist.h"
#include "log/gui/TLogCapture.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TMonitorCommands.h"
#include "mainwindow/features/TPcapngExport.h"
#include "platform/appfolder.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "session/portsession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "fakerfc2217.h"
#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"
#include "tsharkfields.h"

namespace {

// The program under test opens the virtual port as its serial port (which the monitor made raw).
struct CProgram
{
    explicit CProgram(const std::string &path) : fd(open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~CProgram() { close(fd); }
    Bytes Read(size_t count) const
    {
        Bytes out(count);
        size_t got = 0;
        pollfd p{fd, POLLIN, 0};
        while (got < count && poll(&p, 1, 2000) > 0) {
            const ssize_t n = read(fd, out.data() + got, count - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        out.resize(got);
        return out;
    }
    int fd;
};

void SaveLinks(const std::vector<COM_PORT_SETTING> &links)
{
    LinkList().Clear();
    for (const COM_PORT_SETTING &link : links)
        LinkList().Append(link);
    SaveLinkList(DefaultLinkFilePath());
}

void Choose(QDialog *d, const char *box, const QString &start)
{
    auto *list = Find<QComboBox>(d, box);
    list->setCurrentIndex(list->findText(start, Qt::MatchStartsWith));
}

// The bytes of the logged blocks whose first line begins with `tag`, in order.
Bytes Logged(const TTrafficLog &log, const std::string &tag)
{
    Bytes out;
    for (size_t block = 0; block < log.BlockCount(); ++block) {
        if (log.LineText(log.FirstLineOfBlock(block)).rfind(tag, 0) != 0)
            continue;
        size_t length = 0;
        const uint8_t *bytes = log.BlockBytes(block, length);
        out.insert(out.end(), bytes, bytes + length);
    }
    return out;
}

// The ports open on a thread of the monitor's; the status bar names them once they have.
bool WaitStarted(QMainWindow &w)
{
    return WaitUntil([&w] { return StatusPanel(w, 0).startsWith(QStringLiteral("A: ")); });
}

int LineStarting(const TTrafficLog &log, const std::string &start)
{
    for (int line = 0; line < log.LineCount(); ++line)
        if (log.LineText(line).rfind(start, 0) == 0)
            return line;
    return -1;
}

} // namespace

TEST(Monitor, BridgeShowsAProgramOnTheVirtualPortTalkingToItsDevice)
{
    GuiTestEnv env;
    CTestPty device;
    SaveLinks({Link("board", device.Path())});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const CRecDataList &received = GiveReceivedList(w).Entries();
    auto *log = Find<TTrafficLog>(w, "edData");
    const std::string vport = env.File("board");

    ModalCatcher dialog([&vport](QDialog *d) {
        Choose(d, "cboPortA", "board");
        Choose(d, "cboPortB", "board");
        EXPECT_FALSE(Find<QLineEdit>(d, "edVirtualPath")->isEnabled());
        Choose(d, "cboPortB", "Virtual port");
        ASSERT_TRUE(Find<QLineEdit>(d, "edVirtualPath")->isEnabled());
        Find<QLineEdit>(d, "edVirtualPath")->setText(QString::fromStdString(vport));
        Find<QCheckBox>(d, "chkBridge")->setChecked(true);
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    ASSERT_EQ(dialog.Seen(), QStringList{"frmMonitorSetting"});
    ASSERT_TRUE(Feature<TMonitorCommands>(w)->Running());
    ASSERT_TRUE(WaitStarted(w));
    EXPECT_EQ(StatusPanel(w, 0).toStdString(), "A: board (" + device.Path() + ")  B: " + vport);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum - ") + StatusPanel(w, 0));
    EXPECT_FALSE(Find<QAction>(w, "mnuOpQuickLink")->isEnabled());

    CProgram program(vport);
    ASSERT_GE(program.fd, 0);
    Bytes request(256);
    std::iota(request.begin(), request.end(), uint8_t{0});
    const Bytes answer(request.rbegin(), request.rend());
    ASSERT_EQ(write(program.fd, request.data(), request.size()), 256);
    EXPECT_EQ(device.Receive(256), request);
    EXPECT_TRUE(WaitUntil([&] { return Logged(*log, "B>A :") == request; }));
    ASSERT_TRUE(device.Send(answer));
    EXPECT_EQ(program.Read(256), answer);
    EXPECT_TRUE(WaitUntil([&] { return Logged(*log, "A>B :") == answer; }));

    // Stamped to the millisecond with Show Time off, and in two colours.
    ASSERT_FALSE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
    const int requestLine = LineStarting(*log, "B>A :"), answerLine = LineStarting(*log, "A>B :");
    EXPECT_TRUE(
        QString::fromStdString(log->LineText(answerLine))
            .contains(QRegularExpression(QStringLiteral("^A>B :\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)"))))
        << log->LineText(answerLine);
    EXPECT_NE(log->LineRuns(requestLine)[0].color, log->LineRuns(answerLine)[0].color);

    // The receive path of the window's own port saw none of it: no received list, no rules.
    EXPECT_EQ(received.Count(), 0);
    EXPECT_EQ(SessionOf(w).RecBlocks(), 0);
    EXPECT_EQ(SessionOf(w).AutoSend().RecQueueSize(), 0u);

    Find<QAction>(w, "mnuOpClosePort")->trigger();
    EXPECT_FALSE(Feature<TMonitorCommands>(w)->Running());
    struct stat st
    {
    };
    EXPECT_NE(lstat(vport.c_str(), &st), 0) << "the virtual port's link is removed";
    EXPECT_EQ(StatusPanel(w, 0), QStringLiteral("Port: "));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum"));
    EXPECT_TRUE(Find<QAction>(w, "mnuOpMonitor")->isEnabled());
}

// The monitor's traffic in the window's frames, each direction by its side's profile.
TEST(Monitor, FramesBothDirectionsInOrderAndHandsOutTheUnfinishedAtStop)
{
    GuiTestEnv env;
    CTestPty device;
    SaveLinks({Link("board", device.Path())});
    ST_FramingChoices framing;
    framing.Profiles.push_back(CFrameProfile::BuiltIn("Lines"));
    framing.Profiles.back().Name = "Bench lines";
    framing.Profiles.back().Limits.TimeOut = FrameTime(0); // a line nobody ends waits for the stop
    // The program on port B asks; each line of the device answers the one before.
    framing.Profiles.back().Unknown.emplace_back("pairing", "next");
    framing.Links["board"] = "Bench lines";
    WriteFramingChoices(FramingFilePath(AppFolder()), framing);
    std::vector<ST_Frame> frames;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    SessionOf(w).Frames().SetObserver("test", [&frames](const ST_Frame &frame) { frames.push_back(frame); });
    Find<QAction>(w, "mnuViewFrames")->trigger();
    auto *table = Find<QTableView>(w, "tblFrames");
    const std::string vport = env.File("board");
    ModalCatcher dialog([&vport](QDialog *d) {
        Choose(d, "cboPortA", "board");
        Choose(d, "cboPortB", "Virtual port");
        Find<QLineEdit>(d, "edVirtualPath")->setText(QString::fromStdString(vport));
        Find<QCheckBox>(d, "chkBridge")->setChecked(true);
        Choose(d, "cmbMonitorMaster", "B");
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    ASSERT_TRUE(WaitStarted(w));

    CProgram program(vport);
    ASSERT_GE(program.fd, 0);
    const std::string request = "READ 7\r\n", answer = "VALUE 7 = 1234\r\n", unfinished = "READ 8";
    ASSERT_EQ(write(program.fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    ASSERT_EQ(device.ReceiveText(request.size()), request);
    ASSERT_TRUE(device.Send(answer));
    ASSERT_EQ(program.Read(answer.size()).size(), answer.size());
    ASSERT_TRUE(WaitUntil([&frames] { return frames.size() >= 2; }));
    EXPECT_EQ(frames[0].Direction, EFrameDirection::MonitorBtoA);
    EXPECT_EQ(std::string(frames[0].Bytes.begin(), frames[0].Bytes.end()), request);
    EXPECT_EQ(frames[1].Direction, EFrameDirection::MonitorAtoB);
    EXPECT_EQ(std::string(frames[1].Bytes.begin(), frames[1].Bytes.end()), answer);
    EXPECT_TRUE(WaitUntil([table] { return table->model()->rowCount() == 2; }));
    const QString answered = table->model()->index(1, TFramesModel::Summary).data().toString();
    EXPECT_TRUE(answered.contains(QRegularExpression("^\\d+\\.\\d ms$"))) << answered.toStdString();
    EXPECT_FALSE(Find<QLabel>(w, "lblFramesHint")->isVisibleTo(&w))
        << "framing is on, on the monitor's sides";

    // Through to the device, so the monitor has read it, but no line end yet.
    ASSERT_EQ(write(program.fd, unfinished.data(), unfinished.size()),
              static_cast<ssize_t>(unfinished.size()));
    ASSERT_EQ(device.ReceiveText(unfinished.size()), unfinished);
    Find<QAction>(w, "mnuOpClosePort")->trigger();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].Direction, EFrameDirection::MonitorBtoA);
    EXPECT_EQ(std::string(frames[2].Bytes.begin(), frames[2].Bytes.end()), unfinished);
    EXPECT_TRUE(frames[2].Marks & FRAME_TIMED_OUT);
    EXPECT_FALSE(SessionOf(w).Frames().SideProfile(EFrameDirection::MonitorBtoA));
}

// One Line per Frame: each side's frames are the log's lines, tagged and stamped as its blocks are.
TEST(Monitor, OneLinePerFrameShowsEachSidesFramesAsLines)
{
    GuiTestEnv env;
    CTestPty device;
    SaveLinks({Link("board", device.Path())});
    ST_FramingChoices framing;
    framing.Links["board"] = "Lines";
    WriteFramingChoices(FramingFilePath(AppFolder()), framing);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Find<QAction>(w, "mnuViewFrameLines")->setChecked(true);
    auto *log = Find<TTrafficLog>(w, "edData");
    const std::string vport = env.File("board");
    ModalCatcher dialog([&vport](QDialog *d) {
        Choose(d, "cboPortA", "board");
        Choose(d, "cboPortB", "Virtual port");
        Find<QLineEdit>(d, "edVirtualPath")->setText(QString::fromStdString(vport));
        Find<QCheckBox>(d, "chkBridge")->setChecked(true);
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    ASSERT_TRUE(WaitStarted(w));
    CProgram program(vport);
    ASSERT_GE(program.fd, 0);
    // A request in two reads (the device has the first before the rest is written), then two
    // requests in one.
    for (const std::string piece : {"RE", "AD 7\r\nREAD 9\r\n"}) {
        ASSERT_EQ(write(program.fd, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
        ASSERT_EQ(device.ReceiveText(piece.size()), piece);
    }
    ASSERT_TRUE(device.Send("VALUE 7\r\n"));
    const auto lines = [log] {
        QStringList shown;
        for (int line = 0; line < log->LineCount(); ++line)
            shown << QString::fromStdString(log->LineText(line))
                         .remove(QRegularExpression(QStringLiteral("\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)")));
        return shown.filter(QRegularExpression(QStringLiteral("^(A>B|B>A) :")));
    };
    EXPECT_TRUE(WaitUntil([&] { return lines().size() == 3; })) << lines().join('|').toStdString();
    EXPECT_EQ(lines().join('|').toStdString(), "B>A :READ 7|B>A :READ 9|A>B :VALUE 7");
    Find<QAction>(w, "mnuOpClosePort")->trigger();
}

TEST(Monitor, WithoutBridgeBothPortsAreOnlyRead)
{
    GuiTestEnv env;
    CTestPty a, b;
    COM_PORT_SETTING two = Link("two", b.Path());
    two.Baud = 115200;
    SaveLinks({Link("one", a.Path()), two});
    std::string sides[2]; // what the window's traffic path was given from each side; outlives it
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *log = Find<TTrafficLog>(w, "edData");
    SessionOf(w).Traffic().Add("probe", [&](ST_Traffic &event) {
        const bool fromA = event.Direction == ETraffic::MonitorAtoB && event.Source == a.Path();
        if (fromA || (event.Direction == ETraffic::MonitorBtoA && event.Source == b.Path()))
            sides[fromA ? 0 : 1].append(event.Data.Data().begin(), event.Data.Data().end());
    });

    // The first OK asks for the same port twice and is refused; the dialog stays for a second one.
    int round = 0;
    bool clicking = false;
    ModalCatcher dialog([&](QDialog *d) {
        if (clicking)
            return;
        clicking = true;
        Choose(d, "cboPortA", "one");
        Choose(d, "cboPortB", round++ == 0 ? "one" : "two");
        Find<QCheckBox>(d, "chkBridge")->setChecked(false);
        // Later, so that the refusal's box reaches the catcher once it has returned.
        QTimer::singleShot(0, d, [d, &clicking] {
            Find<QPushButton>(d, "btnOK")->click();
            clicking = false;
        });
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    EXPECT_EQ(dialog.Seen(),
              (QStringList{"frmMonitorSetting", "Port A and Port B are the same port", "frmMonitorSetting"}));
    ASSERT_TRUE(Feature<TMonitorCommands>(w)->Running());
    ASSERT_TRUE(WaitStarted(w));
    // The line panels show both ports' settings, A's first.
    EXPECT_EQ(StatusPanel(w, 1), QStringLiteral("Baud Rate: 9600 / 115200"));
    EXPECT_EQ(StatusPanel(w, 5), QStringLiteral("DTC: None / None"));
    auto *baud = Find<QLabel>(w, "stbComStatusPanel1");
    EXPECT_EQ(baud->toolTip(), QStringLiteral("Baud rate: 9600 on port A (one), 115200 on port B (two)"));
    EXPECT_EQ(baud->accessibleName(), baud->toolTip());

    // A raw capture holds what both ports brought, in order.
    const std::string captured = env.File("capture.bin");
    ASSERT_EQ(Feature<TCaptureCommands>(w)->Capture().Start(QString::fromStdString(captured), true), 0);
    ASSERT_TRUE(a.Send("ping"));
    ASSERT_TRUE(WaitUntil([&] { return Logged(*log, "A :") == Bytes{'p', 'i', 'n', 'g'}; }));
    ASSERT_TRUE(b.Send("pong"));
    ASSERT_TRUE(WaitUntil([&] { return Logged(*log, "B :") == Bytes{'p', 'o', 'n', 'g'}; }));
    for (int master : {a.Master(), b.Master()}) {
        pollfd p{master, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 0), 0) << "nothing is passed on without a bridge";
    }
    EXPECT_TRUE(WaitUntil([&] { return ReadRaw(captured) == "pingpong"; })) << ReadRaw(captured);
    EXPECT_EQ(sides[0], "ping");
    EXPECT_EQ(sides[1], "pong");
    EXPECT_TRUE(StatusPanel(w, 6).startsWith(QStringLiteral("A:4/"))) << StatusPanel(w, 6).toStdString();
    // The window goes with the monitor still running, which stops with it.
}

// A server that takes the connection and never says a word keeps the monitor's start waiting for
// it, not the window; Close Port gives the start up at once, before the client got as far as
// asking for line settings, and nothing of it is told or left open.
TEST(Monitor, ClosePortStopsAStartWaitingForAServerThatNeverAnswers)
{
    GuiTestEnv env;
    CTestPty device;
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    server.SetComPort(CFakeRfc2217::EComPort::Silent);
    SaveLinks(
        {Link("board", device.Path()), Link("lab", "rfc2217://127.0.0.1:" + std::to_string(server.Port()))});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    ModalCatcher boxes([](QDialog *d) {
        Choose(d, "cboPortA", "board");
        Choose(d, "cboPortB", "lab");
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    EXPECT_EQ(StatusPanel(w, 0).toStdString(), "Starting the monitor...");
    EXPECT_TRUE(Find<QAction>(w, "mnuOpClosePort")->isEnabled());
    ASSERT_TRUE(server.WaitUntil([&server] {
        for (const telnet::ST_Command &c : server.Commands())
            if (c.Kind == telnet::ST_Command::Will && c.Option == telnet::OptComPort)
                return true;
        return false;
    }));

    Find<QAction>(w, "mnuOpClosePort")->trigger();
    EXPECT_FALSE(Feature<TMonitorCommands>(w)->Running());
    EXPECT_EQ(StatusPanel(w, 0).toStdString(), "Port: ");
    EXPECT_TRUE(Find<QAction>(w, "mnuOpMonitor")->isEnabled());
    ASSERT_TRUE(server.WaitUntil([&server] { return !server.Connected(); }));
    EXPECT_TRUE(server.ComPortValues(telnet::SetModemStateMask).empty());
    EXPECT_TRUE(server.ComPortValues(telnet::SetBaudRate).empty());
    QApplication::processEvents();
    EXPECT_EQ(boxes.Seen(), QStringList{"frmMonitorSetting"});
    EXPECT_EQ(LineStarting(*Find<TTrafficLog>(w, "edData"), "Note :Monitor"), -1);
    CSerial port; // port A was let go
    EXPECT_EQ(port.Open(device.Path()), 0);
}

// A connection does not come back by itself: its loss ends the run, and the virtual port goes.
TEST(Monitor, ALostServerEndsTheRunAndRemovesTheVirtualPort)
{
    GuiTestEnv env;
    CFakeRfc2217 server(ENetKind::Raw);
    ASSERT_TRUE(server.Ok());
    SaveLinks({Link("lab", "socket://127.0.0.1:" + std::to_string(server.Port()))});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    const std::string vport = env.File("board");
    ModalCatcher dialog([&vport](QDialog *d) {
        Choose(d, "cboPortA", "lab");
        Choose(d, "cboPortB", "Virtual port");
        Find<QLineEdit>(d, "edVirtualPath")->setText(QString::fromStdString(vport));
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    ASSERT_TRUE(WaitStarted(w));
    struct stat st
    {
    };
    ASSERT_EQ(lstat(vport.c_str(), &st), 0);

    server.Disconnect();
    ASSERT_TRUE(WaitUntil([&w] { return !Feature<TMonitorCommands>(w)->Running(); }));
    auto *log = Find<TTrafficLog>(w, "edData");
    const int lost = LineStarting(*log, "Note :Port A lost: ");
    EXPECT_GE(lost, 0);
    EXPECT_EQ(log->LineText(lost + 1), "Note :Monitor stopped");
    EXPECT_NE(lstat(vport.c_str(), &st), 0) << "the virtual port's link is removed";
    EXPECT_EQ(StatusPanel(w, 0).toStdString(), "Port: ");
}

// Each side's line events stand between that side's blocks in the capture and the export, on an
// interface of its own: a break and a modem line the servers told (a pseudo-terminal has no modem
// lines and reports no break or line error), and a line error, which the log notes as the
// window notes its own, naming the side.
TEST(Monitor, EachSidesLineEventsGoBetweenItsBlocksOnAnInterfaceOfItsOwn)
{
    GuiTestEnv env;
    CFakeRfc2217 serverA, serverB;
    ASSERT_TRUE(serverA.Ok() && serverB.Ok());
    SaveLinks({Link("a", "rfc2217://127.0.0.1:" + std::to_string(serverA.Port())),
               Link("b", "rfc2217://127.0.0.1:" + std::to_string(serverB.Port()))});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *log = Find<TTrafficLog>(w, "edData");
    const QString capture = env.FilePath("capture.pcapng");
    const QString exported = env.FilePath("export.pcapng");
    {
        ModalCatcher dialog([&](QDialog *d) {
            Find<QLineEdit>(d, "edCaptureFile")->setText(capture);
            Find<QRadioButton>(d, "rdCapturePcapng")->setChecked(true);
            d->accept();
        });
        Find<QAction>(w, "mnuFileCapture")->trigger();
    }
    {
        ModalCatcher dialog([](QDialog *d) {
            Choose(d, "cboPortA", "a");
            Choose(d, "cboPortB", "b");
            Find<QCheckBox>(d, "chkBridge")->setChecked(false);
            Find<QPushButton>(d, "btnOK")->click();
        });
        Find<QAction>(w, "mnuOpMonitor")->trigger();
        ASSERT_TRUE(WaitStarted(w));
    }
    const auto events = [&w] { return SessionOf(w).LineEvents().Kept().size(); };
    ASSERT_TRUE(serverA.SendData({'a', 'b'}));
    ASSERT_TRUE(WaitUntil([&] { return Logged(*log, "A :") == Bytes{'a', 'b'}; }));
    ASSERT_TRUE(serverA.SendComPort(telnet::kServerCode + telnet::NotifyLineState, {telnet::LineBreak}));
    ASSERT_TRUE(WaitUntil([&] { return events() == 1; }));
    // Port B's first look at its lines has been made once it has read.
    ASSERT_TRUE(serverB.SendData({'x', 'y'}));
    ASSERT_TRUE(WaitUntil([&] { return Logged(*log, "B :") == Bytes{'x', 'y'}; }));
    ASSERT_TRUE(serverB.SendComPort(telnet::kServerCode + telnet::NotifyModemState, {0x10 | 0x01}));
    ASSERT_TRUE(WaitUntil([&] { return events() == 2; }));
    ASSERT_TRUE(serverB.SendComPort(telnet::kServerCode + telnet::NotifyLineState, {telnet::LineFraming}));
    ASSERT_TRUE(WaitUntil([&] { return LineStarting(*log, "Note :Line errors on port B: 1 framing") >= 0; }));
    ASSERT_TRUE(serverA.SendData({'c', 'd'}));
    ASSERT_TRUE(WaitUntil([&] { return Logged(*log, "A :") == Bytes{'a', 'b', 'c', 'd'}; }));
    Find<QAction>(w, "mnuOpClosePort")->trigger();
    Find<QAction>(w, "mnuFileStopCapture")->trigger();
    {
        ModalCatcher save([&](QDialog *d) { TypeFileName(d, exported); });
        Find<QAction>(w, "mnuFileExportPcapng")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !Feature<TPcapngExport>(w)->Busy(); }));
    }
    for (const QString &file : {capture, exported}) {
        const auto rows = TsharkFields(file.toStdString(),
                                       {"frame.time_epoch", "frame.interface_id", "data.data",
                                        "rtacser.eventtype", "rtacser.cts", "frame.comment"},
                                       "data.data or rtacser");
        const std::vector<std::vector<std::string>> expected = {{"1", "6162", "", "", ""},
                                                                {"4", "", "0x09", "0", "Break"},
                                                                {"2", "7879", "", "", ""},
                                                                {"5", "", "0x00", "1", "CTS on"},
                                                                {"5", "", "0x07", "1", "Framing error"},
                                                                {"1", "6364", "", "", ""}};
        ASSERT_EQ(rows.size(), expected.size()) << file.toStdString();
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(std::vector<std::string>(rows[i].begin() + 1, rows[i].end()), expected[i]) << i;
        for (size_t i = 1; i < rows.size(); ++i)
            EXPECT_LE(std::stod(rows[i - 1][0]), std::stod(rows[i][0])) << i;
    }
}

// A Modbus server and client of someone else's, the server behind port A (a cable of two
// pseudo-terminals), the client on the virtual port: each of the client's requests is read with
// the values it saw, paired with its answer, and counted by the answer times panel.
TEST(Monitor, DecodesAndPairsAModbusClientAndServerOfSomeoneElses)
{
    GuiTestEnv env;
    CTestPty device, server;
    ASSERT_TRUE(device.Ok() && server.Ok());
    COM_PORT_SETTING board = Link("board", device.Path());
    board.Baud = 19200;
    SaveLinks({board});
    ST_FramingChoices framing;
    framing.Links["board"] = "Modbus RTU";
    WriteFramingChoices(FramingFilePath(AppFolder()), framing);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    CSessionDecoding &decoding = SessionOf(w).Decoding();
    std::vector<ST_Decoded> decoded;
    std::vector<ST_AnswerEvent> events;
    decoding.SetObserver("test", [&](const ST_Frame &frame, const ST_FrameReading &reading) {
        decoded.push_back(decoding.Decode(frame, reading.Request));
        events.insert(events.end(), reading.Settled.begin(), reading.Settled.end());
    });
    Find<QAction>(w, "mnuViewFrames")->trigger();
    Find<QAction>(w, "mnuViewAnswerTimes")->trigger();
    auto *table = Find<QTableView>(w, "tblFrames");
    auto *stats = Find<QTableWidget>(w, "tblAnswerTimes");
    const std::string vport = env.File("board");
    ModalCatcher dialog([&vport](QDialog *d) {
        Choose(d, "cboPortA", "board");
        Choose(d, "cboPortB", "Virtual port");
        Find<QLineEdit>(d, "edVirtualPath")->setText(QString::fromStdString(vport));
        Find<QCheckBox>(d, "chkBridge")->setChecked(true);
        Choose(d, "cmbMonitorMaster", "B");
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuOpMonitor")->trigger();
    ASSERT_TRUE(WaitStarted(w));

    std::atomic<bool> done{false};
    std::thread cable([&] {
        while (!done) {
            pollfd ends[2] = {{device.Master(), POLLIN, 0}, {server.Master(), POLLIN, 0}};
            poll(ends, 2, 20);
            for (int i = 0; i < 2; ++i) {
                uint8_t buffer[512];
                const ssize_t n = ends[i].revents & POLLIN ? read(ends[i].fd, buffer, sizeof buffer) : 0;
                if (n > 0 && write(ends[1 - i].fd, buffer, size_t(n)) != n)
                    ADD_FAILURE() << "the cable lost bytes";
            }
        }
    });
    std::atomic<bool> peersDone{false};
    std::string said;
    std::thread peers([&] {
        const std::string command = std::string("/usr/bin/python3 ") + MODBUS_PEERS + " " + server.Path() +
                                    " " + vport + " 19200 2>&1";
        if (FILE *out = popen(command.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, out))
                said += line;
            pclose(out);
        }
        peersDone = true;
    });
    const bool ended = WaitUntil([&] { return peersDone.load(); }, 60000);
    if (!ended)
        Find<QAction>(w, "mnuOpClosePort")->trigger(); // the client's reads end, and so the peers
    peers.join();
    // The client had its answers, so every byte has crossed the cable.
    done = true;
    cable.join();
    ASSERT_TRUE(ended) << "the peers did not end";
    // Nine requests, each with its answer; the last answer is read once the line went quiet.
    EXPECT_TRUE(WaitUntil([&] { return decoded.size() == 18 && events.size() == 9; }))
        << decoded.size() << " frames, " << events.size() << " settled; the peers said:\n"
        << said;

    const auto has = [&](const std::string &name, double value) {
        return std::any_of(decoded.begin(), decoded.end(), [&](const ST_Decoded &d) {
            const ST_Field *f = d.Find(name);
            return f && f->Value == value;
        });
    };
    // Each line: "hr 3 2 = 40 50", the table, the first address and the values the client saw.
    const std::map<std::string, EModbusTable> tables{{"co", EModbusTable::Coils},
                                                     {"di", EModbusTable::DiscreteInputs},
                                                     {"ir", EModbusTable::InputRegisters},
                                                     {"hr", EModbusTable::HoldingRegisters}};
    std::istringstream lines(said);
    std::string line;
    size_t checked = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name, equals;
        uint32_t address = 0, count = 0;
        if (!(words >> name >> address) || !tables.count(name))
            continue;
        words >> count >> equals;
        for (uint32_t i = 0; i < count; ++i) {
            double value = -1;
            words >> value;
            EXPECT_TRUE(has(ModbusRegisterName(1, tables.at(name), address + i), value)) << line;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 8u) << said;
    EXPECT_NE(said.find("exception 2"), std::string::npos) << said;
    EXPECT_TRUE(std::any_of(decoded.begin(), decoded.end(), [](const ST_Decoded &d) {
        const ST_Field *f = d.Find("exception");
        return d.Exception == 2 && f && f->Text == "Illegal Data Address";
    }));
    size_t answers = 0;
    for (const ST_AnswerEvent &e : events) {
        answers += e.Outcome == EAnswerOutcome::Answered || e.Outcome == EAnswerOutcome::Exception;
        EXPECT_TRUE(e.ToEndMs && *e.ToEndMs > 0) << "request " << e.Request;
    }
    EXPECT_EQ(answers, 9u);

    // The view tells each answer's time, the exception by name; the panel counts every request
    // answered.
    ASSERT_TRUE(WaitUntil([&] { return table->model()->rowCount() == 18; }));
    int timed = 0, named = 0;
    for (int row = 0; row < 18; ++row) {
        const QString summary = table->model()->index(row, TFramesModel::Summary).data().toString();
        timed += summary.contains(QRegularExpression(" · \\d+\\.\\d ms$"));
        named += summary.contains("Illegal Data Address");
    }
    EXPECT_EQ(timed, 9);
    EXPECT_EQ(named, 1);
    const auto column = [stats](int c) {
        int sum = 0;
        for (int row = 0; row < stats->rowCount(); ++row)
            sum += stats->item(row, c) ? stats->item(row, c)->text().toInt() : 0;
        return sum;
    };
    EXPECT_TRUE(WaitUntil([&] { return column(2) == 9; })) << column(2) << " requests";
    EXPECT_EQ(column(3), 9) << "answered";
    EXPECT_EQ(column(4), 0) << "missing";
    EXPECT_EQ(column(5), 1) << "exceptions";
    Find<QAction>(w, "mnuOpClosePort")->trigger();
}
