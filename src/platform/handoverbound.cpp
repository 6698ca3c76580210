#include "platform/handoverbound.h"

void CHandOverBound::Added(size_t bytes)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_queued += bytes;
}

void CHandOverBound::Taken(size_t bytes)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_queued -= bytes < m_queued ? bytes : m_queued;
        if (m_queued <= m_limit / 2)
            m_holding = false;
    }
    m_room.notify_all();
}

void CHandOverBound::Clear()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_queued = 0;
        m_holding = false;
    }
    m_room.notify_all();
}

size_t CHandOverBound::Queued() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_queued;
}

bool CHandOverBound::WaitForRoom(const std::function<void()> &tellHold)
{
    bool tell = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_queued < m_limit || m_stopping)
            return !m_stopping;
        tell = tellHold && !m_holding;
        m_holding = true;
    }
    if (tell)
        tellHold();
    std::unique_lock<std::mutex> guard(m_lock);
    m_waiting = true;
    m_room.wait(guard, [this] { return m_queued < m_limit || m_stopping; });
    m_waiting = false;
    return !m_stopping;
}

void CHandOverBound::SetStopping(bool on)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = on;
    }
    m_room.notify_all();
}

bool CHandOverBound::Waiting() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_waiting;
}
