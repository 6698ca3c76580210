#include "app/LogStore.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunkSize = 64 * 1024;
// Larger blocks get an allocation of their own rather than wasting the tail of a chunk.
constexpr size_t kOwnChunkFrom = kChunkSize / 4;

} // namespace

LogStore::LogStore()
{
    Clear();
}

void LogStore::SetSymbolTable(const CSymbolTable &table)
{
    if (*m_tables.back() == table)
        return;
    m_tables.push_back(std::make_shared<const CSymbolTable>(table));
}

void LogStore::Clear()
{
    std::shared_ptr<const CSymbolTable> current =
        m_tables.empty() ? std::make_shared<const CSymbolTable>() : m_tables.back();
    m_blocks = {};
    m_lines = {};
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_chunkBlocks.clear();
    m_chunkBase = m_blockBase = m_lineBase = 0;
    m_droppedLines = 0;
    m_storedBytes = 0;
    m_haveFillChunk = false;
    m_fillChunk = 0;
    m_fillUsed = 0;
    m_stamps.assign(1, std::string());
    m_tables.assign(1, std::move(current));
    m_maxColumns = 0;
}

const uint8_t *LogStore::StoreBytes(const uint8_t *bytes, size_t length, uint32_t &chunk, uint32_t &offset)
{
    if (length == 0) {
        chunk = 0;
        offset = 0;
        return nullptr;
    }
    const auto next = static_cast<uint32_t>(m_chunkBase + m_chunks.size());
    if (length >= kOwnChunkFrom) {
        m_chunks.push_back(std::make_unique<uint8_t[]>(length));
        m_chunkBlocks.push_back(0);
        chunk = next;
        offset = 0;
    } else {
        if (!m_haveFillChunk || m_fillUsed + length > kChunkSize) {
            // A full chunk whose blocks have all been dropped already goes now.
            if (m_haveFillChunk &&
                m_chunkBlocks[static_cast<uint32_t>(m_fillChunk - static_cast<uint32_t>(m_chunkBase))] == 0)
                Chunk(m_fillChunk).reset();
            // make_unique would zero the chunk, touching memory the log may never use.
            m_chunks.push_back(std::unique_ptr<uint8_t[]>(new uint8_t[kChunkSize]));
            m_chunkBlocks.push_back(0);
            m_fillChunk = next;
            m_fillUsed = 0;
            m_haveFillChunk = true;
        }
        chunk = m_fillChunk;
        offset = static_cast<uint32_t>(m_fillUsed);
        m_fillUsed += length;
    }
    m_chunkBlocks[static_cast<uint32_t>(chunk - static_cast<uint32_t>(m_chunkBase))] += 1;
    uint8_t *target = Chunk(chunk).get() + offset;
    std::memcpy(target, bytes, length);
    return target;
}

void LogStore::DropOldest()
{
    const Block &oldest = m_blocks.front();
    const size_t lines = m_blocks.size() > 1 ? static_cast<uint32_t>(m_blocks[1].firstLine - oldest.firstLine)
                                             : m_lines.size();
    for (size_t i = 0; i < lines; ++i)
        m_lines.pop_front();
    m_lineBase += lines;
    m_droppedLines += lines;
    m_storedBytes -= oldest.length;
    if (oldest.length > 0) {
        uint32_t &count =
            m_chunkBlocks[static_cast<uint32_t>(oldest.chunk - static_cast<uint32_t>(m_chunkBase))];
        if (--count == 0 && !(m_haveFillChunk && oldest.chunk == m_fillChunk))
            Chunk(oldest.chunk).reset();
    }
    m_blocks.pop_front();
    ++m_blockBase;
    while (!m_chunks.empty() && !m_chunks.front() && m_chunkBlocks.front() == 0) {
        m_chunks.pop_front();
        m_chunkBlocks.pop_front();
        ++m_chunkBase;
    }
}

std::string LogStore::MarkerText() const
{
    return "[" + std::to_string(m_droppedLines) + " older lines removed]";
}

uint32_t LogStore::InternStamp(const std::string &stamp)
{
    // Blocks written in the same second share one text; time only moves forward, so comparing
    // with the newest is enough.
    if (m_stamps.size() > 1 && m_stamps.back() == stamp)
        return static_cast<uint32_t>(m_stamps.size() - 1);
    m_stamps.push_back(stamp);
    return static_cast<uint32_t>(m_stamps.size() - 1);
}

size_t LogStore::Append(LogDirection direction, uint8_t mode, const std::string *stamp, const uint8_t *bytes,
                        size_t length, LogRendered &rendered)
{
    Block block{};
    StoreBytes(bytes, length, block.chunk, block.offset);
    block.length = static_cast<uint32_t>(length);
    block.stamp = stamp ? InternStamp(*stamp) : 0;
    block.firstLine = static_cast<uint32_t>(m_lineBase + m_lines.size());
    block.table = static_cast<uint32_t>(m_tables.size() - 1);
    block.mode = mode;
    block.direction = direction;
    m_blocks.push_back(block);
    m_storedBytes += length;

    const auto id = static_cast<uint32_t>(m_blockBase + m_blocks.size() - 1);
    Render(m_blocks.size() - 1, rendered);
    for (size_t i = 0; i < rendered.lines.size(); ++i) {
        m_lines.push_back({id, static_cast<uint32_t>(i)});
        m_maxColumns = std::max<size_t>(m_maxColumns, rendered.lines[i].length);
    }
    while (m_storedBytes > m_byteLimit && m_blocks.size() > 1)
        DropOldest();
    return m_blocks.size() - 1;
}

LogBlockView LogStore::View(const Block &block) const
{
    LogBlockView view;
    view.direction = block.direction;
    view.mode = block.mode;
    view.hasStamp = block.stamp != 0;
    view.stamp = &m_stamps[block.stamp];
    view.bytes = block.length ? Chunk(block.chunk).get() + block.offset : nullptr;
    view.length = block.length;
    view.table = m_tables[block.table].get();
    return view;
}

void LogStore::Render(size_t block, LogRendered &out) const
{
    RenderLogBlock(View(m_blocks[block]), out);
}

std::string LogStore::WholeText() const
{
    std::string text;
    if (m_droppedLines > 0)
        text += MarkerText() + "\r\n";
    LogRendered rendered;
    for (const Block &block : m_blocks) {
        RenderLogBlock(View(block), rendered);
        for (const LogRendered::Span &span : rendered.lines) {
            text.append(rendered.text, span.start, span.length);
            text.append("\r\n", 2);
        }
    }
    return text;
}
