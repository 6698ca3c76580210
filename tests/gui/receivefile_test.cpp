// Receiving files and the ZMODEM transfers the device starts, in the window on a pseudo-terminal
// whose master end plays the device: sz and rz of lrzsz where the engines are built in.
#include "data/gui/dialogsupport.h"
#include "lineprogram.h"
#include "log/gui/TTrafficLog.h"
#include "session/portsession.h"
#include "transfer/gui/TTransferAskBar.h"
#include "transfer/zmodemframe.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "guiwindow.h"
#include "ptypair.h"
#include "tempdir.h"

namespace {

constexpr int kTransferEndsMs = 120000; // only ends a hang

const std::string kZrinit = "**\x18"
                            "B0100000023be50\r\x8a\x11";
const std::string kZrqinit = "**\x18"
                             "B00000000000000\r\x8a\x11";
const std::string kAbort = std::string(8, '\x18') + std::string(8, '\b');

TTransferAskBar &AskBar(QWidget &w)
{
    return *Find<TTransferAskBar>(w, "barTransferAsk");
}

std::string LogText(const QWidget &w)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    std::string all;
    for (int i = 0; i < log->LineCount(); ++i)
        all += log->LineText(i) + "\n";
    return all;
}

struct OpenWindow : COpenWindow
{
    // A program of lrzsz on the master end, in `folder`, preloaded so its purges do not eat bytes
    // a real line would still carry.
    void StartOnDevice(const std::string &folder, std::vector<std::string> args)
    {
        COpenWindow::StartOnDevice(folder, std::move(args), std::string("LD_PRELOAD=") + NOPURGE_LIBRARY);
    }
};

// A ZMODEM receive into `folder`, cancelled at once: the device's starts go there from now on.
// What that receive wrote, its abort included, is not the device's to read.
void ChooseZmodemFolder(OpenWindow &o, const std::string &folder)
{
    ModalCatcher catcher([&](QDialog *dialog) {
        Find<QComboBox>(dialog, "cboProtocol")->setCurrentIndex(3);
        Find<QLineEdit>(dialog, "edFolder")->setText(QString::fromStdString(folder));
        Find<QPushButton>(dialog, "btnReceive")->click();
    });
    Find<QAction>(*o.w, "mnuFileReceiveFile")->trigger();
    ASSERT_TRUE(SessionOf(*o.w).TransferRunning());
    Find<QPushButton>(*o.w, "btnCancelTransfer")->click();
    ASSERT_TRUE(WaitUntil([&] { return !SessionOf(*o.w).TransferRunning(); }));
    tcflush(o.pty.Master(), TCIFLUSH);
}

} // namespace

TEST(ReceiveFile, DialogsOfferEachProtocolWithItsOwnChoices)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    ModalCatcher catcher([&](QDialog *dialog) {
        auto *protocol = Find<QComboBox>(dialog, "cboProtocol");
        if (dialog->objectName() == QStringLiteral("frmSendFile")) {
            auto *escape = Find<QCheckBox>(dialog, "chkEscapeControls");
            EXPECT_FALSE(escape->isEnabled()) << "ZMODEM's only";
            protocol->setCurrentIndex(protocol->findText(QStringLiteral("ZMODEM")));
            EXPECT_TRUE(escape->isEnabled());
            dialog->reject();
            return;
        }
        QStringList names;
        for (int i = 0; i < protocol->count(); ++i)
            names << protocol->itemText(i);
        EXPECT_EQ(names, (QStringList{"XMODEM", "XMODEM-1K", "YMODEM", "ZMODEM"}));
        EXPECT_EQ(protocol->currentText(), QStringLiteral("YMODEM"));
        EXPECT_EQ(Find<QLineEdit>(dialog, "edFolder")->text(), UserFilesFolder());
        auto *name = Find<QLineEdit>(dialog, "edFileName");
        EXPECT_FALSE(name->isEnabled()) << "YMODEM names its files";
        protocol->setCurrentIndex(0);
        EXPECT_TRUE(name->isEnabled()) << "XMODEM names none";
        EXPECT_EQ(Find<QPushButton>(dialog, "btnReceive")->text(), QStringLiteral("&Receive"));
        dialog->reject();
    });
    Find<QAction>(w, "mnuFileReceiveFile")->trigger();
    Find<QAction>(w, "mnuFileSendFile")->trigger();
    EXPECT_EQ(catcher.Seen(), (QStringList{"frmReceiveFile", "frmSendFile"}));
    EXPECT_TRUE(Find<QAction>(w, "mnuFileZmodemAuto")->isChecked()) << "on by default";
}

