#include "transfer/portchannel.h"

#include <algorithm>
#include <chrono>

void CPortChannel::Feed(const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_received.insert(m_received.end(), data, data + size);
    }
    m_changed.notify_all();
}

long CPortChannel::Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written)
{
    *written = 0;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_sealed)
            return ERROR_INVALID_HANDLE;
        m_writing = true;
    }
    uint32_t count = 0;
    // The port takes no zero time-out; one millisecond still writes what fits at once.
    const long rc = m_port.Write(data, static_cast<long>(size), &count, std::max<uint32_t>(1, timeoutMs));
    *written = count;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_writing = false;
    }
    return rc;
}

void CPortChannel::WriteLast(const std::vector<uint8_t> &bytes)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_writing || m_sealed)
            return;
        m_sealed = true;
    }
    uint32_t count = 0;
    m_port.Write(bytes.data(), static_cast<long>(bytes.size()), &count, 1);
}

size_t CPortChannel::Read(uint8_t *data, size_t max, uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return m_woken || !m_received.empty(); });
    if (m_woken)
        return 0;
    const size_t count = std::min(max, m_received.size());
    std::copy_n(m_received.begin(), count, data);
    m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
}

void CPortChannel::Unread(const uint8_t *data, size_t size)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_received.insert(m_received.begin(), data, data + size);
}

std::vector<uint8_t> CPortChannel::TakeUnread()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    std::vector<uint8_t> bytes(m_received.begin(), m_received.end());
    m_received.clear();
    return bytes;
}

void CPortChannel::Wake()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_woken = true;
    }
    m_changed.notify_all();
}
