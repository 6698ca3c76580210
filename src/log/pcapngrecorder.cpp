#include "log/pcapngrecorder.h"

#include "log/logpcapng.h"

void CPcapngRecorder::Add(LogDirection direction, const uint8_t *bytes, size_t length, int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapng(m_packet, direction, bytes, length, wallMicros);
    Keep();
}

void CPcapngRecorder::AddEvent(const ST_LineEvent &event, int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapngEvent(m_packet, event, wallMicros);
    Keep();
}

void CPcapngRecorder::AddPacket(const std::string &packet)
{
    m_packet = packet;
    Keep();
}

void CPcapngRecorder::Keep()
{
    // A full chunk is never written to again: a snapshot may hold it.
    if (m_chunks.empty() || m_chunks.back().Bytes->size() + m_packet.size() > kChunkBytes) {
        m_chunks.push_back({std::make_shared<std::string>(), 0});
        m_chunks.back().Bytes->reserve(std::max(kChunkBytes, m_packet.size()));
    }
    m_chunks.back().Bytes->append(m_packet);
    ++m_chunks.back().Packets;
    m_bytes += m_packet.size();
    ++m_packets;
    // Whole chunks go, the newest always stays.
    while (m_bytes > m_byteLimit && m_chunks.size() > 1) {
        m_bytes -= m_chunks.front().Bytes->size();
        m_packets -= m_chunks.front().Packets;
        m_dropped += m_chunks.front().Packets;
        m_chunks.pop_front();
    }
}

void CPcapngRecorder::Clear()
{
    m_chunks.clear();
    m_bytes = 0;
    m_packets = 0;
}

CPcapngRecorder::Snapshot CPcapngRecorder::Take() const
{
    Snapshot pieces;
    for (size_t i = 0; i < m_chunks.size(); ++i)
        pieces.push_back(i + 1 < m_chunks.size() ? m_chunks[i].Bytes
                                                 : std::make_shared<const std::string>(*m_chunks[i].Bytes));
    return pieces;
}
