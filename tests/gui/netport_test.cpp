// A link on another machine, served by Debian's ser2net in front of a pseudo-terminal: the
// window opens it without waiting for the network, and a server that goes away and comes back
// is a lost port that Reconnect Automatically reopens.
#include "log/pcapng.h"
#include "mainwindow/features/TPcapngExport.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

#include "fakerfc2217.h"
#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "loopbackport.h"
#include "ptypair.h"
#include "ser2netserver.h"
#include "tsharkfields.h"

namespace {

// Data both ways between the window and the device behind the server.
void ExpectTraffic(QMainWindow &w, CTestPty &pty, const std::string &word)
{
    TypeAndSend(w, QString::fromStdString(word));
    EXPECT_EQ(pty.ReceiveText(word.size()), word);
    ASSERT_TRUE(pty.Send(word + "!"));
    EXPECT_TRUE(WaitUntil([&] { return LastLogLine(w) == "Rec  :" + word + "!"; })) << LastLogLine(w);
}

} // namespace

TEST(NetworkPort, AServerThatComesBackIsReconnectedWithAutoSendKeepingItsState)
{
    ASSERT_TRUE(CSer2NetServer::Installed()) << "the install step installs ser2net";
    GuiTestEnv env;
    CTestPty pty;
    CSer2NetServer server(pty.Path(), true);
    ASSERT_TRUE(server.Start());
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Find<QAction>(w, "mnuOpReconnect")->trigger();
    const std::string address = server.Address();
    Feature<TPortCommands>(w)->Open(Link("Lab", address));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).IsOpen(); }));
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), "Port: " + QString::fromStdString(address));
    ExpectTraffic(w, pty, "hello");
    Find<QToolButton>(w, "btnStartAutoSend")->click();

    server.Kill();
    ASSERT_TRUE(WaitUntil([&w] { return !SessionOf(w).IsOpen(); }));
    EXPECT_EQ(LastLogLine(w).rfind("Note :Port lost: " + address, 0), 0u) << LastLogLine(w);
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.Port());
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), "Waiting for " + host + " to come back");

    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).IsOpen(); }, 30000));
    EXPECT_EQ(LastLogLine(w), "Note :Port back: " + address);
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState.load(), AUTOSEND_RUNNING) << "auto send kept its state";
    ExpectTraffic(w, pty, "again");
    Find<QToolButton>(w, "btnStopAutoSend")->click();
}

TEST(NetworkPort, AConnectionRefusedIsToldAndAConnectUnderWayCanBeStopped)
{
    GuiTestEnv env;
    // A port nobody listens on: bound but never listening refuses every connect.
    CLoopbackPort holder;
    ASSERT_TRUE(holder.Ok());
    const QString host = QStringLiteral("127.0.0.1:%1").arg(holder.Port());

    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    ModalCatcher boxes;
    Feature<TPortCommands>(w)->Open(Link("Lab", "socket://" + host.toStdString()));
    EXPECT_TRUE(Find<QToolButton>(w, "btnClosePort")->isEnabled()) << "a connect under way can be stopped";
    ASSERT_TRUE(WaitUntil([&boxes] { return !boxes.Seen().isEmpty(); }));
    EXPECT_EQ(boxes.Seen().front(), "Cannot connect to " + host + ": connection refused");
    EXPECT_FALSE(SessionOf(w).IsOpen());
    EXPECT_FALSE(Find<QToolButton>(w, "btnClosePort")->isEnabled());

    // Listening, but never answering a word: Close Port stops the connect, and nothing is told.
    ASSERT_TRUE(holder.Listen());
    Feature<TPortCommands>(w)->Open(Link("Lab", "rfc2217://" + host.toStdString()));
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), "Connecting to rfc2217://" + host + "...");
    Find<QToolButton>(w, "btnClosePort")->click();
    EXPECT_FALSE(SessionOf(w).IsOpen());
    EXPECT_FALSE(Find<QToolButton>(w, "btnClosePort")->isEnabled());
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), QStringLiteral("Port: "));
    QApplication::processEvents();
    EXPECT_EQ(boxes.Seen().size(), 1);
}