// An rz on the device that the user turns down ends: the abort goes out, and the log shows what
// came before the header, not the header.
TEST(ReceiveFile, AWaitingReceiverOpensSendFileWithZmodem)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    {
        ModalCatcher catcher([&](QDialog *dialog) {
            EXPECT_EQ(Find<QComboBox>(dialog, "cboProtocol")->currentText(), QStringLiteral("ZMODEM"));
            dialog->reject();
        });
        ASSERT_TRUE(o.pty.Send("rz\r\n" + kZrinit));
        ASSERT_TRUE(WaitUntil([&] { return !catcher.Seen().isEmpty(); }));
        EXPECT_EQ(catcher.Seen(), QStringList{"frmSendFile"});
        EXPECT_EQ(SessionOf(w).TransferAsked(), EZmodemStart::None);
        const std::string abort = std::string(8, '\x18') + std::string(8, '\b');
        EXPECT_EQ(o.pty.ReceiveText(abort.size()), abort);
    }
    EXPECT_NE(LogText(w).find("rz"), std::string::npos);
    EXPECT_EQ(LogText(w).find("**"), std::string::npos);

    // Turned off, the same bytes are received data.
    Find<QAction>(w, "mnuFileZmodemAuto")->trigger();
    ModalCatcher none;
    ASSERT_TRUE(o.pty.Send(kZrinit));
    EXPECT_TRUE(WaitUntil([&] { return LogText(w).find("**") != std::string::npos; }));
    EXPECT_TRUE(none.Seen().isEmpty());
}

