// Files sent from a port on a pseudo-terminal to the receivers of lrzsz (rx, rb), which run with
// the master end as their terminal; sends from the master end to rb on the slave end, as a device
// runs it; and a raw send read straight from the master.
#include "feedingport.h"
#include "lineprogram.h"
#include "portbase/serialerror.h"
#include "ptypair.h"
#include "tempdir.h"

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

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
        receiver = StartOnLine(master, inbox, std::move(args), std::string("LD_PRELOAD=") + NOPURGE_LIBRARY);
    }
    // The receiver's exit status.
    int ReceiverEnded()
    {
        const int status = WaitEnded(receiver);
        receiver = -1;
        return status;
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

// YMODEM's empty block 0, which closes a batch; its CRC is 0.
const std::string kClosingBlock = std::string("\x01\x00\xFF", 3) + std::string(130, '\0');

ST_TransferOptions Options(ETransferProtocol protocol)
{
    ST_TransferOptions options;
    options.Protocol = protocol;
    options.StartTimeoutMs = 20000; // only ends a hang
    return options;
}

// A transfer's channel on the master end of a pseudo-terminal, keeping what it wrote. It can
// slip an ACK in behind the receiver's first 'C', as a line with a stray byte would.
class CMasterChannel : public ITransferChannel
{
public:
    CMasterChannel(int master, bool strayAck) : m_master(master), m_strayAck(strayAck) {}
    ~CMasterChannel() override { close(m_wake); }

    long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) override
    {
        *written = 0;
        while (*written < size) {
            const ssize_t n = write(m_master, data + *written, size - *written);
            if (n > 0) {
                wire.append(reinterpret_cast<const char *>(data) + *written, static_cast<size_t>(n));
                *written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return errno;
            pollfd p{m_master, POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(timeoutMs)) == 0)
                return ERROR_TIMEOUT;
        }
        return 0;
    }
    size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) override
    {
        pollfd p[2] = {{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(p, 2, static_cast<int>(timeoutMs)) <= 0 || p[1].revents != 0)
            return 0;
        const ssize_t n = read(m_master, data, max);
        size_t got = n > 0 ? static_cast<size_t>(n) : 0;
        if (m_strayAck && got < max && std::find(data, data + got, 'C') != data + got) {
            data[got++] = 0x06;
            m_strayAck = false;
        }
        return got;
    }
    void Wake() override { eventfd_write(m_wake, 1); }

    std::string wire;

private:
    int m_master;
    bool m_strayAck;
    int m_wake = eventfd(0, EFD_CLOEXEC);
};

// A pseudo-terminal of its own with rb on the slave end as its terminal, as on a device, and the
// transfer on the master end. rb keeps its purge of the output as it exits, which may eat its
// answer to the closing block.
class CRbLine
{
public:
    explicit CRbLine(std::string inbox) : m_inbox(std::move(inbox))
    {
        termios raw{};
        cfmakeraw(&raw);
        EXPECT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        fcntl(master, F_SETFL, O_NONBLOCK);
        mkdir(m_inbox.c_str(), 0700);
    }
    ~CRbLine()
    {
        if (m_rb > 0) {
            kill(m_rb, SIGKILL);
            waitpid(m_rb, nullptr, 0);
        }
        close(master);
        close(slave);
    }
    CRbLine(const CRbLine &) = delete;
    CRbLine &operator=(const CRbLine &) = delete;

