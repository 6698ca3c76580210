// ZMODEM against lrzsz: sz or rz runs on the slave end of a raw pseudo-terminal as its terminal,
// our engine on the master end.
#include "fdchannel.h"
#include "lineprogram.h"
#include "ptypair.h"
#include "tempdir.h"
#include "transfer/receivefolder.h"
#include "transfer/zmodem.h"

#include <condition_variable>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

namespace {

bool LrzszInstalled()
{
    return std::system("command -v sz >/dev/null 2>&1 && command -v rz >/dev/null 2>&1") == 0;
}

std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

// Received files in memory. A part set before the transfer is what an earlier broken receive
// kept: it is offered when the sender offers to resume.
class CMemorySink : public IReceiveSink
{
public:
    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *) override
    {
        m_name = file.Name;
        std::string &data = Files[m_name];
        data = file.ResumeOffered ? Parts[m_name] : std::string();
        *resumeAt = data.size();
        return true;
    }
    bool Write(const uint8_t *data, size_t size, std::string *) override
    {
        Files[m_name].append(reinterpret_cast<const char *>(data), size);
        Taken += size;
        return true;
    }
    EFileEnd Finish(std::string *finalPath, std::string *) override
    {
        *finalPath = m_name;
        Finished.push_back(m_name);
        return EFileEnd::Saved;
    }
    void Abandon(bool) override { Files.erase(m_name); }

    std::map<std::string, std::string> Files, Parts;
    std::vector<std::string> Finished;
    uint64_t Taken = 0;

private:
    std::string m_name;
};

ST_TransferOptions Options()
{
    ST_TransferOptions options;
    options.Protocol = ETransferProtocol::Zmodem;
    options.StartTimeoutMs = 20000; // only ends a hang
    return options;
}

// Control characters that went over the line unescaped, leaving out ZDLE and what a hex header
// (and "rz\r") carries as it is: CR, LF with its high bit, XON.
size_t RawControls(const std::string &wire)
{
    size_t count = 0;
    for (const char c : wire) {
        const uint8_t byte = static_cast<uint8_t>(c);
        count += (byte & 0x60) == 0 && byte != 0x18 && byte != 0x0D && byte != 0x8A && byte != 0x11;
    }
    return count;
}

class Zmodem : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!LrzszInstalled())
            FAIL() << "lrzsz is not installed";
        termios raw{};
        cfmakeraw(&raw);
        ASSERT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        mkdir(inbox.c_str(), 0700);
        mkdir(outbox.c_str(), 0700);
        channel = std::make_unique<CFdChannel>(master);
    }
    void TearDown() override
    {
        if (peer > 0) {
            kill(peer, SIGKILL);
            waitpid(peer, nullptr, 0);
        }
        channel.reset();
        close(master);
        close(slave);
    }

    // sz runs in the outbox, rz in the inbox. lrzsz purges its input now and then: on a cable
    // the bytes in flight are still on the wire then, on a pseudo-terminal the purge eats them.
    // What an earlier peer left unread is not the new one's.
    void StartPeer(std::vector<std::string> args)
    {
        tcflush(slave, TCIOFLUSH);
        tcflush(master, TCIOFLUSH);
        const std::string folder = args[0] == "sz" ? outbox : inbox;
        peer = StartOnLine(slave, folder, std::move(args), std::string("LD_PRELOAD=") + NOPURGE_LIBRARY);
    }
    int PeerEnded()
    {
        const int status = WaitEnded(peer);
        peer = -1;
        return status;
    }
    // A cancelled sz may be stuck in a write to the line: the line takes (and drops) what it
    // still sends, as a cable does, until it reads the cancel and ends.
    int PeerEndedWithLineDrained()
    {
        const int stop = eventfd(0, EFD_CLOEXEC);
        std::thread drain([&] {
            char buffer[4096];
            pollfd p[2] = {{master, POLLIN, 0}, {stop, POLLIN, 0}};
            // A minute with nothing from sz ends the drain too: the wait for sz then fails.
            while (poll(p, 2, 60000) > 0 && p[1].revents == 0)
                if (read(master, buffer, sizeof buffer) <= 0 && errno != EAGAIN)
                    break;
        });
        const int status = PeerEnded();
        eventfd_write(stop, 1);
        drain.join();
        close(stop);
        return status;
    }
    std::string Source(const std::string &name, size_t size)
    {
        WriteRaw(outbox + "/" + name, Pattern(size, static_cast<unsigned>(size + name.size())));
        return outbox + "/" + name;
    }
    ST_TransferOutcome Send(const std::vector<std::string> &paths, const ST_TransferOptions &options,
                            ITransfer::ProgressHandler onProgress = {})
    {
        std::vector<ST_TransferFile> files;
        for (const std::string &path : paths)
            files.push_back(TransferFileAt(path));
        CZmodemSend send(*channel, files, options);
        return Run(send, std::move(onProgress));
    }
    ST_TransferOutcome Receive(const ST_TransferOptions &options, ITransfer::ProgressHandler onProgress = {})
    {
        CZmodemReceive receive(*channel, sink, options);
        return Run(receive, std::move(onProgress));
    }
    ST_TransferOutcome Run(ITransfer &transfer, ITransfer::ProgressHandler onProgress)
    {
        transfer.SetProgressHandler(std::move(onProgress));
        current = &transfer;
        const ST_TransferOutcome outcome = transfer.Run();
        current = nullptr;
        return outcome;
    }

    TempDir dir;
    const std::string inbox = dir.File("in"), outbox = dir.File("out");
    int master = -1, slave = -1;
    pid_t peer = -1;
    std::unique_ptr<CFdChannel> channel;
    CMemorySink sink;
    ITransfer *current = nullptr;
};

