#pragma once
// Compact storage of everything ever logged. A block costs a small fixed record plus its bytes;
// time texts are shared between the blocks written in the same second and each symbol table
// version is kept once. Displayed lines are an index into the blocks, so finding line i is
// constant time and appending never looks at earlier lines.
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
    LogStore();

    // Applies to blocks appended afterwards.
    void SetSymbolTable(const CSymbolTable &table);

    // Stores a block and renders it into `rendered` (which the caller may keep as a cache).
    // `stamp` is null when no time stamp is shown. Returns the block's index.
    size_t Append(LogDirection direction, uint8_t mode, const std::string *stamp, const uint8_t *bytes,
                  size_t length, LogRendered &rendered);
    void Clear();

    size_t BlockCount() const { return m_blocks.size(); }
    size_t LineCount() const { return m_lines.size(); }
    size_t MaxColumns() const { return m_maxColumns; }

    // Which block a displayed line belongs to, and which of the block's lines it is.
    size_t BlockOfLine(size_t line) const { return m_lines[line].block; }
    size_t SubLineOfLine(size_t line) const { return m_lines[line].subLine; }
    size_t FirstLineOfBlock(size_t block) const { return m_blocks[block].firstLine; }

    void Render(size_t block, LogRendered &out) const;
    LogBlockView BlockView(size_t block) const { return View(m_blocks[block]); }

    // All displayed lines, each followed by CR LF.
    std::string WholeText() const;

private:
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

    const uint8_t *StoreBytes(const uint8_t *bytes, size_t length, uint32_t &chunk, uint32_t &offset);
    uint32_t InternStamp(const std::string &stamp);
    LogBlockView View(const Block &block) const;

    std::deque<Block> m_blocks;
    std::deque<LineRef> m_lines;
    std::vector<std::unique_ptr<uint8_t[]>> m_chunks;
    size_t m_fillChunk = 0;
    size_t m_fillUsed = 0;
    bool m_haveFillChunk = false;
    std::vector<std::string> m_stamps;
    std::vector<std::shared_ptr<const CSymbolTable>> m_tables;
    size_t m_maxColumns = 0;
};
