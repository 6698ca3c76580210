#include "log/pcapngrecorder.h"

#include "log/logpcapng.h"

void CPcapngRecorder::Add(LogDirection direction, const uint8_t *bytes, size_t length, int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapng(m_packet, direction, bytes, length, wallMicros);
    Keep();
}

void CPcapngRecorder::AddTraffic(uint32_t seq, LogDirection direction, const uint8_t *bytes, size_t length,
                                 int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapng(m_packet, direction, bytes, length, wallMicros);
    Keep(&seq);
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

void CPcapngRecorder::Keep(const uint32_t *seq)
{
    // A full chunk is never written to again: a snapshot may hold it.
    if (m_chunks.empty() || m_chunks.back().Bytes->size() + m_packet.size() > kChunkBytes) {
        m_chunks.push_back({std::make_shared<std::string>(), 0, {}});
        m_chunks.back().Bytes->reserve(std::max(kChunkBytes, m_packet.size()));
    }
    if (seq)
        m_chunks.back().Marks.push_back({static_cast<uint32_t>(m_chunks.back().Bytes->size()), *seq});
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

CPcapngRecorder::Snapshot CPcapngRecorder::TakeTraffic(uint32_t first, uint32_t last, size_t &packets) const
{
    packets = 0;
    const auto within = [first, last](uint32_t seq) {
        return static_cast<int32_t>(seq - first) >= 0 && static_cast<int32_t>(last - seq) >= 0;
    };
    // The first and the last packet of the traffic asked for, as (chunk, offset).
    size_t fromChunk = 0, toChunk = 0, from = 0, to = 0;
    for (size_t c = 0; c < m_chunks.size(); ++c) {
        for (const ST_Mark &mark : m_chunks[c].Marks) {
            if (!within(mark.Seq))
                continue;
            if (packets++ == 0) {
                fromChunk = c;
                from = mark.Offset;
            }
            toChunk = c;
            to = mark.Offset;
        }
    }
    Snapshot pieces;
    if (packets == 0)
        return pieces;
    // The last packet ends where its block's length says.
    const std::string &lastBytes = *m_chunks[toChunk].Bytes;
    const auto *total = reinterpret_cast<const uint8_t *>(lastBytes.data() + to + 4);
    to += uint32_t{total[0]} | uint32_t{total[1]} << 8 | uint32_t{total[2]} << 16 | uint32_t{total[3]} << 24;
    for (size_t c = fromChunk; c <= toChunk; ++c) {
        const std::shared_ptr<std::string> &bytes = m_chunks[c].Bytes;
        const size_t begin = c == fromChunk ? from : 0;
        const size_t end = c == toChunk ? to : bytes->size();
        // A whole full chunk is shared; only the newest and the ends are copied.
        if (begin == 0 && end == bytes->size() && c + 1 < m_chunks.size())
            pieces.push_back(bytes);
        else
            pieces.push_back(std::make_shared<const std::string>(*bytes, begin, end - begin));
    }
    return pieces;
}
