// A session's frames on a pseudo-terminal: a device that pauses between its messages, a request
// and an answer read before the request's send was told, and the text checks of built-in framings
// handed over as values.
#include "ptypair.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::microseconds;
using Steady = std::chrono::steady_clock;

constexpr auto kHang = std::chrono::seconds(30); // only ends a hang

struct CQuietView : ISessionView
{
    bool LogsSends() const override { return false; }
    std::string ReceivedBlockName(int64_t) override { return "rec"; }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &) override {}
    void SessionPortLost(long, uint32_t) override {}
};

std::string Text(const ST_Frame &frame)
{
    return std::string(frame.Bytes.begin(), frame.Bytes.end());
}

class SessionFrames : public testing::Test
{
protected:
    void Open(int baud, const ST_FramingProfile &profile)
    {
        auto portHandOver = std::make_unique<CQueuedHandOver>();
        auto sendHandOver = std::make_unique<CQueuedHandOver>();
        port = portHandOver.get();
        sends = sendHandOver.get();
        session = std::make_unique<CPortSession>(view, std::move(portHandOver), std::move(sendHandOver),
                                                 home.Dir() + "/Default.ass");
        link = DefaultLinkSetting();
        link.PortName = pty.Path();
        link.Baud = baud;
        ASSERT_TRUE(session->Open(link).Open);
        CSessionFrames &framing = session->Frames();
        framing.SetWake([this](FrameTime at) { due = at; });
        framing.SetObserver("test", [this](const ST_Frame &frame) { frames.push_back(frame); });
        framing.SetProfile(profile, LineTimingOf(link));
    }

    // Runs the owner thread's deliveries and the wakes the frames ask for until `count` frames came.
    bool WaitFrames(size_t count)
    {
        return WaitUntil([&] { return frames.size() >= count; });
    }
    template <typename Done> bool WaitUntil(Done done)
    {
        const auto end = Steady::now() + kHang;
        while (!done()) {
            if (Steady::now() > end)
                return false;
            if (due && CSessionFrames::Now() >= *due) {
                due.reset();
                session->Frames().Pump();
            }
            port->WaitQueued(1);
            port->RunPending();
            sends->RunPending();
        }
        return true;
    }

    // Plays the messages on a port at `baud`, each byte one character time after the one before
    // and `between[i]` after message i, until every byte is in a frame (however cut); then closes.
    void PlayOnce(int baud, const ST_FramingProfile &profile, const std::vector<Bytes> &messages,
                  const std::vector<microseconds> &between)
    {
        frames.clear();
        due.reset();
        Open(baud, profile);
        const microseconds one(static_cast<int64_t>(LineTimingOf(link).CharMicros()));
        std::thread device([&] { Play(messages, one, between); });
        size_t total = 0;
        for (const Bytes &m : messages)
            total += m.size();
        const bool came = WaitUntil([&] {
            size_t framed = 0;
            for (const ST_Frame &f : frames)
                framed += f.Bytes.size();
            return framed >= total;
        });
        device.join();
        session->Close();
        EXPECT_TRUE(came);
    }

    // Plays a device: each message's bytes `inside` apart, `between[i]` of quiet after message i.
    // The pty does not pace bytes by the baud rate, so the feeder's sleeps are the line's timing.
    void Play(const std::vector<Bytes> &messages, microseconds inside,
              const std::vector<microseconds> &between)
    {
        for (size_t m = 0; m < messages.size(); ++m) {
            for (size_t i = 0; i < messages[m].size(); ++i) {
                ASSERT_EQ(write(pty.Master(), &messages[m][i], 1), 1);
                std::this_thread::sleep_for(i + 1 < messages[m].size() ? inside : between[m]);
            }
        }
    }

    CTempHome home;
    CTestPty pty;
    CQuietView view;
    COM_PORT_SETTING link;
    CQueuedHandOver *port = nullptr;
    CQueuedHandOver *sends = nullptr;
    std::unique_ptr<CPortSession> session;
    std::vector<ST_Frame> frames;
    std::optional<FrameTime> due;
};

