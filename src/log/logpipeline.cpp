#include "log/logpipeline.h"

#include <algorithm>
#include <chrono>

namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CLogPipeline::CLogPipeline() : m_clock(SteadyMs) {}

void CLogPipeline::SetClock(std::function<int64_t()> steadyMs)
{
    m_clock = steadyMs ? std::move(steadyMs) : std::function<int64_t()>(SteadyMs);
}

void CLogPipeline::SetDisplayType(int type)
{
    if (type != m_displayType) {
        ShowHeldLine();
        ResetTextForms();
    }
    m_displayType = type;
}

void CLogPipeline::SetSplitLines(bool on)
{
    if (!on)
        ShowHeldLine();
    m_splitLines = on;
}

void CLogPipeline::SetUtf8(bool on)
{
    if (on != m_utf8) {
        ShowHeldLine();
        ResetTextForms();
    }
    m_utf8 = on;
}

void CLogPipeline::SetAnsi(LogAnsi ansi)
{
    if (ansi != m_ansi) {
        ShowHeldLine();
        ResetTextForms();
    }
    m_ansi = ansi;
}

void CLogPipeline::ResetTextForms()
{
    for (TextState &state : m_textStates)
        state.ansi.Reset();
}

uint8_t CLogPipeline::TakeReceivedMark(size_t length)
{
    m_receivedPassed += length;
    uint8_t mark = kLogMarkNone;
    while (!m_receivedMarks.empty() && m_receivedMarks.front().first < m_receivedPassed) {
        mark = std::max(mark, m_receivedMarks.front().second);
        m_receivedMarks.pop_front();
    }
    return mark;
}

CLogPipeline::ObserverId CLogPipeline::AddObserver(Observer observer)
{
    m_observers.emplace_back(++m_lastObserver, std::move(observer));
    return m_lastObserver;
}

void CLogPipeline::RemoveObserver(ObserverId id)
{
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                                     [id](const auto &observer) { return observer.first == id; }),
                      m_observers.end());
}

void CLogPipeline::Tell(LogDirection direction, const uint8_t *bytes, size_t length, bool shown) const
{
    for (const auto &observer : m_observers)
        observer.second(direction, bytes, length, shown);
}

void CLogPipeline::LogRecData(const CCommData &item, int64_t ageMs)
{
    m_receivedBytes += static_cast<uint64_t>(item.GetLength());
    if (m_holdReceived) {
        if (m_heldReceived.empty())
            m_heldReceivedAtMs = m_clock() - std::max<int64_t>(0, ageMs);
        m_heldReceived.insert(m_heldReceived.end(), item.Data().begin(), item.Data().end());
        return;
    }
    ShowReceived(item, ageMs);
}

void CLogPipeline::HoldReceived(bool on)
{
    m_holdReceived = on;
    if (on || m_heldReceived.empty())
        return;
    const CCommData held(std::move(m_heldReceived), FMT_STRING);
    m_heldReceived.clear();
    ShowReceived(held, m_clock() - m_heldReceivedAtMs);
    m_lanes[0].pending = !m_held.empty();
}

void CLogPipeline::ShowReceived(const CCommData &item, int64_t ageMs)
{
    m_receivedAgeMs = std::max<int64_t>(0, ageMs);
    if (m_splitLines && (m_displayType == 0 || m_displayType == 3)) {
        LogReceivedLines(item);
    } else {
        m_heldCr = false;
        Log(LogDirection::Received, item);
    }
    m_receivedAgeMs = 0;
}

// A CR at the end of the bytes so far waits for the next byte: an LF there belongs to its break.
void CLogPipeline::LogReceivedLines(const CCommData &item)
{
    const uint8_t *bytes = item.GetData();
    size_t length = static_cast<size_t>(item.GetLength());
    if (length == 0)
        return;
    const auto mode = static_cast<uint8_t>(m_displayType);
    if (std::exchange(m_heldCr, false) && bytes[0] == '\n') {
        // Not shown, but a raw capture still gets every byte.
        Tell(LogDirection::Received, bytes, 1, false);
        TakeReceivedMark(1);
        ++bytes;
        --length;
    }
    m_held.insert(m_held.end(), bytes, bytes + length);
    size_t start = 0;
    for (size_t i = 0; i < m_held.size(); ++i) {
        const uint8_t b = m_held[i];
        if (b != '\r' && b != '\n')
            continue;
        if (b == '\r') {
            if (i + 1 == m_held.size())
                break;
            if (m_held[i + 1] == '\n')
                ++i;
        }
        Append(LogDirection::Received, mode, m_held.data() + start, i + 1 - start, nullptr, true);
        start = i + 1;
    }
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(start));
    const int64_t now = m_clock();
    m_heldAtMs = now - m_receivedAgeMs;
    m_heldDueMs = now + kHeldQuietMs;
    if (m_held.size() >= kLongestHeld)
        ShowHeldLine(now);
}

