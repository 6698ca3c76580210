// Files received on a port on a pseudo-terminal from the senders of lrzsz (sx, sb), which run with
// the master end as their terminal, into a receive folder.
#include "feedingport.h"
#include "lineprogram.h"
#include "tempdir.h"
#include "transfer/blockreceive.h"
#include "transfer/receivefolder.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::set<std::string> Entries(const std::string &folder)
{
    std::set<std::string> names;
    DIR *d = opendir(folder.c_str());
    while (dirent *e = d != nullptr ? readdir(d) : nullptr)
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.insert(e->d_name);
    if (d != nullptr)
        closedir(d);
    return names;
}

class BlockReceive : public testing::Test
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
        mkdir(outbox.c_str(), 0700);
    }
    void TearDown() override
    {
        if (sender > 0) {
            kill(sender, SIGKILL);
            waitpid(sender, nullptr, 0);
        }
        port.Close();
        close(master);
        close(slave);
    }

    // The sender runs in the outbox; what an earlier one left unread is not the new one's.
    void StartSender(std::vector<std::string> args)
    {
        tcflush(master, TCIFLUSH);
        sender = StartOnLine(master, outbox, std::move(args), std::string("LD_PRELOAD=") + NOPURGE_LIBRARY);
    }
    int SenderEnded()
    {
        const int status = WaitEnded(sender);
        sender = -1;
        return status;
    }

    // XMODEM cannot tell a file's own trailing SUBs from its padding: the files end otherwise.
    std::string Source(const std::string &name, size_t size)
    {
        std::string bytes = Pattern(size, static_cast<unsigned>(size));
        if (!bytes.empty() && bytes.back() == '\x1A')
            bytes.back() = 'x';
        WriteRaw(outbox + "/" + name, bytes);
        return bytes;
    }

    ST_TransferOutcome Receive(IReceiveSink &sink, ETransferProtocol protocol,
                               ST_TransferOptions options = {}, ITransfer::ProgressHandler onProgress = {})
    {
        CPortChannel channel(port);
        port.FeedTo(&channel);
        CBlockReceive transfer(channel, sink, protocol, options);
        {
            const std::lock_guard<std::mutex> guard(lock);
            current = &transfer;
        }
        transfer.SetProgressHandler(std::move(onProgress));
        const ST_TransferOutcome outcome = transfer.Run();
        {
            const std::lock_guard<std::mutex> guard(lock);
            current = nullptr;
        }
        port.FeedTo(nullptr);
        return outcome;
    }

    TempDir dir;
    const std::string inbox = dir.File("in");
    const std::string outbox = dir.File("out");
    int master = -1, slave = -1;
    pid_t sender = -1;
    CFeedingPort port;
    std::mutex lock;
    CBlockReceive *current = nullptr;
    const std::vector<size_t> sizes{0, 1, 127, 128, 1023, 1025, 100000};
};

// The padding of the last block goes; a file of no block at all arrives empty.
TEST_F(BlockReceive, XmodemFilesArriveInShortAndLongBlocks)
{
    if (!Installed("sx"))
        FAIL() << "sx (lrzsz) is not installed";
    for (const bool longBlocks : {false, true}) {
        for (const size_t size : sizes) {
            SCOPED_TRACE(testing::Message() << "1K " << longBlocks << " size " << size);
            const std::string sent = Source("x.bin", size);
            std::vector<std::string> args{"sx", "-q", "-b"};
            if (longBlocks)
                args.push_back("-k");
            args.push_back("x.bin");
            StartSender(args);
            CReceiveFolder folder(inbox, "got.bin");
            const ST_TransferOutcome outcome =
                Receive(folder, longBlocks ? ETransferProtocol::Xmodem1K : ETransferProtocol::Xmodem);
            EXPECT_EQ(outcome.End, ETransferEnd::Done);
            EXPECT_TRUE(outcome.Receiving);
            EXPECT_EQ(SenderEnded(), 0);
            EXPECT_EQ(folder.Received(), std::vector<std::string>{inbox + "/got.bin"});
            EXPECT_TRUE(ReadRaw(inbox + "/got.bin") == sent);
            unlink((inbox + "/got.bin").c_str());
        }
    }
}

// Each file exactly as long as announced, with its time but not the sender's permissions.
TEST_F(BlockReceive, YmodemBatchArrivesExactly)
{
    if (!Installed("sb"))
        FAIL() << "sb (lrzsz) is not installed";
    std::vector<std::string> args{"sb", "-q", "-b"};
    std::vector<std::string> sent;
    for (const size_t size : sizes) {
        const std::string name = "f" + std::to_string(size) + ".bin";
        sent.push_back(Source(name, size));
        args.push_back(name);
    }
    const std::string first = outbox + "/" + args[3];
    chmod(first.c_str(), 04755);
    const timespec times[2] = {{0, UTIME_NOW}, {1000000000, 0}};
    utimensat(AT_FDCWD, first.c_str(), times, 0);
    StartSender(args);
    CReceiveFolder folder(inbox);
    std::vector<std::string> begun;
    const ST_TransferOutcome outcome =
        Receive(folder, ETransferProtocol::Ymodem, {}, [&](const ST_TransferProgress &p) {
            if (p.FileBegins)
                begun.push_back(p.FileName);
        });
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(outcome.FilesDone, sizes.size());
    EXPECT_EQ(outcome.Detail, "");
    // Only what we wrote, the answers: the files came in, they did not go out.
    EXPECT_LT(outcome.WireBytes, 1000u);
    EXPECT_EQ(SenderEnded(), 0);
    EXPECT_EQ(begun, std::vector<std::string>(args.begin() + 3, args.end()));
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string path = inbox + "/" + args[3 + i];
        EXPECT_TRUE(ReadRaw(path) == sent[i]) << path;
        struct stat got
        {
        };
        stat(path.c_str(), &got);
        EXPECT_EQ(got.st_mode & 07111, 0u) << path;
        if (i == 0) {
            EXPECT_EQ(got.st_mtime, 1000000000);
        }
    }
}

