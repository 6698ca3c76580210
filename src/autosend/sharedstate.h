#pragma once
// What the main window shares with the auto-send engine's threads: the run state, the queues of
// user actions and received blocks, the run's start time and the last send/receive marks. The
// window writes, the engine reads; every part has its own lock so a pass can copy what it needs
// and evaluate its rules without holding any.
#include "data/commdata.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

enum : uint8_t { AUTOSEND_STOPPED = 0, AUTOSEND_RUNNING = 1, AUTOSEND_PAUSED = 2 };

struct ST_TimeMarks
{
    int64_t StartTime = 0; // local ms (platform/clock.h)
    int64_t SendBeginTime = 0, SendEndTime = 0, RecBeginTime = 0, RecEndTime = 0;
    bool SendBeginValid = false, SendEndValid = false, RecBeginValid = false, RecEndValid = false;
};

class CAutoSendShared
{
public:
    std::atomic<uint8_t> AutoSendState{AUTOSEND_STOPPED};

    // Stores the state and wakes the engine's threads, so a stop is seen at once.
    void SetState(uint8_t state);

    // Every push and SetState raise the signal. A waiter reads SignalSeq() before looking at the
    // queues and then waits for a newer one, so a push in between is never missed.
    void Signal();
    uint64_t SignalSeq() const;
    // True when signalled after `seenSeq`, false when `timeout` passed first.
    bool WaitSignal(uint64_t seenSeq, std::chrono::microseconds timeout) const;

    void PushAction(uint8_t action);
    bool PopAction(uint8_t &action);
    void PushRec(const CCommData &block);
    bool PopRec(CCommData &block);
    size_t RecQueueSize() const;
    // An action or a received block is waiting.
    bool HasInput() const;
    void ClearQueues();

    // Start: StartTime := now, all four marks invalid.
    void ResetMarks(int64_t startTime);
    void MarkSendBegin(int64_t t);
    void MarkSendEnd(int64_t t);
    void MarkRecBegin(int64_t t);
    void MarkRecEnd(int64_t t);
    ST_TimeMarks Marks() const;

private:
    // `time` and `valid` are fields of m_marks; they are written under its lock.
    void SetMark(int64_t &time, bool &valid, int64_t t);

    mutable std::mutex m_actionLock;
    std::deque<uint8_t> m_actionQueue;
    mutable std::mutex m_recLock;
    std::deque<CCommData> m_recQueue;
    mutable std::mutex m_markLock;
    ST_TimeMarks m_marks;
    mutable std::mutex m_signalLock;
    mutable std::condition_variable m_signal;
    uint64_t m_signalSeq = 0;
};
