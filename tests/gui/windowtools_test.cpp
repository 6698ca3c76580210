// The everyday tools of the main window, driven through their controls on a pseudo-terminal.
#include "data/checksum.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesView.h"
#include "log/gui/TFindBar.h"
#include "log/gui/TTrafficLog.h"
#include "log/logpcapng.h"
#include "log/pcapng.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TPcapngExport.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TReconnect.h"
#include "session/portsession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"
#include "tsharkfields.h"

namespace {

TTrafficLog *Log(const QWidget &w)
{
    return w.findChild<TTrafficLog *>(QStringLiteral("edData"));
}

QString Instant(const QMainWindow &w)
{
    return Find<QTextEdit>(w, "edSendItem")->toPlainText();
}

// Fills in the Capture to File dialog and confirms it.
void AnswerCapture(QDialog *dialog, const QString &path, bool raw)
{
    Find<QLineEdit>(dialog, "edCaptureFile")->setText(path);
    Find<QRadioButton>(dialog, raw ? "rdCaptureRaw" : "rdCaptureText")->setChecked(true);
    dialog->accept();
}

} // namespace

TEST(WindowTools, LineEndingGoesOnStringSendsOnlyAndIsKept)
{
    GuiTestEnv env;
    CTestPty pty;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        auto *ending = Find<QComboBox>(w, "cboLineEnding");
        EXPECT_EQ(ending->currentText(), QStringLiteral("None"));
        EXPECT_EQ(ending->accessibleName(), QStringLiteral("Line ending"));
        TypeAndSend(w, QStringLiteral("AT"));
        EXPECT_EQ(pty.ReceiveText(2), "AT");
        ending->setCurrentIndex(3);
        TypeAndSend(w, QStringLiteral("AT"));
        EXPECT_EQ(pty.ReceiveText(4), "AT\r\n");
        EXPECT_EQ(SessionOf(w).SendBytes(), 6) << "the ending is counted as sent";
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
        ending->setCurrentIndex(1);
        TypeAndSend(w, QStringLiteral("41"));
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_STRING);
        TypeAndSend(w, QStringLiteral("B"));
        EXPECT_EQ(pty.ReceiveText(3), "AB\r") << "hex data go out as typed";
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_EQ(Find<QComboBox>(again, "cboLineEnding")->currentText(), QStringLiteral("CR"));
}

TEST(WindowTools, UpAndDownRecallSentItemsAcrossRuns)
{
    GuiTestEnv env;
    CTestPty pty;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        auto *edit = Find<QTextEdit>(w, "edSendItem");
        TypeAndSend(w, QStringLiteral("not sent"));
        QTest::keyClick(edit, Qt::Key_Up);
        EXPECT_EQ(Instant(w), QStringLiteral("not sent")) << "nothing was sent while closed";
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        TypeAndSend(w, QStringLiteral("one"));
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
        TypeAndSend(w, QStringLiteral("01 02"));
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_STRING);
        TypeAndSend(w, QStringLiteral("one"));
        EXPECT_EQ(pty.ReceiveText(8), "one\x01\x02one");

        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("draft"));
        QTest::keyClick(edit, Qt::Key_Up);
        EXPECT_EQ(Instant(w), QStringLiteral("one"));
        QTest::keyClick(edit, Qt::Key_Up);
        EXPECT_EQ(Instant(w), QStringLiteral("01 02 "));
        EXPECT_EQ(Find<QComboBox>(w, "cboFormat")->currentText(), QStringLiteral("HEX"));
        // A recalled item sends like any other.
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(pty.ReceiveText(2), "\x01\x02");
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        EXPECT_EQ(Instant(w), QStringLiteral("01 02 ")) << "back to what stood in the edit";
    }
    EXPECT_TRUE(QFile::exists(env.FilePath("History.sds")));
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    QTest::keyClick(Find<QTextEdit>(again, "edSendItem"), Qt::Key_Up);
    EXPECT_EQ(Instant(again), QStringLiteral("01 02 "));
}

TEST(WindowTools, MillisecondsAndTimeSincePreviousReachSavedText)
{
    GuiTestEnv env;
    CTestPty pty;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        TypeAndSend(w, QStringLiteral("x"));
        EXPECT_EQ(LastLogLine(w), "Send :x") << "no stamp by default";
        Find<QAction>(w, "mnuViewMilliseconds")->trigger();
        TypeAndSend(w, QStringLiteral("y"));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Send :\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)y$"))
                        .match(QString::fromStdString(LastLogLine(w)))
                        .hasMatch())
            << LastLogLine(w);
        Find<QAction>(w, "mnuViewTimeSincePrevious")->trigger();
        TypeAndSend(w, QStringLiteral("z"));
        pty.Send("ok");
        ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).RecBlocks() == 1; }));
        const QString answer = QString::fromStdString(LastLogLine(w));
        EXPECT_TRUE(QRegularExpression(
                        QStringLiteral("^Rec  :\\(\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\+\\d+\\.\\d{3}\\)ok$"))
                        .match(answer)
                        .hasMatch())
            << answer.toStdString();
        EXPECT_NE(Log(w)->WholeText().find(answer.toStdString() + "\r\n"), std::string::npos);
        Find<QAction>(w, "mnuViewMilliseconds")->trigger();
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_FALSE(Find<QAction>(again, "mnuViewMilliseconds")->isChecked());
    EXPECT_TRUE(Find<QAction>(again, "mnuViewTimeSincePrevious")->isChecked());
}

