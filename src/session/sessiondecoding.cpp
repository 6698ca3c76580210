#include "session/sessiondecoding.h"

#include "decode/decoders.h"

#include <algorithm>
#include <exception>

namespace {

const char kFramesObserver[] = "decoding";

// "pairing = protocol | next | none" in the profile; by the protocol where a decoder reads one.
std::optional<EPairing> PairingOf(const ST_FramingProfile &profile, bool decoder)
{
    for (const auto &[key, value] : profile.Unknown) {
        if (key != "pairing")
            continue;
        if (value == "next")
            return EPairing::NextFrame;
        if (value == "none")
            return std::nullopt;
        if (value == "protocol")
            return decoder ? std::optional<EPairing>(EPairing::Protocol) : std::nullopt;
    }
    return decoder ? std::optional<EPairing>(EPairing::Protocol) : std::nullopt;
}

// "answer_timeout_ms = N" in the profile; `otherwise` where it names none or nothing readable.
FrameTime AnswerTimeOutOf(const ST_FramingProfile &profile, FrameTime otherwise)
{
    for (const auto &[key, value] : profile.Unknown) {
        if (key != "answer_timeout_ms")
            continue;
        try {
            size_t used = 0;
            const double ms = std::stod(value, &used);
            if (used == value.size() && ms >= 0 && ms <= 24.0 * 3600 * 1000)
                return FrameTime(static_cast<int64_t>(ms * 1000));
        } catch (const std::exception &) {
        }
    }
    return otherwise;
}

} // namespace

CSessionDecoding::CSessionDecoding(CSessionFrames &frames) : m_frames(frames) {}

CSessionDecoding::~CSessionDecoding()
{
    if (m_listening)
        m_frames.SetObserver(kFramesObserver, nullptr);
}

void CSessionDecoding::SetProfileFolder(const std::string &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    for (ST_Lane &lane : m_lanes)
        lane.Generation = ~uint64_t{0};
}

void CSessionDecoding::SetMonitorMaster(EFrameDirection master)
{
    if (master != EFrameDirection::MonitorAtoB && master != EFrameDirection::MonitorBtoA)
        return;
    m_master = master;
    m_timers[1].reset();
    m_lanes[1].Generation = m_lanes[2].Generation = ~uint64_t{0};
}

void CSessionDecoding::SetAnswerTimeOut(FrameTime timeOut)
{
    m_timeOut = timeOut;
    m_timers[0].reset();
    m_timers[1].reset();
}

void CSessionDecoding::SetObserver(const std::string &name, Observer observer)
{
    m_observers.Set(name, std::move(observer));
    Listen();
}

void CSessionDecoding::SetSettled(const std::string &name, Settled settled)
{
    m_settled.Set(name, std::move(settled));
}

void CSessionDecoding::WantStatistics(bool want)
{
    m_statistics = want;
    Listen();
}

void CSessionDecoding::Listen()
{
    const bool want = m_statistics || !m_observers.Empty();
    if (want == m_listening)
        return;
    m_listening = want;
    if (want)
        m_frames.SetObserver(kFramesObserver, [this](const ST_Frame &frame) { OnFrame(frame); });
    else
        m_frames.SetObserver(kFramesObserver, nullptr);
}

size_t CSessionDecoding::LaneOf(EFrameDirection dir)
{
    switch (dir) {
    case EFrameDirection::MonitorAtoB:
        return 1;
    case EFrameDirection::MonitorBtoA:
        return 2;
    default:
        return 0;
    }
}

CSessionDecoding::ST_Lane &CSessionDecoding::Current(EFrameDirection dir)
{
    const size_t at = LaneOf(dir);
    ST_Lane &lane = m_lanes[at];
    const uint64_t generation = m_frames.Generation();
    if (lane.Generation == generation)
        return lane;
    lane.Generation = generation;
    lane.Decoder.reset();
    lane.Error.clear();
    lane.Pairing.reset();
    const std::optional<ST_FramingProfile> &profile =
        at == 0 ? m_frames.Profile() : m_frames.SideProfile(dir);
    if (!profile)
        return lane;
    try {
        lane.Decoder = MakeDecoder(*profile, at == 0 ? EFrameDirection::Sent : m_master, m_folder);
    } catch (const std::exception &e) {
        lane.Error = e.what();
    }
    lane.Pairing = PairingOf(*profile, lane.Decoder != nullptr);
    return lane;
}

const IDecoder *CSessionDecoding::DecoderOf(EFrameDirection dir)
{
    return Current(dir).Decoder.get();
}

