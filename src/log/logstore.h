#pragma once
// Compact storage of everything ever logged. A block costs a small fixed record plus its bytes;
// time texts are shared between the blocks written with the same text and each symbol table
// version is kept once. Displayed lines are not stored at all: a block records its first line,
// so a line is found by a search over the blocks (constant time for a line next to the last one
// asked for) and appending never looks at earlier lines.
//
// The store keeps at most a byte limit of memory: the bytes of its storage chunks, the block
// records, the time texts and the symbol tables all count. Past it the oldest blocks go, with the
// time texts and tables only they used, and a marker line, first of all lines, says how many lines
// went. Indexes of blocks and lines count from what is kept (the marker being line 0).
#include "data/symboltable.h"
#include "log/logrender.h"
#include "platform/bulkmemory.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class CLogStore
{
public:
    static constexpr size_t kDefaultByteLimit = size_t{256} * 1024 * 1024;
    // Lines are numbered with an int by the view (the marker line included).
    static constexpr size_t kMaxLines = 0x7FFFFFF0;

    CLogStore();

    // Applies at the next Append; the newest block is always kept, however large.
    void SetByteLimit(size_t bytes) { m_byteLimit = bytes; }
    size_t ByteLimit() const { return m_byteLimit; }
    // The logged bytes kept.
    size_t StoredBytes() const { return m_storedBytes; }
    // The memory the kept blocks take, as counted against the limit. One freed chunk may be held
    // beyond it for the next (see m_spare).
    size_t MemoryBytes() const { return m_memory; }
    // Lines dropped so far (since the last Clear); the marker line stands for them.
    size_t DroppedLines() const { return m_droppedLines; }
    bool IsMarkerLine(size_t line) const { return m_droppedLines > 0 && line == 0; }
    std::string MarkerText() const;

    // Applies to blocks appended afterwards.
    void SetSymbolTable(const CSymbolTable &table);

    struct Stored
    {
        size_t block;  // its index
        bool rendered; // into `scratch`, which the caller may keep as a cache
    };
    // Stores a block. Its lines are counted by rendering it into `scratch`, except in the hex and
    // decimal views, where it is one line that is measured only: a flood's blocks are never
    // rendered whole unless shown, saved or captured. `stamp` is null when no time stamp is
    // shown. See ST_LogBlockView for `ownBreak` and `mark`.
    // `traffic`: the traffic path's blocks (ST_Traffic::Seq) the bytes came from, first to last;
    // none for a note or what the path never carried.
    struct ST_TrafficSpan
    {
        uint32_t first = 0;
        uint32_t last = 0;
    };
    Stored Append(LogDirection direction, uint8_t mode, const std::string *stamp, const uint8_t *bytes,
                  size_t length, ST_LogRendered &scratch, bool ownBreak = false, uint8_t textForm = 0,
                  uint8_t mark = kLogMarkNone, const ST_TrafficSpan *traffic = nullptr);
    void Clear();

    size_t BlockCount() const { return m_blocks.size(); }
    size_t LineCount() const { return m_lineCount + Marker(); }
    size_t MaxColumns() const { return m_maxColumns; }
    // Time texts and symbol table versions kept.
    size_t StampCount() const { return m_stamps.size(); }
    size_t TableCount() const { return m_tables.size(); }

    // Which block a displayed line belongs to, and which of the block's lines it is (the marker
    // line gives the first block and 0).
    size_t BlockOfLine(size_t line) const;
    size_t SubLineOfLine(size_t line) const
    {
        return IsMarkerLine(line) ? 0 : line - Marker() - FirstLine(BlockOfLine(line));
    }
    size_t FirstLineOfBlock(size_t block) const { return FirstLine(block) + Marker(); }
    // What a displayed line shows, as a number no other line has had since the last Clear: the
    // lines' count from the first ever stored, or for the marker line a number that changes with
    // its text (bit 63 set).
    uint64_t LineId(size_t line) const
    {
        return IsMarkerLine(line) ? (uint64_t{1} << 63) | m_droppedLines : m_lineBase + line - Marker();
    }

    void Render(size_t block, ST_LogRendered &out) const;
    ST_LogBlockView BlockView(size_t block) const { return View(m_blocks[block]); }
    // The traffic the block's bytes came from; false when it has none.
    bool TrafficOf(size_t block, ST_TrafficSpan &traffic) const
    {
        const Block &b = m_blocks[block];
        traffic = {b.trafficFirst, b.trafficLast};
        return (b.mode & kHasTraffic) != 0;
    }

    // All displayed lines (the marker too), each followed by CR LF.
    std::string WholeText() const;

private:
    // Block, line, chunk, time text and table numbers are counted from the first ever stored,
    // modulo 2^32; the bases say how many of each were dropped.
    struct Block
    {
        uint32_t chunk;
        uint32_t offset;
        uint32_t length;
        uint32_t stamp;
        uint32_t firstLine;
        uint32_t table;
        uint32_t trafficFirst;
        uint32_t trafficLast;
        // The display mode in bits 0-1, the mark in bits 2-3 and 6, the text form in 4-5, whether
        // the traffic numbers hold in 7.
        uint8_t mode;
        LogDirection direction;
        bool hasStamp;
        bool ownBreak;
    };
    struct Stamp
    {
        std::string text;
        uint32_t blocks; // kept blocks showing it
    };

    static constexpr uint8_t kHasTraffic = 0x80;
    size_t Marker() const { return m_droppedLines > 0 ? 1 : 0; }
    // The block's first line, counted from the first line kept.
    size_t FirstLine(size_t block) const
    {
        return static_cast<uint32_t>(m_blocks[block].firstLine - static_cast<uint32_t>(m_lineBase));
    }
    static uint32_t Slot(uint32_t id, size_t base)
    {
        return static_cast<uint32_t>(id - static_cast<uint32_t>(base));
    }
    // The size of the next storage chunk.
    size_t ChunkSize() const;
    void DropOldest();
    void FreeChunk(uint32_t chunk);
    BulkBytes TakeChunk(size_t size);
    const uint8_t *StoreBytes(const uint8_t *bytes, size_t length, uint32_t &chunk, uint32_t &offset);
    uint32_t InternStamp(const std::string &stamp);
    ST_LogBlockView View(const Block &block) const;

    std::deque<Block> m_blocks;
    struct Chunk
    {
        BulkBytes bytes;
        size_t size;
        uint32_t blocks; // kept blocks in it
    };
    std::deque<Chunk> m_chunks;
    // At the limit every new chunk follows one freed: keeping that one for the next spares the
    // kernel zeroing fresh memory at the rate a flood arrives, which cost the window thread more
    // than everything else it does with a block. A chunk is at most 1/32 of the limit.
    BulkBytes m_spare;
    size_t m_spareSize = 0;
    // Until then, the next chunk's pages are touched on a thread of its own, not the window's.
    std::unique_ptr<CBulkReserve> m_reserve;
    std::deque<Stamp> m_stamps;
    std::deque<std::shared_ptr<const CSymbolTable>> m_tables;
    size_t m_chunkBase = 0;
    size_t m_blockBase = 0;
    size_t m_lineBase = 0;
    size_t m_stampBase = 0;
    size_t m_tableBase = 0;
    size_t m_lineCount = 0;
    size_t m_droppedLines = 0;
    size_t m_storedBytes = 0;
    size_t m_memory = 0;
    size_t m_byteLimit = kDefaultByteLimit;
    uint32_t m_fillChunk = 0;
    size_t m_fillUsed = 0;
    bool m_haveFillChunk = false;
    size_t m_maxColumns = 0;
    mutable size_t m_lastBlockFound = 0;
};
