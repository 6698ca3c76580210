// A port session without a window, on a pseudo-terminal: what it tells its view comes on the
// owner thread, in order, and counted; a send counts only once the sender has written it; a
// device that goes away closes the session and leaves its link to be awaited.
#include "feedingport.h"
#include "lineprogram.h"
#include "ptypair.h"
#include "session/portsession.h"
#include "tempdir.h"
#include "transfer/transferline.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr auto kHang = std::chrono::seconds(30); // only ends a hang

struct CView : ISessionView
{
    std::thread::id owner = std::this_thread::get_id();
    std::vector<CCommData> blocks;
    std::vector<ST_SendReport> sends;
    long lostCode = 0;
    std::vector<EZmodemStart> asked;
    std::vector<ST_TransferOutcome> transfersDone;

    bool LogsSends() const override { return true; }
    std::string ReceivedBlockName(int64_t) override { return "rec"; }
    void Traffic(const ST_Traffic &event)
    {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        if (event.Direction == ETraffic::Received && !event.Transfer)
            blocks.push_back(event.Data);
    }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &report) override
    {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        sends.push_back(report);
    }
    void SessionPortLost(long code, uint32_t) override { lostCode = code; }
    void SessionTransferAsked(EZmodemStart start) override { asked.push_back(start); }
    void SessionTransferDone(const ST_TransferOutcome &outcome, bool) override
    {
        transfersDone.push_back(outcome);
    }

    Bytes Received() const
    {
        Bytes all;
        for (const CCommData &block : blocks) {
            EXPECT_EQ(block.GetName(), "rec");
            all.insert(all.end(), block.Data().begin(), block.Data().end());
        }
        return all;
    }
};

class PortSession : public testing::Test
{
protected:
    PortSession()
    {
        auto portHandOver = std::make_unique<CQueuedHandOver>();
        auto sendHandOver = std::make_unique<CQueuedHandOver>();
        port = portHandOver.get();
        sends = sendHandOver.get();
        session = std::make_unique<CPortSession>(view, std::move(portHandOver), std::move(sendHandOver),
                                                 home.Dir() + "/Default.ass");
        session->Traffic().Add("view", [this](ST_Traffic &event) { view.Traffic(event); });
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.PortName = pty.Path();
        EXPECT_TRUE(session->Open(link).Open);
    }

    // Runs what the session handed to its owner thread until `done` holds.
    template <typename Pred> bool RunUntil(Pred done)
    {
        const auto end = std::chrono::steady_clock::now() + kHang;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            port->WaitQueued(5);
            port->RunPending();
            sends->RunPending();
        }
        return true;
    }

    CTempHome home;
    CTestPty pty;
    CView view;
    CQueuedHandOver *port = nullptr;
    CQueuedHandOver *sends = nullptr;
    std::unique_ptr<CPortSession> session;
};

// A receive that only reads: it keeps what the line gave it until it is cancelled.
class CReadingTransfer : public ITransfer
{
public:
    explicit CReadingTransfer(ITransferChannel &channel) : m_channel(channel) {}
    void SetProgressHandler(ProgressHandler) override {}
    ST_TransferOutcome Run() override
    {
        uint8_t chunk[256];
        while (!m_cancel) {
            const size_t got = m_channel.Read(chunk, sizeof chunk, 60000);
            const std::lock_guard<std::mutex> guard(m_lock);
            m_got.append(reinterpret_cast<const char *>(chunk), got);
        }
        ST_TransferOutcome outcome;
        outcome.End = ETransferEnd::Cancelled;
        return outcome;
    }
    void Cancel() override
    {
        m_cancel = true;
        m_channel.Wake();
    }
    std::string Got()
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_got;
    }

private:
    ITransferChannel &m_channel;
    std::atomic<bool> m_cancel{false};
    std::mutex m_lock;
    std::string m_got;
};

const std::string kAbort = std::string(8, '\x18') + std::string(8, '\b');

} // namespace

