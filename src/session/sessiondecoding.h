#pragma once
// A session's frames read by their profile's decoder, and each request paired with its answer.
//
// Every frame is paired at line rate (the decoder's cheap Pairing reading); the full reading, with
// summary and named values, is left to whoever shows or uses it (Decode), so a view decodes only
// the rows it draws and the plot only while it takes values. The decoder follows the framing
// profile: a new profile (SetProfile, SetSideProfile of the frames) makes a new decoder and a new
// answer timer at the next frame.
//
// In a window the requests are its sends; in the monitor, the frames of the side marked master.
// Owner thread only, as the frames are.
#include "decode/answertimer.h"
#include "decode/decoder.h"
#include "session/namedobservers.h"
#include "session/sessionframes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the decoding knows of a frame as it passes.
struct ST_FrameReading
{
    uint64_t Place = 0;                  // among the frames paired since the decoder was made
    const ST_Decoded *Pairing = nullptr; // role, unit, function, exception; null without a decoder
    const ST_Frame *Request = nullptr;   // the request this frame answers, while it is at hand
    std::vector<ST_AnswerEvent> Settled; // what this frame settled (its answer, an earlier no answer)
    bool Asks = false;                   // the frame is a request that waits for its answer now
};

class CSessionDecoding
{
public:
    using Observer = std::function<void(const ST_Frame &frame, const ST_FrameReading &reading)>;
    // The answers that a time-out settled with no frame to carry them (Tick).
    using Settled = std::function<void(const std::vector<ST_AnswerEvent> &events)>;
    // Called when a request begins to wait: the owner calls Tick at `due` (steady clock,
    // microseconds) or later, so that its time-out is told while the line stays quiet. A later
    // call replaces the earlier one's time.
    using Wake = std::function<void(FrameTime due)>;
    static constexpr FrameTime kDefaultAnswerTimeOut{1000000};

    explicit CSessionDecoding(CSessionFrames &frames);
    ~CSessionDecoding();
    CSessionDecoding(const CSessionDecoding &) = delete;
    CSessionDecoding &operator=(const CSessionDecoding &) = delete;

    // Where a profile's Lua decoder file is looked for (the profiles file's folder).
    void SetProfileFolder(const std::string &folder);
    // The monitor's side whose frames are requests (MonitorAtoB or MonitorBtoA).
    void SetMonitorMaster(EFrameDirection master);
    EFrameDirection MonitorMaster() const { return m_master; }
    // The time-out of a profile that names none (its key `answer_timeout_ms`, in milliseconds).
    void SetAnswerTimeOut(FrameTime timeOut);
    FrameTime AnswerTimeOut() const { return m_timeOut; }

    // Frames with what the decoding knows of them, from now on; null removes. While no observer
    // is set (and no statistics are wanted) nothing is decoded at all.
    void SetObserver(const std::string &name, Observer observer);
    void SetSettled(Settled settled) { SetSettled("", std::move(settled)); }
    // Each reader of the time-outs by its name; null removes.
    void SetSettled(const std::string &name, Settled settled);
    void SetWake(Wake wake) { m_wake = std::move(wake); }
    // Pairing even with no observer, for the statistics alone.
    void WantStatistics(bool want);

    // The decoder of frames going `dir` (null: its profile has none or could not make one).
    const IDecoder *DecoderOf(EFrameDirection dir);
    // Why the decoder of `dir` could not be made ("" when it could or none is asked).
    std::string ErrorOf(EFrameDirection dir);
    // The full reading of `frame`; `request` as ST_FrameReading gave it (a Modbus answer names its
    // registers from it). Without a decoder, an empty reading.
    ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr);

    // Ends the waits whose time-out has passed by `now`; what it settles goes to Settled.
    void Tick(FrameTime now);
    std::vector<ST_AnswerStats> Statistics() const;
    void ResetStatistics();

private:
    struct ST_Lane
    {
        uint64_t Generation = ~uint64_t{0};
        std::unique_ptr<IDecoder> Decoder;
        std::string Error;
        std::optional<EPairing> Pairing;
    };
    // 0: the window's Received/Sent, 1: the monitor's A to B, 2: B to A.
    static size_t LaneOf(EFrameDirection dir);
    ST_Lane &Current(EFrameDirection dir);
    CAnswerTimer *TimerOf(EFrameDirection dir);
    void Listen();
    void OnFrame(const ST_Frame &frame);

    CSessionFrames &m_frames;
    std::string m_folder;
    EFrameDirection m_master = EFrameDirection::MonitorAtoB;
    FrameTime m_timeOut = kDefaultAnswerTimeOut;
    ST_Lane m_lanes[3];
    std::unique_ptr<CAnswerTimer> m_timers[2]; // the window's, the monitor's
    uint64_t m_timerGeneration[2] = {~uint64_t{0}, ~uint64_t{0}};
    FrameTime m_timerTimeOut[2] = {kDefaultAnswerTimeOut, kDefaultAnswerTimeOut};
    uint64_t m_places[2] = {0, 0};
    CNamedObservers<void(const ST_Frame &frame, const ST_FrameReading &reading)> m_observers;
    CNamedObservers<void(const std::vector<ST_AnswerEvent> &events)> m_settled;
    Wake m_wake;
    std::optional<FrameTime> m_due[2]; // the time-out of the request last waiting, each timer's
    bool m_statistics = false;
    bool m_listening = false;
    ST_Decoded m_pairing;
    ST_FrameReading m_reading;
    std::vector<ST_AnswerEvent> m_events;
};