TEST(WindowTools, SplitReceivedLinesIsOffUntilChosenAndKeptBetweenRuns)
{
    GuiTestEnv env;
    CTestPty pty;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        pty.Send("a\r\n");
        ASSERT_TRUE(WaitUntil([&w] { return Log(w)->WholeText() == "Rec  :a\r\n"; })) << "off at first";
        Find<QAction>(w, "mnuViewSplitLines")->trigger();
        pty.Send("b\r\nc\r\n");
        ASSERT_TRUE(WaitUntil([&w] { return Log(w)->WholeText() == "Rec  :a\r\nRec  :b\r\nRec  :c\r\n"; }));
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_TRUE(Find<QAction>(again, "mnuViewSplitLines")->isChecked());
}

TEST(WindowTools, TextEncodingAndAnsiColoursReadDeviceOutput)
{
    GuiTestEnv env;
    CTestPty pty;
    const std::string coloured = "\x1b[0;32mI (123) boot: ok\x1b[0m\r\n";
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        const auto logEnds = [&w](const std::string &end) {
            return WaitUntil([&w, &end] {
                const std::string text = Log(w)->WholeText();
                return text.size() >= end.size() &&
                       text.compare(text.size() - end.size(), end.size(), end) == 0;
            });
        };
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        pty.Send("25\xC2\xB0" + coloured);
        EXPECT_TRUE(logEnds("Rec  :25\xC2\xB0" + coloured)) << "Latin-1 and Off at first";

        Find<QAction>(w, "mnuViewEncodingUtf8")->trigger();
        Find<QAction>(w, "mnuViewAnsiStrip")->trigger();
        // A character cut between blocks is joined; a byte that is not UTF-8 is kept as an escape.
        pty.Send("25\xC2");
        ASSERT_TRUE(logEnds("Rec  :25\r\n"));
        pty.Send("\xB0"
                 "C\xFF\r\n" +
                 coloured);
        EXPECT_TRUE(logEnds("Rec  :\xC2\xB0"
                            "C\\xFF\r\nI (123) boot: ok\r\n"));

        // Colours carry over a sequence and a line cut between blocks.
        Find<QAction>(w, "mnuViewAnsiShow")->trigger();
        pty.Send("\x1b[0;32mI (1) a\x1b[");
        ASSERT_TRUE(logEnds("Rec  :I (1) a\r\n"));
        pty.Send("1mb\x1b[0mc\r\n");
        ASSERT_TRUE(logEnds("Rec  :bc\r\n"));
        const int last = Log(w)->LineCount() - 1;
        const uint32_t green = 0x00008000, brightGreen = 0x0000AA00, blue = 0x00FF0000;
        EXPECT_EQ(Log(w)->LineRuns(last - 1), (std::vector<ST_LogRun>{{"Rec  :", blue}, {"I (1) a", green}}));
        EXPECT_EQ(Log(w)->LineRuns(last),
                  (std::vector<ST_LogRun>{{"Rec  :", blue}, {"b", brightGreen}, {"c", blue}}));

        // Typed text goes out as UTF-8 too.
        TypeAndSend(w, QStringLiteral("\u00B0"));
        EXPECT_EQ(pty.ReceiveText(2), "\xC2\xB0");
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_TRUE(Find<QAction>(again, "mnuViewEncodingUtf8")->isChecked());
    EXPECT_TRUE(Find<QAction>(again, "mnuViewAnsiShow")->isChecked());
}

// A window with its port open on a pseudo-terminal, and a capture file to choose.
class Capture : public testing::Test
{
protected:
    void SetUp() override { Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path())); }

    GuiTestEnv env;
    CTestPty pty;
    std::unique_ptr<QMainWindow> made = NewMainWindow();
    QMainWindow &w = *made;
    const QString path = env.FilePath("capture.log");
};

