// A port session without a window, on a pseudo-terminal: what it tells its view comes on the
// owner thread, in order, and counted; a send counts only once the sender has written it; a
// device that goes away closes the session and leaves its link to be awaited.
#include "ptypair.h"
#include "session/portsession.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr auto kHang = std::chrono::seconds(30); // only ends a hang

struct CView : ISessionView
{
    std::thread::id owner = std::this_thread::get_id();
    std::vector<CCommData> blocks;
    std::vector<ST_SendReport> sends;
    long lostCode = 0;

    bool LogsSends() const override { return true; }
    std::string ReceivedBlockName(int64_t) override { return "rec"; }
    void SessionReceived(CCommData &&block, int64_t) override
    {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        blocks.push_back(block);
    }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &report) override
    {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        sends.push_back(report);
    }
    void SessionPortLost(long code, uint32_t) override { lostCode = code; }

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

} // namespace

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
