#pragma once
// The send queue the rule thread fills and the pending list the send thread works off. Records
// enter the pending list in queue order and leave it when due, in that same order.
#include "autosend/rule.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class CSendSchedule
{
public:
    void Queue(ST_SendData send);

    // Moves every queued record to the end of the pending list (send thread only).
    void MoveQueued();

    // Takes every pending record whose send time has come (SendTime <= now) off the pending
    // list, in list order (send thread only).
    std::vector<CCommData> TakeDue(int64_t now);

    // Earliest SendTime on the pending list; false when it is empty (send thread only).
    bool NextDue(int64_t &due) const;

    bool HasQueued() const;
    void Clear();

    // Queue() and Notify() raise the change count; the send thread reads it before looking and
    // waits for a newer one, or until `timeout` passes.
    uint64_t ChangeSeq() const;
    void WaitChange(uint64_t seenSeq, std::chrono::microseconds timeout) const;
    void Notify();

private:
    mutable std::mutex m_queueLock;
    mutable std::condition_variable m_changed;
    uint64_t m_changeSeq = 0;
    std::deque<ST_SendData> m_queue;
    std::vector<ST_SendData> m_pending;
};
