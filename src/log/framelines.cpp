#include "log/framelines.h"

#include "platform/clock.h"
#include "platform/logstamp.h"

#include <algorithm>
#include <functional>

namespace {

// How far a frame and the waiting bytes are searched for the place they meet, when they do not
// meet at once: beyond it, the bytes are shown as they came.
constexpr size_t kSearch = 1024;

bool Same(const uint8_t *a, const uint8_t *b, size_t length)
{
    return std::equal(a, a + length, b);
}

} // namespace

void CFrameLines::SetChosen(bool on)
{
    m_chosen = on;
    Follow();
}

void CFrameLines::Follow()
{
    const bool active = Active();
    if (m_wasActive && !active) {
        Drain();
        SettleLanes({0, 1});
    }
    m_wasActive = active;
    for (int side = 0; side < 2; ++side) {
        const bool on = SideActive(side);
        if (m_sideWasActive[side] && !on) {
            Drain();
            SettleLanes({2 + static_cast<size_t>(side)});
        }
        m_sideWasActive[side] = on;
    }
}

void CFrameLines::Received(const CCommData &item, int64_t ageMs, bool shown)
{
    Follow();
    if (!m_wasActive) {
        if (shown)
            m_log.LogRecData(item, ageMs);
        return;
    }
    if (shown)
        m_log.CountReceived(static_cast<size_t>(item.GetLength()));
    Add(0, item.Data(), m_log.NowMs() - std::max<int64_t>(0, ageMs), shown);
}

void CFrameLines::Sent(const CCommData &item, int64_t ageMs, bool shown)
{
    Follow();
    if (!m_wasActive) {
        if (shown)
            m_log.LogSendData(item, ageMs);
        return;
    }
    Add(1, item.Data(), m_log.NowMs() - std::max<int64_t>(0, ageMs), shown);
}

void CFrameLines::Monitor(const ST_MonitorBlock &block)
{
    Follow();
    const int side = block.Side & 1;
    if (!m_sideWasActive[side]) {
        m_log.LogMonitorData(block.Tag, *block.Data, block.Stamp);
        return;
    }
    const size_t lane = 2 + static_cast<size_t>(side);
    m_waiting[lane].Tag = block.Tag;
    m_waiting[lane].WallOffsetMs = block.WallMs - block.SteadyMs;
    m_sincePrevious = block.SincePrevious;
    Add(lane, *block.Data, block.SteadyMs, true);
}

void CFrameLines::Frame(ST_Frame frame)
{
    Follow();
    if (frame.Side >= 0 ? !m_sideWasActive[frame.Side & 1] : !m_wasActive)
        return;
    m_frames.push_back(std::move(frame));
    Drain();
}

void CFrameLines::Add(size_t lane, const Bytes &bytes, int64_t atMs, bool shown)
{
    ST_Waiting &waiting = m_waiting[lane];
    if (!bytes.empty()) {
        if (waiting.Size() == 0)
            waiting.AtMs = atMs;
        waiting.Data.insert(waiting.Data.end(), bytes.begin(), bytes.end());
        waiting.Shown.insert(waiting.Shown.end(), bytes.size(), shown ? 1 : 0);
    }
    for (ST_Frame &frame : m_frames)
        frame.BlocksSince += LaneOf(frame) == lane ? 1 : 0;
    Drain();
    Bound(lane);
}

// Frames are shown in the order they came, so that a request stands before its answer: one still
// waiting for its bytes holds back those after it.
void CFrameLines::Drain()
{
    while (!m_frames.empty()) {
        ST_Frame &frame = m_frames.front();
        const size_t lane = LaneOf(frame);
        ST_Waiting &waiting = m_waiting[lane];
        const ST_Take take = Match(frame.Data, waiting.Begin(), waiting.Size());
        if (take.What == ST_Take::Wait)
            return;
        if (take.What == ST_Take::Drop) {
            // Its bytes may be in a block still to come; once one came and they are not, they
            // never will be (dropped with a closing port, or read before the framing began).
            if (frame.BlocksSince == 0)
                return;
            m_frames.pop_front();
            continue;
        }
        if (take.Skip > 0)
            Show(lane, take.Skip, waiting.AtMs, kLogMarkNone);
        Show(lane, take.Length, frame.StartMs, frame.Mark);
        m_frames.pop_front();
    }
}