    // Before any thread of the test: the child only execs.
    void StartRb()
    {
        std::string preload = std::string("LD_PRELOAD=") + NOPURGE_LIBRARY;
        char inputOnly[] = "NOPURGE_INPUT_ONLY=1";
        char *envp[] = {preload.data(), inputOnly, nullptr};
        char *argv[] = {const_cast<char *>("rb"), const_cast<char *>("-q"), const_cast<char *>("-b"),
                        nullptr};
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        m_rb = fork();
        if (m_rb == 0) {
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(null, 2);
            if (chdir(m_inbox.c_str()) == 0)
                execvpe(argv[0], argv, envp);
            _exit(127);
        }
        close(null);
    }
    int RbEnded()
    {
        int status = -1;
        waitpid(m_rb, &status, 0);
        m_rb = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Waits for `count` bytes at the slave end, however long they take.
    std::string FromSlave(size_t count)
    {
        std::string got;
        char buffer[256];
        while (got.size() < count) {
            const ssize_t n = read(slave, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    int master = -1, slave = -1;

private:
    std::string m_inbox;
    pid_t m_rb = -1;
};

} // namespace

// XMODEM keeps its padding: the file arrives followed by SUB up to its last block's end.
TEST_F(FileTransfer, XmodemFilesArriveWithChecksumCrcAndLongBlocks)
{
    if (!Installed("rx"))
        FAIL() << "rx (lrzsz) is not installed";
    for (const ETransferProtocol protocol : {ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K}) {
        for (const bool crc : {false, true}) {
            if (protocol == ETransferProtocol::Xmodem1K && !crc)
                continue;
            // Past block number 255 in short blocks; as each block waits for its answer, the long
            // file of the batch test would take most of this test's time.
            std::vector<size_t> xmodemSizes(sizes.begin(), sizes.end() - 1);
            xmodemSizes.push_back(300 * 128 + 5);
            for (const size_t size : xmodemSizes) {
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
        FAIL() << "rb (lrzsz) is not installed";
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
        FAIL() << "rx (lrzsz) is not installed";
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
        FAIL() << "rb (lrzsz) is not installed";
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

// Each file arrives and its send ends Sent, whether or not rb's answer to the closing block
// survived its exit; that block goes out once, not again and again until the tries run out. The
// sends run side by side, each on its own line: rb takes seconds of its own over each.
TEST(TransferOnTheMasterEnd, YmodemSendsEndSentWithTheClosingBlockSentOnce)
{
    if (!Installed("rb"))
        FAIL() << "rb (lrzsz) is not installed";
    struct Send
    {
        size_t Size;
        bool StrayAck; // rb asks for CRC with a stray ACK behind its request
        std::unique_ptr<CRbLine> Line;
        std::unique_ptr<CMasterChannel> Channel;
        ST_TransferOutcome Outcome;
    };
    std::vector<Send> sends;
    for (const size_t size : {0, 1, 128, 1024, 50000, 1000000})
        sends.push_back({size, false, nullptr, nullptr, {}});
    sends.push_back({3000, true, nullptr, nullptr, {}});
    TempDir dir;
    for (size_t i = 0; i < sends.size(); ++i) {
        Send &send = sends[i];
        WriteRaw(dir.File(std::to_string(i)), Pattern(send.Size, static_cast<unsigned>(i)));
        send.Line = std::make_unique<CRbLine>(dir.File("in" + std::to_string(i)));
        send.Channel = std::make_unique<CMasterChannel>(send.Line->master, send.StrayAck);
        send.Line->StartRb();
    }
    std::vector<std::thread> threads;
    for (size_t i = 0; i < sends.size(); ++i)
        threads.emplace_back([&, i] {
            CFileTransfer transfer(*sends[i].Channel, {TransferFileAt(dir.File(std::to_string(i)))},
                                   Options(ETransferProtocol::Ymodem));
            sends[i].Outcome = transfer.Run();
        });
    for (std::thread &thread : threads)
        thread.join();
    for (size_t i = 0; i < sends.size(); ++i) {
        Send &send = sends[i];
        SCOPED_TRACE(testing::Message() << "size " << send.Size << " stray ACK " << send.StrayAck);
        EXPECT_EQ(send.Outcome.End, ETransferEnd::Done);
        EXPECT_EQ(CountOf(send.Channel->wire, kClosingBlock), 1);
        EXPECT_EQ(send.Line->RbEnded(), 0);
        EXPECT_TRUE(ReadRaw(dir.File("in" + std::to_string(i) + "/" + std::to_string(i))) ==
                    ReadRaw(dir.File(std::to_string(i))));
    }
}

// The first request decides: a stray ACK behind 'C' leaves the first block with its CRC.
TEST(TransferOnTheMasterEnd, XmodemKeepsTheCrcAskedForPastAStrayAck)
{
    TempDir dir;
    CRbLine line(dir.File("in"));
    const std::string source = dir.File("x.bin");
    const std::string data = Pattern(128, 1);
    WriteRaw(source, data);
    ASSERT_EQ(write(line.slave, "C\x06", 2), 2);
    CMasterChannel channel(line.master, false);
    ST_TransferOptions options = Options(ETransferProtocol::Xmodem);
    options.Tries = 1;
    options.AnswerTimeoutMs = 100; // nobody answers the block
    CFileTransfer transfer(channel, {TransferFileAt(source)}, options);
    EXPECT_EQ(transfer.Run().End, ETransferEnd::NoAnswer);
    const std::string block = line.FromSlave(132);
    ASSERT_EQ(block.substr(0, 3), std::string("\x01\x01\xFE"));
    ASSERT_EQ(block.substr(3, 128), data);
    uint8_t sum = 0;
    for (const char c : data)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    ASSERT_NE(static_cast<uint8_t>(block[131]), sum) << "a checksum block";
    EXPECT_EQ(line.FromSlave(1).size(), 1u) << "the CRC's second byte";
}

// A receiver that takes the file and leaves the closing block unanswered.
TEST(TransferOnTheMasterEnd, YmodemWithTheClosingBlockUnansweredEndsSentAndSaysSo)
{
    TempDir dir;
    CRbLine line(dir.File("in"));
    const std::string source = dir.File("y.bin");
    WriteRaw(source, Pattern(100, 2));
    std::thread receiver([&] {
        const auto answer = [&](const char *bytes) { EXPECT_GT(write(line.slave, bytes, strlen(bytes)), 0); };
        answer("C");
        line.FromSlave(133); // block 0
        answer("\x06"
               "C");
        line.FromSlave(133);
        answer("\x06");
        EXPECT_EQ(line.FromSlave(1), "\x04");
        answer("\x06"
               "C");
        EXPECT_EQ(line.FromSlave(133), kClosingBlock);
    });
    CMasterChannel channel(line.master, false);
    CFileTransfer transfer(channel, {TransferFileAt(source)}, Options(ETransferProtocol::Ymodem));
    const ST_TransferOutcome outcome = transfer.Run();
    receiver.join();
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(outcome.FilesDone, 1u);
    EXPECT_TRUE(outcome.EndUnacknowledged);
    EXPECT_EQ(CountOf(channel.wire, kClosingBlock), 1);
}