int64_t CLogPipeline::HeldDueInMs() const
{
    return m_held.empty() ? -1 : std::max<int64_t>(0, m_heldDueMs - m_clock());
}

void CLogPipeline::FlushHeld()
{
    if (m_held.empty())
        return;
    const int64_t now = m_clock();
    if (now >= m_heldDueMs)
        ShowHeldLine(now);
    // Between blocks: the next one starts afresh unless something still waits.
    m_lanes[0].pending = !m_held.empty() || !m_heldReceived.empty();
}

void CLogPipeline::ShowHeldLine(int64_t nowMs)
{
    if (m_held.empty())
        return;
    m_heldCr = m_held.back() == '\r';
    std::string stamp;
    if (m_showTime && m_timeSource)
        stamp = m_timeSource(nowMs - m_heldAtMs);
    Append(LogDirection::Received, static_cast<uint8_t>(m_displayType), m_held.data(), m_held.size(),
           m_showTime ? &stamp : nullptr, true);
    m_held.clear();
}

void CLogPipeline::LogSendData(const CCommData &item, int64_t ageMs)
{
    m_sentAgeMs = std::max<int64_t>(0, ageMs);
    Log(LogDirection::Sent, item);
    m_sentAgeMs = 0;
}

void CLogPipeline::Log(LogDirection direction, const CCommData &item)
{
    ShowHeldLine();
    if (!ValidMode()) {
        if (direction == LogDirection::Received)
            TakeReceivedMark(static_cast<size_t>(item.GetLength()));
        return;
    }
    // A block that ends its own line (CR LF, CR or LF) is not given a second, empty one.
    Append(direction, static_cast<uint8_t>(m_displayType), item.GetData(),
           static_cast<size_t>(item.GetLength()), nullptr, true);
}

void CLogPipeline::LogLine(LogDirection direction, const uint8_t *bytes, size_t length, int64_t ageMs,
                           uint8_t mark)
{
    ShowHeldLine();
    const bool received = direction == LogDirection::Received;
    if (!ValidMode()) {
        if (received)
            TakeReceivedMark(length);
        return;
    }
    if (received)
        m_heldCr = false;
    int64_t &age = received ? m_receivedAgeMs : m_sentAgeMs;
    age = std::max<int64_t>(0, ageMs);
    Append(direction, static_cast<uint8_t>(m_displayType), bytes, length, nullptr, true, mark);
    age = 0;
}

