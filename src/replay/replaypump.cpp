#include "replay/replaypump.h"

using demo::Clock;

CReplayPump::CReplayPump(ST_Recording recording, const ST_ReplayOptions &options,
                         const demo::ST_DemoLine &line, Writer write)
    : m_line(line), m_write(std::move(write)), m_control(std::make_shared<CReplayControl>()),
      m_device(std::move(recording), options, m_control)
{
    m_control->SetWake([this] {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_poked = true;
        m_wake.notify_one();
    });
    m_thread = std::thread([this] { Run(); });
}

CReplayPump::~CReplayPump()
{
    m_control->SetWake(nullptr);
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
        m_wake.notify_one();
    }
    m_thread.join();
}

void CReplayPump::Received(const uint8_t *data, size_t size)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    // The device keeps no more than this towards a request; more would only be dropped there.
    if (m_in.size() + size > 4 * CReplayDevice::kMaxHeld)
        m_in.clear();
    m_in.insert(m_in.end(), data, data + size);
    m_wake.notify_one();
}

void CReplayPump::Run()
{
    m_device.Start(*this, Clock::now());
    std::vector<uint8_t> taken;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(m_lock);
            const auto ready = [this] { return m_stop || m_poked || !m_in.empty(); };
            const Clock::time_point next = m_device.NextTick();
            if (next == Clock::time_point::max())
                m_wake.wait(guard, ready);
            else
                m_wake.wait_until(guard, next, ready);
            if (m_stop)
                return;
            m_poked = false;
            taken.swap(m_in);
        }
        const Clock::time_point now = Clock::now();
        if (!taken.empty())
            m_device.Received(*this, taken.data(), taken.size(), now);
        taken.clear();
        if (m_device.NextTick() <= now)
            m_device.Tick(*this, now);
    }
}