// Whatever the names, the files land in the folder, and none replaces a file there.
TEST_F(BlockReceive, YmodemNamesStayInTheFolderAndReplaceNothing)
{
    if (!Installed("sb"))
        FAIL() << "sb (lrzsz) is not installed";
    mkdir((outbox + "/sub").c_str(), 0700);
    const std::string control = "c\001d.txt";
    const std::string a = Source("sub/a b.txt", 10), c = Source(control, 20), x = Source("x.bin", 30);
    WriteRaw(inbox + "/x.bin", "older");
    StartSender({"sb", "-q", "-b", "-f", "sub/../sub/a b.txt", "../out/" + control, outbox + "/x.bin"});
    CReceiveFolder folder(inbox);
    const ST_TransferOutcome outcome = Receive(folder, ETransferProtocol::Ymodem);
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(SenderEnded(), 0);
    EXPECT_EQ(Entries(inbox), (std::set<std::string>{"a b.txt", "c_d.txt", "x.bin", "x (1).bin"}));
    EXPECT_EQ(Entries(dir.path), (std::set<std::string>{"in", "out"}));
    EXPECT_EQ(ReadRaw(inbox + "/a b.txt"), a);
    EXPECT_EQ(ReadRaw(inbox + "/c_d.txt"), c);
    EXPECT_EQ(ReadRaw(inbox + "/x.bin"), "older");
    EXPECT_EQ(ReadRaw(inbox + "/x (1).bin"), x);
    EXPECT_NE(outcome.Detail.find("x (1).bin"), std::string::npos) << outcome.Detail;
}

// A sender that is killed says nothing more; the broken file never appears.
TEST_F(BlockReceive, ASenderKilledMidwayLeavesNoFile)
{
    if (!Installed("sx"))
        FAIL() << "sx (lrzsz) is not installed";
    Source("x.bin", 100000);
    StartSender({"sx", "-q", "-b", "x.bin"});
    CReceiveFolder folder(inbox, "x.bin");
    ST_TransferOptions options;
    options.AnswerTimeoutMs = 100;
    options.Tries = 3;
    uint64_t receivedAtKill = 0;
    const ST_TransferOutcome outcome =
        Receive(folder, ETransferProtocol::Xmodem, options, [&](const ST_TransferProgress &p) {
            if (p.FileSent >= 20 * 128 && sender > 0) {
                receivedAtKill = p.FileSent;
                kill(sender, SIGKILL);
                SenderEnded();
            }
        });
    EXPECT_EQ(outcome.End, ETransferEnd::NoAnswer);
    EXPECT_GT(receivedAtKill, 0u);
    EXPECT_EQ(Entries(inbox), std::set<std::string>{});
}

// Our cancel reaches the sender, which ends; so does a disk that takes no more, which the
// outcome names with its reason.
TEST_F(BlockReceive, CancelAndAFullDiskEndTheSender)
{
    if (!Installed("sb"))
        FAIL() << "sb (lrzsz) is not installed";
    Source("big.bin", 1000000);
    {
        StartSender({"sb", "-q", "-b", "big.bin"});
        // The transfer waits in its progress report until it has been cancelled from here.
        std::condition_variable changed;
        bool reached = false, cancelled = false;
        ST_TransferOutcome outcome;
        CReceiveFolder folder(inbox);
        std::thread receiver([&] {
            outcome = Receive(folder, ETransferProtocol::Ymodem, {}, [&](const ST_TransferProgress &p) {
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
        receiver.join();
        EXPECT_EQ(outcome.End, ETransferEnd::Cancelled);
        EXPECT_NE(SenderEnded(), 0);
        EXPECT_EQ(Entries(inbox), std::set<std::string>{});
    }
    {
        StartSender({"sb", "-q", "-b", "big.bin"});
        CReceiveFolder folder(inbox);
        ST_TransferOutcome outcome;
        {
            const FileSizeLimit full(50000);
            outcome = Receive(folder, ETransferProtocol::Ymodem);
        }
        EXPECT_EQ(outcome.End, ETransferEnd::DiskError);
        EXPECT_NE(outcome.Detail.find("big.bin"), std::string::npos) << outcome.Detail;
        EXPECT_NE(outcome.Detail.find(std::strerror(EFBIG)), std::string::npos) << outcome.Detail;
        EXPECT_NE(SenderEnded(), 0);
        EXPECT_EQ(Entries(inbox), std::set<std::string>{});
    }
}

} // namespace
