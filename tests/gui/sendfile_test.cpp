// File > Send File... against receivers on a pseudo-terminal: rb of lrzsz for YMODEM (preloaded
// so its purges do not eat bytes a real line would still carry), the master end itself for Raw,
// and nobody at all for a transfer that is cancelled.
#include "lineprogram.h"
#include "log/gui/TTrafficLog.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "session/portsession.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "guiwindow.h"
#include "ptypair.h"
#include "tempdir.h"

namespace {

// Only ends a hang: a relay that neither side has used for a minute belongs to a stuck test.
constexpr int kStuckMs = 60000;

constexpr int kTransferEndsMs = 120000; // only ends a hang

// Log lines that start with `start`.
int LogLines(const QWidget &w, const std::string &start = std::string())
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    int count = 0;
    for (int i = 0; i < log->LineCount(); ++i)
        count += log->LineText(i).rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

struct OpenWindow : COpenWindow
{
    // Answers the dialog with these choices and sends.
    void SendFile(const QString &path, int protocol)
    {
        ModalCatcher catcher([&](QDialog *dialog) {
            Find<QLineEdit>(dialog, "edFile")->setText(path);
            Find<QComboBox>(dialog, "cboProtocol")->setCurrentIndex(protocol);
            Find<QPushButton>(dialog, "btnSend")->click();
        });
        Find<QAction>(*w, "mnuFileSendFile")->trigger();
        EXPECT_EQ(catcher.Seen(), QStringList{"frmSendFile"});
    }
    bool TransferEnded()
    {
        return WaitUntil([&] { return !SessionOf(*w).TransferRunning(); }, kTransferEndsMs);
    }

    // rb in `folder`.
    void StartRb(const std::string &folder)
    {
        StartOnDevice(folder, {"rb", "-q", "-b"}, std::string("LD_PRELOAD=") + NOPURGE_LIBRARY);
    }
};

// A cable between the window's line and a second terminal, counting what the window puts on it.
class CCountingRelay
{
public:
    CCountingRelay(int window, int device) : m_stop(eventfd(0, EFD_CLOEXEC))
    {
        m_thread = std::thread([this, window, device] { Run(window, device); });
    }
    ~CCountingRelay()
    {
        eventfd_write(m_stop, 1);
        m_thread.join();
        close(m_stop);
    }
    uint64_t FromWindow() const { return m_fromWindow.load(); }

private:
    // Whole writes, waiting for room: a pseudo-terminal's master end is non-blocking.
    bool Pass(int from, int to, std::atomic<uint64_t> *count)
    {
        char buffer[4096];
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got <= 0)
            return got < 0 && errno == EAGAIN;
        if (count != nullptr)
            *count += static_cast<uint64_t>(got);
        for (ssize_t done = 0; done < got;) {
            const ssize_t n = write(to, buffer + done, static_cast<size_t>(got - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (errno != EAGAIN)
                return false;
            // A minute that the other side takes nothing means the test is stuck: the relay ends.
            pollfd p[2] = {{to, POLLOUT, 0}, {m_stop, POLLIN, 0}};
            if (poll(p, 2, kStuckMs) <= 0 || p[1].revents != 0)
                return false;
        }
        return true;
    }
    void Run(int window, int device)
    {
        pollfd p[3] = {{window, POLLIN, 0}, {device, POLLIN, 0}, {m_stop, POLLIN, 0}};
        while (poll(p, 3, kStuckMs) > 0 && p[2].revents == 0) {
            if ((p[0].revents != 0 && !Pass(window, device, &m_fromWindow)) ||
                (p[1].revents != 0 && !Pass(device, window, nullptr)))
                return;
        }
    }

    const int m_stop;
    std::atomic<uint64_t> m_fromWindow{0};
    std::thread m_thread;
};

} // namespace

TEST(SendFile, YmodemFileArrivesIdenticalWithOneNoteAndIsCounted)
{
    if (std::system("command -v rb >/dev/null 2>&1") != 0)
        FAIL() << "rb (lrzsz) is not installed";
    OpenWindow o;
    QMainWindow &w = *o.w;
    const CRecDataList &received = GiveReceivedList(w).Entries();
    std::string data(3000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 37 + i / 256);
    const std::string source = o.env.File("firmware.bin");
    WriteRaw(source, data);
    const std::string inbox = o.env.File("in");
    mkdir(inbox.c_str(), 0700);
    // Started after the sender, so even its first request is the transfer's.
    o.SendFile(QString::fromStdString(source), 3);
    o.StartRb(inbox);
    ASSERT_TRUE(o.TransferEnded());
    EXPECT_EQ(o.DeviceEnded(), 0);
    EXPECT_EQ(ReadRaw(inbox + "/firmware.bin"), data);
    EXPECT_EQ(LogLines(w, "Send :File firmware.bin, 3000 bytes, YMODEM"), 1);
    EXPECT_EQ(LogLines(w, "Note :File send: Sent"), 1);
    EXPECT_EQ(LogLines(w), 2) << "the receiver's answers are not logged";
    EXPECT_GT(SessionOf(w).SendBytes(), 3000);
    EXPECT_EQ(SessionOf(w).RecBlocks(), 0);
    EXPECT_EQ(received.Count(), 0);

    // The next dialog proposes the same, also in the next run.
    o.Open();
    ModalCatcher catcher([&](QDialog *dialog) {
        EXPECT_EQ(Find<QLineEdit>(dialog, "edFile")->text().toStdString(), source);
        EXPECT_EQ(Find<QComboBox>(dialog, "cboProtocol")->currentIndex(), 3);
        EXPECT_FALSE(Find<QWidget>(dialog, "edLineDelay")->isEnabled()) << "the line delay is Raw's only";
        dialog->reject();
    });
    Find<QAction>(*o.w, "mnuFileSendFile")->trigger();
    EXPECT_EQ(catcher.Seen(), QStringList{"frmSendFile"});
}

TEST(SendFile, RawSendsEveryByteValueExactly)
{
    OpenWindow o;
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string source = o.env.File("all.bin");
    WriteRaw(source, all);
    o.SendFile(QString::fromStdString(source), 0);
    const std::vector<uint8_t> got = o.pty.Receive(256);
    EXPECT_EQ(std::string(got.begin(), got.end()), all);
    ASSERT_TRUE(o.TransferEnded());
    EXPECT_EQ(StatusPanel(*o.w, 7), QStringLiteral("Send:256/1"));
}

// A raw send reads no answers: what the device says while the file goes out is logged at once.
// The file is more than the terminal holds and the master end reads none of it, so the send is
// still waiting for the line when the device speaks.
TEST(SendFile, RawSendLogsWhatTheDeviceSaysMeanwhile)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const std::string source = o.env.File("big.txt");
    WriteRaw(source, std::string(1 << 20, 'x'));
    o.SendFile(QString::fromStdString(source), 0);
    ASSERT_TRUE(SessionOf(w).TransferRunning());
    ASSERT_TRUE(o.pty.Send("ready\r\n"));
    EXPECT_TRUE(WaitUntil([&] { return LogLines(w, "Rec  :ready") == 1; }));
    EXPECT_TRUE(SessionOf(w).TransferRunning());
    Find<QPushButton>(w, "btnCancelTransfer")->click();
    ASSERT_TRUE(o.TransferEnded());
    EXPECT_EQ(SessionOf(w).RecBlocks(), 1);
}