TEST_F(Capture, WritesLinesAsShownOrRawBytes)
{
    const auto capture = [this](bool raw) {
        ModalCatcher dialog([this, raw](QDialog *d) { AnswerCapture(d, path, raw); });
        Find<QAction>(w, "mnuFileCapture")->trigger();
    };
    EXPECT_FALSE(Find<QAction>(w, "mnuFileStopCapture")->isEnabled());
    capture(false);
    auto *label = Find<QLabel>(w, "lbCapture");
    EXPECT_FALSE(label->isHidden());
    EXPECT_FALSE(Find<QAction>(w, "mnuFileCapture")->isEnabled());
    Find<QToolButton>(w, "btnHex")->click();
    pty.Send("AB");
    ASSERT_TRUE(WaitUntil([this] { return ReadRaw(path.toStdString()) == "Rec  :41 42 \r\n"; }))
        << ReadRaw(path.toStdString());
    ASSERT_TRUE(WaitUntil([label] { return label->text() == QStringLiteral("Capture: capture.log 14 B"); }))
        << label->text().toStdString();
    EXPECT_EQ(label->toolTip(), path);
    Find<QAction>(w, "mnuFileStopCapture")->trigger();
    EXPECT_TRUE(label->isHidden());

    capture(true);
    TypeAndSend(w, QStringLiteral("sent")); // raw capture holds received bytes only
    pty.Send(std::vector<uint8_t>{0x00, 0x0D, 0xFF});
    ASSERT_TRUE(WaitUntil(
        [this] { return ReadRaw(path.toStdString()) == std::string("Rec  :41 42 \r\n\0\r\xFF", 17); }));
}

// The capture in pcapng and the export of the log both hold what crossed the line both ways, as
// the analyser reads them: the send outbound, the answer inbound after it, times as the file says.
TEST_F(Capture, PcapngCaptureAndExportHoldBothDirections)
{
    const QString pcap = env.FilePath("capture.pcapng");
    const QString exported = env.FilePath("export.pcapng");
    {
        ModalCatcher dialog([&](QDialog *d) {
            Find<QLineEdit>(d, "edCaptureFile")->setText(pcap);
            Find<QRadioButton>(d, "rdCapturePcapng")->setChecked(true);
            d->accept();
        });
        Find<QAction>(w, "mnuFileCapture")->trigger();
    }
    TypeAndSend(w, QStringLiteral("AT"));
    EXPECT_EQ(pty.ReceiveText(2), "AT");
    pty.Send("OK\r\n");
    ASSERT_TRUE(WaitUntil([this] { return LastLogLine(w).find("OK") != std::string::npos; }));
    Find<QAction>(w, "mnuFileStopCapture")->trigger();
    {
        ModalCatcher save([&](QDialog *d) { TypeFileName(d, exported); });
        Find<QAction>(w, "mnuFileExportPcapng")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !Feature<TPcapngExport>(w)->Busy(); }));
        EXPECT_EQ(save.Seen(), QStringList{"dlgExportPcapng"});
    }
    for (const QString &file : {pcap, exported}) {
        const ST_PcapngContent content = ReadPcapngFile(file.toStdString());
        EXPECT_EQ(content.Interfaces[0].Description, pty.Path().substr(5) + " 9600 8N1");
        std::string sent, received;
        int64_t sentAt = 0, receivedAt = 0;
        for (const ST_PcapngRecord &r : content.Records) {
            std::string &to = r.Direction == EPcapngDirection::Outbound ? sent : received;
            (r.Direction == EPcapngDirection::Outbound ? sentAt : receivedAt) = r.WallMicros;
            to.append(r.Bytes.begin(), r.Bytes.end());
        }
        EXPECT_EQ(sent, "AT") << file.toStdString();
        EXPECT_EQ(received, "OK\r\n") << file.toStdString();
        EXPECT_LE(sentAt, receivedAt);
        const auto rows =
            TsharkFields(file.toStdString(), {"frame.time_epoch", "frame.packet_flags_direction"});
        ASSERT_EQ(rows.size(), content.Records.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string &t = rows[i][0];
            EXPECT_EQ(t.substr(0, t.size() - 3),
                      std::to_string(content.Records[i].WallMicros / 1000000) + "." +
                          QStringLiteral("%1")
                              .arg(content.Records[i].WallMicros % 1000000, 6, 10, QLatin1Char('0'))
                              .toStdString());
        }
    }
}