class ZmodemSizes : public Zmodem, public testing::WithParamInterface<size_t>
{
};

TEST_P(ZmodemSizes, SendToRzArrivesExactly)
{
    const std::string source = Source("f.bin", GetParam());
    StartPeer({"rz", "-q", "-b"});
    const ST_TransferOutcome outcome = Send({source}, Options());
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(outcome.FilesDone, 1u);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(ReadRaw(inbox + "/f.bin") == ReadRaw(source));
}

TEST_P(ZmodemSizes, ReceiveFromSzArrivesExactly)
{
    const std::string source = Source("f.bin", GetParam());
    StartPeer({"sz", "-q", "-b", "f.bin"});
    std::vector<ST_TransferProgress> begun;
    const ST_TransferOutcome outcome = Receive(Options(), [&](const ST_TransferProgress &p) {
        if (p.FileBegins)
            begun.push_back(p);
    });
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_TRUE(outcome.Receiving);
    EXPECT_EQ(outcome.FilesDone, 1u);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(sink.Files["f.bin"] == ReadRaw(source));
    ASSERT_EQ(begun.size(), 1u);
    EXPECT_EQ(begun[0].FileName, "f.bin");
    EXPECT_EQ(begun[0].FileSize, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZmodemSizes, testing::Values(0, 1, 1023, 1025, 100000, 5000000));

TEST_F(Zmodem, BatchesOfThreeGoBothWays)
{
    const std::vector<std::string> sources{Source("a", 5000), Source("b", 0), Source("c", 70000)};
    StartPeer({"rz", "-q", "-b"});
    const ST_TransferOutcome sent = Send(sources, Options());
    EXPECT_EQ(sent.End, ETransferEnd::Done);
    EXPECT_EQ(sent.FilesDone, 3u);
    EXPECT_EQ(PeerEnded(), 0);

    StartPeer({"sz", "-q", "-b", "a", "b", "c"});
    const ST_TransferOutcome received = Receive(Options());
    EXPECT_EQ(received.End, ETransferEnd::Done);
    EXPECT_EQ(received.FilesDone, 3u);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_EQ(sink.Finished, (std::vector<std::string>{"a", "b", "c"}));
    for (const std::string &source : sources) {
        const std::string name = source.substr(source.rfind('/') + 1);
        EXPECT_TRUE(ReadRaw(inbox + "/" + name) == ReadRaw(source)) << name;
        EXPECT_TRUE(sink.Files[name] == ReadRaw(source)) << name;
    }
}

// The transfer waits in its progress report until another thread has cancelled it.
TEST_F(Zmodem, CancelEndsBothWaysAndLrzszGivesUp)
{
    Source("big.bin", 5000000);
    for (const bool sending : {true, false}) {
        SCOPED_TRACE(sending ? "sending" : "receiving");
        channel = std::make_unique<CFdChannel>(master); // a cancel wakes a channel for good
        StartPeer(sending ? std::vector<std::string>{"rz", "-q", "-b"}
                          : std::vector<std::string>{"sz", "-q", "-b", "big.bin"});
        std::mutex lock;
        std::condition_variable changed;
        bool reached = false, cancelled = false, ended = false;
        const auto onProgress = [&](const ST_TransferProgress &p) {
            std::unique_lock<std::mutex> guard(lock);
            if (p.FileSent < 100000 || reached)
                return;
            reached = true;
            changed.notify_all();
            changed.wait(guard, [&] { return cancelled; });
        };
        ST_TransferOutcome outcome;
        std::thread transfer([&] {
            outcome =
                sending ? Send({outbox + "/big.bin"}, Options(), onProgress) : Receive(Options(), onProgress);
            const std::lock_guard<std::mutex> guard(lock);
            ended = true;
            changed.notify_all();
        });
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return reached || ended; });
            if (reached)
                current->Cancel();
            cancelled = true;
        }
        changed.notify_all();
        transfer.join();
        EXPECT_EQ(outcome.End, ETransferEnd::Cancelled);
        EXPECT_NE(PeerEndedWithLineDrained(), 0);
        unlink((inbox + "/big.bin").c_str());
    }
}

