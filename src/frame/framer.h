#pragma once
// Cuts the bytes of a port into the messages a device sends. A framer is fed byte runs as they are
// read, each with its direction and the time of the read, and hands back the frames it completes.
// Each direction has its own state, so frames of two directions never mix. A frame that never
// completes is ended by a time-out, one that grows past the maximum length is cut there: garbage
// on the line never grows memory without bound.
//
// Times are microseconds of a clock that never goes back (the steady clock); the framer only ever
// subtracts them. Bytes of one read count as one run with no gap inside it: the reads are all the
// line tells us about when the bytes came.
#include "data/checksum.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using FrameTime = std::chrono::microseconds;

// In the order of the traffic path's directions, so one casts to the other.
enum class EFrameDirection : uint8_t { Received = 0, Sent = 1, MonitorAtoB = 2, MonitorBtoA = 3 };
constexpr size_t kFrameDirections = 4;

enum class EFrameCheck : uint8_t { None, Ok, Bad };

// Why a frame ended other than as its protocol says (bit flags in ST_Frame::Marks).
enum EFrameMark : uint8_t {
    FRAME_TIMED_OUT = 1,     // the line fell quiet before the frame was complete
    FRAME_MAX_LENGTH = 2,    // cut at the maximum length
    FRAME_BAD_ENCODING = 4,  // a bad COBS group or SLIP escape, a length below its header
    FRAME_SILENCE_FLOOR = 8, // split by silence at the floor, not at the gap asked for
    FRAME_STRAY = 16,        // bytes outside any frame (before a start delimiter)
};

struct ST_Frame
{
    ST_Frame() = default;
    // Its bytes kept in the room of a buffer used before.
    explicit ST_Frame(std::vector<uint8_t> &&room) : Bytes(std::move(room)) {}

    EFrameDirection Direction = EFrameDirection::Received;
    FrameTime Start{0}; // the read that brought the first byte
    FrameTime End{0};   // the read that brought the last byte
    // Since the read of the byte before the first one in this direction; none for the first frame.
    std::optional<FrameTime> Gap;
    double GapChars = 0;          // the gap in character times; 0 when the baud rate is not known
    std::vector<uint8_t> Bytes;   // as received, delimiters included where they are kept
    std::vector<uint8_t> Decoded; // what an encoding (COBS, SLIP) carries; empty for the others
    bool IsEncoded = false;
    EFrameCheck Check = EFrameCheck::None;
    uint8_t Marks = 0;

    // What the check and the views look at: the decoded bytes of an encoded frame.
    const std::vector<uint8_t> &Payload() const { return IsEncoded ? Decoded : Bytes; }
};

// One character on the line: start bit, data bits, parity bit, stop bits.
struct ST_LineTiming
{
    uint32_t Baud = 0; // 0: not known, gaps are not given in characters
    uint8_t DataBits = 8;
    bool Parity = false;
    double StopBits = 1;

    // 0 when the baud rate is not known.
    double CharMicros() const;
};

// A checksum over part of each complete frame's payload: `Skip` bytes at the start are not
// covered, the check value follows the covered bytes (in the order the checksum gives), and `Trail` bytes
// after it (an end delimiter kept in the frame) are not covered either.
struct ST_FrameCheck
{
    ST_ChecksumSpec Sum;
    size_t Skip = 0;
    size_t Trail = 0;
};

// The check a checksum's name gives ("CRC-16/MODBUS", any case), in its protocols' byte order.
// Throws std::invalid_argument for a name no checksum has (or "Custom CRC", which needs its values).
ST_FrameCheck FrameCheckByName(const std::string &name, size_t skip = 0, size_t trail = 0);

struct ST_FramerLimits
{
    size_t MaxLength = 64 * 1024;
    FrameTime TimeOut = std::chrono::milliseconds(1000); // 0: frames wait for their end for ever
};

class CFramer
{
public:
    explicit CFramer(const ST_FramerLimits &limits = {}, const ST_LineTiming &timing = {});
    virtual ~CFramer() = default;
    CFramer(const CFramer &) = delete;
    CFramer &operator=(const CFramer &) = delete;

    // Throws std::invalid_argument for a checksum CChecksum refuses.
    void SetCheck(const std::optional<ST_FrameCheck> &check);