// sb on the device, Receive File with YMODEM: the file arrives under its own name and the log notes
// it with where it went.
TEST(ReceiveFile, YmodemFromTheDeviceArrivesWithItsNote)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const std::string out = o.env.File("out");
    const std::string inbox = o.env.File("in");
    mkdir(out.c_str(), 0700);
    mkdir(inbox.c_str(), 0700);
    WriteRaw(out + "/notes.txt", std::string(2000, 'n'));
    ModalCatcher catcher([&](QDialog *dialog) {
        Find<QComboBox>(dialog, "cboProtocol")->setCurrentIndex(2);
        Find<QLineEdit>(dialog, "edFolder")->setText(QString::fromStdString(inbox));
        Find<QPushButton>(dialog, "btnReceive")->click();
    });
    Find<QAction>(w, "mnuFileReceiveFile")->trigger();
    ASSERT_TRUE(SessionOf(w).TransferRunning());
    o.StartOnDevice(out, {"sb", "-q", "notes.txt"});
    // The window's loop hands the device's bytes to the transfer: it runs until the end.
    ASSERT_TRUE(WaitUntil([&] { return !SessionOf(w).TransferRunning(); }, kTransferEndsMs));
    EXPECT_EQ(o.DeviceEnded(), 0);
    EXPECT_EQ(ReadRaw(inbox + "/notes.txt"), std::string(2000, 'n'));
    const std::string log = LogText(w);
    EXPECT_NE(log.find("Note :File notes.txt, 2000 bytes, YMODEM, saved as " + inbox + "/notes.txt"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Note :File receive: Received"), std::string::npos) << log;
}

// sz on the device: the window receives into the folder of the last receive, and the log has the
// file's note and the end, not the protocol's bytes; the traffic path has those as the transfer's,
// and the prompt behind them once, as data.
TEST(ReceiveFile, SzOnTheDeviceDeliversTheFile)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    std::string transferRead;
    SessionOf(w).Traffic().Add("probe", [&](ST_Traffic &event) {
        if (event.Transfer && event.Direction == ETraffic::Received)
            transferRead.append(event.Data.Data().begin(), event.Data.Data().end());
    });
    const std::string inbox = o.env.File("in");
    mkdir(inbox.c_str(), 0700);
    ChooseZmodemFolder(o, inbox);
    std::string data(5000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31 + i / 256);
    const std::string out = o.env.File("out");
    mkdir(out.c_str(), 0700);
    WriteRaw(out + "/board.bin", data);
    // The shell's prompt follows the transfer's last bytes at once.
    o.StartOnDevice(out, {"sh", "-c", "sz -q board.bin; printf 'board$ '"});
    // Nothing is written to the device before the user accepts.
    ASSERT_TRUE(WaitUntil([&] { return AskBar(w).Asking(); }, kTransferEndsMs));
    EXPECT_FALSE(SessionOf(w).TransferRunning());
    Find<QPushButton>(w, "btnAcceptTransfer")->click();
    // The window's loop hands the device's bytes to the transfer: it runs until the end (the
    // cancelled receive above wrote the first end).
    ASSERT_TRUE(WaitUntil([&] { return CountOf(LogText(w), "Note :File receive:") == 2; }, kTransferEndsMs));
    EXPECT_EQ(o.DeviceEnded(), 0);
    EXPECT_EQ(ReadRaw(inbox + "/board.bin"), data);
    const std::string log = LogText(w);
    EXPECT_NE(log.find("Note :File board.bin, 5000 bytes, ZMODEM, saved as " + inbox + "/board.bin"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Note :File receive: Received"), std::string::npos) << log;
    EXPECT_EQ(log.find("**"), std::string::npos) << log;
    EXPECT_EQ(log.find('\x18'), std::string::npos) << log;
    EXPECT_TRUE(WaitUntil([&] { return LogText(w).find("Rec  :board$ ") != std::string::npos; })) << log;
    // The receive is told by the bytes that came, the file's and the protocol's.
    const size_t told = log.find("Note :File receive: Received, ");
    ASSERT_NE(told, std::string::npos) << log;
    EXPECT_GT(std::stoul(log.substr(told + 30)), 5000u) << log;
    EXPECT_NE(log.find(" bytes read from the line", told), std::string::npos) << log;
    EXPECT_EQ(transferRead.size(), std::stoul(log.substr(told + 30)));
    EXPECT_EQ(transferRead.find("board$"), std::string::npos);
}

// Nothing follows the transfer to redraw the counters: the Rec counter tells the file's bytes and
// the file as a block by itself, as the Send counter tells a file sent.
TEST(ReceiveFile, AReceivedFileIsOnTheRecCounter)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const std::string inbox = o.env.File("in");
    mkdir(inbox.c_str(), 0700);
    ChooseZmodemFolder(o, inbox);
    const std::string out = o.env.File("out");
    mkdir(out.c_str(), 0700);
    WriteRaw(out + "/log.bin", std::string(20000, 'L'));
    o.StartOnDevice(out, {"sz", "-q", "log.bin"});
    ASSERT_TRUE(WaitUntil([&] { return AskBar(w).Asking(); }, kTransferEndsMs));
    const int64_t blocksBefore = SessionOf(w).RecBlocks();
    Find<QPushButton>(w, "btnAcceptTransfer")->click();
    ASSERT_TRUE(WaitUntil([&] { return CountOf(LogText(w), "Note :File receive:") == 2; }, kTransferEndsMs));
    EXPECT_EQ(o.DeviceEnded(), 0);
    const std::string log = LogText(w);
    const size_t told = log.find("Note :File receive: Received, ");
    ASSERT_NE(told, std::string::npos) << log;
    EXPECT_GE(SessionOf(w).RecBytes(), static_cast<int64_t>(std::stoul(log.substr(told + 30))));
    EXPECT_GT(SessionOf(w).RecBytes(), 20000);
    EXPECT_EQ(SessionOf(w).RecBlocks(), blocksBefore + 1);
    EXPECT_TRUE(WaitUntil([&] {
        return StatusPanel(w, 6) ==
               QStringLiteral("Rec:%1/%2").arg(SessionOf(w).RecBytes()).arg(SessionOf(w).RecBlocks());
    })) << StatusPanel(w, 6).toStdString();
}

TEST(ReceiveFile, RzOnTheDeviceGetsTheFileChosen)
{
    OpenWindow o;
    const std::string source = o.env.File("app.bin");
    WriteRaw(source, std::string(3000, 'a'));
    const std::string inbox = o.env.File("in");
    mkdir(inbox.c_str(), 0700);
    ModalCatcher catcher([&](QDialog *dialog) {
        EXPECT_EQ(Find<QComboBox>(dialog, "cboProtocol")->currentText(), QStringLiteral("ZMODEM"));
        Find<QLineEdit>(dialog, "edFile")->setText(QString::fromStdString(source));
        Find<QPushButton>(dialog, "btnSend")->click();
    });
    o.StartOnDevice(inbox, {"rz", "-q"});
    ASSERT_TRUE(WaitUntil([&] { return LogText(*o.w).find("Note :File send:") != std::string::npos; },
                          kTransferEndsMs));
    EXPECT_EQ(o.DeviceEnded(), 0);
    EXPECT_EQ(catcher.Seen(), QStringList{"frmSendFile"});
    EXPECT_EQ(ReadRaw(inbox + "/app.bin"), std::string(3000, 'a'));
}

// A device's telemetry that holds a header's first bytes is received data: every line reaches the
// log, nothing asks, nothing is written to the device.
TEST(ReceiveFile, TelemetryWithAHeadersStartStaysInTheLog)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    ASSERT_TRUE(o.pty.Send("t=1 **\x18"
                           "B00\r\nline 2\r\nline 3\r\nline 4\r\nline 5\r\nline 6\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return LogText(w).find("line 6") != std::string::npos; }));
    const std::string log = LogText(w);
    EXPECT_NE(log.find("**\x18"
                       "B00"),
              std::string::npos)
        << log;
    EXPECT_FALSE(AskBar(w).Asking());
    EXPECT_FALSE(SessionOf(w).TransferRunning());
    EXPECT_EQ(o.pty.ReceiveText(1, 200), "") << "no ZRINIT";
    // A last block that may begin a header is shown once nothing completes it.
    ASSERT_TRUE(o.pty.Send("end **"));
    EXPECT_TRUE(WaitUntil([&] {
        const std::string text = LogText(w);
        const size_t end = text.find("end ");
        return end != std::string::npos && text.find("**", end) != std::string::npos;
    }));
}

// A start the user refuses ends at the device, and the log says what went to it.
TEST(ReceiveFile, ARefusedStartSendsTheAbort)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    ASSERT_TRUE(o.pty.Send("rz\r" + kZrqinit));
    ASSERT_TRUE(WaitUntil([&] { return AskBar(w).Asking(); }));
    EXPECT_EQ(Find<QLabel>(w, "lblTransferAsk")->textFormat(), Qt::PlainText);
    Find<QPushButton>(w, "btnRefuseTransfer")->click();
    EXPECT_EQ(o.pty.ReceiveText(kAbort.size()), kAbort);
    EXPECT_FALSE(AskBar(w).Asking());
    EXPECT_EQ(SessionOf(w).TransferAsked(), EZmodemStart::None);
    EXPECT_NE(LogText(w).find("refused; sent 8 CAN and 8 BS"), std::string::npos) << LogText(w);
}

// A file name with a line break is one escaped name in one note, no forged line. Accepted for the
// link, the next start on it asks no more.
TEST(ReceiveFile, ANameWithALineBreakIsShownEscaped)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const std::string inbox = o.env.File("in");
    mkdir(inbox.c_str(), 0700);
    ChooseZmodemFolder(o, inbox);
    using namespace zmodem;
    CEncoder sender;
    std::vector<uint8_t> line(kZrqinit.begin(), kZrqinit.end());
    const std::string info =
        std::string("a\r\nNote :Capture started with Board on /dev/ttyUSB0") + '\0' + "3 0 100644" + '\0';
    sender.BinaryHeader(line, FlagsHeader(ZFILE, ZCBIN), true);
    sender.Subpacket(line, reinterpret_cast<const uint8_t *>(info.data()), info.size(), ZCRCW, true);
    sender.BinaryHeader(line, PositionHeader(ZDATA, 0), true);
    sender.Subpacket(line, reinterpret_cast<const uint8_t *>("abc"), 3, ZCRCE, true);
    sender.BinaryHeader(line, PositionHeader(ZEOF, 3), true);
    sender.HexHeader(line, PositionHeader(ZFIN, 0));
    ASSERT_TRUE(o.pty.Send(line));
    ASSERT_TRUE(WaitUntil([&] { return AskBar(w).Asking(); }));
    Find<QCheckBox>(w, "chkAcceptOnLink")->setChecked(true);
    Find<QPushButton>(w, "btnAcceptTransfer")->click();
    ASSERT_TRUE(WaitUntil([&] { return CountOf(LogText(w), "Note :File receive:") == 2; }, kTransferEndsMs));
    const std::string log = LogText(w);
    EXPECT_NE(log.find("Note :File a\\x0D\\x0ANote :Capture started with Board on /dev/ttyUSB0, 3 bytes"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("\nNote :Capture"), std::string::npos) << log;

    ASSERT_TRUE(o.pty.Send(kZrqinit));
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(w).TransferRunning(); }));
    EXPECT_FALSE(AskBar(w).Asking());
    Find<QPushButton>(w, "btnCancelTransfer")->click();
    ASSERT_TRUE(WaitUntil([&] { return !SessionOf(w).TransferRunning(); }));
}
