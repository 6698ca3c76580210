#pragma once
// A bound on what a reading thread has handed over to the owner thread and the owner has not yet
// taken. At the bound the reader stops before its next read, so the bytes wait in the driver,
// where a line's flow control can hold them, rather than in memory, until the owner has taken
// some. Each hold is to be told, but only once until the queue has shrunk to half since, so an
// owner that stays behind hears of it once, not at every block it takes. The port's listener
// and the two-port monitor hand over to the window through it.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

class CHandOverBound
{
public:
    static constexpr size_t kLimit = 32 * 1024 * 1024;

    explicit CHandOverBound(size_t limit = kLimit) : m_limit(limit) {}

    // Reader: bytes handed over.
    void Added(size_t bytes);
    // Owner: bytes taken.
    void Taken(size_t bytes);
    // Nothing is queued any more (the queue was dropped).
    void Clear();
    size_t Queued() const;

    // Reader, before each read: returns at once below the bound. At it, calls `tellHold` (when
    // given and this hold is to be told; outside the lock, so it may hand something over) and
    // waits for room. False when stopping, at once or once woken.
    bool WaitForRoom(const std::function<void()> &tellHold);
    // Any thread: wakes a wait, and every later one returns false until SetStopping(false).
    void SetStopping(bool on);
    // A reader waits for room now.
    bool Waiting() const;

private:
    const size_t m_limit;
    mutable std::mutex m_lock;
    std::condition_variable m_room;
    size_t m_queued = 0;
    bool m_stopping = false;
    bool m_holding = false; // reading stopped at the bound, and the queue has not shrunk to half since
    bool m_waiting = false;
};
