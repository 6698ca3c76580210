#include "log/logstore.h"

#include <algorithm>
#include <cstring>

namespace {

// Chunks grow with what the log holds, from this to a huge page, and stay a small part of the
// limit so that it is kept in fine steps. A block of a quarter chunk or more gets an allocation of
// its own rather than wasting the tail of one.
constexpr size_t kFirstChunk = 64 * 1024;

// What a string holds beyond its own record: short ones live inside it.
size_t HeapOf(const std::string &text)
{
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

size_t CostOf(const CSymbolTable &table)
{
    // The table shares one allocation with its count of owners, and the store holds a pointer.
    size_t cost = sizeof(CSymbolTable) + 2 * sizeof(std::shared_ptr<const CSymbolTable>);
    for (int i = 0; i < CSymbolTable::kCount; ++i)
        cost += HeapOf(table.Entry(i).SymbolString);
    return cost;
}

} // namespace

CLogStore::CLogStore()
{
    Clear();
}

void CLogStore::SetSymbolTable(const CSymbolTable &table)
{
    if (*m_tables.back() == table)
        return;
    // A version no kept block uses is replaced rather than kept behind the new one.
    const bool used = !m_blocks.empty() && Slot(m_blocks.back().table, m_tableBase) == m_tables.size() - 1;
    if (!used) {
        m_memory -= CostOf(*m_tables.back());
        m_tables.pop_back();
    }
    m_tables.push_back(std::make_shared<const CSymbolTable>(table));
    m_memory += CostOf(table);
}

void CLogStore::Clear()
{
    std::shared_ptr<const CSymbolTable> current =
        m_tables.empty() ? std::make_shared<const CSymbolTable>() : m_tables.back();
    m_blocks = {};
    std::deque<Chunk>().swap(m_chunks);
    m_spare.reset();
    m_spareSize = 0;
    m_stamps = {};
    m_chunkBase = m_blockBase = m_lineBase = m_stampBase = m_tableBase = 0;
    m_lineCount = 0;
    m_droppedLines = 0;
    m_storedBytes = 0;
    m_haveFillChunk = false;
    m_fillChunk = 0;
    m_fillUsed = 0;
    m_memory = CostOf(*current);
    m_tables = {};
    m_tables.push_back(std::move(current));
    m_maxColumns = 0;
    m_lastBlockFound = 0;
}

void CLogStore::FreeChunk(uint32_t chunk)
{
    Chunk &c = m_chunks[Slot(chunk, m_chunkBase)];
    m_memory -= c.size;
    if (!m_spare && c.size == ChunkSize()) {
        m_spare = std::move(c.bytes);
        m_spareSize = c.size;
    }
    c.bytes.reset();
    c.size = 0;
    while (!m_chunks.empty() && !m_chunks.front().bytes) {
        m_chunks.pop_front();
        m_memory -= sizeof(Chunk);
        ++m_chunkBase;
    }
}

const uint8_t *CLogStore::StoreBytes(const uint8_t *bytes, size_t length, uint32_t &chunk, uint32_t &offset)
{
    if (length == 0) {
        chunk = 0;
        offset = 0;
        return nullptr;
    }
    const size_t chunkSize = ChunkSize();
    if (length >= chunkSize / 4) {
        chunk = static_cast<uint32_t>(m_chunkBase + m_chunks.size());
        offset = 0;
        m_chunks.push_back({TakeChunk(length), length, 0});
        m_memory += length + sizeof(Chunk);
    } else {
        if (!m_haveFillChunk || m_fillUsed + length > m_chunks[Slot(m_fillChunk, m_chunkBase)].size) {
            if (m_haveFillChunk) {
                m_haveFillChunk = false;
                // A full chunk whose blocks have all been dropped already goes now.
                if (m_chunks[Slot(m_fillChunk, m_chunkBase)].blocks == 0)
                    FreeChunk(m_fillChunk);
            }
            m_fillChunk = static_cast<uint32_t>(m_chunkBase + m_chunks.size());
            m_chunks.push_back({TakeChunk(chunkSize), chunkSize, 0});
            m_memory += chunkSize + sizeof(Chunk);
            m_fillUsed = 0;
            m_haveFillChunk = true;
        }
        chunk = m_fillChunk;
        offset = static_cast<uint32_t>(m_fillUsed);
        m_fillUsed += length;
    }
    Chunk &c = m_chunks[Slot(chunk, m_chunkBase)];
    c.blocks += 1;
    uint8_t *target = c.bytes.get() + offset;
    std::memcpy(target, bytes, length);
    return target;
}

BulkBytes CLogStore::TakeChunk(size_t size)
{
    BulkBytes spare = std::move(m_spare);
    if (spare && m_spareSize == size)
        return spare;
    spare.reset();
    // A flood fills chunks of this size until the limit, where the spare takes over.
    if (size == kHugePage) {
        if (!m_reserve)
            m_reserve = std::make_unique<CBulkReserve>(kHugePage);
        return m_reserve->Take();
    }
    return AllocateBulk(size);
}

size_t CLogStore::ChunkSize() const
{
    size_t size = kFirstChunk;
    while (size < kHugePage && size * 16 <= m_storedBytes && size * 32 <= m_byteLimit)
        size *= 2;
    return size;
}

void CLogStore::DropOldest()
{
    const Block oldest = m_blocks.front();
    const size_t lines = m_blocks.size() > 1 ? FirstLine(1) : m_lineCount;
    m_lineCount -= lines;
    m_lineBase += lines;
    m_droppedLines += lines;
    m_storedBytes -= oldest.length;
    m_blocks.pop_front();
    ++m_blockBase;
    m_memory -= sizeof(Block);
    if (oldest.length > 0) {
        Chunk &c = m_chunks[Slot(oldest.chunk, m_chunkBase)];
        if (--c.blocks == 0 && !(m_haveFillChunk && oldest.chunk == m_fillChunk))
            FreeChunk(oldest.chunk);
    }
    if (oldest.hasStamp) {
        m_stamps[Slot(oldest.stamp, m_stampBase)].blocks -= 1;
        // Time only moves forward, so the texts still in use are the newest ones.
        while (!m_stamps.empty() && m_stamps.front().blocks == 0) {
            m_memory -= sizeof(Stamp) + HeapOf(m_stamps.front().text);
            m_stamps.pop_front();
            ++m_stampBase;
        }
    }
    // Blocks take the table in force, so the oldest kept block uses the oldest table still needed.
    while (m_tables.size() > 1 && (m_blocks.empty() || Slot(m_blocks.front().table, m_tableBase) > 0)) {
        m_memory -= CostOf(*m_tables.front());
        m_tables.pop_front();
        ++m_tableBase;
    }
}

std::string CLogStore::MarkerText() const
{
    return "[" + std::to_string(m_droppedLines) + " older lines removed]";
}

uint32_t CLogStore::InternStamp(const std::string &stamp)
{
    // Blocks written with the same text share it; time only moves forward, so comparing with the
    // newest is enough.
    if (m_stamps.empty() || m_stamps.back().text != stamp) {
        m_stamps.push_back({stamp, 0});
        m_memory += sizeof(Stamp) + HeapOf(m_stamps.back().text);
    }
    m_stamps.back().blocks += 1;
    return static_cast<uint32_t>(m_stampBase + m_stamps.size() - 1);
}

CLogStore::Stored CLogStore::Append(LogDirection direction, uint8_t mode, const std::string *stamp,
                                    const uint8_t *bytes, size_t length, ST_LogRendered &scratch,
                                    bool ownBreak, uint8_t textForm, uint8_t mark,
                                    const ST_TrafficSpan *traffic)
{
    Block block{};
    StoreBytes(bytes, length, block.chunk, block.offset);
    block.length = static_cast<uint32_t>(length);
    block.hasStamp = stamp != nullptr;
    block.stamp = stamp ? InternStamp(*stamp) : 0;
    block.firstLine = static_cast<uint32_t>(m_lineBase + m_lineCount);
    block.table = static_cast<uint32_t>(m_tableBase + m_tables.size() - 1);
    block.mode = static_cast<uint8_t>((mode & 0x03) | (mark & 0x03) << 2 | (textForm & 0x03) << 4 |
                                      (mark & 0x04) << 4 | (traffic ? kHasTraffic : 0));
    if (traffic) {
        block.trafficFirst = traffic->first;
        block.trafficLast = traffic->last;
    }
    block.direction = direction;
    block.ownBreak = ownBreak;
    m_blocks.push_back(block);
    m_storedBytes += length;
    m_memory += sizeof(Block);

    size_t width = 0;
    const bool rendered = !MeasureLogLine(View(block), width);
    if (rendered) {
        Render(m_blocks.size() - 1, scratch);
        m_lineCount += scratch.lines.size();
        for (const ST_LogRendered::Span &line : scratch.lines)
            width = std::max<size_t>(width, line.length);
    } else {
        m_lineCount += 1;
    }
    m_maxColumns = std::max(m_maxColumns, width);
    while ((m_memory > m_byteLimit || m_lineCount > kMaxLines) && m_blocks.size() > 1)
        DropOldest();
    return {m_blocks.size() - 1, rendered};
}

size_t CLogStore::BlockOfLine(size_t line) const
{
    if (IsMarkerLine(line))
        return 0;
    const size_t wanted = line - Marker();
    const size_t count = m_blocks.size();
    const auto holds = [&](size_t block) {
        return block < count && FirstLine(block) <= wanted &&
               (block + 1 == count || wanted < FirstLine(block + 1));
    };
    // Painting, find and copy go through the lines in order.
    for (size_t guess : {m_lastBlockFound, m_lastBlockFound + 1})
        if (holds(guess))
            return m_lastBlockFound = guess;
    size_t low = 0;
    size_t high = count; // the block sought is below `high`
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (FirstLine(middle) <= wanted)
            low = middle;
        else
            high = middle;
    }
    return m_lastBlockFound = low;
}