// What ser2net on a pseudo-terminal will not do: refuse a setting, tell its modem lines.
TEST(NetworkPort, ARefusedSettingAndTheServersModemLinesReachTheWindow)
{
    GuiTestEnv env;
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    server.SetAnswers([](uint8_t code, const telnet::Bytes &value) -> std::optional<telnet::Bytes> {
        if (code == telnet::SetBaudRate)
            return telnet::Bytes{0, 0, 0x4B, 0}; // 19200, whatever was asked
        return value;
    });
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    {
        ModalCatcher boxes;
        Feature<TPortCommands>(w)->Open(Link("Lab", address));
        ASSERT_TRUE(WaitUntil([&boxes] { return boxes.Seen().size() == 2; }));
        EXPECT_EQ(
            boxes.Seen(),
            (QStringList{QString::fromStdString("Error Port Setting: " + address),
                         QStringLiteral("the server answered the baud rate with 19200 instead of 9600")}));
        EXPECT_FALSE(SessionOf(w).IsOpen());
    }

    server.SetAnswers([](uint8_t, const telnet::Bytes &value) { return value; });
    Feature<TPortCommands>(w)->Open(Link("Lab", address));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).IsOpen(); }));
    auto *cts = Find<QLabel>(w, "lbCTS");
    auto *dsr = Find<QLabel>(w, "lbDSR");
    EXPECT_TRUE(cts->isEnabled()) << "the server sets DTR and RTS, so there are lines to show";
    EXPECT_EQ(cts->accessibleDescription(), QStringLiteral("CTS: off"));
    ASSERT_TRUE(server.SendComPort(telnet::kServerCode + telnet::NotifyModemState, {0x10 | 0x01}));
    EXPECT_TRUE(WaitUntil([cts] { return cts->accessibleDescription() == QStringLiteral("CTS: on"); }))
        << cts->accessibleDescription().toStdString();
    EXPECT_EQ(dsr->accessibleDescription(), QStringLiteral("DSR: off")) << "only CTS was raised";
    Find<QAction>(w, "mnuOpDTR")->trigger();
    EXPECT_TRUE(server.WaitUntil([&server] {
        const auto sent = server.ComPortValues(telnet::SetControl);
        return !sent.empty() && sent.back() == telnet::Bytes{telnet::ControlDtrOff};
    }));
}

// The window's pcapng capture and its export hold the line's events between the data, in the
// order they came: a break the server told and a modem line the lamps saw change, each as a
// serial-line event the analyser names, with the lines' state and its words.
TEST(NetworkPort, LineEventsStandBetweenTheDataInTheCaptureAndTheExport)
{
    GuiTestEnv env;
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Lab", "rfc2217://127.0.0.1:" + std::to_string(server.Port())));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).IsOpen(); }));
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
    // The break comes while the block of 'ab' is still forming (the window has read it, the line
    // has not yet been quiet for a block's end): it stands after those bytes all the same.
    auto read = std::make_shared<std::atomic<size_t>>(0);
    SessionOf(w).Traffic().SetReader("test", std::make_shared<CTrafficPath::Reader>(
                                                 [read](const uint8_t *, size_t size) { *read += size; }));
    ASSERT_TRUE(server.SendData({'a', 'b'}));
    ASSERT_TRUE(WaitUntil([&read] { return read->load() == 2; }));
    ASSERT_TRUE(server.SendComPort(telnet::kServerCode + telnet::NotifyLineState, {telnet::LineBreak}));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).LineEvents().Kept().size() == 1; }));
    ASSERT_TRUE(server.SendComPort(telnet::kServerCode + telnet::NotifyModemState, {0x10 | 0x01}));
    auto *cts = Find<QLabel>(w, "lbCTS");
    ASSERT_TRUE(WaitUntil([cts] { return cts->accessibleDescription() == QStringLiteral("CTS: on"); }));
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).LineEvents().Kept().size() == 2; }));
    ASSERT_TRUE(server.SendData({'c', 'd'}));
    ASSERT_TRUE(WaitUntil([&w] { return LastLogLine(w) == "Rec  :cd"; })) << LastLogLine(w);
    Find<QAction>(w, "mnuFileStopCapture")->trigger();
    {
        ModalCatcher save([&](QDialog *d) { TypeFileName(d, exported); });
        Find<QAction>(w, "mnuFileExportPcapng")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !Feature<TPcapngExport>(w)->Busy(); }));
    }
    for (const QString &file : {capture, exported}) {
        const auto rows = TsharkFields(
            file.toStdString(),
            {"frame.time_epoch", "data.data", "rtacser.eventtype", "rtacser.cts", "frame.comment"},
            "data.data or rtacser");
        ASSERT_EQ(rows.size(), 4u) << file.toStdString();
        EXPECT_EQ(rows[0][1], "6162");
        EXPECT_EQ(rows[1][2], "0x09");
        EXPECT_EQ(rows[1][3], "0") << "CTS was off then";
        EXPECT_EQ(rows[1][4], "Break");
        EXPECT_EQ(rows[2][2], "0x00");
        EXPECT_EQ(rows[2][3], "1");
        EXPECT_EQ(rows[2][4], "CTS on");
        EXPECT_EQ(rows[3][1], "6364");
        for (size_t i = 1; i < rows.size(); ++i)
            EXPECT_LE(std::stod(rows[i - 1][0]), std::stod(rows[i][0])) << i;
    }
}