// With lines selected in the log, the export holds the packets of the blocks they show and no
// other: a block the log split into lines is still its whole packet, whichever of its lines is
// selected. Without a selection it holds everything again.
TEST_F(Capture, ExportOfASelectionHoldsTheBlocksItsLinesShow)
{
    Find<QAction>(w, "mnuViewSplitLines")->trigger();
    TTrafficLog &log = *Log(w);
    const auto lineOf = [&log](const std::string &text) {
        for (int line = log.LineCount() - 1; line >= 0; --line)
            if (log.LineText(line).find(text) != std::string::npos)
                return line;
        return -1;
    };
    // Each block waited for, so that the next is a block of its own.
    for (const auto &[block, shown] : std::vector<std::pair<std::string, std::string>>{
             {"one\r\n", "one"}, {"two\r\n", "two"}, {"three\r\nfour\r\n", "four"}, {"five\r\n", "five"}}) {
        pty.Send(block);
        ASSERT_TRUE(WaitUntil([&, shown = shown] { return lineOf(shown) >= 0; })) << shown;
    }
    const auto exported = [this](const QString &name) {
        const QString file = env.FilePath(name);
        ModalCatcher save([&](QDialog *d) { TypeFileName(d, file); });
        Find<QAction>(w, "mnuFileExportPcapng")->trigger();
        EXPECT_TRUE(WaitUntil([&] { return !Feature<TPcapngExport>(w)->Busy(); }));
        std::vector<std::string> packets;
        for (const ST_PcapngRecord &r : ReadPcapngFile(file.toStdString()).Records)
            if (r.Direction == EPcapngDirection::Inbound)
                packets.emplace_back(r.Bytes.begin(), r.Bytes.end());
        return packets;
    };
    using Packets = std::vector<std::string>;
    // Only "four": the line of a block that also holds "three".
    log.SetSelection(lineOf("four"), 1, lineOf("four"), 3);
    EXPECT_EQ(exported("four.pcapng"), Packets{"three\r\nfour\r\n"});
    EXPECT_NE(Find<QStatusBar>(w, "stbComStatus")->currentMessage().indexOf(QStringLiteral("selection")), -1);
    log.SetSelection(lineOf("two"), 0, lineOf("three"), 2);
    EXPECT_EQ(exported("two.pcapng"), (Packets{"two\r\n", "three\r\nfour\r\n"}));
    log.ClearSelection();
    EXPECT_EQ(exported("all.pcapng"), (Packets{"one\r\n", "two\r\n", "three\r\nfour\r\n", "five\r\n"}));
}

// The frames view's frames exported go to the analyser's Modbus RTU dissector, the window's
// request a query and the device's answer a response. Those packets and a pcapng capture's carry
// the time of the write or the read that brought their first byte, to the microsecond: each lies
// between the moment its bytes were written and the moment the window had read them, never at the
// block's end nor at the start of a millisecond.
TEST_F(Capture, FramesExportAsModbusAndPacketsKeepTheReadsOwnTimes)
{
    const QString pcap = env.FilePath("capture.pcapng");
    const QString exported = env.FilePath("frames.pcapng");
    {
        ModalCatcher dialog([&](QDialog *d) {
            Find<QLineEdit>(d, "edCaptureFile")->setText(pcap);
            Find<QRadioButton>(d, "rdCapturePcapng")->setChecked(true);
            d->accept();
        });
        Find<QAction>(w, "mnuFileCapture")->trigger();
    }
    Find<QAction>(w, "mnuViewFrames")->trigger();
    SessionOf(w).Frames().SetProfile(CFrameProfile::BuiltIn("Modbus RTU"),
                                     LineTimingOf(*SessionOf(w).Link()));
    auto read = std::make_shared<std::atomic<size_t>>(0);
    SessionOf(w).Traffic().SetReader("test", std::make_shared<CTrafficPath::Reader>(
                                                 [read](const uint8_t *, size_t size) { *read += size; }));
    const CChecksum crc(ST_ChecksumSpec{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    const auto withCrc = [&crc](std::vector<uint8_t> frame) {
        const uint32_t value = crc.Compute(frame);
        frame.push_back(static_cast<uint8_t>(value & 0xFF));
        frame.push_back(static_cast<uint8_t>(value >> 8));
        return frame;
    };
    const std::vector<uint8_t> query = withCrc({0x11, 0x03, 0x00, 0x6B, 0x00, 0x02});
    const std::vector<uint8_t> answer = withCrc({0x11, 0x03, 0x04, 0x02, 0x2B, 0x00, 0x01});

    const int64_t sendFrom = WallNowMicros();
    SessionOf(w).Send(CCommData(Bytes(query), FMT_STRING));
    ASSERT_EQ(pty.Receive(query.size()), query);
    const int64_t sendTo = WallNowMicros();
    while (WallNowMicros() < sendTo + 300) {
        // The answer comes 300 µs after the request was read at the latest: two stamps a
        // millisecond's truncation would make one.
    }
    const int64_t readFrom = WallNowMicros();
    ASSERT_TRUE(pty.Send(answer));
    ASSERT_TRUE(WaitUntil([&read, &answer] { return read->load() >= answer.size(); }));
    const int64_t readTo = WallNowMicros();
    auto *view = Find<TFramesView>(w, "pnlFrames");
    ASSERT_TRUE(WaitUntil([view] { return view->Model().Store().Count() == 2; }));
    ASSERT_TRUE(WaitUntil([this] { return LastLogLine(w).find("Rec") == 0; }));
    Find<QAction>(w, "mnuFileStopCapture")->trigger();
    {
        ModalCatcher save([&](QDialog *d) { TypeFileName(d, exported); });
        Find<QAction>(w, "mnuFileExportFramesPcapng")->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !Feature<TPcapngExport>(w)->Busy(); }));
        EXPECT_EQ(save.Seen(), QStringList{"dlgExportFramesPcapng"});
    }
    const auto micros = [](const std::string &t) {
        return std::stoll(t.substr(0, t.find('.'))) * 1000000 + std::stoll(t.substr(t.find('.') + 1, 6));
    };
    const auto rows =
        TsharkFields(exported.toStdString(), {"frame.time_epoch", "frame.packet_flags_direction",
                                              "_ws.col.Info", "modbus.regval_uint16"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "0x00000002");
    EXPECT_NE(rows[0][2].find("Query: Unit:  17, Func:   3"), std::string::npos) << rows[0][2];
    EXPECT_EQ(rows[1][1], "0x00000001");
    EXPECT_NE(rows[1][2].find("Response: Unit:  17, Func:   3"), std::string::npos) << rows[1][2];
    EXPECT_EQ(rows[1][3], "555,1");
    EXPECT_GE(micros(rows[0][0]), sendFrom);
    EXPECT_LE(micros(rows[0][0]), sendTo);
    EXPECT_GE(micros(rows[1][0]), readFrom);
    EXPECT_LE(micros(rows[1][0]), readTo);

    int64_t sentAt = 0, receivedAt = 0;
    for (const ST_PcapngRecord &r : ReadPcapngFile(pcap.toStdString()).Records)
        if (!r.Bytes.empty())
            (r.Direction == EPcapngDirection::Outbound ? sentAt : receivedAt) = r.WallMicros;
    EXPECT_GE(sentAt, sendFrom);
    EXPECT_LE(sentAt, sendTo);
    EXPECT_GE(receivedAt, readFrom);
    EXPECT_LE(receivedAt, readTo);
}

