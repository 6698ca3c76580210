#pragma once
// A serial port that delivers its events on the GUI thread: the listener hands each event over
// and waits until the handler has returned, so handlers run one at a time, in order, and may read
// the port while the listener waits.
//
// Port lost: when the listener ends on its own (the device went away, or its wait failed), the
// lost handler is called the same way, once, with the failure code; the port stays open until the
// handler (or anyone) calls Close. Close may be called from inside either handler.
//
// Close on the GUI thread never waits for a hand-over in progress: it cancels the hand-over, so a
// delivery still queued is dropped and the listener ends at once.
//
// Opened with a block handler, the listener reads the port itself and cuts what it reads into
// blocks (CBlockFormer); it never waits for the GUI thread. Finished blocks, the other event bits
// and the loss of the port queue up in the order they happened, and the GUI thread takes all that
// has queued in one go. The event handler then sees only the bits other than EV_RXCHAR.
//
// Line errors come with the driver's count of each kind since the event before. In block mode an
// event ends the block then forming, so it stands after the bytes read before it and before those
// read after it, and EventSteadyMicros tells the handler when the listener saw it. Block mode holds
// at most kQueuedBytesLimit received bytes for the owner thread; at that bound the listener stops
// reading (the bytes wait in the driver, where the line's flow control can hold them) until the
// owner thread has taken some, and hands over EV_RX80FULL, once per hold, where the hold began.
#include "platform/handover.h"
#include "platform/handoverbound.h"
#include "serial/blockformer.h"
#include "serial/serialex.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// A received block with the times its first byte came and it was complete, in the clock of the
// program's rules (CSystemClock).
struct CReceivedBlock
{
    std::vector<uint8_t> bytes;
    int64_t beginMs = 0;
    int64_t endMs = 0;
    // beginMs on the steady clock, which no change of the wall clock moves; and in microseconds,
    // for a capture that tells the reads apart.
    int64_t beginSteadyMs = 0;
    int64_t beginSteadyMicros = 0;
    // How long the block waited for the owner thread after it was complete (a hold included).
    int64_t waitedMs = 0;
};

// What the listener knows of the line when it may let bytes gather in the driver after a read.
struct ST_ReadPace
{
    CBlockFormer::Clock::time_point LastRead;
    std::chrono::microseconds Spacing{0}; // the reads' usual distance of late
    uint64_t ReadSize = 0;                // and the bytes they found, averaged alike
    // Where the pace ends: none while nothing paces the reads (a flood's hold, a transfer).
    std::optional<CBlockFormer::Clock::time_point> PaceEnd;
    std::optional<CBlockFormer::Clock::time_point> BlockDeadline; // the forming block's
};

// Whole milliseconds the listener may wait before its next read at `now`: never longer than the
// line takes to bring three quarters of what a read takes, so a flood is read as it comes.
uint32_t ReadPauseMs(const ST_ReadPace &pace, CBlockFormer::Clock::time_point now);

class CSerialWnd : public CSerialEx
{
public:
    using EventHandler =
        std::function<void(uint16_t events, uint16_t errors, const ST_LineCounters &errorCounts)>;
    using LostHandler = std::function<void(long code)>;
    using BlockHandler = std::function<void(CReceivedBlock &block)>;

    CSerialWnd() = default;
    ~CSerialWnd() override;

    // Opens the port and starts the listener; on any failure the device ends closed.
    long Open(const std::string &port, CHandOver *handOver, EventHandler onEvent, LostHandler onLost = {},
              long inQueue = 0, long outQueue = 0);
    // The same with the listener forming blocks; `onBlock` must be set.
    long Open(const std::string &port, CHandOver *handOver, BlockHandler onBlock, EventHandler onEvent,
              LostHandler onLost, long inQueue = 0, long outQueue = 0);
    using CSerialEx::Open;
    long Close() override;

    static constexpr size_t kQueuedBytesLimit = CHandOverBound::kLimit;
    // The listener has stopped reading at the bound and waits for the owner thread (block mode).
    bool ReadingHeld();
    // Block mode, owner thread, inside the event handler: when the listener took the event from
    // the port, in microseconds of the steady clock (0 outside a handler).
    int64_t EventSteadyMicros() const { return m_eventMicros ? *m_eventMicros : 0; }