// Both directions take the one path, with where and when their bytes were read or written; what
// a reader of the listener's reads makes of an answer stands after the answer's block.
TEST_F(PortSession, SendsAndAnswersTakeThePathInOrderWithTheirTimes)
{
    std::vector<std::string> seen;
    std::vector<ST_Traffic> events;
    session->Traffic().Add("probe", [&](ST_Traffic &event) {
        events.push_back(event);
        seen.push_back((event.Direction == ETraffic::Sent ? "sent " : "rec ") +
                       std::string(event.Data.Data().begin(), event.Data.Data().end()));
    });
    std::mutex lock;
    std::condition_variable readCame;
    std::optional<CTrafficPath::ST_ReadMark> answered;
    session->Traffic().SetReader("probe",
                                 std::make_shared<CTrafficPath::Reader>([&](const uint8_t *, size_t) {
                                     const std::lock_guard<std::mutex> guard(lock);
                                     if (session->Traffic().ReadSoFar().Bytes >= 4)
                                         answered = session->Traffic().ReadSoFar();
                                     readCame.notify_all();
                                 }));
    const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    ASSERT_EQ(session->Send(CCommData(std::string("ping"), FMT_STRING)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.ReceiveText(4), "ping");
    ASSERT_TRUE(RunUntil([&] { return !seen.empty(); }));
    ASSERT_TRUE(pty.Send("pong"));
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(readCame.wait_for(guard, kHang, [&] { return answered.has_value(); }));
    }
    // Handed to the owner thread as the read came, before the answer's block can have been run.
    session->Traffic().AfterRead(*answered, [&] { seen.push_back("note"); });
    ASSERT_TRUE(RunUntil([&] { return !seen.empty() && seen.back() == "note"; }));
    std::string order;
    for (const std::string &step : seen)
        order += step.rfind("rec ", 0) == 0 ? step.substr(4) : "|" + step + "|";
    EXPECT_EQ(order, "|sent ping|pong|note|") << "the answer however cut into blocks, then the note";
    ASSERT_GE(events.size(), 2u);
    for (const ST_Traffic &event : events) {
        EXPECT_GE(event.SteadyMs, before);
        EXPECT_GT(event.WallMs, 0);
        EXPECT_EQ(event.Source, pty.Path());
    }
    EXPECT_TRUE(events[0].Logged);
    EXPECT_LE(events[0].SteadyMs, events[1].SteadyMs);
    session->Traffic().SetReader("probe", nullptr);
}

TEST_F(PortSession, ReceivesInOrderAndCountsSendsOnceWritten)
{
    ASSERT_TRUE(session->IsOpen());
    Bytes expected;
    for (int part = 0; part < 4; ++part) {
        Bytes bytes;
        for (int i = 0; i < 64; ++i)
            bytes.push_back(static_cast<uint8_t>(part * 64 + i));
        ASSERT_TRUE(pty.Send(bytes));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    ASSERT_TRUE(RunUntil([&] { return view.Received().size() >= expected.size(); }));
    EXPECT_EQ(view.Received(), expected);
    EXPECT_EQ(session->RecBytes(), 256);
    EXPECT_EQ(session->RecBlocks(), static_cast<int64_t>(view.blocks.size()));

    ASSERT_EQ(session->Send(CCommData(Bytes{'p', 'i', 'n', 'g'}, FMT_STRING)), CPortSession::ESend::Queued);
    EXPECT_EQ(session->SendBytes(), 0) << "counted before its outcome came";
    ASSERT_TRUE(RunUntil([&] { return session->SendsSettled(); }));
    EXPECT_EQ(pty.Receive(4), (Bytes{'p', 'i', 'n', 'g'}));
    // From another thread (as the engine sends), Send returns once the bytes are out.
    auto engine =
        std::async(std::launch::async, [&] { return session->Send(CCommData(Bytes{'!'}, FMT_STRING)); });
    ASSERT_TRUE(RunUntil([&] { return view.sends.size() == 2; }));
    EXPECT_EQ(engine.get(), CPortSession::ESend::Queued);
    EXPECT_EQ(pty.Receive(1), Bytes{'!'});
    ASSERT_EQ(view.sends.size(), 2u);
    EXPECT_TRUE(view.sends[0].Outcome.Whole() && !view.sends[0].Auto && view.sends[0].Logged);
    EXPECT_TRUE(view.sends[1].Outcome.Whole() && view.sends[1].Auto && view.sends[1].Settled);
    EXPECT_EQ(session->SendBytes(), 5);
    EXPECT_EQ(session->SendBlocks(), 2);

    session->Close();
    EXPECT_FALSE(session->IsOpen());
    EXPECT_EQ(session->Send(CCommData(Bytes{'x'}, FMT_STRING)), CPortSession::ESend::NotOpen);
}

TEST_F(PortSession, LostDeviceClosesAndIsAwaited)
{
    ASSERT_TRUE(session->IsOpen());
    pty.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return view.lostCode != 0; }));
    EXPECT_FALSE(session->IsOpen());
    ASSERT_TRUE(session->LostLink().has_value());
    EXPECT_EQ(session->LostLink()->PortName, pty.Path());
    EXPECT_FALSE(session->WaitingForPort()) << "only awaited when the user asked for it";
    session->SetReconnect(true);
    EXPECT_TRUE(session->WaitingForPort());
    session->EndReconnectWait();
    EXPECT_FALSE(session->WaitingForPort());
}