TEST_F(Capture, AFullDiskStopsItAtOnceWithOneMessage)
{
    const std::string before(65536, 'x'); // the diagnostic log stays below the limit
    WriteRaw(path.toStdString(), before);
    ModalCatcher catcher([this](QDialog *d) { AnswerCapture(d, path, true); });
    Find<QAction>(w, "mnuFileCapture")->trigger();
    {
        const FileSizeLimit full(before.size() + 4);
        pty.Send("ABCDEFGH");
        ASSERT_TRUE(WaitUntil([&catcher] { return catcher.Seen().size() == 2; }));
    }
    EXPECT_TRUE(catcher.Seen()[1].contains(path));
    EXPECT_TRUE(catcher.Seen()[1].contains(QString::fromLocal8Bit(strerror(EFBIG))))
        << catcher.Seen()[1].toStdString();
    EXPECT_TRUE(Find<QLabel>(w, "lbCapture")->isHidden());
    EXPECT_TRUE(Find<QAction>(w, "mnuFileCapture")->isEnabled());
    EXPECT_FALSE(Find<QAction>(w, "mnuFileStopCapture")->isEnabled());

    pty.Send("more");
    ASSERT_TRUE(WaitUntil([this] { return LastLogLine(w).find("more") != std::string::npos; }));
    EXPECT_EQ(catcher.Seen().size(), 2) << "one message";
    EXPECT_EQ(ReadRaw(path.toStdString()), before + "ABCD");
    const std::string diagnostics = ReadRaw(env.File("kestrum.log"));
    const size_t line = diagnostics.find("capture.log stopped");
    EXPECT_NE(line, std::string::npos);
    EXPECT_EQ(diagnostics.find("capture.log stopped", line + 1), std::string::npos);
}

