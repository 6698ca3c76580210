#pragma once
// Hands work from a worker thread to an owner thread (the GUI thread) and waits until the owner
// has done it: deliveries run on the owner thread, one at a time, in the order they were made.
//
// A delivery can be cancelled from any thread: Cancel makes every delivery that has not finished
// return false at once, whether it is still queued (it will then never run) or already running
// (it runs to its end on the owner thread, but the worker no longer waits for it). This is what
// lets the owner stop a worker that is blocked in Deliver without either waiting for the other.
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
    struct Delivery
    {
        std::function<void()> task;
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool cancelled = false;
    };
    // Runs the delivery unless it was cancelled; the owner-thread side of every implementation.
    // Static, so a queued delivery outliving its hand-over is still safe to run.
    static void Run(const std::shared_ptr<Delivery> &delivery);
    // Queues Run(delivery) on the owner thread. False when that is impossible (owner gone).
    virtual bool Post(std::shared_ptr<Delivery> delivery) = 0;
    virtual bool OnOwnerThread() const = 0;

private:
    std::shared_ptr<Delivery> Enqueue(std::function<void()> task);

    mutable std::mutex lock_;
    bool cancelled_ = false;
    std::deque<std::weak_ptr<Delivery>> pending_;
};

// The owner thread is whichever thread calls RunPending / RunOne; for tests and for programs
// without an event loop.
class CQueuedHandOver : public CHandOver
{
public:
    explicit CQueuedHandOver(std::thread::id owner = std::this_thread::get_id()) : owner_(owner) {}
    // Runs every queued delivery; returns how many ran.
    int RunPending();
    // Waits up to `ms` for one delivery and runs it; false when none came.
    bool RunOne(int ms);
    // Waits up to `ms` until a delivery is queued, without running it.
    bool WaitQueued(int ms);

protected:
    bool Post(std::shared_ptr<Delivery> delivery) override;
    bool OnOwnerThread() const override { return std::this_thread::get_id() == owner_; }

private:
    std::thread::id owner_;
    std::mutex queueLock_;
    std::condition_variable queued_;
    std::deque<std::shared_ptr<Delivery>> queue_;
};