// The other end hears of the cancel before the port closes, whichever way the transfer goes.
TEST_F(PortSession, CloseTellsTheOtherEndOfARunningTransfer)
{
    TempDir dir;
    const std::string file = dir.File("x.bin");
    WriteRaw(file, std::string(100, 'x'));
    ST_TransferOptions options;
    options.Protocol = ETransferProtocol::Xmodem;
    ASSERT_TRUE(session->StartTransfer({TransferFileAt(file)}, options));
    session->Close();
    EXPECT_EQ(pty.ReceiveText(kAbort.size()), kAbort);
    ASSERT_TRUE(RunUntil([&] { return !session->TransferRunning(); }));
    // The transfer may have said them too, as the cancel woke it: the counter has what went out.
    const size_t repeated = pty.Receive(kAbort.size(), 100).size();
    EXPECT_EQ(session->SendBytes(), static_cast<int64_t>(kAbort.size() + repeated));

    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = pty.Path();
    ASSERT_TRUE(session->Open(link).Open);
    CReadingTransfer *reader = nullptr;
    ASSERT_TRUE(session->StartTransfer(
        [&](ITransferChannel &channel) {
            auto made = std::make_unique<CReadingTransfer>(channel);
            reader = made.get();
            return made;
        },
        true, true));
    EXPECT_TRUE(session->TransferReceiving());
    session->Close();
    EXPECT_EQ(pty.ReceiveText(kAbort.size()), kAbort);
    ASSERT_TRUE(RunUntil([&] { return view.transfersDone.size() == 2; }));
    EXPECT_TRUE(view.transfersDone.back().Receiving);
}

// A sender on the device starts: what came before its header is received data, the header and
// all after it, in pieces, are the transfer's, and count as received.
TEST_F(PortSession, DeviceStartedTransferGetsEveryByteFromItsHeaderOn)
{
    const std::string header = "**\x18"
                               "B00000000000000\r\x8a\x11";
    // The '*' that may begin a header waits for the block that completes it.
    ASSERT_TRUE(pty.Send("sz x\r\nrz\r*"));
    ASSERT_TRUE(RunUntil([&] { return view.Received().size() >= 9; }));
    ASSERT_TRUE(pty.Send(header.substr(1, 3)));
    ASSERT_TRUE(pty.Send(header.substr(4)));
    ASSERT_TRUE(RunUntil([&] { return !view.asked.empty(); }));
    EXPECT_EQ(view.asked, std::vector<EZmodemStart>{EZmodemStart::SenderStarts});
    const Bytes shown = view.Received();
    EXPECT_EQ(std::string(shown.begin(), shown.end()), "sz x\r\nrz\r");
    ASSERT_TRUE(pty.Send("more"));
    ASSERT_TRUE(RunUntil([&] { return session->RecBytes() == static_cast<int64_t>(9 + header.size() + 4); }));

    CReadingTransfer *reader = nullptr;
    ASSERT_TRUE(session->StartTransfer(
        [&](ITransferChannel &channel) {
            auto made = std::make_unique<CReadingTransfer>(channel);
            reader = made.get();
            return made;
        },
        true, true));
    ASSERT_TRUE(pty.Send("tail"));
    ASSERT_TRUE(RunUntil([&] { return reader->Got().size() >= header.size() + 8; }));
    EXPECT_EQ(reader->Got(), header + "more" + "tail");
    EXPECT_EQ(session->TransferAsked(), EZmodemStart::None);
    session->CancelTransfer();
    ASSERT_TRUE(RunUntil([&] { return !session->TransferRunning(); }));
    EXPECT_EQ(view.Received().size(), 9u) << "nothing more of the transfer was shown";
    EXPECT_EQ(session->RecBytes(), static_cast<int64_t>(9 + header.size() + 8));

    // A receiver waiting that is turned down is told so.
    ASSERT_TRUE(pty.Send("**\x18"
                         "B0100000023be50\r\x8a\x11"));
    ASSERT_TRUE(RunUntil([&] { return view.asked.size() == 2; }));
    EXPECT_EQ(view.asked.back(), EZmodemStart::ReceiverWaits);
    session->DeclineTransfer();
    EXPECT_EQ(pty.ReceiveText(kAbort.size()), kAbort);
}