TEST_F(Capture, AFileThatCannotBeCreatedKeepsTheDialogOpen)
{
    const QString missing = env.FilePath("missing/capture.log");
    int round = 0;
    ModalCatcher catcher([&](QDialog *d) {
        auto *field = Find<QLineEdit>(d, "edCaptureFile");
        EXPECT_TRUE(round++ == 0 || field->text() == missing) << "the path stays for the user to correct";
        field->setText(round == 1 ? missing : path);
        // Queued: the message box must come up inside the dialog's own loop.
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    Find<QAction>(w, "mnuFileCapture")->trigger();
    ASSERT_EQ(catcher.Seen().size(), 3) << catcher.Seen().join('|').toStdString();
    EXPECT_EQ(
        catcher.Seen()[1],
        QStringLiteral("Cannot create file %1: %2").arg(missing, QString::fromLocal8Bit(strerror(ENOENT))));
    EXPECT_EQ(catcher.Seen()[2], QStringLiteral("frmCapture"));
    pty.Send("AB");
    EXPECT_TRUE(WaitUntil([this] { return ReadRaw(path.toStdString()).find("AB") != std::string::npos; }));
}

TEST(WindowTools, EscClosesTheFindBarWhoseKeysLeaveTheMenusTheirs)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Find<QAction>(w, "mnuEditFind")->trigger();
    auto *bar = Find<TFindBar>(w, "pnlFind");
    QList<QKeySequence> menuKeys;
    for (QAction *menu : w.menuBar()->actions())
        if (!menu->isSeparator())
            menuKeys << QKeySequence::mnemonic(menu->text());
    ASSERT_FALSE(menuKeys.isEmpty() || menuKeys.contains(QKeySequence())) << "every menu has its key";
    for (QWidget *child : bar->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(child);
        const auto *button = qobject_cast<QAbstractButton *>(child);
        const QString text = label ? label->text() : button ? button->text() : QString();
        EXPECT_FALSE(menuKeys.contains(QKeySequence::mnemonic(text))) << text.toStdString();
    }
    for (const char *inside : {"edFind", "chkFindHex", "btnFindNext"}) {
        Find<QAction>(w, "mnuEditFind")->trigger();
        auto *focus = Find<QWidget>(w, inside);
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_TRUE(bar->isHidden()) << inside;
        EXPECT_TRUE(Log(w)->hasFocus()) << inside;
    }
}

TEST(WindowTools, FindMovesThroughMatchesInTextAndHex)
{
    GuiTestEnv env;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    TTrafficLog *log = Log(w);
    for (const char *text : {"alpha", "Beta beta", "gamma"})
        log->LogRecData(CCommData(std::string(text), FMT_STRING));
    Find<QAction>(w, "mnuEditFind")->trigger();
    auto *field = Find<QLineEdit>(w, "edFind");
    EXPECT_EQ(field->accessibleName(), QStringLiteral("Find"));
    ASSERT_FALSE(field->isHidden());
    QTest::keyClicks(field, QStringLiteral("beta"));
    auto *bar = Find<TFindBar>(w, "pnlFind");
    const auto next = [&w, bar](const char *action) {
        Find<QAction>(w, action)->trigger();
        EXPECT_TRUE(WaitUntil([bar] { return !bar->Busy(); }));
        return Log(w)->SelectedText();
    };
    EXPECT_EQ(next("mnuEditFindNext"), "Beta");
    EXPECT_EQ(log->LineText(1).substr(0, 6), "Rec  :");
    EXPECT_EQ(next("mnuEditFindNext"), "beta");
    EXPECT_EQ(next("mnuEditFindNext"), "Beta") << "goes round";
    EXPECT_EQ(next("mnuEditFindPrevious"), "beta");
    Find<QCheckBox>(w, "chkFindMatchCase")->setChecked(true);
    Find<QCheckBox>(w, "chkFindMatchCase")->setChecked(false);

    field->setText(QStringLiteral("zeta"));
    next("mnuEditFindNext");
    EXPECT_EQ(Find<QLabel>(w, "lbFindStatus")->text(), QStringLiteral("Not found"));

    // Hex bytes match the logged bytes, whatever the display mode shows.
    Find<QCheckBox>(w, "chkFindHex")->setChecked(true);
    field->setText(QStringLiteral("67 61"));
    EXPECT_EQ(next("mnuEditFindNext"), "Rec  :gamma");
}

TEST(WindowTools, ModemLinesAreGreyedWhereTheDriverHasNone)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    for (const char *name : {"mnuOpDTR", "mnuOpRTS", "mnuOpSendBreak"})
        EXPECT_FALSE(Find<QAction>(w, name)->isEnabled()) << name;
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_FALSE(Find<QAction>(w, "mnuOpDTR")->isEnabled());
    EXPECT_FALSE(Find<QToolButton>(w, "btnRTS")->isEnabled());
    for (const char *name : {"lbCTS", "lbDSR", "lbDCD", "lbRI"}) {
        EXPECT_FALSE(Find<QLabel>(w, name)->isEnabled()) << name;
        EXPECT_TRUE(Find<QLabel>(w, name)->toolTip().endsWith(QStringLiteral("not available")));
    }
    // With no lines to read back the toggles show what the port asked for, and nothing is looked at.
    const auto toggles = [&w] {
        return std::make_pair(Find<QAction>(w, "mnuOpDTR")->isChecked(),
                              Find<QAction>(w, "mnuOpRTS")->isChecked());
    };
    const auto looking = [&w] { return Feature<TModemLines>(w)->LampTimer().isActive(); };
    EXPECT_EQ(toggles(), std::make_pair(true, true)) << "flow control None raises both";
    EXPECT_FALSE(looking());
    COM_PORT_SETTING xonXoff = Link("Pty", pty.Path());
    xonXoff.FlowControl = 1;
    Feature<TPortCommands>(w)->Open(xonXoff); // the same port again, without a close between
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(toggles(), std::make_pair(false, false)) << "Xon/Xoff drops both";
    Feature<TPortCommands>(w)->Close();
    EXPECT_EQ(toggles(), std::make_pair(false, false));
    EXPECT_FALSE(looking());
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    EXPECT_EQ(toggles(), std::make_pair(true, true));
    // A break goes to the driver, which may or may not carry it; the port stays usable.
    Find<QAction>(w, "mnuOpSendBreak")->trigger();
    TypeAndSend(w, QStringLiteral("after"));
    EXPECT_EQ(pty.ReceiveText(5), "after");
}

