#pragma once
// What the main window shares with the auto-send engine's threads: the run state, the queues of
// user actions and received blocks, the run's start time and the last send/receive marks. The
// window writes, the engine reads; every part has its own lock so a pass can copy what it needs
// and evaluate its rules without holding any.
#include "data/commdata.h"

#include <atomic>
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

    void PushAction(uint8_t action);
    bool PopAction(uint8_t &action);
    void PushRec(const CCommData &block);
    bool PopRec(CCommData &block);
    size_t RecQueueSize() const;
    void ClearQueues();

    // Start: StartTime := now, all four marks invalid.
    void ResetMarks(int64_t startTime);
    void MarkSendBegin(int64_t t);
    void MarkSendEnd(int64_t t);
    void MarkRecBegin(int64_t t);
    void MarkRecEnd(int64_t t);
    ST_TimeMarks Marks() const;

private:
    mutable std::mutex m_actionLock;
    std::deque<uint8_t> m_actionQueue;
    mutable std::mutex m_recLock;
    std::deque<CCommData> m_recQueue;
    mutable std::mutex m_markLock;
    ST_TimeMarks m_marks;
};
