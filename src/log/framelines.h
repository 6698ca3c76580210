#pragma once
// The log's line per frame: while it is chosen and the traffic is being framed, the log's received
// and sent lines are the frames instead of the blocks the port happened to read.
//
// The log's bytes still come from the blocks; a frame only says where a line ends, when it began
// and how it is marked. The frames and the blocks come by different ways (a frame is often ended
// by the very block the log has not had yet, a send's frame before its block), so the blocks
// wait here until the frames that hold them come, and the frames wait for their blocks. A line
// shows bytes of blocks only, each once: when the frames and the blocks do not tell the same
// bytes (framing began or changed within a frame, reads dropped with a closing port), the line
// follows the blocks, and what no frame covers is shown as a line of its own once the log stops
// waiting for it (the choice or the framing turned off, the port closed, the log cleared).
//
// The two-port monitor's sides are framed apart, each by its own link's profile: a side's blocks
// wait for its frames as the port's do, and its lines carry the monitor's tag (A, B, or A→B, B→A
// when bridged) and a stamp of the frame's start, as its block lines do.
#include "data/commdata.h"
#include "log/logpipeline.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class CFrameLines
{
public:
    // What the log needs of a frame.
    struct ST_Frame
    {
        bool Sent = false;
        Bytes Data;          // as the line carried it
        int64_t StartMs = 0; // of the steady clock, as the pipeline's clock
        uint8_t Mark = kLogMarkNone;
        int BlocksSince = 0; // blocks of its direction that came after it
        int Side = -1;       // the monitor's side it was read on (0: port A, 1: port B), or none
    };
    // A block the monitor read on `Side`, with what its line says when shown as it came.
    struct ST_MonitorBlock
    {
        int Side = 0;
        LogDirection Tag = LogDirection::PortA;
        const Bytes *Data = nullptr;
        std::string Stamp;
        int64_t WallMs = 0;   // local time of its read, as the monitor stamps it
        int64_t SteadyMs = 0; // the same instant on the pipeline's clock
        bool SincePrevious = false;
    };
    // Bounds what waits for frames that never come (a profile whose frames never end, say):
    // beyond it, the oldest bytes are shown as a line of their own.
    static constexpr size_t kMostWaiting = 256 * 1024;

    explicit CFrameLines(CLogPipeline &log) : m_log(log) {}

    void SetChosen(bool on);
    bool Chosen() const { return m_chosen; }
    // Whether the traffic is being framed now; none: never.
    void SetFramingOn(std::function<bool()> on) { m_framingOn = std::move(on); }
    bool Active() const { return m_chosen && m_framingOn && m_framingOn(); }
    // Whether the monitor's side (0: port A, 1: port B) is being framed now; none: never.
    void SetSideFramingOn(std::function<bool(int side)> on) { m_sideFramingOn = std::move(on); }
    bool SideActive(int side) const { return m_chosen && m_sideFramingOn && m_sideFramingOn(side); }
    // Shows what waited for a framing that has ended since (a note about to be written comes
    // after it).
    void Follow();

    // The blocks the log is given. `shown` false: bytes the frames carry that the log never shows
    // (a transfer's protocol, a send the log does not write a line for).
    void Received(const CCommData &item, int64_t ageMs, bool shown = true);
    void Sent(const CCommData &item, int64_t ageMs, bool shown = true);
    void Monitor(const ST_MonitorBlock &block);
    void Frame(ST_Frame frame);
    // Shows whatever waits, as far as frames cover it and the rest as it came, and forgets the
    // frames still waiting for their bytes.
    void Settle();
    // Bytes of the lane (CLogPipeline's traffic lanes) wait for their frame.
    bool Waiting(size_t lane) const { return m_waiting[lane].Size() > 0; }

private:
    struct ST_Waiting
    {
        // From Front on: the shown lines are taken from the front, and the room they leave is
        // given back once it is most of the buffer, so a block of many frames is not moved for
        // each of them.
        Bytes Data;
        std::vector<uint8_t> Shown; // one for each byte
        size_t Front = 0;
        int64_t AtMs = 0; // when the oldest of them came
        // The monitor's: the tag of the side's last block, and its local time less the
        // pipeline's clock.
        LogDirection Tag = LogDirection::PortA;
        int64_t WallOffsetMs = 0;
        size_t Size() const { return Data.size() - Front; }
        const uint8_t *Begin() const { return Data.data() + Front; }
        void Take(size_t length);
    };
    struct ST_Take
    {
        enum { Wait, Take, Drop } What = Wait;
        size_t Skip = 0; // bytes before the frame's that no frame holds
        size_t Length = 0;
    };
    // The waiting bytes of the port's received (0) and sent (1) blocks, of the monitor's port A
    // (2) and port B (3).
    static constexpr size_t kLanes = 4;
    static size_t LaneOf(const ST_Frame &frame)
    {
        return frame.Side >= 0 ? 2 + static_cast<size_t>(frame.Side & 1) : frame.Sent ? 1 : 0;
    }
    void Add(size_t lane, const Bytes &bytes, int64_t atMs, bool shown);
    void Drain();
    static ST_Take Match(const Bytes &frame, const uint8_t *waiting, size_t m);
    // Writes the first `length` waiting bytes of a lane as one line.
    void Show(size_t lane, size_t length, int64_t startMs, uint8_t mark);
    void Bound(size_t lane);
    // Shows what waits in these lanes, the older first, as far as frames cover it.
    void SettleLanes(std::initializer_list<size_t> lanes);

    CLogPipeline &m_log;
    bool m_chosen = false;
    bool m_wasActive = false;
    bool m_sideWasActive[2] = {false, false};
    std::function<bool()> m_framingOn;
    std::function<bool(int)> m_sideFramingOn;
    ST_Waiting m_waiting[kLanes];
    std::deque<ST_Frame> m_frames;
    Bytes m_line;
    bool m_sincePrevious = false;   // the monitor's lines tell the time since the one before
    int64_t m_lastMonitorWall = -1; // local time of the monitor's last frame line
};