TEST(WindowTools, OutputLineChoicesOutliveTheWindow)
{
    GuiTestEnv env;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TModemLines>(w)->Choices()["ttyUSB7"].dtr = false;
        Feature<TModemLines>(w)->Choices()["/dev/serial/by-id/usb-Maker_A1-if00"] = {true, false};
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    const auto &lines = Feature<TModemLines>(again)->Choices();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.at("ttyUSB7").dtr, std::optional<bool>(false));
    EXPECT_FALSE(lines.at("ttyUSB7").rts.has_value()) << "a line not chosen stays unchosen";
    EXPECT_EQ(lines.at("/dev/serial/by-id/usb-Maker_A1-if00").rts, std::optional<bool>(false));
}

// A pseudo-terminal drops nothing at close (its far end still reads it all), so what a real driver
// drops is handed in directly.
TEST(WindowTools, BytesTheCloseDroppedComeOffTheSendCounter)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    TypeAndSend(w, QStringLiteral("hello"));
    ASSERT_EQ(SessionOf(w).SendBytes(), 5);
    Feature<TPortCommands>(w)->Close();
    EXPECT_EQ(SessionOf(w).SendBytes(), 5);
    EXPECT_EQ(LastLogLine(w), "Send :hello");
    Feature<TPortCommands>(w)->TakeBackUnsent(3);
    EXPECT_EQ(SessionOf(w).SendBytes(), 2);
    EXPECT_EQ(StatusPanel(w, 7), QStringLiteral("Send:2/1"));
    EXPECT_EQ(LastLogLine(w), "Note :Not sent: 3 bytes were still queued for the line when the port closed");
}

// A window with Reconnect Automatically on, its port open on a pseudo-terminal that has a by-id
// name in a folder of the test's own.
class Reconnect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(symlink(port.c_str(), name.c_str()), 0);
        SessionOf(w).SetByIdFolder(byId.path);
        Find<QAction>(w, "mnuOpReconnect")->trigger();
        Feature<TPortCommands>(w)->Open(Link("Pty", port));
        ASSERT_TRUE(SessionOf(w).IsOpen());
    }

    // The node and its stable name go.
    void Unplug()
    {
        first.CloseMaster();
        ASSERT_EQ(unlink(name.c_str()), 0);
        ASSERT_TRUE(WaitUntil([this] { return !SessionOf(w).IsOpen(); }));
    }

    // Back under another node with the same stable name.
    void PlugBackAs(const CTestPty &pty) { ASSERT_EQ(symlink(pty.Path().c_str(), name.c_str()), 0); }

    GuiTestEnv env;
    TempDir byId;
    const std::string name = byId.File("usb-Maker_Adapter_A1-if00");
    CTestPty first;
    const std::string port = first.Path();
    std::unique_ptr<QMainWindow> made = NewMainWindow();
    QMainWindow &w = *made;
};

TEST_F(Reconnect, ALostPortIsWaitedForAndReopenedUnderItsStableNameKeepingItsOwn)
{
    Find<QToolButton>(w, "btnStartAutoSend")->click();
    Unplug();
    EXPECT_EQ(LastLogLine(w).rfind("Note :Port lost: " + port, 0), 0u) << LastLogLine(w);
    const std::vector<ST_LogRun> runs = Log(w)->LineRuns(Log(w)->LineCount() - 1);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().color, kColorNote);
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(),
              "Waiting for " + QString::fromStdString(port.substr(5)) + " to come back");
    EXPECT_TRUE(Find<QToolButton>(w, "btnClosePort")->isEnabled());

    CTestPty second;
    PlugBackAs(second);
    ASSERT_TRUE(WaitUntil([this] { return SessionOf(w).IsOpen(); }, 10000));
    EXPECT_EQ(LastLogLine(w), "Note :Port back: " + port + " (" + name + ")");
    EXPECT_EQ(Feature<TPortCommands>(w)->LastLink()->PortName, port);
    EXPECT_EQ(Find<QLabel>(w, "stbComStatusPanel0")->text(), "Port: " + QString::fromStdString(port));
    EXPECT_EQ(SessionOf(w).AutoSend().AutoSendState.load(), AUTOSEND_RUNNING) << "auto send kept its state";
    second.Send("hi");
    ASSERT_TRUE(WaitUntil([this] { return LastLogLine(w) == "Rec  :hi"; }));
    Find<QToolButton>(w, "btnStopAutoSend")->click();
}