// Telemetry holding a header's first bytes, or a header with a wrong CRC, starts nothing: it is
// received data, in order, the held bytes let go when nothing completes them.
TEST_F(PortSession, APartOfAHeaderIsReceivedData)
{
    const std::string telemetry = "t=1 **\x18"
                                  "B00\r\nt=2\r\n**\x18"
                                  "B0000000000ffff\r\nt=3 *";
    ASSERT_TRUE(pty.Send(telemetry));
    ASSERT_TRUE(RunUntil([&] { return view.Received().size() >= telemetry.size() - 1; }));
    EXPECT_FALSE(session->ReleaseHeldStart(60000)) << "held only a moment";
    EXPECT_TRUE(session->ReleaseHeldStart(0));
    const Bytes shown = view.Received();
    EXPECT_EQ(std::string(shown.begin(), shown.end()), telemetry);
    EXPECT_TRUE(view.asked.empty());
    EXPECT_EQ(session->RecBytes(), static_cast<int64_t>(telemetry.size()));
}

// Every byte a transfer writes takes the path as sent, each block after the answer that asked for
// it, with the time it was written; the answers are received, and neither is the line's data.
TEST_F(PortSession, TransferBytesTakeThePathInOrderWithTheAnswers)
{
    if (!Installed("rx"))
        FAIL() << "rx (lrzsz) is not installed";
    TempDir dir;
    const std::string inbox = dir.File("in");
    mkdir(inbox.c_str(), 0700);
    const std::string file = dir.File("x.bin");
    WriteRaw(file, Pattern(3000, 7));
    std::vector<ST_Traffic> events;
    session->Traffic().Add("probe", [&](ST_Traffic &event) { events.push_back(event); });
    ST_TransferOptions options;
    options.Protocol = ETransferProtocol::Xmodem1K;
    ASSERT_TRUE(session->StartTransfer({TransferFileAt(file)}, options));
    const pid_t rx = StartOnLine(pty.Master(), inbox, {"rx", "-q", "-b", "-c", "x.bin"},
                                 std::string("LD_PRELOAD=") + NOPURGE_LIBRARY, true);
    ASSERT_GT(rx, 0);
    ASSERT_TRUE(RunUntil([&] { return !view.transfersDone.empty(); }));
    EXPECT_EQ(WaitEnded(rx), 0);
    ASSERT_EQ(view.transfersDone[0].End, ETransferEnd::Done);
    EXPECT_EQ(ReadRaw(inbox + "/x.bin").substr(0, 3000), ReadRaw(file));

    // 'C', then each block and the end of file after the answer to the one before.
    std::string order;
    int64_t sentBytes = 0;
    int64_t steady = 0;
    for (const ST_Traffic &event : events) {
        EXPECT_TRUE(event.Transfer);
        EXPECT_FALSE(event.Logged);
        EXPECT_EQ(event.Source, pty.Path());
        EXPECT_GE(event.SteadyMs, steady);
        steady = event.SteadyMs;
        const Bytes &bytes = event.Data.Data();
        if (event.Direction == ETraffic::Sent) {
            sentBytes += static_cast<int64_t>(bytes.size());
            order += bytes[0] == transferline::STX ? "B" : bytes == Bytes{transferline::EOT} ? "E" : "?";
        } else {
            for (const uint8_t byte : bytes)
                order += byte == transferline::ACK ? "a" : byte == 'C' ? "c" : "?";
        }
    }
    EXPECT_EQ(order, "cBaBaBaEa");
    EXPECT_EQ(sentBytes, static_cast<int64_t>(view.transfersDone[0].WireBytes));
    EXPECT_EQ(session->SendBytes(), sentBytes) << "counted once";
    EXPECT_EQ(session->RecBytes(), 5);
    EXPECT_TRUE(view.blocks.empty()) << "the answers are no data";
}
