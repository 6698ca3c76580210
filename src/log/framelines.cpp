#include "log/framelines.h"

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
    if (m_wasActive && !active)
        Settle();
    m_wasActive = active;
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
    Add(m_waiting[0], item, ageMs, shown);
    for (ST_Frame &frame : m_frames)
        frame.BlocksSince += frame.Sent ? 0 : 1;
    Drain();
    Bound(false);
}

void CFrameLines::Sent(const CCommData &item, int64_t ageMs, bool shown)
{
    Follow();
    if (!m_wasActive) {
        if (shown)
            m_log.LogSendData(item, ageMs);
        return;
    }
    Add(m_waiting[1], item, ageMs, shown);
    for (ST_Frame &frame : m_frames)
        frame.BlocksSince += frame.Sent ? 1 : 0;
    Drain();
    Bound(true);
}

void CFrameLines::Frame(ST_Frame frame)
{
    Follow();
    if (!m_wasActive)
        return;
    m_frames.push_back(std::move(frame));
    Drain();
}

void CFrameLines::Add(ST_Waiting &waiting, const CCommData &item, int64_t ageMs, bool shown)
{
    const Bytes &bytes = item.Data();
    if (bytes.empty())
        return;
    if (waiting.Size() == 0)
        waiting.AtMs = m_log.NowMs() - std::max<int64_t>(0, ageMs);
    waiting.Data.insert(waiting.Data.end(), bytes.begin(), bytes.end());
    waiting.Shown.insert(waiting.Shown.end(), bytes.size(), shown ? 1 : 0);
}

// Frames are shown in the order they came, so that a request stands before its answer: one still
// waiting for its bytes holds back those after it.
void CFrameLines::Drain()
{
    while (!m_frames.empty()) {
        ST_Frame &frame = m_frames.front();
        ST_Waiting &waiting = m_waiting[frame.Sent ? 1 : 0];
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
            Show(frame.Sent, take.Skip, waiting.AtMs, kLogMarkNone);
        Show(frame.Sent, take.Length, frame.StartMs, frame.Mark);
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

void CFrameLines::Show(bool sent, size_t length, int64_t startMs, uint8_t mark)
{
    ST_Waiting &waiting = m_waiting[sent ? 1 : 0];
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
    m_log.LogLine(sent ? LogDirection::Sent : LogDirection::Received, line.data(), line.size(),
                  m_log.NowMs() - startMs, mark);
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

void CFrameLines::Bound(bool sent)
{
    ST_Waiting &waiting = m_waiting[sent ? 1 : 0];
    if (waiting.Size() > kMostWaiting)
        Show(sent, waiting.Size(), waiting.AtMs, kLogMarkNone);
}

void CFrameLines::Settle()
{
    Drain();
    m_frames.clear();
    // The older first, as they came.
    const bool sentFirst =
        m_waiting[1].Size() > 0 && (m_waiting[0].Size() == 0 || m_waiting[1].AtMs < m_waiting[0].AtMs);
    for (const bool sent : {sentFirst, !sentFirst}) {
        ST_Waiting &waiting = m_waiting[sent ? 1 : 0];
        Show(sent, waiting.Size(), waiting.AtMs, kLogMarkNone);
    }
}