void CLogPipeline::LogNote(const std::string &text)
{
    ShowHeldLine();
    Append(LogDirection::Note, 0, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

void CLogPipeline::LogSendNote(const std::string &text)
{
    ShowHeldLine();
    Append(LogDirection::Sent, FMT_STRING, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

void CLogPipeline::LogMonitorData(LogDirection direction, const Bytes &bytes, const std::string &stamp)
{
    ShowHeldLine();
    if (!ValidMode())
        return;
    Append(direction, static_cast<uint8_t>(m_displayType), bytes.data(), bytes.size(), &stamp);
}

void CLogPipeline::LogMonitorLine(LogDirection direction, const uint8_t *bytes, size_t length,
                                  const std::string &stamp, uint8_t mark)
{
    ShowHeldLine();
    if (!ValidMode())
        return;
    Append(direction, static_cast<uint8_t>(m_displayType), bytes, length, &stamp, true, mark);
}

void CLogPipeline::Clear()
{
    const bool hold = m_holdReceived;
    HoldReceived(false);
    m_holdReceived = hold;
    ShowHeldLine();
    m_store.Clear();
    for (ST_Lane &lane : m_lanes)
        lane.pending = false;
    m_renderedBlock = static_cast<size_t>(-1);
    m_rendered.Reset();
}

namespace {

size_t TrafficLane(LogDirection direction)
{
    switch (direction) {
    case LogDirection::Received:
        return 0;
    case LogDirection::Sent:
        return 1;
    case LogDirection::PortA:
    case LogDirection::AtoB:
        return 2;
    case LogDirection::PortB:
    case LogDirection::BtoA:
        return 3;
    case LogDirection::Note:
        break;
    }
    return CLogPipeline::kTrafficLanes;
}

} // namespace

void CLogPipeline::Append(LogDirection direction, uint8_t mode, const uint8_t *bytes, size_t length,
                          const std::string *givenStamp, bool ownBreak, uint8_t givenMark)
{
    std::string stamp;
    if (givenStamp)
        stamp = *givenStamp;
    else if (m_showTime && m_timeSource)
        stamp = m_timeSource(direction == LogDirection::Received ? m_receivedAgeMs
                             : direction == LogDirection::Sent   ? m_sentAgeMs
                                                                 : 0);
    const bool hasStamp = givenStamp != nullptr || m_showTime;
    const size_t droppedBefore = m_store.DroppedLines();
    const uint8_t *shown = bytes;
    size_t shownLength = length;
    uint8_t textForm = 0;
    if (direction != LogDirection::Note) {
        // Characters are joined first, so that a colour mark never falls inside one.
        TextState &state = m_textStates[static_cast<size_t>(direction)];
        const bool text = mode == 0 || mode == 3;
        const bool utf8 = text && m_utf8;
        if (utf8 || state.utf8.Holding()) {
            m_joined.clear();
            if (utf8) {
                state.utf8.Feed(bytes, length, m_joined);
                textForm |= kLogUtf8;
            } else {
                state.utf8.Flush(m_joined);
                m_joined.insert(m_joined.end(), bytes, bytes + length);
            }
            shown = m_joined.data();
            shownLength = m_joined.size();
        }
        if (text && m_ansi != LogAnsi::Off) {
            const bool marks = m_ansi == LogAnsi::Show && IsReadFromPort(direction);
            m_formed.clear();
            state.ansi.Feed(shown, shownLength, m_formed, marks);
            if (marks)
                textForm |= kLogAnsiMarks;
            shown = m_formed.data();
            shownLength = m_formed.size();
        }
    }
    const uint8_t mark =
        std::max(givenMark, direction == LogDirection::Received ? TakeReceivedMark(length)
                                                                : static_cast<uint8_t>(kLogMarkNone));
    const size_t lane = TrafficLane(direction);
    CLogStore::ST_TrafficSpan traffic;
    const bool fromTraffic = lane < kTrafficLanes && m_lanes[lane].pending;
    if (fromTraffic) {
        traffic = {m_lanes[lane].first, m_lanes[lane].last};
        // What is left waiting came with the newest block.
        m_lanes[lane].first = m_lanes[lane].last;
    }
    const CLogStore::Stored stored =
        m_store.Append(direction, mode, hasStamp ? &stamp : nullptr, shown, shownLength, m_rendered, ownBreak,
                       textForm, mark, fromTraffic ? &traffic : nullptr);
    m_renderedBlock = stored.rendered ? stored.block : static_cast<size_t>(-1);
    Tell(direction, bytes, length, true);
    if (m_sink) {
        const size_t dropped = m_store.DroppedLines();
        const bool linesDropped = dropped != droppedBefore;
        // The marker line took the place of the first line dropped.
        const int shift =
            linesDropped ? static_cast<int>((dropped - 1) - (droppedBefore - (droppedBefore > 0 ? 1 : 0)))
                         : 0;
        m_sink->BlockStored(linesDropped, shift);
    }
}

void CLogPipeline::TrafficArrives(size_t lane, uint32_t seq)
{
    ST_Lane &l = m_lanes[lane];
    if (!l.pending)
        l.first = seq;
    l.pending = true;
    l.last = seq;
}

void CLogPipeline::TrafficTaken(size_t lane, bool waiting)
{
    const bool held = lane == 0 && (!m_held.empty() || !m_heldReceived.empty());
    m_lanes[lane].pending = waiting || held;
}

const ST_LogRendered &CLogPipeline::Rendered(size_t block) const
{
    if (block != m_renderedBlock) {
        m_store.Render(block, m_rendered);
        m_renderedBlock = block;
    }
    return m_rendered;
}
