#pragma once
// A clock the test moves by hand and a send target that records what reaches it, marking the
// send times the way the main window does.
#include "autosend/engine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFakeClock : public IClock
{
public:
    explicit CFakeClock(int64_t now = 0) : m_now(now) {}
    int64_t NowMs() const override { return m_now.load(); }
    void Set(int64_t now) { m_now = now; }
    void Advance(int64_t ms) { m_now += ms; }

private:
    std::atomic<int64_t> m_now;
};

struct ST_Sent
{
    std::string Name;
    int64_t At;
};

class CRecordingTarget : public ISendTarget
{
public:
    CRecordingTarget(CAutoSendShared &shared, const IClock &clock) : m_shared(shared), m_clock(clock) {}

    // Both marks are set before the item is recorded, so a test that saw the item also sees them.
    void SendItem(const CCommData &item) override
    {
        const int64_t now = m_clock.NowMs();
        if (m_shared.AutoSendState.load() == AUTOSEND_RUNNING) {
            m_shared.MarkSendBegin(now);
            m_shared.MarkSendEnd(now);
        }
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_sent.push_back({item.GetName(), now});
        }
        m_changed.notify_all();
    }

    std::vector<ST_Sent> Sent() const
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_sent;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const ST_Sent &s : Sent())
            names.push_back(s.Name);
        return names;
    }

    // Waits (at most a generous real-time bound) until `count` items have arrived.
    bool WaitForCount(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(20)) const
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, bound, [&] { return m_sent.size() >= count; });
    }

private:
    CAutoSendShared &m_shared;
    const IClock &m_clock;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<ST_Sent> m_sent;
};

// Wakes both engine threads and returns once each has gone round its loop twice since, so
// whatever the clock and the queues now say has been seen.
inline bool Settle(CAutoSendEngine &engine)
{
    const uint64_t passes = engine.PassCount();
    const uint64_t polls = engine.SendPollCount();
    engine.Wake();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.PassCount() < passes + 2 || engine.SendPollCount() < polls + 2) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}
