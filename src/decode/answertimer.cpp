#include "decode/answertimer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double Ms(FrameTime from, FrameTime to)
{
    return double((to - from).count()) / 1000.0;
}

} // namespace

std::optional<double> ST_AnswerStats::Percentile(double fraction) const
{
    if (Times.empty())
        return std::nullopt;
    std::vector<double> sorted(Times);
    const size_t rank =
        std::clamp<size_t>(size_t(std::ceil(fraction * double(sorted.size()))), 1, sorted.size());
    std::nth_element(sorted.begin(), sorted.begin() + long(rank - 1), sorted.end());
    return sorted[rank - 1];
}

std::vector<uint64_t> ST_AnswerStats::Histogram(size_t bins) const
{
    std::vector<uint64_t> counts(bins);
    if (bins == 0)
        return counts;
    const double span = MaxMs - MinMs;
    for (double t : Times) {
        size_t bin = span > 0 ? size_t((t - MinMs) / span * double(bins)) : 0;
        counts[std::min(bin, bins - 1)]++;
    }
    return counts;
}

CAnswerTimer::CAnswerTimer(EFrameDirection requestSide, FrameTime timeOut, EPairing pairing)
    : m_requestSide(requestSide), m_timeOut(timeOut), m_pairing(pairing)
{
}

const ST_Frame *CAnswerTimer::RequestOf(const ST_Frame &frame) const
{
    if (frame.Direction == m_requestSide || !m_waiting || Overdue(frame.Start))
        return nullptr;
    return &m_waiting->Frame;
}

ST_AnswerStats &CAnswerTimer::StatsOf(const ST_AnswerKey &key)
{
    ST_AnswerStats &s = m_stats[key];
    s.Key = key;
    return s;
}

void CAnswerTimer::Time(ST_AnswerStats &s, double ms)
{
    s.MinMs = s.Timed ? std::min(s.MinMs, ms) : ms;
    s.MaxMs = s.Timed ? std::max(s.MaxMs, ms) : ms;
    ++s.Timed;
    if (s.Times.size() < kAnswerTimesKept) {
        s.Times.push_back(ms);
        return;
    }
    // Each time seen so far stays in the sample with the same chance.
    const uint64_t at = std::uniform_int_distribution<uint64_t>(0, s.Timed - 1)(m_sample);
    if (at < kAnswerTimesKept)
        s.Times[at] = ms;
}

bool CAnswerTimer::Overdue(FrameTime now) const
{
    return m_timeOut.count() > 0 && now - m_waiting->Frame.End > m_timeOut;
}

void CAnswerTimer::Expire(std::vector<ST_AnswerEvent> &out)
{
    ST_AnswerEvent e;
    e.Outcome = EAnswerOutcome::NoAnswer;
    e.Key = m_waiting->Key;
    e.Request = m_waiting->Place;
    out.push_back(e);
    StatsOf(e.Key).Missing++;
    m_expired.Take(m_waiting);
}

void CAnswerTimer::Tick(FrameTime now, std::vector<ST_AnswerEvent> &out)
{
    if (m_waiting && Overdue(now))
        Expire(out);
}

void CAnswerTimer::Feed(const ST_Frame &frame, const ST_Decoded *decoded, std::vector<ST_AnswerEvent> &out)
{
    const uint64_t place = m_fed++;
    m_answered.reset();
    Tick(frame.Start, out);
    ST_AnswerKey key;
    if (decoded)
        key = {decoded->Unit, decoded->Function};
    const bool byProtocol = m_pairing == EPairing::Protocol;
    if (frame.Direction == m_requestSide) {
        if (byProtocol && (!decoded || decoded->Role != EDecodedRole::Request))
            return;
        if (m_waiting)
            Expire(out);
        m_expired.reset();
        m_waiting.Hold(frame, key, place);
        StatsOf(key).Requests++;
        return;
    }
    if (byProtocol && (!decoded || decoded->Role != EDecodedRole::Answer))
        return;

    // Made where it is handed out: a flood of answers nobody asked for makes one each.
    ST_AnswerEvent &e = out.emplace_back();
    e.Answer = place;
    e.Key = key;
    if (decoded)
        e.Exception = decoded->Exception;
    const bool matchesExpired = m_expired && (!byProtocol || m_expired->Key == key);
    if (!m_waiting) {
        if (matchesExpired) {
            e.Outcome = EAnswerOutcome::Late;
            e.Key = m_expired->Key;
            e.Request = m_expired->Place;
            e.ToFirstMs = Ms(m_expired->Frame.End, frame.Start);
            e.ToEndMs = Ms(m_expired->Frame.End, frame.End);
            StatsOf(e.Key).Late++;
            m_expired.reset();
        } else {
            e.Outcome = EAnswerOutcome::Unasked;
        }
        return;
    }
    e.Request = m_waiting->Place;
    ST_AnswerStats &s = StatsOf(m_waiting->Key);
    if (byProtocol && key.Unit != m_waiting->Key.Unit) {
        e.Outcome = EAnswerOutcome::WrongUnit;
        s.WrongUnit++;
        return;
    }
    if (byProtocol && key.Function != m_waiting->Key.Function) {
        e.Outcome = EAnswerOutcome::WrongFunction;
        s.WrongFunction++;
        return;
    }
    e.Key = m_waiting->Key;
    e.Outcome = e.Exception ? EAnswerOutcome::Exception : EAnswerOutcome::Answered;
    e.ToFirstMs = Ms(m_waiting->Frame.End, frame.Start);
    e.ToEndMs = Ms(m_waiting->Frame.End, frame.End);
    s.Answered++;
    if (e.Exception)
        s.Exceptions++;
    Time(s, *e.ToFirstMs);
    m_answered.Take(m_waiting);
}

std::vector<ST_AnswerStats> CAnswerTimer::Stats() const
{
    std::vector<ST_AnswerStats> all;
    for (const auto &entry : m_stats)
        all.push_back(entry.second);
    return all;
}

void CAnswerTimer::Reset()
{
    // A request still waiting would count an answer the new figures never saw asked for.
    m_stats.clear();
    m_waiting.reset();
    m_expired.reset();
    m_answered.reset();
}

std::string AnswerStatsCsv(const std::vector<ST_AnswerStats> &stats)
{
    std::string csv = "unit,function,requests,answered,missing,exceptions,min_ms,median_ms,p99_ms,max_ms\n";
    const auto ms = [](std::optional<double> v) {
        if (!v)
            return std::string();
        char text[40];
        std::snprintf(text, sizeof text, "%.3f", *v);
        return std::string(text);
    };
    const auto number = [](std::optional<uint32_t> v) { return v ? std::to_string(*v) : std::string(); };
    for (const ST_AnswerStats &s : stats) {
        const bool timed = s.Timed > 0;
        csv += number(s.Key.Unit) + "," + number(s.Key.Function) + "," + std::to_string(s.Requests) + "," +
               std::to_string(s.Answered) + "," + std::to_string(s.Missing) + "," +
               std::to_string(s.Exceptions) + "," +
               ms(timed ? std::optional<double>(s.MinMs) : std::nullopt) + "," + ms(s.Percentile(0.5)) + "," +
               ms(s.Percentile(0.99)) + "," + ms(timed ? std::optional<double>(s.MaxMs) : std::nullopt) +
               "\n";
    }
    return csv;
}