// Told once, tried less often, and Close Port ends the wait.
TEST_F(Reconnect, AReturnedDeviceThatWillNotOpenIsToldOnceAndTheWaitCanBeEnded)
{
    Unplug();
    CTestPty second;
    ASSERT_EQ(flock(second.Slave(), LOCK_EX), 0) << "another program holds it";
    ModalCatcher boxes;
    PlugBackAs(second);
    ASSERT_TRUE(WaitUntil([&boxes] { return !boxes.Seen().isEmpty(); }, 10000));
    EXPECT_TRUE(boxes.Seen().front().startsWith("Can not Open " + QString::fromStdString(port) + ": "))
        << boxes.Seen().front().toStdString();
    EXPECT_EQ(Feature<TReconnect>(w)->Timer().interval(), 5000);
    auto *panel = Find<QLabel>(w, "stbComStatusPanel0");
    EXPECT_TRUE(panel->text().startsWith("Waiting for ")) << panel->text().toStdString();
    EXPECT_TRUE(panel->toolTip().contains("did not open")) << panel->toolTip().toStdString();

    Find<QToolButton>(w, "btnClosePort")->click();
    EXPECT_EQ(panel->text(), QStringLiteral("Port: "));
    EXPECT_FALSE(Find<QToolButton>(w, "btnClosePort")->isEnabled());
    EXPECT_FALSE(SessionOf(w).WaitingForPort());
    EXPECT_FALSE(Feature<TReconnect>(w)->Timer().isActive());
    EXPECT_EQ(boxes.Seen().size(), 1);
}

// An unattended machine after a reboot: the window opens its last link again, waiting for the
// device that is not there yet.
TEST(WindowTools, OpenThisLinkAtStartReopensTheLastLinkAfterARestart)
{
    GuiTestEnv env;
    TempDir dir;
    const std::string name = dir.File("board");
    {
        CTestPty pty;
        ASSERT_EQ(symlink(pty.Path().c_str(), name.c_str()), 0);
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Board", name));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        Find<QAction>(w, "mnuOpOpenAtStart")->trigger();
        Find<QAction>(w, "mnuOpReconnect")->trigger();
    }
    ASSERT_EQ(unlink(name.c_str()), 0);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *panel = Find<QLabel>(w, "stbComStatusPanel0");
    ASSERT_TRUE(WaitUntil([panel] { return panel->text().startsWith("Waiting for "); }));
    CTestPty pty;
    ASSERT_EQ(symlink(pty.Path().c_str(), name.c_str()), 0);
    ASSERT_TRUE(WaitUntil([&w] { return SessionOf(w).IsOpen(); }, 10000));
    EXPECT_EQ(Feature<TPortCommands>(w)->LastLink()->LinkName, "Board");
    pty.Send("up");
    EXPECT_TRUE(WaitUntil([&w] { return LastLogLine(w) == "Rec  :up"; }));
}

TEST(WindowTools, WithoutReconnectALostPortStaysClosedAfterItsNote)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&w] { return !SessionOf(w).IsOpen(); }));
    EXPECT_EQ(LastLogLine(w).rfind("Note :Port lost: ", 0), 0u);
    EXPECT_EQ(Log(w)->LineCount(), 1);
}

TEST(WindowTools, SaveProposesTheDocumentsFolder)
{
    GuiTestEnv env;
    // The documents folder as the desktop names it, in this test's own world.
    const QString docs = env.FilePath("My Documents");
    QDir().mkpath(docs);
    QDir().mkpath(env.FilePath("xdg"));
    WriteRaw(env.File("xdg/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"" + docs.toStdString() + "\"\n");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", env.FilePath("xdg").toLocal8Bit());
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    QString folder;
    {
        ModalCatcher dialog([&folder](QDialog *d) {
            folder = static_cast<QFileDialog *>(d)->directory().absolutePath();
            d->reject();
        });
        Find<QAction>(w, "mnuFileSave")->trigger();
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_EQ(folder, docs);
}