const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
const Bytes kAnswer{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
const Bytes kCorrupt{0x01, 0x03, 0x00, 0x00, 0x00, 0x0B, 0xC5, 0xCD};

// What the frames of a run show against the three messages the device sent; empty when right.
std::string Deviation(const std::vector<ST_Frame> &frames, double charMicros)
{
    const std::vector<Bytes> sent{kRequest, kAnswer, kCorrupt};
    const EFrameCheck checks[] = {EFrameCheck::Ok, EFrameCheck::Ok, EFrameCheck::Bad};
    if (frames.size() != sent.size())
        return std::to_string(frames.size()) + " frames";
    for (size_t i = 0; i < frames.size(); ++i) {
        const ST_Frame &f = frames[i];
        const std::string at = "frame " + std::to_string(i) + ": ";
        if (f.Bytes != sent[i] || f.Check != checks[i] || f.Marks != 0)
            return at + "other bytes, check or marks";
        if (i == 0)
            continue;
        // The gap is between the reads of two bytes: at least what cut the frame (3.5 characters),
        // at most the feeder's 5 characters plus what a busy machine adds to its sleep and to the
        // listener's wake-up (20 ms is far beyond what an idle one shows).
        const double gap = f.Gap ? static_cast<double>(f.Gap->count()) : -1;
        if (gap < 3.5 * charMicros || gap > 5 * charMicros + 20000)
            return at + "gap " + std::to_string(gap) + " us";
        if (std::abs(f.GapChars - gap / charMicros) > 1e-6)
            return at + "gap of " + std::to_string(f.GapChars) + " characters";
    }
    return std::string();
}

// The pty does not pace bytes, so a device's timing is the feeder's sleeps and the listener's
// wake-ups, which a loaded machine may stretch by more than the 2.5 characters (2.6 ms at 9600
// baud) a message has to spare: a run is tried again, up to ten times, before it fails. A framer
// that splits or joins wrongly fails every run. `run` gives what its frames got wrong, or "".
template <typename Run> std::string FirstRightOf(Run run)
{
    std::string deviation;
    for (int attempt = 0; attempt < 10; ++attempt)
        if ((deviation = run()).empty())
            break;
    return deviation;
}

microseconds Chars(double count, int baud)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.Baud = baud;
    return microseconds(static_cast<int64_t>(count * LineTimingOf(link).CharMicros()));
}

TEST_F(SessionFrames, SilenceCutsExactlyTheMessagesSentWithTheirGapsAndChecks)
{
    for (const int baud : {1200, 9600}) {
        const std::string deviation = FirstRightOf([&] {
            PlayOnce(baud, CFrameProfile::BuiltIn("Modbus RTU"), {kRequest, kAnswer, kCorrupt},
                     {Chars(5, baud), Chars(5, baud), Chars(5, baud)});
            return Deviation(frames, LineTimingOf(link).CharMicros());
        });
        EXPECT_EQ(deviation, "") << baud << " baud";
    }
}

TEST_F(SessionFrames, AGapBelowTheFloorJoinsMessagesAndASplitAtTheFloorIsMarked)
{
    ST_FramingProfile profile = CFrameProfile::BuiltIn("Modbus RTU");
    profile.Silence.Floor = std::chrono::milliseconds(20);
    Bytes joined = kRequest;
    joined.insert(joined.end(), kAnswer.begin(), kAnswer.end());
    const std::string deviation = FirstRightOf([&]() -> std::string {
        PlayOnce(9600, profile, {kRequest, kAnswer, kRequest},
                 {Chars(5, 9600), std::chrono::milliseconds(40), Chars(1, 9600)});
        if (!session->Frames().Info().BelowFloor())
            return "the floor not told";
        if (frames.size() != 2 || frames[0].Bytes != joined || frames[1].Bytes != kRequest)
            return std::to_string(frames.size()) + " frames";
        if (frames[0].Marks != FRAME_SILENCE_FLOOR)
            return "not marked";
        return frames[1].Gap->count() >= 20000 ? "" : "gap below the floor";
    });
    EXPECT_EQ(deviation, "");
}

TEST_F(SessionFrames, ARequestStandsBeforeAnAnswerReadBeforeItsSendWasTold)
{
    Open(9600, CFrameProfile::BuiltIn("Lines"));
    std::atomic<size_t> read{0};
    session->Traffic().SetReader(
        "probe", std::make_shared<CTrafficPath::Reader>([&](const uint8_t *, size_t size) { read += size; }));
    ASSERT_EQ(session->Send(CCommData(std::string("req\r\n"), FMT_STRING)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.ReceiveText(5), "req\r\n");
    ASSERT_TRUE(pty.Send("ans\r\n"));
    const auto end = Steady::now() + kHang;
    while (read.load() < 5 && Steady::now() < end)
        std::this_thread::yield();
    ASSERT_EQ(read.load(), 5u);
    // The owner frames what was read before it hears of the send: the answer waits for it.
    session->Frames().Pump();
    EXPECT_TRUE(frames.empty());
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_EQ(frames[0].Direction, EFrameDirection::Sent);
    EXPECT_EQ(Text(frames[0]), "req\r\n");
    EXPECT_EQ(frames[1].Direction, EFrameDirection::Received);
    EXPECT_EQ(Text(frames[1]), "ans\r\n");
    // Each at its own time: the request's write began before the answer was read.
    EXPECT_LT(frames[0].Start, frames[1].Start);
    session->Traffic().SetReader("probe", nullptr);
}

TEST_F(SessionFrames, ReadsWaitBehindAWriteHeldUpOnlyUpToABound)
{
    Open(115200, CFrameProfile::BuiltIn("Lines"));
    // The device reads nothing: the write stays under way while it talks on.
    ASSERT_EQ(session->Send(CCommData(Bytes(4 << 20, 'o'), FMT_STRING)), CPortSession::ESend::Queued);
    const std::string lines = [] {
        std::string all;
        while (all.size() <= CSessionFrames::kMostWaiting * 3 / 2)
            all += std::string(1022, 'x') + "\r\n";
        return all;
    }();
    std::thread device([&] { pty.Send(lines); });
    ASSERT_TRUE(WaitFrames(1));
    device.join();
    EXPECT_EQ(frames[0].Direction, EFrameDirection::Received);
    EXPECT_EQ(frames[0].Bytes.size(), 1024u);
    EXPECT_FALSE(session->SendsSettled());
}

TEST_F(SessionFrames, BuiltInTextChecksJudgeWhenTheFramingIsGivenAsAValue)
{
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*";
    Open(4800, CFrameProfile::BuiltIn("NMEA 0183"));
    ASSERT_TRUE(pty.Send(gga + "47\r\n" + gga + "46\r\n"));
    ASSERT_TRUE(WaitFrames(2));
    EXPECT_EQ(frames[0].Check, EFrameCheck::Ok);
    EXPECT_EQ(frames[1].Check, EFrameCheck::Bad);
}

} // namespace

