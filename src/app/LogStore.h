#pragma once
// Compact storage of everything ever logged. A block costs a small fixed record plus its bytes;
// time texts are shared between the blocks written in the same second and each symbol table
// version is kept once. Displayed lines are an index into the blocks, so finding line i is
// constant time and appending never looks at earlier lines.
//
// The store keeps at most a byte limit of logged data: past it the oldest blocks go, and a marker
// line, first of all lines, says how many lines went. Indexes of blocks and lines count from what
// is kept (the marker being line 0).
#include "app/LogRender.h"
#include "data/symboltable.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class LogStore
{
public:
    static constexpr size_t kDefaultByteLimit = size_t{256} * 1024 * 1024;

    LogStore();

    // Applies at the next Append; the newest block is always kept, however large.
    void SetByteLimit(size_t bytes) { m_byteLimit = bytes; }
    size_t ByteLimit() const { return m_byteLimit; }
    size_t StoredBytes() const { return m_storedBytes; }
    // Lines dropped so far (since the last Clear); the marker line stands for them.
    size_t DroppedLines() const { return m_droppedLines; }
    bool IsMarkerLine(size_t line) const { return m_droppedLines > 0 && line == 0; }
    std::string MarkerText() const;

    // Applies to blocks appended afterwards.
    void SetSymbolTable(const CSymbolTable &table);

    // Stores a block and renders it into `rendered` (which the caller may keep as a cache).
    // `stamp` is null when no time stamp is shown. Returns the block's index.
    size_t Append(LogDirection direction, uint8_t mode, const std::string *stamp, const uint8_t *bytes,
                  size_t length, LogRendered &rendered);
    void Clear();

    size_t BlockCount() const { return m_blocks.size(); }
    size_t LineCount() const { return m_lines.size() + Marker(); }
    size_t MaxColumns() const { return m_maxColumns; }

    // Which block a displayed line belongs to, and which of the block's lines it is (not for the
    // marker line).
    size_t BlockOfLine(size_t line) const
    {
        return static_cast<uint32_t>(m_lines[line - Marker()].block - static_cast<uint32_t>(m_blockBase));
    }
    size_t SubLineOfLine(size_t line) const { return m_lines[line - Marker()].subLine; }
    size_t FirstLineOfBlock(size_t block) const
    {
        return static_cast<uint32_t>(m_blocks[block].firstLine - static_cast<uint32_t>(m_lineBase)) +
               Marker();
    }

    void Render(size_t block, LogRendered &out) const;
    LogBlockView BlockView(size_t block) const { return View(m_blocks[block]); }

    // All displayed lines (the marker too), each followed by CR LF.
    std::string WholeText() const;

private:
    // Block, line and chunk numbers are counted from the first ever stored, modulo 2^32; the
    // bases say how many of each were dropped.
    struct Block
    {
        uint32_t chunk;
        uint32_t offset;
        uint32_t length;
        uint32_t stamp; // 0: none, else index into m_stamps
        uint32_t firstLine;
        uint32_t table;
        uint8_t mode;
        LogDirection direction;
    };
    struct LineRef
    {
        uint32_t block;
        uint32_t subLine;
    };

    size_t Marker() const { return m_droppedLines > 0 ? 1 : 0; }
    std::unique_ptr<uint8_t[]> &Chunk(uint32_t chunk)
    {
        return m_chunks[static_cast<uint32_t>(chunk - static_cast<uint32_t>(m_chunkBase))];
    }
    const std::unique_ptr<uint8_t[]> &Chunk(uint32_t chunk) const
    {
        return m_chunks[static_cast<uint32_t>(chunk - static_cast<uint32_t>(m_chunkBase))];
    }
    void DropOldest();
    const uint8_t *StoreBytes(const uint8_t *bytes, size_t length, uint32_t &chunk, uint32_t &offset);
    uint32_t InternStamp(const std::string &stamp);
    LogBlockView View(const Block &block) const;

    std::deque<Block> m_blocks;
    std::deque<LineRef> m_lines;
    std::deque<std::unique_ptr<uint8_t[]>> m_chunks;
    std::deque<uint32_t> m_chunkBlocks; // blocks kept in each chunk
    size_t m_chunkBase = 0;
    size_t m_blockBase = 0;
    size_t m_lineBase = 0;
    size_t m_droppedLines = 0;
    size_t m_storedBytes = 0;
    size_t m_byteLimit = kDefaultByteLimit;
    uint32_t m_fillChunk = 0;
    size_t m_fillUsed = 0;
    bool m_haveFillChunk = false;
    std::vector<std::string> m_stamps;
    std::vector<std::shared_ptr<const CSymbolTable>> m_tables;
    size_t m_maxColumns = 0;
};
