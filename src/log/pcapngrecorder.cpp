#include "log/pcapngrecorder.h"

#include "log/logpcapng.h"
#include "platform/packing.h"

void CPcapngRecorder::Add(LogDirection direction, const uint8_t *bytes, size_t length, int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapng(m_packet, direction, bytes, length, wallMicros);
    Keep(wallMicros);
}

void CPcapngRecorder::AddTraffic(uint32_t seq, LogDirection direction, const uint8_t *bytes, size_t length,
                                 int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapng(m_packet, direction, bytes, length, wallMicros);
    Keep(wallMicros, &seq);
}

void CPcapngRecorder::AddEvent(const ST_LineEvent &event, int64_t wallMicros)
{
    m_packet.clear();
    AppendLogPcapngEvent(m_packet, event, wallMicros);
    Keep(wallMicros);
}

void CPcapngRecorder::AddPacket(const std::string &packet)
{
    m_packet = packet;
    Keep(-1);
}

void CPcapngRecorder::Close()
{
    ST_Chunk &full = m_chunks.back();
    if (full.FirstMicros < 0 || full.LastMicros - full.FirstMicros < kPackAfterMicros)
        return;
    std::string packed;
    const std::string &bytes = full.Bytes->Bytes;
    if (!CPacker().Pack(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), packed))
        return;
    auto piece = std::make_shared<ST_Piece>();
    piece->Length = bytes.size();
    piece->Bytes = std::move(packed);
    full.Bytes = std::move(piece);
}

void CPcapngRecorder::Keep(int64_t wallMicros, const uint32_t *seq)
{
    // A full chunk is never written to again: a snapshot may hold it.
    if (m_chunks.empty() || m_chunks.back().Size + m_packet.size() > kChunkBytes) {
        if (!m_chunks.empty())
            Close();
        std::shared_ptr<ST_Piece> bytes = std::move(m_spare);
        if (!bytes)
            bytes = std::make_shared<ST_Piece>();
        bytes->Bytes.reserve(std::max(kChunkBytes, m_packet.size()));
        m_chunks.push_back({std::move(bytes), 0, 0, wallMicros, wallMicros, false, {}});
    }
    ST_Chunk &chunk = m_chunks.back();
    if (seq)
        chunk.Marks.push_back({static_cast<uint32_t>(chunk.Size), *seq});
    chunk.Bytes->Bytes.append(m_packet);
    chunk.Size += m_packet.size();
    if (wallMicros >= 0)
        chunk.LastMicros = wallMicros;
    ++chunk.Packets;
    m_bytes += m_packet.size();
    ++m_packets;
    // Whole chunks go, the newest always stays.
    while (m_bytes > m_byteLimit && m_chunks.size() > 1) {
        ST_Chunk &oldest = m_chunks.front();
        m_bytes -= oldest.Size;
        m_packets -= oldest.Packets;
        m_dropped += oldest.Packets;
        // A chunk a snapshot took may still be read on the export's thread.
        if (!m_spare && !oldest.Shared && oldest.Bytes->Length == 0 &&
            oldest.Bytes->Bytes.capacity() < 2 * kChunkBytes) {
            m_spare = std::move(oldest.Bytes);
            m_spare->Bytes.clear();
        }
        m_chunks.pop_front();
    }
}

void CPcapngRecorder::Clear()
{
    m_chunks.clear();
    m_bytes = 0;
    m_packets = 0;
}

size_t CPcapngRecorder::HeldBytes() const
{
    size_t held = 0;
    for (const ST_Chunk &chunk : m_chunks)
        held += chunk.Bytes->Bytes.capacity();
    return held;
}

std::string CPcapngRecorder::ST_Piece::Text() const
{
    if (Length == 0)
        return Bytes;
    std::string text(Length, '\0');
    Unpack(Bytes, reinterpret_cast<uint8_t *>(text.data()), Length);
    return text;
}

CPcapngRecorder::Snapshot CPcapngRecorder::Take() const
{
    Snapshot pieces;
    for (size_t i = 0; i + 1 < m_chunks.size(); ++i) {
        m_chunks[i].Shared = true;
        pieces.push_back(m_chunks[i].Bytes);
    }
    if (!m_chunks.empty())
        pieces.push_back(std::make_shared<const ST_Piece>(*m_chunks.back().Bytes));
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
    // The ends are cut from the packets as written; a packed chunk is read back for that.
    const auto textOf = [](const ST_Piece &piece) { return piece.Length == 0 ? piece.Bytes : piece.Text(); };
    std::string lastText = textOf(*m_chunks[toChunk].Bytes);
    // The last packet ends where its block's length says.
    const auto *total = reinterpret_cast<const uint8_t *>(lastText.data() + to + 4);
    to += uint32_t{total[0]} | uint32_t{total[1]} << 8 | uint32_t{total[2]} << 16 | uint32_t{total[3]} << 24;
    for (size_t c = fromChunk; c <= toChunk; ++c) {
        const ST_Chunk &chunk = m_chunks[c];
        const size_t begin = c == fromChunk ? from : 0;
        const size_t end = c == toChunk ? to : chunk.Size;
        // A whole full chunk is shared, packed or not; only the newest and the ends are copied.
        if (begin == 0 && end == chunk.Size && c + 1 < m_chunks.size()) {
            chunk.Shared = true;
            pieces.push_back(chunk.Bytes);
            continue;
        }
        auto piece = std::make_shared<ST_Piece>();
        piece->Bytes = c == toChunk ? lastText.substr(begin, end - begin)
                                    : textOf(*chunk.Bytes).substr(begin, end - begin);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}
