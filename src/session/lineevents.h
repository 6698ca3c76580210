#pragma once
// The session's record of what the line did besides data: modem-line changes, breaks and line
// errors, each stamped when it was seen. The record runs on the owner thread, in the order the
// traffic path runs the data: a break or a line error comes from the listener right after the
// bytes read before it (the port ends the block there), a modem-line change once the bytes read
// before the look that found it have been through the path. So an observer that writes both into
// one file (a capture, an export) writes them in the order they crossed the line.
#include "portbase/lineevent.h"
#include "serial/serial.h"
#include "session/namedobservers.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The lines of one look as the events' bits.
uint8_t LineEventBits(const ST_ModemLines &lines);
// The breaks and line errors among `errors` (CE_ bits), one event of each kind with the driver's
// count, each a copy of `seen` (its time, port and lines) otherwise.
std::vector<ST_LineEvent> LineErrorsSeen(uint32_t errors, const ST_LineCounters &counts,
                                         const ST_LineEvent &seen);

class CLineEvents
{
public:
    // The newest are kept for a reader that comes later; observers get every one.
    static constexpr size_t kKept = 4096;
    // How often the modem lines are looked at: ten times a second, as the window's lamps are, so
    // a change is stamped within a tenth of a second of it wherever it is recorded.
    static constexpr int kLookMs = 100;
    using Observer = std::function<void(const ST_LineEvent &event)>;

    // The observer called `name` gets every event from now on; null removes it.
    void SetObserver(const std::string &name, Observer observer);
    void Add(const ST_LineEvent &event);
    // The lines as last looked at: an input that differs from the look before is an event (the
    // first look after an open only sets them). Nothing when no input changed.
    std::optional<ST_LineEvent> LinesSeen(uint8_t lines, int64_t steadyMicros);
    // The port closed: the next look starts afresh.
    void PortClosed() { m_haveLines = false; }
    uint8_t Lines() const { return m_lines; }
    const std::deque<ST_LineEvent> &Kept() const { return m_kept; }

private:
    CNamedObservers<void(const ST_LineEvent &event)> m_observers;
    std::deque<ST_LineEvent> m_kept;
    uint8_t m_lines = 0;
    bool m_haveLines = false;
};
