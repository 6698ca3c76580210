#include "transfer/portchannel.h"

#include <algorithm>
#include <chrono>

namespace {

int64_t SteadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void CPortChannel::Feed(const uint8_t *data, size_t size)
{
    Feed(data, size, SteadyNowMs(), m_clock.NowMs());
}

void CPortChannel::Feed(const uint8_t *data, size_t size, int64_t steadyMs, int64_t wallMs, bool fromLine)
{
    if (size == 0)
        return;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_received.insert(m_received.end(), data, data + size);
        Record(false, data, size, steadyMs, wallMs, fromLine);
        m_fed += size;
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
        BeginWrite(data, size);
    }
    uint32_t count = 0;
    // The port takes no zero time-out; one millisecond still writes what fits at once.
    const long rc = m_port.Write(data, static_cast<long>(size), &count, std::max<uint32_t>(1, timeoutMs));
    *written = count;
    EndWrite(size, count);
    return rc;
}

size_t CPortChannel::WriteLast(const std::vector<uint8_t> &bytes)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_writing || m_sealed)
            return 0;
        m_sealed = true;
        BeginWrite(bytes.data(), bytes.size());
    }
    uint32_t count = 0;
    m_port.Write(bytes.data(), static_cast<long>(bytes.size()), &count, 1);
    EndWrite(bytes.size(), count);
    return count;
}

size_t CPortChannel::Read(uint8_t *data, size_t max, uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_readDone = m_read;
    const bool tell = TellTraffic();
    if (tell && m_onTraffic) {
        lock.unlock();
        m_onTraffic();
        lock.lock();
    }
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return m_woken || !m_received.empty(); });
    if (m_woken)
        return 0;
    const size_t count = std::min(max, m_received.size());
    std::copy_n(m_received.begin(), count, data);
    m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(count));
    m_read += count;
    return count;
}

void CPortChannel::Unread(const uint8_t *data, size_t size)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_received.insert(m_received.begin(), data, data + size);
    m_read -= std::min<uint64_t>(m_read, size);
    m_readDone = std::min(m_readDone, m_read);
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

void CPortChannel::Record(bool sent, const uint8_t *data, size_t size, int64_t steadyMs, int64_t wallMs,
                          bool fromLine)
{
    if (size == 0)
        return;
    // Pieces of one direction in a row are one piece, with the time of the first: a fast line
    // read in small bites would otherwise hand its owner thousands.
    if (!m_traffic.empty() && m_traffic.back().Sent == sent && m_traffic.back().FromLine == fromLine &&
        !m_traffic.back().Writing) {
        m_traffic.back().Bytes.insert(m_traffic.back().Bytes.end(), data, data + size);
        return;
    }
    ST_Traffic piece;
    piece.Sent = sent;
    piece.Bytes.assign(data, data + size);
    piece.SteadyMs = steadyMs;
    piece.WallMs = wallMs;
    piece.FromLine = fromLine;
    m_traffic.push_back(std::move(piece));
}

// The bytes take their place before they go out: the answer to them may be read before the
// write returns.
void CPortChannel::BeginWrite(const uint8_t *data, size_t size)
{
    Record(true, data, size, SteadyNowMs(), m_clock.NowMs(), false);
    if (size > 0)
        m_traffic.back().Writing = true;
}

void CPortChannel::EndWrite(size_t size, size_t written)
{
    bool tell = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_writing = false;
        const auto piece =
            std::find_if(m_traffic.rbegin(), m_traffic.rend(), [](const ST_Traffic &p) { return p.Writing; });
        if (piece != m_traffic.rend()) {
            piece->Writing = false;
            piece->Bytes.resize(piece->Bytes.size() - (size - written));
            if (piece->Bytes.empty())
                m_traffic.erase(std::next(piece).base());
        }
        tell = TellTraffic();
    }
    if (tell && m_onTraffic)
        m_onTraffic();
}

bool CPortChannel::TellTraffic()
{
    if (m_told || m_traffic.empty())
        return false;
    // Due: a piece written, or received bytes the transfer has read past.
    if (m_traffic.front().Writing || (!m_traffic.front().Sent && m_readDone <= m_taken))
        return false;
    m_told = true;
    return true;
}

std::vector<CPortChannel::ST_Traffic> CPortChannel::TakeTraffic(bool ended, uint64_t *unreadFromLine)
{
    if (unreadFromLine)
        *unreadFromLine = 0;
    const std::lock_guard<std::mutex> guard(m_lock);
    m_told = false;
    const uint64_t due = ended ? m_fed - m_received.size() : m_readDone;
    std::vector<ST_Traffic> taken;
    while (!m_traffic.empty()) {
        ST_Traffic &front = m_traffic.front();
        if (front.Writing)
            break;
        const uint64_t left = due - std::min(due, m_taken);
        if (front.Sent || front.Bytes.size() <= left) {
            if (!front.Sent)
                m_taken += front.Bytes.size();
            taken.push_back(std::move(front));
            m_traffic.pop_front();
            continue;
        }
        // Read only in part: the rest waits, with the same times (they came in the same read).
        if (left > 0) {
            ST_Traffic part = front;
            part.Bytes.resize(left);
            front.Bytes.erase(front.Bytes.begin(), front.Bytes.begin() + static_cast<std::ptrdiff_t>(left));
            m_taken += left;
            taken.push_back(std::move(part));
        }
        if (!ended)
            break;
        // Unread at the end: the line's again, as TakeUnread gives them.
        m_taken += front.Bytes.size();
        if (unreadFromLine && front.FromLine)
            *unreadFromLine += front.Bytes.size();
        m_traffic.pop_front();
    }
    return taken;
}