TEST_F(Zmodem, ASenderThatDiesIsNeverTakenForDone)
{
    Source("big.bin", 5000000);
    StartPeer({"sz", "-q", "-b", "big.bin"});
    ST_TransferOptions options = Options();
    options.AnswerTimeoutMs = 200;
    options.Tries = 3;
    const ST_TransferOutcome outcome = Receive(options, [&](const ST_TransferProgress &p) {
        if (p.FileSent >= 100000 && peer > 0) {
            kill(peer, SIGKILL);
            PeerEnded();
        }
    });
    EXPECT_TRUE(outcome.End == ETransferEnd::NoAnswer || outcome.End == ETransferEnd::SenderCancelled)
        << TransferEndText(outcome.End, true);
    EXPECT_EQ(outcome.FilesDone, 0u);
}

TEST_F(Zmodem, AResumeFetchesOnlyTheRest)
{
    const std::string source = Source("r.bin", 100000);
    sink.Parts["r.bin"] = ReadRaw(source).substr(0, 40000);
    StartPeer({"sz", "-q", "-b", "-r", "r.bin"});
    const ST_TransferOutcome outcome = Receive(Options());
    EXPECT_EQ(outcome.End, ETransferEnd::Done);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(sink.Files["r.bin"] == ReadRaw(source));
    EXPECT_EQ(sink.Taken, 60000u);
}

// Ours asks for every control escaped, or is asked to; lrzsz only escapes all when asked.
TEST_F(Zmodem, EveryControlCharacterEscapedWhenEitherSideAsks)
{
    const std::string source = Source("e.bin", 20000);
    channel->KeepWire = true;
    ST_TransferOptions escaping = Options();
    escaping.EscapeAllControls = true;

    StartPeer({"sz", "-q", "-b", "e.bin"});
    EXPECT_EQ(Receive(escaping).End, ETransferEnd::Done);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(sink.Files["e.bin"] == ReadRaw(source));
    EXPECT_EQ(RawControls(channel->Received), 0u) << "sz was not asked to escape";

    for (const bool askedByRz : {false, true}) {
        SCOPED_TRACE(askedByRz ? "rz -e" : "EscapeAllControls");
        channel->Sent.clear();
        StartPeer(askedByRz ? std::vector<std::string>{"rz", "-q", "-b", "-e"}
                            : std::vector<std::string>{"rz", "-q", "-b"});
        EXPECT_EQ(Send({source}, askedByRz ? Options() : escaping).End, ETransferEnd::Done);
        EXPECT_EQ(PeerEnded(), 0);
        EXPECT_TRUE(ReadRaw(inbox + "/e.bin") == ReadRaw(source));
        EXPECT_EQ(RawControls(channel->Sent), 0u);
        EXPECT_GT(channel->Sent.size(), 20000u);
        unlink((inbox + "/e.bin").c_str());
    }
}

