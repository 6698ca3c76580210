#pragma once
// The received blocks of this and the last run, oldest first. The list is bounded in entries and
// in memory: a block that arrives while it is full, or that would take it past its memory, empties
// it at once rather than trimming it entry by entry, so the entries the user sees always form one
// unbroken run.
//
// Entries are packed (their bytes deflated) once they look set to stay: a stream's blocks would
// otherwise be held twice for as long as the list holds them, once here and once in the log. The
// bounds count an entry as it was received, packed or not, so packing never changes what the list
// keeps.
#include "data/commdata.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CRecDataList
{
public:
    static constexpr int kCapacity = 1025;
    // Well above what kCapacity received blocks take, so only unusually large entries reach it.
    static constexpr size_t kMemoryLimit = size_t{32} * 1024 * 1024;
    // A full list on file: each byte is three characters of text, plus the names.
    static constexpr size_t kFileLimit = size_t{128} * 1024 * 1024;
    // An entry as the list holds it: the block, or its name and format with the bytes packed.
    struct Stored
    {
        CCommData item;     // without bytes while packed
        std::string packed; // deflated; empty when the bytes are in `item`
        size_t length = 0;
        size_t cost = 0;      // as counted against kMemoryLimit: the block as it was received
        bool settled = false; // packing was tried (or the entry is too small to try)
        // The block whole. Throws std::bad_alloc when memory runs out.
        CCommData Item() const;
    };
    // An entry never changes once in the list (a change, packing too, puts a new one in its
    // place), so a writer thread may hold on to entries while the list goes on.
    using Entry = std::shared_ptr<const Stored>;

    // Whether adding the block empties the list first. The newest block is always kept.
    bool FullFor(const CCommData &item) const
    {
        return Count() >= kCapacity || (Count() > 0 && m_memory + CostOf(item) > kMemoryLimit);
    }
    // Returns true when the list was full and has been emptied before the block went in.
    bool Add(CCommData item);
    void Clear()
    {
        m_entries.clear();
        m_ids.clear();
        m_memory = 0;
    }
    // The memory the entries take, as counted against kMemoryLimit.
    size_t MemoryBytes() const { return m_memory; }
    // What the entries' bytes take as they are held, packed or not.
    size_t HeldBytes() const;

    // Packs entries not yet tried, oldest first, until `budget` bytes of them have been looked
    // at. Blocks that do not pack to well below their size stay as they are.
    void Pack(size_t budget);

    int Count() const { return static_cast<int>(m_entries.size()); }
    // A copy: the entry may be packed.
    CCommData At(int pos) const { return m_entries.at(static_cast<size_t>(pos))->Item(); }
    // The entries from `pos` to the end, shared.
    std::vector<Entry> EntriesFrom(int pos) const
    {
        return std::vector<Entry>(m_entries.begin() + std::min(pos, Count()), m_entries.end());
    }
    void Replace(int pos, const CCommData &item);

    // Every entry has an id of its own for as long as it is in the list (a merged entry keeps the
    // upper one's), so a caller can hold on to an entry while rows come and go.
    uint64_t IdAt(int pos) const { return m_ids.at(static_cast<size_t>(pos)); }
    // The entry's row, or -1 when it has left the list.
    int PosOf(uint64_t id) const;

    // Removes the entries at `positions` (ascending, no repeats). Returns the row that should be
    // selected afterwards: the place of the last one removed, pulled back onto the new last row,
    // or -1 when nothing is left.
    int Remove(const std::vector<int> &positions);

    // Joins the entry at `pos` onto the end of the one above it, which keeps its name and format.
    // False, and no change, when `pos` has no entry above it.
    bool MergeUp(int pos);

    // One ToLine record per line. Load returns false, list unchanged, when the file is missing;
    // a malformed line becomes a default entry, a line holding a 0x00 none, and the lines past the
    // list's own bounds are left out. Both throw the file errors of the text-file layer.
    bool Load(const std::string &path);
    // Whether the file last loaded is in the list whole: no line left out.
    bool LoadedAll() const { return m_loadedAll; }
    // Whether the file last loaded ends its last line and reads in full (no line is left out):
    // then lines added to its end are read back after the loaded ones.
    bool LoadedFileTakesAppends() const { return m_loadedWhole; }
    void Save(const std::string &path) const;
    // The file's lines for `items`, a few hundred KiB a piece: the text is three times the bytes,
    // so a full list of large blocks is never held as text whole.
    static TextPieces FilePieces(std::vector<Entry> items);

    // "TempRec.tmp" in the app folder.
    static std::string FilePath();

private:
    static size_t CostOf(const CCommData &item);
    static Entry Make(CCommData item);

    std::vector<Entry> m_entries;
    std::vector<uint64_t> m_ids; // ascending, as entries only ever join at the end
    uint64_t m_nextId = 1;
    bool m_loadedWhole = false;
    bool m_loadedAll = false;
    size_t m_memory = 0;
};
