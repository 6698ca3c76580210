#include "frame/framestore.h"

#include "frame/framecsv.h"
#include "platform/textfile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace {

// A chunk is one region of a thirty-second of the limit, from 64 KiB to 1 MiB, so that dropping one
// frees a known share of the limit whatever the frames' lengths. A frame longer than a region gets
// a chunk of its own. Small pages: a huge page's first touch stops the GUI thread while the kernel
// clears (and on a fragmented machine first compacts) 2 MiB, which cost a flood of short frames
// more than the small pages' faults.
constexpr size_t kLeastRegion = size_t{64} * 1024;
constexpr size_t kLargestRegion = size_t{1024} * 1024;
constexpr size_t kRegionsPerLimit = 32;
constexpr size_t kPage = 4096;

// The filter's text as the bytes of hex pairs ("0d0a", "0D 0A"); empty when it is no such text.
std::vector<uint8_t> HexBytes(const std::string &text)
{
    std::vector<uint8_t> out;
    int high = -1;
    for (const char c : text) {
        if (c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        const int value = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = value;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0)
        return {};
    return out;
}

std::string Lower(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

CFrameStore::CFrameStore() = default;

CFrameStore::CFrameStore(const CFrameStore &other)
    : m_byteLimit(other.m_byteLimit), m_chunks(other.m_chunks), m_chunkMemory(other.m_chunkMemory),
      m_clearedId(other.m_clearedId), m_firstId(other.m_firstId), m_nextId(other.m_nextId),
      m_origin(other.m_origin), m_filter(other.m_filter), m_filterLower(other.m_filterLower),
      m_filterHex(other.m_filterHex), m_index(other.m_index), m_visibleDropped(other.m_visibleDropped)
{
}

CFrameStore::ST_Chunk::ST_Chunk(const ST_Chunk &other)
    : FirstId(other.FirstId), Region(AllocateBulk(other.RegionSize)), RegionSize(other.RegionSize),
      RecordCount(other.RecordCount), RecordRoom(other.RecordRoom), ByteCount(other.ByteCount),
      ByteRoom(other.ByteRoom), Pairings(other.Pairings)
{
    Records = reinterpret_cast<ST_Record *>(Region.get());
    Bytes = Region.get() + (other.Bytes - other.Region.get());
    if (RecordCount > 0)
        std::memcpy(Records, other.Records, RecordCount * sizeof(ST_Record));
    if (ByteCount > 0)
        std::memcpy(Bytes, other.Bytes, ByteCount);
}

size_t CFrameStore::MemoryBytes() const
{
    return m_chunkMemory + m_index.size() * sizeof(uint64_t);
}

std::string CFrameStore::TextForm(const uint8_t *data, size_t size)
{
    std::string out(size, '.');
    for (size_t i = 0; i < size; ++i)
        if (data[i] >= 0x20 && data[i] < 0x7F)
            out[i] = static_cast<char>(data[i]);
    return out;
}

std::string CFrameStore::HexForm(const uint8_t *data, size_t size)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            out += ' ';
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
    }
    return out;
}

size_t CFrameStore::RegionSize() const
{
    const size_t share = m_byteLimit / kRegionsPerLimit / kPage * kPage;
    return std::clamp(share, kLeastRegion, kLargestRegion);
}

CFrameStore::ST_Chunk &CFrameStore::ChunkFor(size_t bytes)
{
    if (!m_chunks.empty()) {
        ST_Chunk &last = m_chunks.back();
        if (last.RecordCount < last.RecordRoom && last.ByteCount + bytes <= last.ByteRoom)
            return last;
    }
    size_t size = RegionSize();
    if (bytes + sizeof(ST_Record) > size)
        size = (bytes + sizeof(ST_Record) + kPage - 1) / kPage * kPage;
    ST_Chunk chunk;
    chunk.FirstId = m_nextId;
    if (m_spare.Region && m_spare.RegionSize == size) {
        chunk.Region = std::move(m_spare.Region);
    } else {
        chunk.Region = AllocateBulk(size);
    }
    m_spare = ST_Chunk{};
    chunk.RegionSize = size;
    // As many records as frames of this one's length fill the region with: most floods are of
    // frames alike.
    chunk.RecordRoom = std::max<size_t>(1, size / (sizeof(ST_Record) + std::max<size_t>(bytes, 1)));
    chunk.Records = reinterpret_cast<ST_Record *>(chunk.Region.get());
    chunk.Bytes = chunk.Region.get() + chunk.RecordRoom * sizeof(ST_Record);
    chunk.ByteRoom = size - chunk.RecordRoom * sizeof(ST_Record);
    m_chunkMemory += size;
    m_chunks.push_back(std::move(chunk));
    return m_chunks.back();
}