    // Appends to `out` the frames these bytes complete. Frames the quiet line has already ended by
    // `time`, in any direction, are handed out first, as Tick(time) would. Times of successive
    // calls never go back.
    void Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time,
              std::vector<ST_Frame> &out);
    // Ends the frames the quiet line has ended by `now`.
    void Tick(FrameTime now, std::vector<ST_Frame> &out);
    // Hands out every unfinished frame as it stands, marked timed out (the port closes); the
    // silence framer's last frame is complete then and is not marked.
    void Flush(std::vector<ST_Frame> &out);
    // When Tick next has something to end; none while no frame waits on the clock.
    std::optional<FrameTime> NextDeadline() const;
    // Takes back the buffers of frames nobody needs any more and empties the list: the frames to
    // come keep their bytes there instead of in a heap block each (a few hundred buffers at most,
    // short ones only).
    void Recycle(std::vector<ST_Frame> &frames);

protected:
    struct ST_Run
    {
        size_t At;      // index in the lane's bytes of the run's first byte
        FrameTime Time; // of the read
        std::optional<FrameTime> Gap;
    };
    struct ST_Lane
    {
        std::vector<uint8_t> Bytes;
        std::vector<uint8_t> Decoded;
        std::vector<ST_Run> Runs;
        std::optional<FrameTime> Last; // read of the last byte taken
        uint64_t Feed = 0;             // the Feed call the last byte came in
        // The framer's own state, cleared with every frame handed out; each framer says what the
        // flags mean to it.
        bool InFrame = false;
        bool Content = false;
        bool Flag = false;
        bool Bad = false;
        size_t Need = 0;
    };

    // Takes one byte (already appended to lane.Bytes) and ends frames by calling Emit.
    virtual void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) = 0;
    // How many of the bytes at `data` Take would pass over without acting (it is not called for
    // them): the framer's fast path over a frame's body. None unless a framer knows better.
    virtual size_t Skippable(const ST_Lane &, const uint8_t *, size_t) const { return 0; }
    // A frame that the bytes at `data` hold whole, for a lane with nothing in it yet: what Take
    // would cut from them byte by byte, handed out straight from the read (a flood of short frames
    // costs the lane's copies and runs more than the frames themselves). Count 0: none, or not
    // known; the bytes then go the way of every byte.
    struct ST_Whole
    {
        size_t Count = 0;
        size_t DropFront = 0;
        size_t DropBack = 0;
    };
    virtual ST_Whole Whole(const uint8_t *, size_t) const { return {}; }
    // How long the line may stay quiet under an unfinished frame, and what ending it then marks.
    virtual FrameTime QuietLimit() const { return m_limits.TimeOut; }
    virtual uint8_t QuietMark() const { return FRAME_TIMED_OUT; }
    // What ending the lane's unfinished bytes adds besides the quiet mark (they may be stray).
    virtual uint8_t PendingMarks(const ST_Lane &) const { return 0; }
    // The bytes at the start of the unfinished frame that are not kept in it (its delimiter).
    virtual size_t PendingDrop(const ST_Lane &) const { return 0; }
    // The lane holds nothing of a frame yet, only what may start one (a flag shared by two
    // frames): the quiet line and a close end it without a frame.
    virtual bool Idle(const ST_Lane &) const { return false; }
    // What a frame still unfinished when the port closes is marked.
    virtual uint8_t FlushMark() const { return FRAME_TIMED_OUT; }
    virtual bool Encoded() const { return false; }

    // Hands out the first `count` bytes of the lane as a frame, without `dropFront` bytes at its
    // start and `dropBack` at its end (delimiters not kept), and with the decoded bytes; resets the
    // framer's state of the lane.
    void Emit(ST_Lane &lane, EFrameDirection dir, size_t count, uint8_t marks, std::vector<ST_Frame> &out,
              size_t dropFront = 0, size_t dropBack = 0);
    // Forgets the lane's bytes without a frame.
    static void Clear(ST_Lane &lane);
    static bool EndsWith(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &tail,
                         size_t from = 0);
    const ST_FramerLimits &Limits() const { return m_limits; }
    const ST_LineTiming &Timing() const { return m_timing; }

private:
    // A frame of this lane's direction, its fields and buffers but its bytes and times set.
    ST_Frame &NewFrame(EFrameDirection dir, uint8_t marks, std::vector<ST_Frame> &out);
    // The gap before the frame, in microseconds and in characters where the baud rate is known.
    void SetGap(ST_Frame &frame, FrameTime gap) const;
    void Spare(std::vector<uint8_t> &into);
    void EndQuiet(ST_Lane &lane, EFrameDirection dir, FrameTime now, std::vector<ST_Frame> &out);
    void Judge(ST_Frame &frame) const;

    ST_FramerLimits m_limits;
    ST_LineTiming m_timing;
    double m_charMicros;
    std::optional<ST_FrameCheck> m_check;
    std::optional<CChecksum> m_checksum;
    std::array<ST_Lane, kFrameDirections> m_lanes;
    uint64_t m_feeds = 0;
    std::vector<std::vector<uint8_t>> m_spareBytes; // empty, with room
};
