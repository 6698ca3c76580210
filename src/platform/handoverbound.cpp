#include "platform/handoverbound.h"

void CHandOverBound::Added(size_t bytes)
{
    const std::lock_guard<std::mutex> guard(lock_);
    queued_ += bytes;
}

void CHandOverBound::Taken(size_t bytes)
{
    {
        const std::lock_guard<std::mutex> guard(lock_);
        queued_ -= bytes < queued_ ? bytes : queued_;
        if (queued_ <= limit_ / 2)
            holding_ = false;
    }
    room_.notify_all();
}

void CHandOverBound::Clear()
{
    {
        const std::lock_guard<std::mutex> guard(lock_);
        queued_ = 0;
        holding_ = false;
    }
    room_.notify_all();
}

size_t CHandOverBound::Queued() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return queued_;
}

bool CHandOverBound::WaitForRoom(const std::function<void()> &tellHold)
{
    bool tell = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (queued_ < limit_ || stopping_)
            return !stopping_;
        tell = tellHold && !holding_;
        holding_ = true;
    }
    if (tell)
        tellHold();
    std::unique_lock<std::mutex> guard(lock_);
    waiting_ = true;
    room_.wait(guard, [this] { return queued_ < limit_ || stopping_; });
    waiting_ = false;
    return !stopping_;
}

void CHandOverBound::SetStopping(bool on)
{
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = on;
    }
    room_.notify_all();
}

bool CHandOverBound::Waiting() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return waiting_;
}
