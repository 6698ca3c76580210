#pragma once
// A recording played as the device on a pseudo-terminal (demo/demorunner.h), for the window
// that opens it as a port or for another program on its slave end.
//
// Played back, the device's records go out at the recorded pace (divided by the speed), as fast
// as the line takes them, or one a step; never faster than the line as the program set it
// carries them; what the program writes is not wanted and dropped, and
// so are the recording's own sends (the program under test makes its own).
//
// Answering, the recording is a device to test a master against: each run of the program's
// records with the device's after it is a request and its answer. Bytes the program writes that
// end with a recorded request's bytes get that request's answer, each piece as long after the
// request as it came in the recording; the requests are looked for from the one after the last
// answered, so a recording that asks the same twice answers as it did each time. Bytes that make
// a whole Modbus RTU request (by its length and CRC) that no recorded request equals get the
// answer of one of the same unit, function and first address, as a device that had been asked
// for other values would still answer in the same shape. Nothing else is answered: a device with
// no recorded answer stays silent. The device's records before the first request play at pace
// as the program opens the port.
#include "demo/demodevice.h"
#include "replay/recording.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct ST_ReplayOptions
{
    double Speed = 1;    // 2: twice as fast; 0: as fast as the line takes it
    bool Step = false;   // one record for each Step()
    bool Answer = false; // answer requests, not play
    // Nothing goes out before this long after the start: a program that opens the port itself
    // flushes it as it opens, which would take what the device said at once.
    int64_t SettleMicros = 0;
};

// What the owner of a replay (the window, a headless run) reaches while the device plays on its
// runner's thread. Any thread.
class CReplayControl
{
public:
    // One more of the device's records goes out (with ST_ReplayOptions::Step).
    void Step();
    size_t Played() const { return m_played.load(); }
    size_t Total() const { return m_total.load(); }
    // Everything played (never while answering).
    bool Finished() const { return m_finished.load(); }
    // Answers given, and requests the recording had no answer for.
    size_t Answered() const { return m_answered.load(); }
    size_t Unanswered() const { return m_unanswered.load(); }

    // For the device: the runner's wake, so a step is seen at once.
    void SetWake(std::function<void()> wake);
    uint64_t Steps() const { return m_steps.load(); }
    void SetTotal(size_t total) { m_total.store(total); }
    void CountPlayed() { m_played.fetch_add(1); }
    void SetFinished() { m_finished.store(true); }
    void CountAnswer(bool answered) { (answered ? m_answered : m_unanswered).fetch_add(1); }

private:
    std::mutex m_lock;
    std::function<void()> m_wake;
    std::atomic<uint64_t> m_steps{0};
    std::atomic<size_t> m_played{0}, m_total{0}, m_answered{0}, m_unanswered{0};
    std::atomic<bool> m_finished{false};
};

class CReplayDevice final : public demo::IDemoDevice
{
public:
    // Bytes held towards a request: a program that talks without stop keeps only these.
    static constexpr size_t kMaxHeld = 4096;

    CReplayDevice(ST_Recording recording, const ST_ReplayOptions &options,
                  std::shared_ptr<CReplayControl> control);

    void Start(demo::IDemoOutput &out, demo::Clock::time_point now) override;
    void Received(demo::IDemoOutput &out, const uint8_t *data, size_t size,
                  demo::Clock::time_point now) override;
    demo::Clock::time_point NextTick() const override;
    void Tick(demo::IDemoOutput &out, demo::Clock::time_point now) override;

private:
    struct ST_Request
    {
        std::vector<uint8_t> Bytes;
        std::vector<size_t> Answer; // the records, in order
        int64_t EndMicros = 0;      // the time of its last piece
    };
    struct ST_Due
    {
        demo::Clock::time_point At;
        size_t Record;
    };

    demo::Clock::duration Scaled(int64_t micros) const;
    // When the next of the played records is due.
    demo::Clock::time_point PlayingAt() const;
    demo::Clock::time_point AnswerAt() const;
    // The time `bytes` take on the line as the program set it.
    static demo::Clock::duration LineTime(const demo::IDemoOutput &out, size_t bytes);
    void Send(demo::IDemoOutput &out, size_t record, demo::Clock::time_point now);
    long FindRequest();
    // Of the requests listed (in order), the first from the one after the last answered.
    size_t NextOf(const std::vector<size_t> &requests) const;
    void Answer(size_t request, demo::Clock::time_point now);

    const ST_Recording m_recording;
    const ST_ReplayOptions m_options;
    std::shared_ptr<CReplayControl> m_control;
    std::vector<size_t> m_playing; // the device's records played from the start, in order
    size_t m_next = 0;             // in m_playing
    std::vector<ST_Request> m_requests;
    std::unordered_map<std::string, std::vector<size_t>> m_byBytes;
    std::vector<size_t> m_lengths; // of the requests, longest first
    std::map<uint64_t, std::vector<size_t>> m_byKey;
    size_t m_nextRequest = 0;
    std::deque<ST_Due> m_due; // answers, in their order
    std::vector<uint8_t> m_held;
    demo::Clock::time_point m_started{};
    // Nothing goes out before the line has carried what went before.
    demo::Clock::time_point m_lineFree{};
    uint64_t m_stepsUsed = 0;
    bool m_running = false;
};