// One byte in 10,000 spoilt on its way: the data is asked for again until it arrives whole.
TEST_F(Zmodem, ANoisyLineStillDeliversExactly)
{
    const std::string source = Source("n.bin", 300000);
    channel->SpoilReadEvery = 10000;
    StartPeer({"sz", "-q", "-b", "n.bin"});
    EXPECT_EQ(Receive(Options()).End, ETransferEnd::Done);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(sink.Files["n.bin"] == ReadRaw(source));

    channel->SpoilReadEvery = 0;
    channel->SpoilWrittenEvery = 10000;
    StartPeer({"rz", "-q", "-b"});
    const ST_TransferOutcome sent = Send({source}, Options());
    EXPECT_EQ(sent.End, ETransferEnd::Done);
    EXPECT_EQ(PeerEnded(), 0);
    EXPECT_TRUE(ReadRaw(inbox + "/n.bin") == ReadRaw(source));
}

// The header that begins the data again arrives spoilt, so the sender's end of file is ahead of
// us: we ask for the data again at once instead of both ends waiting for each other.
TEST_F(Zmodem, AnEndOfFileAheadOfALostHeaderAsksForTheDataAgain)
{
    using namespace zmodem;
    CEncoder sender;
    std::vector<uint8_t> line;
    sender.BinaryHeader(line, FlagsHeader(ZFILE, ZCBIN), true);
    const std::string info = std::string("f.bin") + '\0' + "3 0 100644" + '\0';
    sender.Subpacket(line, reinterpret_cast<const uint8_t *>(info.data()), info.size(), ZCRCW, true);
    const size_t spoilt = line.size() + 3; // the ZDATA header's type
    sender.BinaryHeader(line, PositionHeader(ZDATA, 0), true);
    line[spoilt] ^= 1;
    sender.Subpacket(line, reinterpret_cast<const uint8_t *>("abc"), 3, ZCRCE, true);
    sender.BinaryHeader(line, PositionHeader(ZEOF, 3), true);
    sender.HexHeader(line, PositionHeader(ZFIN, 0));
    ASSERT_EQ(write(slave, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    channel->KeepWire = true;
    EXPECT_EQ(Receive(Options()).End, ETransferEnd::SenderCancelled);
    EXPECT_EQ(CountOf(channel->Sent, "**\x18"
                                     "B0900000000"),
              2)
        << "once for the file, once more after the end";
}

// A sender's claims are data: a file that ends short of its size stays a part and the end says
// so, a size of -5 is no size, and a name that holds a line break is shown escaped.
TEST_F(Zmodem, ShortFilesNegativeSizesAndNamesWithLineBreaks)
{
    using namespace zmodem;
    CEncoder sender;
    std::vector<uint8_t> line;
    const auto file = [&](const std::string &info, const std::string &data) {
        sender.BinaryHeader(line, FlagsHeader(ZFILE, ZCBIN), true);
        sender.Subpacket(line, reinterpret_cast<const uint8_t *>(info.data()), info.size(), ZCRCW, true);
        sender.BinaryHeader(line, PositionHeader(ZDATA, 0), true);
        sender.Subpacket(line, reinterpret_cast<const uint8_t *>(data.data()), data.size(), ZCRCE, true);
        sender.BinaryHeader(line, PositionHeader(ZEOF, static_cast<uint32_t>(data.size())), true);
    };
    file(std::string("s.txt") + '\0' + "1000 0 100644" + '\0', "0123456789");
    const std::string forged = "n\r\nNote :Capture started";
    file(forged + '\0' + "-5 0 100644" + '\0', "abc");
    sender.HexHeader(line, PositionHeader(ZFIN, 0));
    ASSERT_EQ(write(slave, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    CReceiveFolder folder(inbox);
    CZmodemReceive receive(*channel, folder, Options());
    std::vector<std::string> names;
    const ST_TransferOutcome outcome = Run(receive, [&](const ST_TransferProgress &progress) {
        if (progress.FileBegins)
            names.push_back(progress.FileName);
    });
    EXPECT_EQ(outcome.End, ETransferEnd::Incomplete);
    EXPECT_NE(outcome.Detail.find("s.txt: incomplete: 10 of 1000 bytes"), std::string::npos)
        << outcome.Detail;
    EXPECT_EQ(ReadRaw(inbox + "/.s.txt.part"), "0123456789");
    EXPECT_EQ(names, (std::vector<std::string>{"s.txt", "n\\x0D\\x0ANote :Capture started"}));
    EXPECT_EQ(folder.Received(),
              (std::vector<std::string>{inbox + "/.s.txt.part", inbox + "/n__Note :Capture started"}));
    EXPECT_EQ(ReadRaw(inbox + "/n__Note :Capture started"), "abc");
}

} // namespace