    // Block mode, owner thread: blocks finished within `ms` from now wait in the queue rather than
    // wake the owner thread one by one; TakeHeldBlocks hands them over. They go by themselves when
    // the time is up, when kHeldBytesLimit bytes wait, or with an event or the loss of the port,
    // which keep their place behind them. 0 ends a hold and hands over what waits.
    // With `paceMs`, for an owner that needs no read at once (no reader of the tap, no framing),
    // the listener also leaves what arrives in the driver for up to that long after each read
    // while the hold lasts, and takes it in one read: a stream then wakes it once a pace rather
    // than once an arrival. The bytes and their order are the same; a cut and a block's times
    // follow the reads, so they come up to `paceMs` later than the bytes did. A divert ends it.
    void HoldBlocksFor(uint32_t ms, uint32_t paceMs = 0);
    // False when no block waited for the hold's end.
    bool TakeHeldBlocks();
    static constexpr size_t kHeldBytesLimit = 1024 * 1024;
    // Block mode: how long one turn of the owner thread hands blocks over before it lets the
    // owner's other events run.
    static constexpr std::chrono::milliseconds kDrainSlice{12};

    // Block mode, any thread: every read's bytes as they arrive, on the listener thread, before they
    // are formed into blocks, for a reader that cannot wait for a block's end (a script's expect).
    // The tap must not block; it stays across a close and an open. Null removes it.
    using ReadTap = std::function<void(const uint8_t *data, size_t size)>;
    void SetReadTap(std::shared_ptr<ReadTap> tap);

    // Block mode, owner thread: the received bytes go to `divert` instead of the owner thread, cut
    // into blocks no longer than the reads that brought them (a file transfer's engine waits for
    // each answer, never for a quiet line). The blocks queued for the owner and the one forming
    // came before every later read, so they go to `divert` first, in order. `divert` is called on
    // the listener thread, or on this one while it is set, under a lock of the port's: it must
    // not block nor call the port. Null, or a close, ends it; once that returned it is called no
    // more.
    using ReadDivert = std::function<void(CReceivedBlock &block)>;
    void SetReadDivert(std::shared_ptr<ReadDivert> divert);

protected:
    void OnEvent(uint16_t events, uint16_t errors) override;
    void OnPortLost(long code) override;
    void OnListenerStarting() override;
    void OnListenerStopping() override;
    uint32_t NextWaitMs() override;
    void OnWaitExpired() override;
    uint32_t NextDataPauseMs() override;

private:
    struct Inbox;
    void ReadBlocks(uint16_t events, uint16_t errors, const ST_LineCounters &errorCounts);
    std::shared_ptr<Inbox> CurrentInbox();
    void QueueFinished(const std::shared_ptr<Inbox> &inbox);
    std::deque<CReceivedBlock> TakeFinished();
    bool DivertRead(const std::shared_ptr<Inbox> &inbox, const uint8_t *data, size_t size);
    static void Drain(const std::shared_ptr<Inbox> &inbox);
    long OpenWith(const std::string &port, CHandOver *handOver, std::shared_ptr<Inbox> inbox,
                  EventHandler onEvent, LostHandler onLost, long inQueue, long outQueue);

    // Listener-thread state of block mode.
    CBlockFormer m_former;
    std::vector<uint8_t> m_readBuffer;
    // The last read that found bytes, and how far apart such reads came of late.
    std::optional<CBlockFormer::Clock::time_point> m_lastReadAt;
    std::chrono::microseconds m_readSpacing = CBlockFormer::kBudget;
    uint64_t m_readSize = 0; // bytes such reads found, averaged alike

    std::mutex m_targetLock;
    std::shared_ptr<Inbox> m_inbox; // block mode only
    CHandOver *m_handOver = nullptr;
    std::shared_ptr<EventHandler> m_onEvent;
    std::shared_ptr<LostHandler> m_onLost;
    std::shared_ptr<ReadTap> m_readTap;
    // The inbox's, set by each drain for the event it hands over (owner thread).
    std::shared_ptr<int64_t> m_eventMicros;
};
