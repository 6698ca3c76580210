#include "autosend/sendschedule.h"

#include <algorithm>

void CSendSchedule::Queue(ST_SendData send)
{
    {
        const std::lock_guard<std::mutex> guard(m_queueLock);
        m_queue.push_back(std::move(send));
        ++m_changeSeq;
    }
    m_changed.notify_all();
}

void CSendSchedule::MoveQueued()
{
    std::deque<ST_SendData> taken;
    {
        const std::lock_guard<std::mutex> guard(m_queueLock);
        taken.swap(m_queue);
    }
    for (ST_SendData &send : taken)
        m_pending.push_back(std::move(send));
}

std::vector<CCommData> CSendSchedule::TakeDue(int64_t now)
{
    std::vector<CCommData> due;
    size_t kept = 0;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i].SendTime <= now)
            due.push_back(std::move(m_pending[i].DataItem));
        else if (kept++ != i)
            m_pending[kept - 1] = std::move(m_pending[i]);
    }
    m_pending.resize(kept);
    return due;
}

bool CSendSchedule::NextDue(int64_t &due) const
{
    if (m_pending.empty())
        return false;
    due = m_pending.front().SendTime;
    for (const ST_SendData &send : m_pending)
        due = std::min(due, send.SendTime);
    return true;
}

bool CSendSchedule::HasQueued() const
{
    const std::lock_guard<std::mutex> guard(m_queueLock);
    return !m_queue.empty();
}

void CSendSchedule::Clear()
{
    const std::lock_guard<std::mutex> guard(m_queueLock);
    m_queue.clear();
    m_pending.clear();
}

uint64_t CSendSchedule::ChangeSeq() const
{
    const std::lock_guard<std::mutex> guard(m_queueLock);
    return m_changeSeq;
}

void CSendSchedule::WaitChange(uint64_t seenSeq, std::chrono::microseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_queueLock);
    m_changed.wait_for(lock, timeout, [&] { return m_changeSeq != seenSeq; });
}

void CSendSchedule::Notify()
{
    {
        const std::lock_guard<std::mutex> guard(m_queueLock);
        ++m_changeSeq;
    }
    m_changed.notify_all();
}
