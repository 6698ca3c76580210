#include "platform/handover.h"

#include <chrono>

bool CHandOver::Deliver(std::function<void()> task)
{
    if (OnOwnerThread()) {
        if (Cancelled())
            return false;
        task();
        return true;
    }
    const std::shared_ptr<Delivery> delivery = Enqueue(std::move(task));
    if (!delivery || !Post(delivery))
        return false;
    std::unique_lock<std::mutex> wait(delivery->lock);
    delivery->done.wait(wait, [&] { return delivery->finished || delivery->cancelled; });
    return !delivery->cancelled;
}

bool CHandOver::Forward(std::function<void()> task)
{
    std::shared_ptr<Delivery> delivery = Enqueue(std::move(task));
    return delivery && Post(std::move(delivery));
}

// Registered so that Cancel can reach it; null once cancelled.
std::shared_ptr<CHandOver::Delivery> CHandOver::Enqueue(std::function<void()> task)
{
    auto delivery = std::make_shared<Delivery>();
    delivery->task = std::move(task);
    const std::lock_guard<std::mutex> guard(lock_);
    if (cancelled_)
        return nullptr;
    while (!pending_.empty() && pending_.front().expired())
        pending_.pop_front();
    pending_.push_back(delivery);
    return delivery;
}

void CHandOver::Cancel()
{
    const std::lock_guard<std::mutex> guard(lock_);
    cancelled_ = true;
    for (const std::weak_ptr<Delivery> &weak : pending_) {
        if (const std::shared_ptr<Delivery> delivery = weak.lock()) {
            const std::lock_guard<std::mutex> inner(delivery->lock);
            if (delivery->finished)
                continue;
            delivery->cancelled = true;
            delivery->done.notify_all();
        }
    }
    pending_.clear();
}

void CHandOver::Resume()
{
    const std::lock_guard<std::mutex> guard(lock_);
    cancelled_ = false;
}

bool CHandOver::Cancelled() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return cancelled_;
}

void CHandOver::Run(const std::shared_ptr<Delivery> &delivery)
{
    {
        const std::lock_guard<std::mutex> guard(delivery->lock);
        if (delivery->cancelled)
            return;
    }
    delivery->task();
    const std::lock_guard<std::mutex> guard(delivery->lock);
    delivery->finished = true;
    delivery->done.notify_all();
}

bool CQueuedHandOver::Post(std::shared_ptr<Delivery> delivery)
{
    const std::lock_guard<std::mutex> guard(queueLock_);
    queue_.push_back(std::move(delivery));
    queued_.notify_all();
    return true;
}

int CQueuedHandOver::RunPending()
{
    int ran = 0;
    while (RunOne(0))
        ++ran;
    return ran;
}

bool CQueuedHandOver::RunOne(int ms)
{
    std::shared_ptr<Delivery> next;
    {
        std::unique_lock<std::mutex> guard(queueLock_);
        if (!queued_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); }))
            return false;
        next = std::move(queue_.front());
        queue_.pop_front();
    }
    Run(next);
    return true;
}

bool CQueuedHandOver::WaitQueued(int ms)
{
    std::unique_lock<std::mutex> guard(queueLock_);
    return queued_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
}