ST_LogBlockView CLogStore::View(const Block &block) const
{
    static const std::string kNoStamp;
    ST_LogBlockView view;
    view.direction = block.direction;
    view.mode = block.mode & 0x03;
    view.mark = static_cast<uint8_t>(((block.mode >> 2) & 0x03) | ((block.mode >> 4) & 0x04));
    view.textForm = (block.mode >> 4) & 0x03;
    view.hasStamp = block.hasStamp;
    view.ownBreak = block.ownBreak;
    view.stamp = block.hasStamp ? &m_stamps[Slot(block.stamp, m_stampBase)].text : &kNoStamp;
    view.bytes = block.length ? m_chunks[Slot(block.chunk, m_chunkBase)].bytes.get() + block.offset : nullptr;
    view.length = block.length;
    view.table = m_tables[Slot(block.table, m_tableBase)].get();
    return view;
}

void CLogStore::Render(size_t block, ST_LogRendered &out) const
{
    RenderLogBlock(View(m_blocks[block]), out);
}

std::string CLogStore::WholeText() const
{
    std::string text;
    if (m_droppedLines > 0)
        text += MarkerText() + "\r\n";
    ST_LogRendered rendered;
    for (const Block &block : m_blocks) {
        RenderLogBlock(View(block), rendered);
        for (const ST_LogRendered::Span &span : rendered.lines) {
            text.append(rendered.text, span.start, span.length);
            text.append("\r\n", 2);
        }
    }
    return text;
}