std::string CSessionDecoding::ErrorOf(EFrameDirection dir)
{
    return Current(dir).Error;
}

ST_Decoded CSessionDecoding::Decode(const ST_Frame &frame, const ST_Frame *request)
{
    const IDecoder *decoder = DecoderOf(frame.Direction);
    if (!decoder)
        return {};
    return decoder->Decode(frame, request);
}

CAnswerTimer *CSessionDecoding::TimerOf(EFrameDirection dir)
{
    const size_t which = LaneOf(dir) == 0 ? 0 : 1;
    const uint64_t generation = m_frames.Generation();
    if (m_timerGeneration[which] != generation) {
        m_timerGeneration[which] = generation;
        m_timers[which].reset();
        m_places[which] = 0;
    }
    if (!m_timers[which]) {
        // Pairing as the requests' side asks: it is the side whose frames start each exchange.
        const EFrameDirection requests = which == 0 ? EFrameDirection::Sent : m_master;
        const std::optional<EPairing> pairing = Current(requests).Pairing;
        if (!pairing)
            return nullptr;
        const std::optional<ST_FramingProfile> &profile =
            which == 0 ? m_frames.Profile() : m_frames.SideProfile(requests);
        m_timerTimeOut[which] = profile ? AnswerTimeOutOf(*profile, m_timeOut) : m_timeOut;
        m_timers[which] = std::make_unique<CAnswerTimer>(requests, m_timerTimeOut[which], *pairing);
        m_places[which] = 0;
    }
    return m_timers[which].get();
}

void CSessionDecoding::OnFrame(const ST_Frame &frame)
{
    const size_t which = LaneOf(frame.Direction) == 0 ? 0 : 1;
    ST_Lane &lane = Current(frame.Direction);
    CAnswerTimer *timer = TimerOf(frame.Direction);
    // One reading for every frame, as m_pairing is: its list of settled answers keeps its room,
    // where a list made per frame cost a heap block each at line rate. Observers hand no frame
    // back in while they run, so the one reading is never in use twice.
    ST_FrameReading &reading = m_reading;
    reading.Place = m_places[which]++;
    reading.Pairing = nullptr;
    reading.Request = nullptr;
    reading.Settled.clear();
    reading.Asks = false;
    if (lane.Decoder) {
        const ST_Frame *request = timer ? timer->RequestOf(frame) : nullptr;
        m_pairing = lane.Decoder->Pairing(frame, request);
        reading.Pairing = &m_pairing;
    }
    if (timer) {
        const bool asks = timer->RequestOf(frame) != nullptr;
        timer->Feed(frame, lane.Decoder ? &m_pairing : nullptr, reading.Settled);
        // An answer moved its request out of the wait; one from the wrong unit left it there.
        if (asks)
            reading.Request = timer->Answered() ? timer->Answered() : timer->RequestOf(frame);
        // As the timer takes a request: from the requests' side, by the protocol only as one.
        const EFrameDirection requests = which == 0 ? EFrameDirection::Sent : m_master;
        reading.Asks =
            frame.Direction == requests && (*lane.Pairing == EPairing::NextFrame ||
                                            (lane.Decoder && m_pairing.Role == EDecodedRole::Request));
        if (reading.Asks && m_timerTimeOut[which].count() > 0) {
            m_due[which] = frame.End + m_timerTimeOut[which] + FrameTime(1);
            if (m_wake)
                m_wake(*m_due[which]);
        }
    }
    m_observers.Call(frame, reading);
}

void CSessionDecoding::Tick(FrameTime now)
{
    m_events.clear();
    for (auto &timer : m_timers)
        if (timer)
            timer->Tick(now, m_events);
    // A wake a moment early finds the request still in time: it waits for another.
    std::optional<FrameTime> again;
    for (std::optional<FrameTime> &due : m_due) {
        if (due && now < *due)
            again = again ? std::min(*again, *due) : *due;
        else
            due.reset();
    }
    if (again && m_wake)
        m_wake(*again);
    if (m_events.empty())
        return;
    // Readers may set or remove readers, or tick again: they read a copy of the events.
    const std::vector<ST_AnswerEvent> events = m_events;
    m_settled.Call(events);
}

std::vector<ST_AnswerStats> CSessionDecoding::Statistics() const
{
    std::vector<ST_AnswerStats> all;
    for (const auto &timer : m_timers) {
        if (!timer)
            continue;
        std::vector<ST_AnswerStats> some = timer->Stats();
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

void CSessionDecoding::ResetStatistics()
{
    for (auto &timer : m_timers)
        if (timer)
            timer->Reset();
}