TEST_F(SessionFrames, DecodingPairsTheWindowsRequestWithItsAnswerAndTimesOutTheNext)
{
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    struct ST_Seen
    {
        ST_Frame Frame;
        std::optional<Bytes> Request;
        std::vector<ST_AnswerEvent> Settled;
        ST_Decoded Full;
    };
    std::vector<ST_Seen> seen;
    Open(9600, CFrameProfile::BuiltIn("Modbus RTU"));
    session->Decoding().SetObserver("test", [&](const ST_Frame &frame, const ST_FrameReading &reading) {
        ST_Seen s{frame, std::nullopt, reading.Settled, session->Decoding().Decode(frame, reading.Request)};
        if (reading.Request)
            s.Request = reading.Request->Bytes;
        seen.push_back(std::move(s));
    });
    ASSERT_EQ(session->Send(CCommData(request)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.Receive(request.size()), request);
    ASSERT_TRUE(pty.Send(kAnswer));
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen[0].Frame.Direction, EFrameDirection::Sent);
    EXPECT_EQ(seen[1].Request, request);
    ASSERT_EQ(seen[1].Settled.size(), 1u);
    EXPECT_EQ(seen[1].Settled[0].Outcome, EAnswerOutcome::Answered);
    EXPECT_GE(*seen[1].Settled[0].ToFirstMs, 0.0);
    const ST_Field *value = seen[1].Full.Find("unit1.hr40001");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Value, 42.0);

    // No answer comes to the second request: its time-out settles it without a frame.
    std::vector<ST_AnswerEvent> settled;
    session->Decoding().SetSettled([&](const std::vector<ST_AnswerEvent> &events) { settled = events; });
    ASSERT_EQ(session->Send(CCommData(request)), CPortSession::ESend::Queued);
    ASSERT_EQ(pty.Receive(request.size()), request);
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 3; }));
    session->Decoding().Tick(seen[2].Frame.End + session->Decoding().AnswerTimeOut() + FrameTime(1));
    ASSERT_EQ(settled.size(), 1u);
    EXPECT_EQ(settled[0].Outcome, EAnswerOutcome::NoAnswer);
    const std::vector<ST_AnswerStats> stats = session->Decoding().Statistics();
    ASSERT_EQ(stats.size(), 1u);
    EXPECT_EQ(stats[0].Requests, 2u);
    EXPECT_EQ(stats[0].Answered, 1u);
    EXPECT_EQ(stats[0].Missing, 1u);
    session->Decoding().SetObserver("test", nullptr);
}

// Observers change the list while they run: the one running may remove or replace itself (its
// captures must stay alive until it returns), one added is called from the next call on, and a
// call made from inside an observer sees the list as it stands then.
TEST(NamedObservers, AnObserverMayChangeTheListWhileItRuns)
{
    CNamedObservers<void(int)> observers;
    std::vector<std::string> calls;
    const auto log = std::make_shared<std::vector<std::string> *>(&calls);
    observers.Set("a", [&, log](int n) {
        (*log)->push_back("a" + std::to_string(n));
        observers.Set("a", nullptr); // the lambda's captures are still read below
        (*log)->push_back("a gone");
        observers.Set("b", [log](int m) { (*log)->push_back("b" + std::to_string(m)); });
    });
    observers.Call(1);
    observers.Call(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1", "a gone", "b2"}));

    calls.clear();
    observers.Set("c", [&, log](int n) {
        (*log)->push_back("c" + std::to_string(n));
        if (n == 3)
            observers.Call(4); // nested: both still set
        observers.Set("b", [log](int m) { (*log)->push_back("b'" + std::to_string(m)); });
    });
    observers.Call(3);
    EXPECT_EQ(calls, (std::vector<std::string>{"b3", "c3", "b4", "c4"}));
    calls.clear();
    observers.Call(5);
    EXPECT_EQ(calls, (std::vector<std::string>{"b'5", "c5"}));
    observers.Set("b", nullptr);
    observers.Set("c", nullptr);
    EXPECT_TRUE(observers.Empty());
}
