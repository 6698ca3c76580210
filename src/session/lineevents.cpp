#include "session/lineevents.h"

#include <algorithm>

uint8_t LineEventBits(const ST_ModemLines &lines)
{
    return static_cast<uint8_t>((lines.Cts ? kLineCts : 0) | (lines.Dcd ? kLineDcd : 0) |
                                (lines.Dsr ? kLineDsr : 0) | (lines.Rts ? kLineRts : 0) |
                                (lines.Dtr ? kLineDtr : 0) | (lines.Ring ? kLineRi : 0));
}

std::vector<ST_LineEvent> LineErrorsSeen(uint32_t errors, const ST_LineCounters &counts,
                                         const ST_LineEvent &seen)
{
    std::vector<ST_LineEvent> events;
    const auto add = [&](uint32_t bits, ELineEvent kind, int64_t count) {
        if ((errors & bits) == 0)
            return;
        ST_LineEvent event = seen;
        event.Kind = kind;
        event.Count = std::max<int64_t>(1, count);
        events.push_back(event);
    };
    add(CE_BREAK, ELineEvent::Break, counts.Break);
    add(CE_FRAME, ELineEvent::Framing, counts.Frame);
    add(CE_RXPARITY, ELineEvent::Parity, counts.Parity);
    add(CE_OVERRUN | CE_RXOVER, ELineEvent::Overrun, counts.Overrun + counts.BufOverrun);
    return events;
}

void CLineEvents::SetObserver(const std::string &name, Observer observer)
{
    m_observers.Set(name, std::move(observer));
}

void CLineEvents::Add(const ST_LineEvent &event)
{
    m_kept.push_back(event);
    if (m_kept.size() > kKept)
        m_kept.pop_front();
    m_observers.Call(event);
}

std::optional<ST_LineEvent> CLineEvents::LinesSeen(uint8_t lines, int64_t steadyMicros)
{
    // The outputs are the window's own doing; only the device's inputs make an event.
    constexpr uint8_t kInputs = kLineCts | kLineDsr | kLineDcd | kLineRi;
    const uint8_t before = m_lines;
    const bool first = !m_haveLines;
    m_lines = lines;
    m_haveLines = true;
    if (first || ((before ^ lines) & kInputs) == 0)
        return std::nullopt;
    ST_LineEvent event;
    event.SteadyMicros = steadyMicros;
    event.Kind = ELineEvent::ModemLines;
    event.Before = before;
    event.After = lines;
    return event;
}
