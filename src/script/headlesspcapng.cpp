#include "script/headlesspcapng.h"

#include "log/logpcapng.h"

#include <chrono>
#include <climits>

namespace {

int64_t SteadyMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Past this much waiting for a send that does not end, what waits is written anyway.
constexpr size_t kMostWaiting = 16u << 20;

} // namespace

int CHeadlessPcapng::Start(const std::string &path)
{
    m_wallOffset = WallNowMicros() - SteadyMicros();
    return m_file.Start(path);
}

void CHeadlessPcapng::Frame(const ST_Frame &frame)
{
    WriteEventsBefore(frame.Start.count());
    Write(frame.Direction == EFrameDirection::Sent, frame.Bytes.data(), frame.Bytes.size(),
          m_wallOffset + frame.Start.count());
}

void CHeadlessPcapng::SetLink(const COM_PORT_SETTING &link)
{
    m_file.Append(
        PcapngHeader(LogPcapngInterfaces(PcapngPortName(link.PortName), PcapngLinkDescription(link))));
}

void CHeadlessPcapng::Read(const uint8_t *data, size_t size)
{
    // One offset for every packet: two clocks read apart would set events stamped alike out of order.
    const int64_t steady = SteadyMicros();
    ST_Read read{std::vector<uint8_t>(data, data + size), steady, m_wallOffset + steady};
    const std::lock_guard<std::mutex> guard(m_lock);
    m_waitingBytes += size;
    m_waiting.push_back(std::move(read));
}

void CHeadlessPcapng::Sent(const uint8_t *data, size_t size, int64_t steadyMs)
{
    SentAt(data, size, steadyMs * 1000);
}

void CHeadlessPcapng::SentAt(const uint8_t *data, size_t size, int64_t steadyMicros)
{
    const int64_t began = steadyMicros;
    WriteWaiting([began](const ST_Read &read) { return read.SteadyMicros < began; });
    WriteEventsBefore(began);
    Write(true, data, size, m_wallOffset + began);
}

void CHeadlessPcapng::Event(const ST_LineEvent &event)
{
    m_events.push_back(event);
}

void CHeadlessPcapng::WriteEventsBefore(int64_t steadyMicros)
{
    while (!m_events.empty() && m_events.front().SteadyMicros <= steadyMicros) {
        m_packet.clear();
        AppendLogPcapngEvent(m_packet, m_events.front(), m_wallOffset + m_events.front().SteadyMicros);
        m_file.Append(m_packet);
        m_events.pop_front();
    }
}

bool CHeadlessPcapng::MustWrite() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_waitingBytes > kMostWaiting;
}

void CHeadlessPcapng::WriteAll()
{
    WriteWaiting([](const ST_Read &) { return true; });
    WriteEventsBefore(INT64_MAX);
}

int CHeadlessPcapng::Stop()
{
    WriteAll();
    return m_file.Stop();
}

template <typename Due> void CHeadlessPcapng::WriteWaiting(Due due)
{
    std::deque<ST_Read> ready;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        while (!m_waiting.empty() && due(m_waiting.front())) {
            m_waitingBytes -= m_waiting.front().Data.size();
            ready.push_back(std::move(m_waiting.front()));
            m_waiting.pop_front();
        }
    }
    for (const ST_Read &read : ready) {
        WriteEventsBefore(read.SteadyMicros);
        Write(false, read.Data.data(), read.Data.size(), read.WallMicros);
    }
}

void CHeadlessPcapng::Write(bool sent, const uint8_t *data, size_t size, int64_t wallMicros)
{
    AppendLogPcapng(m_file, sent ? LogDirection::Sent : LogDirection::Received, data, size, wallMicros);
}
