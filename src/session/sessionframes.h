#pragma once
// A session's traffic cut into frames, both directions, for whatever shows or reads them (the
// frames view, the log's line per frame, a script's frame(), a headless run's --frames).
//
// Reads come from the listener thread, stamped as they are read, and wait in a queue; sends come
// to the owner thread once their write is done. The owner thread feeds the framer in the order the
// bytes crossed the line: a read stamped after a write began waits until that send has been fed,
// so a request stands before its answer even when the answer was read before the sender reported.
// The framer runs on the owner thread only and its frames go to the observers there, in the order
// they began. The listener only copies and stamps: with framing off it does nothing at all.
//
// The two-port monitor's directions are framed apart, each by the profile of the side that read
// it (the links of its two ports need not speak the same protocol). Its threads stamp their reads
// into the same queue, so the quiet line is never judged past a read still on its way to the
// owner.
#include "data/commdata.h"
#include "frame/frameprofiles.h"
#include "session/namedobservers.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct COM_PORT_SETTING;

// What one character of the link takes on the line (baud 0 where the link names none).
ST_LineTiming LineTimingOf(const COM_PORT_SETTING &link);

// What the view says about silence: the gap asked for against the floor the adapter puts under it.
struct ST_FramingInfo
{
    bool On = false;
    std::string Profile;
    FrameTime WantedGap{0}; // silence framing with a known baud rate only
    FrameTime Floor{0};
    bool BelowFloor() const { return WantedGap.count() > 0 && Floor > WantedGap; }
};

class CSessionFrames
{
public:
    using Observer = std::function<void(const ST_Frame &frame)>;
    // Called on the owner thread when a frame waits on the clock: the owner calls Pump at `due`
    // (steady clock, microseconds) or later. A later call replaces the earlier one's time.
    using Wake = std::function<void(FrameTime due)>;
    // Reads wait behind a write under way up to this many bytes (a write held up by flow control
    // while the device talks on costs no more).
    static constexpr size_t kMostWaiting = size_t{1} << 20;

    CSessionFrames();
    ~CSessionFrames();
    CSessionFrames(const CSessionFrames &) = delete;
    CSessionFrames &operator=(const CSessionFrames &) = delete;

    // ---- Owner thread ----
    // Frames from now on by `profile`; none turns framing off. What the profile before still held
    // is handed out first, as a close would. Throws std::invalid_argument as MakeFramer does
    // (framing stays as it was then).
    void SetProfile(const std::optional<ST_FramingProfile> &profile, const ST_LineTiming &timing);
    bool On() const { return m_on.load(std::memory_order_relaxed); }
    const std::optional<ST_FramingProfile> &Profile() const { return m_profileSettings; }
    // Counts the profile changes of the window and of the monitor's sides, so that what follows a
    // profile (its decoder) knows when to follow.
    uint64_t Generation() const { return m_generation; }
    // The window's framing, or while it has none the monitor's (its port A's side first).
    ST_FramingInfo Info() const;

    // The observer called `name` gets every frame from now on; null removes it. Observers run in
    // the order of their first setting and may set or remove observers (from the next frame on).
    void SetObserver(const std::string &name, Observer observer);
    void SetWake(Wake wake) { m_wake = std::move(wake); }

    // A send whose write began at `began` (SendBegins) put these bytes on the line; `size` 0 when
    // nothing went out. Reads stamped before `began` are fed first.
    void Sent(FrameTime began, const uint8_t *data, size_t size);
    // Bytes the owner has in line order already (a transfer's writes): fed after the reads
    // stamped before `time`, without a send's wait.
    void Wrote(FrameTime time, const uint8_t *data, size_t size);
    // The monitor's direction `dir` (MonitorAtoB or MonitorBtoA) from now on by `profile`; none
    // turns it off (off at first). What the side's profile before still held is handed out first,
    // as a stop would. Throws std::invalid_argument for another direction and as MakeFramer does.
    void SetSideProfile(EFrameDirection dir, const std::optional<ST_FramingProfile> &profile,
                        const ST_LineTiming &timing);
    const std::optional<ST_FramingProfile> &SideProfile(EFrameDirection dir) const;
    // Bytes of a direction the owner feeds itself, at the time of their read.
    void Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time);
    // Frames what has been read (up to a write still under way) and what the quiet line ended.
    void Pump();
    // The port closes: what was read is framed and every frame is handed out as it stands (the
    // monitor's sides are left to SetSideProfile).
    void Flush();

    // ---- Listener thread ----
    void Read(const uint8_t *data, size_t size);

    // ---- The monitor's threads ----
    // Bytes read on a monitor side: stamped now, framed at the next Pump. Nothing while the side
    // is off.
    void SideRead(EFrameDirection dir, const uint8_t *data, size_t size);

    // ---- Sender thread, as a write begins (any thread) ----
    // The time of the write; until Sent is called with it, later reads wait.
    FrameTime SendBegins();

    static FrameTime Now();

private:
    struct ST_Read
    {
        std::vector<uint8_t> Data;
        FrameTime Time;
        EFrameDirection Dir = EFrameDirection::Received;
    };
    struct ST_Side
    {
        std::optional<ST_FramingProfile> Settings;
        ST_LineTiming Timing;
        std::unique_ptr<CFrameProfile> Framer;
        std::atomic<bool> On{false};
    };
    static bool IsSide(EFrameDirection dir)
    {
        return dir == EFrameDirection::MonitorAtoB || dir == EFrameDirection::MonitorBtoA;
    }
    ST_Side &SideOf(EFrameDirection dir) { return m_sides[dir == EFrameDirection::MonitorAtoB ? 0 : 1]; }
    CFrameProfile *FramerOf(EFrameDirection dir);
    bool AnyFramer() const { return m_profile || m_sides[0].Framer || m_sides[1].Framer; }
    // Feeds the waiting reads stamped before `before` (all when none), and before any write still
    // under way.
    // Any thread: a read stamped now joins the queue.
    void Queue(EFrameDirection dir, const uint8_t *data, size_t size);
    template <typename Which> void DropReads(Which which);
    // The reads stamped before a write, then the write's bytes.
    void FeedWrite(FrameTime time, const uint8_t *data, size_t size);
    void FeedReads(std::optional<FrameTime> before);
    void FeedFramer(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time);
    void Hand(std::vector<ST_Frame> &frames);
    void ArmWake();

    std::atomic<bool> m_on{false};

    // Shared with the listener and the sender.
    mutable std::mutex m_lock;
    std::deque<ST_Read> m_reads;
    size_t m_readBytes = 0;
    std::multiset<FrameTime> m_writes; // begun, not yet fed

    // The owner thread's.
    std::optional<ST_FramingProfile> m_profileSettings;
    ST_LineTiming m_timing;
    std::unique_ptr<CFrameProfile> m_profile;
    ST_Side m_sides[2];  // A to B, B to A
    FrameTime m_last{0}; // the framer's clock: never goes back
    std::vector<ST_Frame> m_spare;
    CNamedObservers<void(const ST_Frame &frame)> m_observers;
    Wake m_wake;
    std::optional<FrameTime> m_armed;
    uint64_t m_generation = 0;
};