// Nobody answers: the transfer waits for a receiver until cancelled, from the status bar or by
// closing the window.
TEST(SendFile, CancelEndsATransferNobodyAnswers)
{
    OpenWindow o;
    QMainWindow &w = *o.w;
    const std::string source = o.env.File("x.bin");
    WriteRaw(source, std::string(1000, 'x'));
    o.SendFile(QString::fromStdString(source), 1);
    auto *bar = Find<QProgressBar>(w, "pbTransfer");
    auto *cancel = Find<QPushButton>(w, "btnCancelTransfer");
    ASSERT_TRUE(SessionOf(w).TransferRunning());
    EXPECT_FALSE(bar->isHidden());
    EXPECT_FALSE(Find<QAction>(w, "mnuFileSendFile")->isEnabled());
    EXPECT_FALSE(Find<QAction>(w, "mnuOpStartAutoSend")->isEnabled());
    {
        ModalCatcher catcher;
        Find<QPushButton>(w, "btnSend")->click();
        EXPECT_EQ(catcher.Seen(), QStringList{"A file is being sent; the send was not queued."});
    }
    cancel->click();
    ASSERT_TRUE(o.TransferEnded());
    EXPECT_EQ(LogLines(w, "Note :File send: Cancelled"), 1);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_TRUE(Find<QAction>(w, "mnuFileSendFile")->isEnabled());

    o.SendFile(QString::fromStdString(source), 1);
    ASSERT_TRUE(SessionOf(w).TransferRunning());
    o.w.reset();
}

// rz on a raw terminal behind a cable, started by the window's own "rz": it answers the start twice,
// so it is offered the file twice, and the data must still go once. The figure told is what went
// down the cable, for data with many bytes to escape (random) and none (zeros).
TEST(SendFile, ZmodemTellsTheBytesThatWentOnTheLine)
{
    if (std::system("command -v rz >/dev/null 2>&1") != 0)
        FAIL() << "rz (lrzsz) is not installed";
    std::mt19937 random(7);
    std::string noise(65536, '\0');
    for (char &c : noise)
        c = static_cast<char>(random());
    for (const std::string &data : {noise, std::string(65536, '\0')}) {
        OpenWindow o;
        QMainWindow &w = *o.w;
        CTestPty board;
        CCountingRelay relay(o.pty.Master(), board.Master());
        const std::string source = o.env.File("app.bin");
        WriteRaw(source, data);
        const std::string inbox = o.env.File("in");
        mkdir(inbox.c_str(), 0700);
        o.SendFile(QString::fromStdString(source), 4);
        o.device = StartOnLine(board.Slave(), inbox, {"rz", "-q", "-b"},
                               std::string("LD_PRELOAD=") + NOPURGE_LIBRARY, true);
        ASSERT_TRUE(o.TransferEnded());
        EXPECT_EQ(o.DeviceEnded(), 0);
        EXPECT_TRUE(ReadRaw(inbox + "/app.bin") == data);
        auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
        std::string note;
        for (int i = 0; i < log->LineCount(); ++i)
            if (log->LineText(i).rfind("Note :File send: Sent, ", 0) == 0)
                note = log->LineText(i);
        ASSERT_FALSE(note.empty());
        const uint64_t told = std::stoull(note.substr(note.find(", ") + 2));
        EXPECT_LT(told, data.size() * 11 / 10) << "the data went once, its escapes and frames with it";
        // The window's last words may still be on their way down the cable.
        EXPECT_TRUE(WaitUntil([&] { return relay.FromWindow() >= told; }));
        EXPECT_EQ(relay.FromWindow(), told);
        EXPECT_EQ(SessionOf(w).SendBytes(), static_cast<int64_t>(told));
        // The receiver's answers are on the Rec counter, with no block of their own.
        EXPECT_GT(SessionOf(w).RecBytes(), 0);
        EXPECT_TRUE(WaitUntil([&] {
            return StatusPanel(w, 6) == QStringLiteral("Rec:%1/0").arg(SessionOf(w).RecBytes());
        })) << StatusPanel(w, 6).toStdString();
    }
}
