#include "session/sessionframes.h"

#include "link/linksetting.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

ST_LineTiming LineTimingOf(const COM_PORT_SETTING &link)
{
    ST_LineTiming timing;
    timing.Baud = link.Baud > 0 ? static_cast<uint32_t>(link.Baud) : 0;
    if (link.DataBits >= 5 && link.DataBits <= 8)
        timing.DataBits = link.DataBits;
    timing.Parity = link.ParityCode != 0;
    timing.StopBits = link.StopBitsCode == 1 ? 1.5 : link.StopBitsCode == 2 ? 2 : 1;
    return timing;
}

CSessionFrames::CSessionFrames() = default;
CSessionFrames::~CSessionFrames() = default;

FrameTime CSessionFrames::Now()
{
    return std::chrono::duration_cast<FrameTime>(std::chrono::steady_clock::now().time_since_epoch());
}

void CSessionFrames::SetProfile(const std::optional<ST_FramingProfile> &profile, const ST_LineTiming &timing)
{
    std::unique_ptr<CFrameProfile> next;
    if (profile)
        next = std::make_unique<CFrameProfile>(*profile, timing);
    Flush();
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        // The monitor's reads are its sides' to keep.
        DropReads([](const ST_Read &read) { return !IsSide(read.Dir); });
        m_writes.clear();
    }
    m_profile = std::move(next);
    m_profileSettings = profile;
    m_timing = timing;
    m_on.store(m_profile != nullptr, std::memory_order_relaxed);
    m_armed.reset();
    ++m_generation;
}

void CSessionFrames::SetSideProfile(EFrameDirection dir, const std::optional<ST_FramingProfile> &profile,
                                    const ST_LineTiming &timing)
{
    if (!IsSide(dir))
        throw std::invalid_argument("Only the monitor's directions have a side's profile");
    std::unique_ptr<CFrameProfile> next;
    if (profile)
        next = std::make_unique<CFrameProfile>(*profile, timing);
    ST_Side &side = SideOf(dir);
    if (side.Framer) {
        FeedReads(std::nullopt);
        std::vector<ST_Frame> frames;
        side.Framer->Flush(frames);
        Hand(frames);
    }
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        // Only reads held behind a write are left, and a side off takes nothing.
        DropReads([dir](const ST_Read &read) { return read.Dir == dir; });
        side.Framer = std::move(next);
        side.On.store(side.Framer != nullptr, std::memory_order_relaxed);
    }
    side.Settings = profile;
    side.Timing = timing;
    ++m_generation;
    m_armed.reset();
    ArmWake();
}

const std::optional<ST_FramingProfile> &CSessionFrames::SideProfile(EFrameDirection dir) const
{
    return m_sides[dir == EFrameDirection::MonitorAtoB ? 0 : 1].Settings;
}

CFrameProfile *CSessionFrames::FramerOf(EFrameDirection dir)
{
    return IsSide(dir) ? SideOf(dir).Framer.get() : m_profile.get();
}

ST_FramingInfo CSessionFrames::Info() const
{
    // While the monitor runs in the port's place, its port A's side speaks for it.
    const ST_Side *side = nullptr;
    if (!m_profileSettings)
        for (const ST_Side &s : m_sides)
            if (!side && s.Settings)
                side = &s;
    const std::optional<ST_FramingProfile> &profile = side ? side->Settings : m_profileSettings;
    const ST_LineTiming &timing = side ? side->Timing : m_timing;
    ST_FramingInfo info;
    if (!profile)
        return info;
    info.On = true;
    info.Profile = profile->Name;
    if (profile->Mode == EFramingMode::Silence) {
        info.Floor = profile->Silence.Floor;
        info.WantedGap = FrameTime(static_cast<int64_t>(profile->Silence.Chars * timing.CharMicros()));
    }
    return info;
}

void CSessionFrames::SetObserver(const std::string &name, Observer observer)
{
    m_observers.Set(name, std::move(observer));
}

void CSessionFrames::Read(const uint8_t *data, size_t size)
{
    if (On())
        Queue(EFrameDirection::Received, data, size);
}

void CSessionFrames::SideRead(EFrameDirection dir, const uint8_t *data, size_t size)
{
    if (IsSide(dir) && SideOf(dir).On.load(std::memory_order_relaxed))
        Queue(dir, data, size);
}

void CSessionFrames::Queue(EFrameDirection dir, const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    std::vector<uint8_t> bytes(data, data + size);
    // Stamped under the lock: a write begun before this stamp is in m_writes already.
    const std::lock_guard<std::mutex> guard(m_lock);
    m_readBytes += size;
    m_reads.push_back({std::move(bytes), Now(), dir});
}

// Under m_lock.
template <typename Which> void CSessionFrames::DropReads(Which which)
{
    m_reads.erase(std::remove_if(m_reads.begin(), m_reads.end(),
                                 [&](const ST_Read &read) {
                                     if (!which(read))
                                         return false;
                                     m_readBytes -= read.Data.size();
                                     return true;
                                 }),
                  m_reads.end());
}

FrameTime CSessionFrames::SendBegins()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    const FrameTime now = Now();
    if (On())
        m_writes.insert(now);
    return now;
}

