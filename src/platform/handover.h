#pragma once
// Hands work from a worker thread to an owner thread (the GUI thread) and waits until the owner
// has done it: deliveries run on the owner thread, one at a time, in the order they were made.
//
// A delivery can be cancelled from any thread: Cancel makes every delivery that has not finished
// return false at once, whether it is still queued (it will then never run) or already running
// (it runs to its end on the owner thread, but the worker no longer waits for it). This is what
// lets the owner stop a worker that is blocked in Deliver without either waiting for the other.
//
// Everything a delivery carries passes between the threads under this class's own locks, and its
// task (with whatever it holds) is destroyed on the owner thread before the worker is let go, so
// no object of the caller's is ever released on the worker behind the owner's back.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CHandOver
{
public:
    CHandOver() = default;
    virtual ~CHandOver() = default;
    CHandOver(const CHandOver &) = delete;
    CHandOver &operator=(const CHandOver &) = delete;

    // Runs `task` on the owner thread and waits for it. True when it ran to its end; false when
    // it was cancelled. Called on the owner thread itself, it runs the task at once.
    bool Deliver(std::function<void()> task);
    // Queues `task` on the owner thread and returns at once, also on the owner thread itself
    // (the task then runs later, after what was queued before it). Cancel drops it like a
    // delivery. False when cancelled or impossible.
    bool Forward(std::function<void()> task);
    // Drops pending deliveries and refuses new ones until Resume.
    void Cancel();
    void Resume();
    bool Cancelled() const;

protected:
    // Called once per delivery queued: the owner thread is to call RunNext once. False when the
    // owner cannot be reached.
    virtual bool Wake() = 0;
    virtual bool OnOwnerThread() const = 0;
    // On the owner thread: runs the oldest queued delivery; false when none was queued.
    bool RunNext();
    // Waits up to `ms` until a delivery is queued.
    bool WaitQueued(int ms);

private:
    struct Delivery
    {
        std::function<void()> task;
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool cancelled = false;
    };
    static void Run(Delivery &delivery);
    // Registered so that Cancel can reach it, and queued for the owner; null once cancelled.
    std::shared_ptr<Delivery> Post(std::function<void()> task);

    mutable std::mutex m_lock;
    std::condition_variable m_queued;
    bool m_cancelled = false;
    std::deque<std::weak_ptr<Delivery>> m_pending;
    std::deque<std::shared_ptr<Delivery>> m_queue;
};

// The owner thread is whichever thread calls RunPending / RunOne; for tests and for programs
// without an event loop.
class CQueuedHandOver : public CHandOver
{
public:
    explicit CQueuedHandOver(std::thread::id owner = std::this_thread::get_id()) : m_owner(owner) {}
    // Runs every queued delivery; returns how many ran.
    int RunPending();
    // Waits up to `ms` for one delivery and runs it; false when none came.
    bool RunOne(int ms) { return WaitQueued(ms) && RunNext(); }
    // Waits up to `ms` until a delivery is queued, without running it.
    using CHandOver::WaitQueued;

protected:
    bool Wake() override { return true; }
    bool OnOwnerThread() const override { return std::this_thread::get_id() == m_owner; }

private:
    std::thread::id m_owner;
};