CFrameLines::ST_Take CFrameLines::Match(const Bytes &frame, const uint8_t *waiting, size_t m)
{
    ST_Take take;
    const size_t n = frame.size();
    if (n == 0) {
        take.What = ST_Take::Drop;
        return take;
    }
    // The frame's bytes first; or the rest of them, when the log showed its beginning as blocks.
    for (size_t k = 0; k < std::min(n, kSearch); ++k) {
        const size_t rest = n - k;
        const size_t have = std::min(rest, m);
        if (!Same(waiting, frame.data() + k, have))
            continue;
        if (have < rest)
            return take; // the rest is still to come
        take.What = ST_Take::Take;
        take.Length = rest;
        return take;
    }
    // Bytes before the frame's that no frame holds.
    const uint8_t *end = waiting + m;
    const uint8_t *found =
        m > 1 ? std::search(waiting + 1, end, std::boyer_moore_horspool_searcher(frame.begin(), frame.end()))
              : end;
    if (found != end) {
        take.What = ST_Take::Take;
        take.Skip = static_cast<size_t>(found - waiting);
        take.Length = n;
        return take;
    }
    const size_t from = m > n ? m - n + 1 : 1;
    for (size_t j = from; j < m && j < from + kSearch; ++j) {
        if (Same(waiting + j, frame.data(), m - j))
            return take;
    }
    take.What = ST_Take::Drop;
    return take;
}

void CFrameLines::Show(size_t lane, size_t length, int64_t startMs, uint8_t mark)
{
    ST_Waiting &waiting = m_waiting[lane];
    length = std::min(length, waiting.Size());
    m_line.clear();
    for (size_t i = waiting.Front; i < waiting.Front + length; ++i) {
        if (waiting.Shown[i])
            m_line.push_back(waiting.Data[i]);
    }
    waiting.Take(length);
    const Bytes &line = m_line;
    if (line.empty())
        return;
    if (lane < 2) {
        m_log.LogLine(lane == 1 ? LogDirection::Sent : LogDirection::Received, line.data(), line.size(),
                      m_log.NowMs() - startMs, mark);
        return;
    }
    // Stamped as the monitor stamps its blocks, with the time the frame began.
    const int64_t wall = startMs + waiting.WallOffsetMs;
    const std::string since = m_sincePrevious && m_lastMonitorWall >= 0
                                  ? SincePreviousText(wall - m_lastMonitorWall)
                                  : std::string();
    m_lastMonitorWall = wall;
    m_log.LogMonitorLine(waiting.Tag, line.data(), line.size(),
                         JoinStamp(TimeOfDayMsText(TimeOfDayMs(wall)), since), mark);
}

void CFrameLines::ST_Waiting::Take(size_t length)
{
    Front += length;
    if (Front == Data.size()) {
        Data.clear();
        Shown.clear();
        Front = 0;
    } else if (Front > Data.size() / 2) {
        Data.erase(Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(Front));
        Shown.erase(Shown.begin(), Shown.begin() + static_cast<std::ptrdiff_t>(Front));
        Front = 0;
    }
}

void CFrameLines::Bound(size_t lane)
{
    ST_Waiting &waiting = m_waiting[lane];
    if (waiting.Size() > kMostWaiting)
        Show(lane, waiting.Size(), waiting.AtMs, kLogMarkNone);
}

void CFrameLines::Settle()
{
    Drain();
    m_frames.clear();
    SettleLanes({0, 1, 2, 3});
}

void CFrameLines::SettleLanes(std::initializer_list<size_t> lanes)
{
    // The older first, as they came.
    std::vector<size_t> order(lanes);
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_waiting[a].AtMs < m_waiting[b].AtMs; });
    for (const size_t lane : order) {
        m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(),
                                      [lane](const ST_Frame &f) { return LaneOf(f) == lane; }),
                       m_frames.end());
        Show(lane, m_waiting[lane].Size(), m_waiting[lane].AtMs, kLogMarkNone);
    }
}
