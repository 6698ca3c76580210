// Files sent from a port on a pseudo-terminal to the receivers of lrzsz (rx, rb), which run with
// the master end as their terminal; and a raw send read straight from the master.
#include "filesend/portchannel.h"
#include "serial/serialex.h"
#include "tempdir.h"

#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

bool Installed(const char *tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// The port's receive path as a window has it: the listener reads the line, and while a transfer
// runs what it read goes to the transfer's channel.
class CFeedingPort : public CSerialEx
{
public:
    ~CFeedingPort() override { Close(); }
    void FeedTo(CPortChannel *channel)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_channel = channel;
    }

protected:
    void OnEvent(uint16_t, uint16_t) override
    {
        uint8_t buffer[4096];
        uint32_t got = 0;
        while (Read(buffer, sizeof buffer, &got) == 0 && got > 0) {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (m_channel)
                m_channel->Feed(buffer, got);
        }
    }

private:
    std::mutex m_lock;
    CPortChannel *m_channel = nullptr;
};

std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

class FileTransfer : public testing::Test
{
protected:
    void SetUp() override
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        ASSERT_EQ(openpty(&master, &slave, name, &raw, nullptr), 0);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        ASSERT_EQ(port.Open(name, 0, 0, true), 0);
        mkdir(inbox.c_str(), 0700);
    }
    void TearDown() override
    {
        if (receiver > 0) {
            kill(receiver, SIGKILL);
            waitpid(receiver, nullptr, 0);
        }
        port.Close();
        close(master);
        close(slave);
    }

    // What an earlier receiver left unread is not the new one's.
    void StartReceiver(std::vector<std::string> args)
    {
        tcflush(master, TCIFLUSH);
        receiver = fork();
        if (receiver == 0) {
            dup2(master, 0);
            dup2(master, 1);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            if (chdir(inbox.c_str()) != 0)
                _exit(126);
            std::vector<char *> argv;
            for (std::string &arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            setenv("LD_PRELOAD", NOPURGE_LIBRARY, 1);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    // The receiver's exit status.
    int ReceiverEnded()
    {
        int status = -1;
        waitpid(receiver, &status, 0);
        receiver = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string Source(const std::string &name, size_t size)
    {
        const std::string path = dir.File(name);
        WriteRaw(path, Pattern(size, static_cast<unsigned>(size)));
        return path;
    }

    ST_TransferOutcome Send(const std::vector<std::string> &paths, ST_TransferOptions options,
                            CFileTransfer::ProgressHandler onProgress = {})
    {
        std::vector<ST_TransferFile> files;
        for (const std::string &path : paths)
            files.push_back(TransferFileAt(path));
        CPortChannel channel(port);
        port.FeedTo(&channel);
        CFileTransfer transfer(channel, files, options);
        current = &transfer;
        transfer.SetProgressHandler(std::move(onProgress));
        const ST_TransferOutcome outcome = transfer.Run();
        current = nullptr;
        port.FeedTo(nullptr);
        return outcome;
    }

    TempDir dir;
    const std::string inbox = dir.File("in");
    int master = -1, slave = -1;
    pid_t receiver = -1;
    CFeedingPort port;
    CFileTransfer *current = nullptr;
    const std::vector<size_t> sizes{0, 1, 127, 128, 1023, 1025, 100000};
};

ST_TransferOptions Options(ETransferProtocol protocol)
{
    ST_TransferOptions options;
    options.Protocol = protocol;
    options.StartTimeoutMs = 20000; // only ends a hang
    return options;
}

} // namespace

// XMODEM keeps its padding: the file arrives followed by SUB up to its last block's end.
TEST_F(FileTransfer, XmodemFilesArriveWithChecksumCrcAndLongBlocks)
{
    if (!Installed("rx"))
        GTEST_SKIP() << "rx (lrzsz) is not installed";
    for (const ETransferProtocol protocol : {ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K}) {
        for (const bool crc : {false, true}) {
            if (protocol == ETransferProtocol::Xmodem1K && !crc)
                continue;
            for (const size_t size : sizes) {
                SCOPED_TRACE(testing::Message()
                             << "protocol " << int(protocol) << " crc " << crc << " size " << size);
                const std::string source = Source("x.bin", size);
                std::vector<std::string> args{"rx", "-q", "-b"};
                if (crc)
                    args.push_back("-c");
                args.push_back("x.bin");
                StartReceiver(args);
                const ST_TransferOutcome outcome = Send({source}, Options(protocol));
                EXPECT_EQ(outcome.End, ETransferEnd::Done);
                EXPECT_EQ(ReceiverEnded(), 0);
                const std::string got = ReadRaw(inbox + "/x.bin");
                ASSERT_GE(got.size(), size);
                EXPECT_LT(got.size() - size, 128u);
                EXPECT_EQ(got.substr(0, size), ReadRaw(source));
                EXPECT_EQ(got.substr(size), std::string(got.size() - size, '\x1A'));
                unlink((inbox + "/x.bin").c_str());
            }
        }
    }
}

// One batch: every file arrives exactly, with its modification time.
TEST_F(FileTransfer, YmodemBatchArrivesExactly)
{
    if (!Installed("rb"))
        GTEST_SKIP() << "rb (lrzsz) is not installed";
    std::vector<std::string> sources;
    for (const size_t size : sizes)
        sources.push_back(Source("f" + std::to_string(size) + ".bin", size));
    StartReceiver({"rb", "-q", "-b"});
    std::vector<size_t> begun;
    const ST_TransferOutcome outcome =
        Send(sources, Options(ETransferProtocol::Ymodem), [&](const ST_TransferProgress &p) {
            if (p.FileBegins)
                begun.push_back(p.FileIndex);
        });
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(outcome.FilesDone, sizes.size());
    EXPECT_EQ(begun, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ReceiverEnded(), 0);
    for (const std::string &source : sources) {
        const std::string name = source.substr(source.rfind('/') + 1);
        EXPECT_EQ(ReadRaw(inbox + "/" + name), ReadRaw(source)) << name;
        struct stat sent
        {
        }, got{};
        stat(source.c_str(), &sent);
        stat((inbox + "/" + name).c_str(), &got);
        EXPECT_EQ(got.st_mtime, sent.st_mtime) << name;
    }
}

// A receiver that is killed says nothing more; one that is stopped politely cancels with CANs.
TEST_F(FileTransfer, AReceiverThatNeverAsksStopsAnsweringOrCancelsEndsTheTransfer)
{
    if (!Installed("rx"))
        GTEST_SKIP() << "rx (lrzsz) is not installed";
    const std::string source = Source("x.bin", 100000);
    ST_TransferOptions options = Options(ETransferProtocol::Xmodem);
    options.StartTimeoutMs = 50;
    EXPECT_EQ(Send({source}, options).End, ETransferEnd::NoAnswer);

    options.StartTimeoutMs = 20000;
    options.AnswerTimeoutMs = 100;
    for (const int signal : {SIGKILL, SIGTERM}) {
        StartReceiver({"rx", "-q", "-b", "-c", "x.bin"});
        uint64_t sentAtStop = 0;
        const ST_TransferOutcome outcome = Send({source}, options, [&](const ST_TransferProgress &p) {
            if (p.FileSent >= 20 * 128 && receiver > 0) {
                sentAtStop = p.FileSent;
                kill(receiver, signal);
                ReceiverEnded();
            }
        });
        EXPECT_EQ(outcome.End, signal == SIGKILL ? ETransferEnd::NoAnswer : ETransferEnd::ReceiverCancelled);
        EXPECT_GT(sentAtStop, 0u);
        EXPECT_LT(sentAtStop, 100000u);
    }
}

TEST_F(FileTransfer, CancelTellsTheReceiverWhichEnds)
{
    if (!Installed("rb"))
        GTEST_SKIP() << "rb (lrzsz) is not installed";
    const std::string source = Source("big.bin", 1000000);
    StartReceiver({"rb", "-q", "-b"});
    // The transfer waits in its progress report until it has been cancelled from here.
    std::mutex lock;
    std::condition_variable changed;
    bool reached = false, cancelled = false;
    ST_TransferOutcome outcome;
    std::thread sender([&] {
        outcome = Send({source}, Options(ETransferProtocol::Ymodem), [&](const ST_TransferProgress &p) {
            std::unique_lock<std::mutex> guard(lock);
            if (p.FileSent < 8 * 1024 || reached)
                return;
            reached = true;
            changed.notify_all();
            changed.wait(guard, [&] { return cancelled; });
        });
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return reached; });
        current->Cancel();
        cancelled = true;
    }
    changed.notify_all();
    sender.join();
    EXPECT_EQ(outcome.End, ETransferEnd::Cancelled);
    EXPECT_NE(ReceiverEnded(), 0);
}

TEST_F(FileTransfer, RawSendsEveryByteValueAsItIs)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string source = dir.File("all.bin");
    WriteRaw(source, all + all);
    ST_TransferOptions options;
    options.LineDelayMs = 1;
    const ST_TransferOutcome outcome = Send({source}, options);
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(outcome.WireBytes, 512u);
    std::string got;
    char buffer[512];
    pollfd p{master, POLLIN, 0};
    while (got.size() < 512 && poll(&p, 1, 20000) > 0) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, all + all);
}
