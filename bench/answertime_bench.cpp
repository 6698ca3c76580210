// How far the answer time measured from the read times is from the delay a device really took:
// a feeder on the master end of a pseudo-terminal reads each Modbus request and answers after a
// known delay, timed on its own side. The measuring side is, first, the program's own path: a port
// session (CPortSession) on the slave end sends each request, its listener stamps the reads, its
// frames cut them by the Modbus RTU framing and its decoding pairs them; second, the bench itself
// writing and reading the slave end and feeding the framer, decoder and answer timer directly. The
// error is the measured time to the first byte less the delay the feeder took (the line's own
// latency, both ways, and in the session the listener's). 200 exchanges a delay (20 with
// --smoke). Prints figures; not a test.
#include "decode/answertimer.h"
#include "decode/modbus.h"
#include "frame/frameprofiles.h"
#include "platform/handover.h"
#include "rawpty.h"
#include "session/portsession.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

FrameTime Now()
{
    return std::chrono::duration_cast<FrameTime>(Clock::now().time_since_epoch());
}

struct CQuietView : ISessionView
{
    bool LogsSends() const override { return false; }
    std::string ReceivedBlockName(int64_t) override { return "rec"; }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &) override {}
    void SessionPortLost(long, uint32_t) override {}
};

// The answer time to the first byte of each exchange, as the session's decoding paired it (none
// for an exchange it did not pair).
std::vector<std::optional<double>> ThroughTheSession(const Pair &pty, const Bytes &request, int exchanges)
{
    CQuietView view;
    auto portHandOver = std::make_unique<CQueuedHandOver>();
    auto sendHandOver = std::make_unique<CQueuedHandOver>();
    CQueuedHandOver *port = portHandOver.get();
    CQueuedHandOver *sends = sendHandOver.get();
    char home[] = "/tmp/kestrum_bench_XXXXXX";
    if (!mkdtemp(home))
        return {};
    CPortSession session(view, std::move(portHandOver), std::move(sendHandOver),
                         std::string(home) + "/a.ass");
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.PortName = pty.name;
    link.Baud = 115200;
    std::vector<double> times;
    if (!session.Open(link).Open) {
        rmdir(home);
        return {};
    }
    std::optional<FrameTime> due;
    session.Frames().SetWake([&due](FrameTime at) { due = at; });
    session.Frames().SetProfile(CFrameProfile::BuiltIn("Modbus RTU"), LineTimingOf(link));
    session.Decoding().SetObserver("bench", [&times](const ST_Frame &, const ST_FrameReading &reading) {
        for (const ST_AnswerEvent &e : reading.Settled)
            if (e.Outcome == EAnswerOutcome::Answered && e.ToFirstMs)
                times.push_back(*e.ToFirstMs);
    });
    std::vector<std::optional<double>> measured(static_cast<size_t>(exchanges));
    for (int i = 0; i < exchanges; ++i) {
        const size_t before = times.size();
        if (session.Send(CCommData(request)) != CPortSession::ESend::Queued)
            break;
        // As long as the answer time-out: an exchange not paired by then is left out.
        const auto giveUp = Clock::now() + std::chrono::seconds(1);
        while (times.size() == before && Clock::now() < giveUp) {
            const auto wait =
                due ? std::chrono::duration_cast<std::chrono::milliseconds>(*due - Now()).count() : 5;
            port->WaitQueued(int(std::clamp<int64_t>(wait, 0, 5)));
            port->RunPending();
            sends->RunPending();
            if (due && Now() >= *due) {
                due.reset();
                session.Frames().Pump();
            }
        }
        if (times.size() > before)
            measured[size_t(i)] = times.back();
    }
    session.Decoding().SetObserver("bench", nullptr);
    session.Close();
    port->RunPending();
    sends->RunPending();
    rmdir(home);
    return measured;
}

// The same with the bench on the slave end, feeding the framer, decoder and timer itself.
std::vector<std::optional<double>> Directly(const Pair &pty, const Bytes &request, const Bytes &answer,
                                            int exchanges)
{
    CFrameProfile framing("Modbus RTU", ST_LineTiming{115200, 8, false, 1});
    const CModbusDecoder decoder(false);
    CAnswerTimer timer(EFrameDirection::Sent, std::chrono::milliseconds(1000));
    std::vector<ST_Frame> frames;
    std::vector<ST_AnswerEvent> events;
    for (int i = 0; i < exchanges; ++i) {
        if (write(pty.slave, request.data(), request.size()) != ssize_t(request.size()))
            break;
        framing.Feed(EFrameDirection::Sent, request.data(), request.size(), Now(), frames);
        framing.Flush(frames);
        size_t got = 0;
        uint8_t buffer[64];
        while (got < answer.size()) {
            pollfd p{pty.slave, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0)
                break;
            const ssize_t n = read(pty.slave, buffer, sizeof buffer);
            if (n <= 0)
                break;
            framing.Feed(EFrameDirection::Received, buffer, size_t(n), Now(), frames);
            got += size_t(n);
        }
        framing.Flush(frames);
        for (const ST_Frame &f : frames) {
            const ST_Decoded d = decoder.Decode(f, timer.RequestOf(f));
            timer.Feed(f, &d, events);
        }
        frames.clear();
    }
    std::vector<std::optional<double>> times;
    for (const ST_AnswerEvent &e : events)
        if (e.Outcome == EAnswerOutcome::Answered)
            times.push_back(e.ToFirstMs);
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int exchanges = smoke ? 20 : 200;
    const CChecksum crc({EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    const Bytes request = crc.Append({1, 3, 0, 0, 0, 10});
    Bytes answer{1, 3, 20};
    answer.resize(23, 0x5A);
    answer = crc.Append(answer);

    for (const bool session : {true, false}) {
        for (const int delayMs : {2, 5, 20}) {
            Pair pty = MakePair();
            std::vector<double> took; // by the feeder, ms
            std::thread feeder([&] {
                for (int i = 0; i < exchanges; ++i) {
                    size_t got = 0;
                    uint8_t buffer[64];
                    while (got < request.size()) {
                        const ssize_t n = read(pty.master, buffer, sizeof buffer);
                        if (n <= 0)
                            return;
                        got += size_t(n);
                    }
                    const auto complete = Clock::now();
                    std::this_thread::sleep_until(complete + std::chrono::milliseconds(delayMs));
                    const auto sent = Clock::now();
                    if (write(pty.master, answer.data(), answer.size()) != ssize_t(answer.size()))
                        return;
                    took.push_back(std::chrono::duration<double, std::milli>(sent - complete).count());
                }
            });
            const std::vector<std::optional<double>> measured =
                session ? ThroughTheSession(pty, request, exchanges)
                        : Directly(pty, request, answer, exchanges);
            feeder.join();
            close(pty.master);
            close(pty.slave);
            std::vector<double> errors;
            for (size_t k = 0; k < measured.size() && k < took.size(); ++k)
                if (measured[k])
                    errors.push_back(*measured[k] - took[k]);
            const char *path = session ? "session" : "direct ";
            if (errors.empty()) {
                std::printf("%s delay %2d ms: no answers paired\n", path, delayMs);
                continue;
            }
            std::sort(errors.begin(), errors.end());
            const auto largest = std::max(std::fabs(errors.front()), std::fabs(errors.back()));
            std::printf(
                "%s delay %2d ms: %zu of %d exchanges paired, error median %.3f ms, largest %.3f ms\n", path,
                delayMs, errors.size(), exchanges, errors[errors.size() / 2], largest);
        }
    }
    return 0;
}
