#include "autosend/sharedstate.h"

void CAutoSendShared::PushAction(uint8_t action)
{
    {
        const std::lock_guard<std::mutex> guard(m_actionLock);
        m_actionQueue.push_back(action);
    }
    Signal();
}

bool CAutoSendShared::PopAction(uint8_t &action)
{
    const std::lock_guard<std::mutex> guard(m_actionLock);
    if (m_actionQueue.empty())
        return false;
    action = m_actionQueue.front();
    m_actionQueue.pop_front();
    return true;
}

void CAutoSendShared::PushRec(const CCommData &block)
{
    {
        const std::lock_guard<std::mutex> guard(m_recLock);
        m_recQueue.push_back(block);
    }
    Signal();
}

bool CAutoSendShared::PopRec(CCommData &block)
{
    const std::lock_guard<std::mutex> guard(m_recLock);
    if (m_recQueue.empty())
        return false;
    block = std::move(m_recQueue.front());
    m_recQueue.pop_front();
    return true;
}

size_t CAutoSendShared::RecQueueSize() const
{
    const std::lock_guard<std::mutex> guard(m_recLock);
    return m_recQueue.size();
}

bool CAutoSendShared::HasInput() const
{
    {
        const std::lock_guard<std::mutex> guard(m_actionLock);
        if (!m_actionQueue.empty())
            return true;
    }
    const std::lock_guard<std::mutex> guard(m_recLock);
    return !m_recQueue.empty();
}

void CAutoSendShared::ClearQueues()
{
    {
        const std::lock_guard<std::mutex> guard(m_actionLock);
        m_actionQueue.clear();
    }
    const std::lock_guard<std::mutex> guard(m_recLock);
    m_recQueue.clear();
}

void CAutoSendShared::ResetMarks(int64_t startTime)
{
    const std::lock_guard<std::mutex> guard(m_markLock);
    m_marks = ST_TimeMarks{};
    m_marks.StartTime = startTime;
}

void CAutoSendShared::SetMark(int64_t &time, bool &valid, int64_t t)
{
    const std::lock_guard<std::mutex> guard(m_markLock);
    time = t;
    valid = true;
}

void CAutoSendShared::MarkSendBegin(int64_t t)
{
    SetMark(m_marks.SendBeginTime, m_marks.SendBeginValid, t);
}

void CAutoSendShared::MarkSendEnd(int64_t t)
{
    SetMark(m_marks.SendEndTime, m_marks.SendEndValid, t);
}

void CAutoSendShared::MarkRecBegin(int64_t t)
{
    SetMark(m_marks.RecBeginTime, m_marks.RecBeginValid, t);
}

void CAutoSendShared::MarkRecEnd(int64_t t)
{
    SetMark(m_marks.RecEndTime, m_marks.RecEndValid, t);
}

ST_TimeMarks CAutoSendShared::Marks() const
{
    const std::lock_guard<std::mutex> guard(m_markLock);
    return m_marks;
}

void CAutoSendShared::SetState(uint8_t state)
{
    AutoSendState.store(state);
    Signal();
}

void CAutoSendShared::Signal()
{
    {
        const std::lock_guard<std::mutex> guard(m_signalLock);
        ++m_signalSeq;
    }
    m_signal.notify_all();
}

uint64_t CAutoSendShared::SignalSeq() const
{
    const std::lock_guard<std::mutex> guard(m_signalLock);
    return m_signalSeq;
}

bool CAutoSendShared::WaitSignal(uint64_t seenSeq, std::chrono::microseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_signalLock);
    return m_signal.wait_for(lock, timeout, [&] { return m_signalSeq != seenSeq; });
}