bool CFrameStore::Append(const ST_Frame &frame)
{
    if (m_nextId == m_clearedId)
        m_origin = frame.Start;
    const size_t decoded = frame.IsEncoded ? frame.Decoded.size() : 0;
    ST_Chunk &chunk = ChunkFor(frame.Bytes.size() + decoded);
    // Written where it stays: a record put together on the stack and copied over was read back
    // before its fields had left the store buffer, a stall per frame.
    ST_Record &record = *new (chunk.Records + chunk.RecordCount++) ST_Record;
    record.Start = frame.Start.count();
    record.End = frame.End.count();
    record.Gap = frame.Gap ? frame.Gap->count() : -1;
    record.GapChars = static_cast<float>(frame.GapChars);
    record.Offset = static_cast<uint32_t>(chunk.ByteCount);
    record.Length = static_cast<uint32_t>(frame.Bytes.size());
    record.DecodedLength = static_cast<uint32_t>(decoded);
    record.Direction = static_cast<uint8_t>(frame.Direction);
    record.Check = static_cast<uint8_t>(frame.Check);
    record.Marks = frame.Marks;
    record.Encoded = frame.IsEncoded ? 1 : 0;
    record.Outcome = 0;
    if (!frame.Bytes.empty())
        std::memcpy(chunk.Bytes + chunk.ByteCount, frame.Bytes.data(), frame.Bytes.size());
    if (decoded > 0)
        std::memcpy(chunk.Bytes + chunk.ByteCount + frame.Bytes.size(), frame.Decoded.data(), decoded);
    chunk.ByteCount += frame.Bytes.size() + decoded;
    const uint64_t id = m_nextId++;

    const bool passes = Passes(record, chunk.Bytes + record.Offset);
    if (passes && !m_filter.PassesAll())
        m_index.push_back(id);
    while (m_chunks.size() > 1 && MemoryBytes() > m_byteLimit)
        DropOldest();
    return passes;
}

void CFrameStore::DropOldest()
{
    ST_Chunk &oldest = m_chunks.front();
    const uint64_t end = oldest.FirstId + oldest.RecordCount;
    if (m_filter.PassesAll()) {
        m_visibleDropped += oldest.RecordCount;
    } else {
        while (!m_index.empty() && m_index.front() < end) {
            m_index.pop_front();
            ++m_visibleDropped;
        }
        m_index.shrink_to_fit();
    }
    m_chunkMemory -= oldest.RegionSize + oldest.Pairings.capacity() * sizeof(ST_FramePairing);
    m_firstId = end;
    if (!m_spare.Region && oldest.RegionSize == RegionSize()) {
        m_spare.Region = std::move(oldest.Region);
        m_spare.RegionSize = oldest.RegionSize;
    }
    m_chunks.pop_front();
}

void CFrameStore::Clear()
{
    m_chunks.clear();
    m_spare = ST_Chunk{};
    m_chunkMemory = 0;
    m_clearedId = m_firstId = m_nextId;
    m_index.clear();
    m_visibleDropped = 0;
    m_origin = FrameTime{0};
}

const CFrameStore::ST_Record &CFrameStore::Record(size_t row, const ST_Chunk **chunk) const
{
    const uint64_t id = m_firstId + row;
    // The chunk whose first id is the last one not above `id`.
    auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), id,
                               [](uint64_t value, const ST_Chunk &c) { return value < c.FirstId; });
    --it;
    if (chunk)
        *chunk = &*it;
    return it->Records[static_cast<size_t>(id - it->FirstId)];
}

CFrameStore::ST_Chunk &CFrameStore::ChunkOfId(uint64_t id)
{
    // Pairing marks the newest frame nearly always: its chunk is the last.
    if (id >= m_chunks.back().FirstId)
        return m_chunks.back();
    auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), id,
                               [](uint64_t value, const ST_Chunk &c) { return value < c.FirstId; });
    return *--it;
}

size_t CFrameStore::Length(size_t row) const
{
    return Record(row).Length;
}

EFrameDirection CFrameStore::Direction(size_t row) const
{
    return static_cast<EFrameDirection>(Record(row).Direction);
}

void CFrameStore::Bytes(size_t row, std::vector<uint8_t> &out) const
{
    const ST_Chunk *chunk = nullptr;
    const ST_Record &r = Record(row, &chunk);
    const uint8_t *data = chunk->Bytes + r.Offset;
    out.assign(data, data + r.Length);
}

ST_Frame CFrameStore::At(size_t row) const
{
    const ST_Chunk *chunk = nullptr;
    const ST_Record &r = Record(row, &chunk);
    const uint8_t *data = chunk->Bytes + r.Offset;
    ST_Frame frame;
    frame.Direction = static_cast<EFrameDirection>(r.Direction);
    frame.Start = FrameTime{r.Start};
    frame.End = FrameTime{r.End};
    if (r.Gap >= 0)
        frame.Gap = FrameTime{r.Gap};
    frame.GapChars = r.GapChars;
    frame.Bytes.assign(data, data + r.Length);
    frame.Decoded.assign(data + r.Length, data + r.Length + r.DecodedLength);
    frame.IsEncoded = r.Encoded != 0;
    frame.Check = static_cast<EFrameCheck>(r.Check);
    frame.Marks = r.Marks;
    return frame;
}

