#pragma once
// Pairs each request with its answer and measures the time it took: from the end of the request to
// the first byte of the answer, and to its end. The direction of every frame is known (the
// window's sends, or the side of the monitor marked master), so a request is never guessed.
//
// A serial master waits for one answer at a time: a new request ends the wait for the one before
// (it had no answer), and so does the time-out. An answer that comes from another unit or to
// another function leaves the request waiting for its own. An answer after its request's time-out
// is late and counts for nothing but that; one with no request at all is unasked.
//
// Statistics are kept per unit and function (a user's layout: per request id). The times are the
// times to the first byte; the first kAnswerTimesKept of each are kept as they are, so the
// percentiles are exact until then; past it a uniform sample of that size is kept (and the
// minimum and maximum stay exact).
#include "decode/decoder.h"

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

constexpr size_t kAnswerTimesKept = 100000;

struct ST_AnswerKey
{
    std::optional<uint32_t> Unit;
    std::optional<uint32_t> Function;
    bool operator<(const ST_AnswerKey &o) const
    {
        return Unit != o.Unit ? Unit < o.Unit : Function < o.Function;
    }
    bool operator==(const ST_AnswerKey &o) const { return Unit == o.Unit && Function == o.Function; }
};

enum class EPairing : uint8_t {
    Protocol,  // by the decoder's unit and function (Modbus) or request id (a layout)
    NextFrame, // the next frame from the other side answers, whatever it holds
};

enum class EAnswerOutcome : uint8_t {
    Answered,
    Exception,
    NoAnswer,
    WrongUnit,
    WrongFunction,
    Late,
    Unasked
};

struct ST_AnswerEvent
{
    EAnswerOutcome Outcome = EAnswerOutcome::Answered;
    ST_AnswerKey Key;                // the request's (the answer's for Unasked)
    uint64_t Request = 0;            // the request's place among the frames fed, from 0
    std::optional<uint64_t> Answer;  // the answer's place
    std::optional<double> ToFirstMs; // answer times, for answers, late ones too
    std::optional<double> ToEndMs;
    std::optional<uint8_t> Exception; // its code
};

struct ST_AnswerStats
{
    ST_AnswerKey Key;
    uint64_t Requests = 0;
    uint64_t Answered = 0; // exceptions are answers too
    uint64_t Missing = 0;
    uint64_t Exceptions = 0;
    uint64_t WrongUnit = 0;
    uint64_t WrongFunction = 0;
    uint64_t Late = 0;
    uint64_t Timed = 0;        // times seen; Times holds all of them or a sample
    std::vector<double> Times; // ms, in the order they were kept
    double MinMs = 0;
    double MaxMs = 0;

    // The nearest rank: the smallest time that `fraction` of the kept times do not exceed. None
    // without times.
    std::optional<double> Percentile(double fraction) const;
    // `bins` counts of the kept times over equal parts of [MinMs, MaxMs].
    std::vector<uint64_t> Histogram(size_t bins) const;
};

class CAnswerTimer
{
public:
    // `timeOut` 0: a request waits for its answer until the next request.
    CAnswerTimer(EFrameDirection requestSide, FrameTime timeOut, EPairing pairing = EPairing::Protocol);

    // The request `frame` would answer now, to decode it with (a Modbus answer names its registers
    // from its request); nullptr for a request, or when nothing waits.
    const ST_Frame *RequestOf(const ST_Frame &frame) const;
    // Frames in the order they crossed the line, both sides; `decoded` as its decoder read it
    // (nullptr: the pairing is by the next frame). Appends what the frame settled.
    void Feed(const ST_Frame &frame, const ST_Decoded *decoded, std::vector<ST_AnswerEvent> &out);
    // The request the last Feed answered, until the next Feed (nullptr when it answered none).
    const ST_Frame *Answered() const { return m_answered ? &m_answered->Frame : nullptr; }
    // Ends the wait of a request whose time-out has passed by `now`.
    void Tick(FrameTime now, std::vector<ST_AnswerEvent> &out);

    std::vector<ST_AnswerStats> Stats() const;
    // Starts the figures again; the request waiting is forgotten with them.
    void Reset();

private:
    struct ST_Waiting
    {
        ST_Frame Frame;
        ST_AnswerKey Key;
        uint64_t Place = 0;
    };
    ST_AnswerStats &StatsOf(const ST_AnswerKey &key);
    void Time(ST_AnswerStats &stats, double ms);
    bool Overdue(FrameTime now) const; // of the request waiting
    void Expire(std::vector<ST_AnswerEvent> &out);

    EFrameDirection m_requestSide;
    FrameTime m_timeOut;
    EPairing m_pairing;
    // A request held, its buffers kept when it is let go: a master asks at line rate, and a copy
    // of every request into fresh memory cost more than the pairing itself.
    class CHeld
    {
    public:
        explicit operator bool() const { return m_on; }
        const ST_Waiting *operator->() const { return &m_held; }
        void reset() { m_on = false; }
        void Hold(const ST_Frame &frame, const ST_AnswerKey &key, uint64_t place)
        {
            m_held.Frame = frame;
            m_held.Key = key;
            m_held.Place = place;
            m_on = true;
        }
        // What `from` held, now here; `from` holds nothing (and keeps this one's buffers).
        void Take(CHeld &from)
        {
            std::swap(m_held, from.m_held);
            m_on = from.m_on;
            from.m_on = false;
        }

    private:
        ST_Waiting m_held;
        bool m_on = false;
    };
    CHeld m_waiting;
    CHeld m_expired; // the last request that had no answer in time
    CHeld m_answered;
    uint64_t m_fed = 0;
    std::map<ST_AnswerKey, ST_AnswerStats> m_stats;
    std::minstd_rand m_sample;
};

// With the header `unit,function,requests,answered,missing,exceptions,min_ms,median_ms,p99_ms,max_ms`;
// a unit or function the protocol does not have is left empty, and so are the times of a request
// never answered.
std::string AnswerStatsCsv(const std::vector<ST_AnswerStats> &stats);
