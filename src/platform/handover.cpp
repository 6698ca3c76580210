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
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_cancelled)
            return nullptr;
        while (!m_pending.empty() && m_pending.front().expired())
            m_pending.pop_front();
        m_pending.push_back(delivery);
        m_queue.push_back(delivery);
        m_queued.notify_all();
    }
    if (Wake())
        return delivery;
    const std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (*it == delivery) {
            m_queue.erase(it);
            break;
        }
    }
    return nullptr;
}

void CHandOver::Cancel()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_cancelled = true;
    for (const std::weak_ptr<Delivery> &weak : m_pending) {
        if (const std::shared_ptr<Delivery> delivery = weak.lock()) {
            const std::lock_guard<std::mutex> inner(delivery->lock);
            if (delivery->finished)
                continue;
            delivery->cancelled = true;
            delivery->done.notify_all();
        }
    }
    m_pending.clear();
}

void CHandOver::Resume()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_cancelled = false;
}

bool CHandOver::Cancelled() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_cancelled;
}

bool CHandOver::RunNext()
{
    std::shared_ptr<Delivery> next;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_queue.empty())
            return false;
        next = std::move(m_queue.front());
        m_queue.pop_front();
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
    std::unique_lock<std::mutex> guard(m_lock);
    return m_queued.wait_for(guard, std::chrono::milliseconds(ms), [this] { return !m_queue.empty(); });
}

int CQueuedHandOver::RunPending()
{
    int ran = 0;
    while (RunNext())
        ++ran;
    return ran;
}
