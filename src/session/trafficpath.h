#pragma once
// Every byte that crosses a port reaches its consumers by one ordered path. It has two halves:
//
// - the read half runs on the port's listener thread, for every read, before the bytes are formed
//   into blocks (and before a ZMODEM start is split off them): for a reader that cannot wait for a
//   block's end, a script's expect. Its readers must not block and never touch a widget;
// - the owner half runs on the session's owner thread (the GUI thread of a window) for each
//   received block, each send's outcome and the monitor's blocks, through its named stages in the
//   order they were added. The order is part of the behaviour (a checksum mark must exist before
//   the block's log line is written; the received list takes the block itself, so it comes after
//   everything that reads it), so it is written once, where the path is built, and every new
//   consumer of traffic is one more stage instead of an edit of the receive or send path.
//
// Notes that follow from bytes (a script's verdict on the answer it read) are made on other
// threads at once, while the bytes are still forming their block; AfterRead keeps such a note
// behind the bytes that were read before it, so the log tells cause before effect.
#include "data/commdata.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class ETraffic : uint8_t { Received, Sent, MonitorAtoB, MonitorBtoA };

struct ST_Traffic
{
    ETraffic Direction = ETraffic::Received;
    // The bytes; a received block carries its name, a send the item it went out as.
    CCommData Data;
    // When the read or write that brought the first byte was done: on a clock that never goes back
    // (milliseconds of the steady clock) and on the rules' clock (local wall time).
    int64_t SteadyMs = 0;
    int64_t WallMs = 0;
    // SteadyMs in microseconds, where the read or write was stamped so (0: SteadyMs only).
    int64_t SteadyMicros = 0;
    // The port's name, or the monitor's side the bytes came from.
    std::string Source;
    // How long ago the bytes were read (received: the block was complete) or written, as the
    // owner thread runs the event (it may have waited for a frame).
    int64_t AgeMs = 0;
    // A file transfer's protocol both ways (its blocks and frames, the other end's answers), which
    // the session has counted and the transfer's reports show: no data for a view of the line.
    bool Transfer = false;
    // A send the log writes a line for (its caller may join sends into lines of its own, or the
    // window may not log sends at all); received bytes are always logged.
    bool Logged = true;
    // The path's number for the event, counted from 1 as it runs them (modulo 2^32): what keeps
    // the event's bytes (the log's lines, an export's packets) can tell them by it.
    uint32_t Seq = 0;
};

// The wall clock (microseconds since the epoch) at a moment of the steady clock, in microseconds:
// a stamp for a file that others read, taken from when the line saw the bytes.
int64_t WallMicrosAt(int64_t steadyMicros);
// When the event's first byte was read or its write began, on the wall clock in microseconds.
inline int64_t TrafficWallMicros(const ST_Traffic &event)
{
    return WallMicrosAt(event.SteadyMicros != 0 ? event.SteadyMicros : event.SteadyMs * 1000);
}

class CTrafficPath
{
public:
    // A stage may read the event; only the last may take its bytes (move from them). Each stage
    // looks at the directions it is for.
    using Stage = std::function<void(ST_Traffic &event)>;
    using Reader = std::function<void(const uint8_t *data, size_t size)>;

    // ---- Owner half ----
    // Appends a stage; `name` says what it is for, in tests and in the diagnostic view of the order.
    void Add(std::string name, Stage stage);
    // Numbers the event (ST_Traffic::Seq) and runs it through the stages.
    void Run(ST_Traffic &event);
    std::vector<std::string> Names() const;

    // ---- Read half ----
    // Any thread: the reader called `name` gets every read from now on; null removes it. Readers
    // run in the order of their first setting.
    void SetReader(const std::string &name, std::shared_ptr<Reader> reader);
    // Listener thread.
    void Read(const uint8_t *data, size_t size);
    // Any thread: a reader is set.
    bool HasReaders() const;

    // ---- What follows from the bytes read ----
    // Any thread: how far the reads have come, to be handed with a note to AfterRead.
    struct ST_ReadMark
    {
        uint64_t Run = 0;
        uint64_t Bytes = 0;
    };
    ST_ReadMark ReadSoFar() const;
    // The same for a thread that may outlive the path (a script left running on its own): the
    // function keeps what it reads alive.
    using ReadMarker = std::function<ST_ReadMark()>;
    ReadMarker Marker() const;
    // Owner thread: `then` runs once the blocks of the bytes read before `mark` have been through
    // the owner half (at once when they have, or when they never will: see EndReads).
    void AfterRead(const ST_ReadMark &mark, std::function<void()> then);
    // Owner thread: `bytes` more of the read bytes have been through the owner thread, whatever
    // became of them (shown, held as a possible transfer start, or a transfer's own).
    void Arrived(size_t bytes);
    // Owner thread, with no listener running: the reads so far have all arrived or were dropped
    // with their port; what waits for them runs now, and a new count begins.
    void EndReads();

private:
    uint32_t m_seq = 0;
    void RunDue();

    struct ST_Stage
    {
        std::string Name;
        Stage Run;
    };
    std::vector<ST_Stage> m_stages;

    struct ST_Reader
    {
        std::string Name;
        std::shared_ptr<Reader> Run;
    };
    struct ST_ReadState
    {
        std::mutex Lock;
        // Copied whole on each change, so a read takes the list under the lock and calls it outside.
        std::shared_ptr<const std::vector<ST_Reader>> Readers = std::make_shared<std::vector<ST_Reader>>();
        ST_ReadMark Read; // counted before the readers are called: a note they cause includes them
    };
    const std::shared_ptr<ST_ReadState> m_read = std::make_shared<ST_ReadState>();

    uint64_t m_arrived = 0;
    struct ST_Waiting
    {
        uint64_t Bytes;
        std::function<void()> Then;
    };
    std::deque<ST_Waiting> m_waiting;
};
