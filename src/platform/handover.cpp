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
    const std::shared_ptr<Delivery> delivery = Post(std::move(task));
    if (!delivery)
        return false;
    std::unique_lock<std::mutex> wait(delivery->lock);
    delivery->done.wait(wait, [&] { return delivery->finished || delivery->cancelled; });
    return !delivery->cancelled;
}

bool CHandOver::Forward(std::function<void()> task)
{
    return Post(std::move(task)) != nullptr;
}

std::shared_ptr<CHandOver::Delivery> CHandOver::Post(std::function<void()> task)
{
    auto delivery = std::make_shared<Delivery>();
    delivery->task = std::move(task);
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_)
            return nullptr;
        while (!pending_.empty() && pending_.front().expired())
            pending_.pop_front();
        pending_.push_back(delivery);
        queue_.push_back(delivery);
        queued_.notify_all();
    }
    if (Wake())
        return delivery;
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (*it == delivery) {
            queue_.erase(it);
            break;
        }
    }
    return nullptr;
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

bool CHandOver::RunNext()
{
    std::shared_ptr<Delivery> next;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (queue_.empty())
            return false;
        next = std::move(queue_.front());
        queue_.pop_front();
    }
    Run(*next);
    return true;
}

void CHandOver::Run(Delivery &delivery)
{
    std::function<void()> task;
    {
        const std::lock_guard<std::mutex> guard(delivery.lock);
        task.swap(delivery.task);
        if (delivery.cancelled)
            return;
    }
    task();
    task = nullptr;
    const std::lock_guard<std::mutex> guard(delivery.lock);
    delivery.finished = true;
    // Still under the lock: once the worker sees `finished` it may free the delivery.
    delivery.done.notify_all();
}

bool CHandOver::WaitQueued(int ms)
{
    std::unique_lock<std::mutex> guard(lock_);
    return queued_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
}

int CQueuedHandOver::RunPending()
{
    int ran = 0;
    while (RunNext())
        ++ran;
    return ran;
}