void CSessionFrames::Sent(FrameTime began, const uint8_t *data, size_t size)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        const auto at = m_writes.find(began);
        if (at != m_writes.end())
            m_writes.erase(at);
    }
    if (!m_profile)
        return;
    FeedWrite(began, data, size);
    Pump();
}

void CSessionFrames::Wrote(FrameTime time, const uint8_t *data, size_t size)
{
    if (!m_profile)
        return;
    FeedWrite(time, data, size);
    ArmWake();
}

void CSessionFrames::FeedWrite(FrameTime time, const uint8_t *data, size_t size)
{
    FeedReads(time);
    if (size > 0)
        FeedFramer(EFrameDirection::Sent, data, size, time);
}

void CSessionFrames::Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time)
{
    if (!FramerOf(dir))
        return;
    if (size > 0)
        FeedFramer(dir, data, size, time);
    ArmWake();
}

void CSessionFrames::Pump()
{
    if (!AnyFramer())
        return;
    m_armed.reset();
    FeedReads(std::nullopt);
    // Only what no read still to come can change: the waiting reads are all fed or wait for a
    // write that began before them.
    FrameTime now;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        now = m_reads.empty() ? Now() : m_reads.front().Time;
        // Nor the write that began before them: its bytes are still to be framed at its start,
        // and a clock already past it would stamp the request with its answer's time.
        if (!m_writes.empty() && m_readBytes <= kMostWaiting)
            now = std::min(now, *m_writes.begin());
    }
    m_last = std::max(m_last, now);
    std::vector<ST_Frame> frames;
    for (CFrameProfile *framer : {m_profile.get(), m_sides[0].Framer.get(), m_sides[1].Framer.get()})
        if (framer)
            framer->Tick(m_last, frames);
    Hand(frames);
    ArmWake();
}

void CSessionFrames::Flush()
{
    if (!m_profile)
        return;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_writes.clear();
    }
    FeedReads(std::nullopt);
    std::vector<ST_Frame> frames;
    m_profile->Flush(frames);
    Hand(frames);
    m_armed.reset();
}

void CSessionFrames::FeedReads(std::optional<FrameTime> before)
{
    std::deque<ST_Read> ready;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        // A write the line does not take (flow control holding it) must not hold a flood of
        // reads without bound: past that they are framed as they came, the write's bytes after.
        if (!m_writes.empty() && (!before || *m_writes.begin() < *before) && m_readBytes <= kMostWaiting)
            before = *m_writes.begin();
        while (!m_reads.empty() && (!before || m_reads.front().Time < *before)) {
            m_readBytes -= m_reads.front().Data.size();
            ready.push_back(std::move(m_reads.front()));
            m_reads.pop_front();
        }
    }
    for (const ST_Read &read : ready)
        FeedFramer(read.Dir, read.Data.data(), read.Data.size(), read.Time);
}

void CSessionFrames::FeedFramer(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time)
{
    CFrameProfile *framer = FramerOf(dir);
    if (!framer)
        return;
    // A send's time is its write's start: it may stand a moment before a read already framed, and
    // the framer's clock never goes back.
    m_last = std::max(m_last, time);
    // The list keeps its room from read to read; an observer that feeds again meanwhile finds it
    // taken and makes its own.
    std::vector<ST_Frame> frames;
    frames.swap(m_spare);
    // The other side's frames the quiet line ended by now began before these bytes came.
    if (IsSide(dir)) {
        CFrameProfile *other = SideOf(dir == EFrameDirection::MonitorAtoB ? EFrameDirection::MonitorBtoA
                                                                          : EFrameDirection::MonitorAtoB)
                                   .Framer.get();
        if (other)
            other->Tick(m_last, frames);
    }
    framer->Feed(dir, data, size, m_last, frames);
    Hand(frames);
    // Asked again: an observer may have changed the framing meanwhile.
    if (CFrameProfile *after = FramerOf(dir))
        after->Recycle(frames);
    frames.clear();
    if (frames.capacity() > m_spare.capacity())
        m_spare.swap(frames);
}

void CSessionFrames::Hand(std::vector<ST_Frame> &frames)
{
    if (frames.empty())
        return;
    // Frames ended together (by one quiet line, by a close) go in the order they began.
    const auto byStart = [](const ST_Frame &a, const ST_Frame &b) { return a.Start < b.Start; };
    if (!std::is_sorted(frames.begin(), frames.end(), byStart))
        std::stable_sort(frames.begin(), frames.end(), byStart);
    // An observer may change the list: from the next frame on.
    for (const ST_Frame &frame : frames)
        m_observers.Call(frame);
}

void CSessionFrames::ArmWake()
{
    if (!m_wake)
        return;
    std::optional<FrameTime> due;
    for (const CFrameProfile *framer : {m_profile.get(), m_sides[0].Framer.get(), m_sides[1].Framer.get()})
        if (framer) {
            const std::optional<FrameTime> next = framer->NextDeadline();
            if (next && (!due || *next < *due))
                due = next;
        }
    if (!due || due == m_armed)
        return;
    m_armed = due;
    m_wake(*due);
}