void CFrameStore::SetPairing(uint64_t id, const ST_FramePairing &pairing)
{
    if (!RowOfId(id))
        return;
    ST_Chunk &chunk = ChunkOfId(id);
    const size_t at = static_cast<size_t>(id - chunk.FirstId);
    chunk.Records[at].Outcome = pairing.Outcome;
    std::vector<ST_FramePairing> &pairings = chunk.Pairings;
    if (pairing.Request == ST_FramePairing::kNoRequest && pairing.AnswerMs < 0) {
        // An outcome alone (unasked, no answer) lives in the record.
        if (at < pairings.size())
            pairings[at] = pairing;
        return;
    }
    const size_t capacity = pairings.capacity();
    if (pairings.size() <= at)
        pairings.resize(at + 1);
    pairings[at] = pairing;
    m_chunkMemory += (pairings.capacity() - capacity) * sizeof(ST_FramePairing);
}

ST_FramePairing CFrameStore::Pairing(size_t row) const
{
    const ST_Chunk *chunk = nullptr;
    const ST_Record &r = Record(row, &chunk);
    const size_t at = static_cast<size_t>(&r - chunk->Records);
    ST_FramePairing pairing = at < chunk->Pairings.size() ? chunk->Pairings[at] : ST_FramePairing{};
    pairing.Outcome = r.Outcome;
    return pairing;
}

bool CFrameStore::HoldsText(const uint8_t *data, size_t size, const std::string &lowerText,
                            const std::vector<uint8_t> &hexBytes)
{
    if (!hexBytes.empty() && hexBytes.size() <= size &&
        std::search(data, data + size, hexBytes.begin(), hexBytes.end()) != data + size)
        return true;
    if (lowerText.size() > size)
        return false;
    // Each byte as its text form shows it, in lower case: one look-up instead of a locale's call,
    // so a filter over a million frames stays short.
    static const std::array<char, 256> kShownLower = [] {
        std::array<char, 256> table{};
        for (int b = 0; b < 256; ++b) {
            const char shown = b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
            table[static_cast<size_t>(b)] =
                shown >= 'A' && shown <= 'Z' ? static_cast<char>(shown - 'A' + 'a') : shown;
        }
        return table;
    }();
    const auto same = [](uint8_t byte, char c) { return kShownLower[byte] == c; };
    return std::search(data, data + size, lowerText.begin(), lowerText.end(), same) != data + size;
}

bool CFrameStore::Passes(const ST_Record &record, const uint8_t *bytes) const
{
    if (!(m_filter.Directions & (1u << record.Direction)) || !(m_filter.Checks & (1u << record.Check)))
        return false;
    return m_filter.Text.empty() || HoldsText(bytes, record.Length, m_filterLower, m_filterHex);
}

void CFrameStore::SetFilter(const ST_FrameFilter &filter)
{
    m_filter = filter;
    m_filterLower = Lower(filter.Text);
    m_filterHex = HexBytes(filter.Text);
    m_index.clear();
    m_visibleDropped = 0;
    if (m_filter.PassesAll())
        return;
    for (const ST_Chunk &chunk : m_chunks)
        for (size_t i = 0; i < chunk.RecordCount; ++i)
            if (Passes(chunk.Records[i], chunk.Bytes + chunk.Records[i].Offset))
                m_index.push_back(chunk.FirstId + i);
}

std::optional<size_t> CFrameStore::Find(const std::string &text, size_t from, bool forward) const
{
    const size_t count = Visible();
    if (text.empty() || count == 0)
        return std::nullopt;
    const std::string lower = Lower(text);
    const std::vector<uint8_t> hex = HexBytes(text);
    size_t at = from;
    if (at >= count)
        at = forward ? count - 1 : 0; // the first step lands on the first (or the last)
    for (size_t step = 0; step < count; ++step) {
        at = forward ? (at + 1) % count : (at + count - 1) % count;
        const ST_Chunk *chunk = nullptr;
        const ST_Record &r = Record(VisibleRow(at), &chunk);
        if (HoldsText(chunk->Bytes + r.Offset, r.Length, lower, hex))
            return at;
    }
    return std::nullopt;
}

void CFrameStore::SaveCsv(const std::string &path, int64_t wallOffset, bool charsKnown) const
{
    const CFrameCsv csv(wallOffset, charsKnown);
    size_t next = 0;
    bool header = false;
    WriteFileAtomic(path, [&](std::string &piece) {
        if (!header) {
            header = true;
            piece = CFrameCsv::Header();
            return true;
        }
        if (next >= Visible())
            return false;
        // Some thousand lines a piece: few writes, and never the whole file held as text.
        for (size_t end = std::min(Visible(), next + 4096); next < end; ++next)
            piece += csv.Line(At(VisibleRow(next)));
        return true;
    });
}
