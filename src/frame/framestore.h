#pragma once
// The frames a view shows, kept compactly and within a memory limit. A frame costs a small fixed
// record plus its bytes, both in chunks of their own: a flood of short frames never makes a
// vector (and a heap block) per frame. Past the limit the oldest chunk goes whole, and the count
// of frames dropped so far says what the view no longer has.
//
// A filter (directions, verdicts, text in the hex or the text form) is kept as an index of the
// matching frames, brought up to date as each frame arrives, so a million frames are never
// scanned again for the next one.
#include "frame/framer.h"
#include "platform/bulkmemory.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ST_FrameFilter
{
    static constexpr uint8_t kAllDirections = 0x0F; // bit 1 << EFrameDirection
    static constexpr uint8_t kAllChecks = 0x07;     // bit 1 << EFrameCheck
    uint8_t Directions = kAllDirections;
    uint8_t Checks = kAllChecks;
    // Found in the frame's hex form ("0d 0a", any case, blanks between pairs optional) or in its
    // text form, any case.
    std::string Text;

    bool PassesAll() const { return Directions == kAllDirections && Checks == kAllChecks && Text.empty(); }
};

// What pairing requests with answers said of a frame, kept beside it for the view's summary. The
// store keeps it only for frames that have one, so framing without it costs nothing more.
struct ST_FramePairing
{
    static constexpr uint64_t kNoRequest = ~uint64_t{0};
    uint64_t Request = kNoRequest; // the Id() of the stored request this frame answers
    float AnswerMs = -1;           // to the answer's first byte; below 0: not timed
    uint8_t Outcome = 0;           // 0: nothing said; the rest as the reader of the pairing numbers them
};

class CFrameStore
{
public:
    // As the log's own limit.
    static constexpr size_t kDefaultByteLimit = size_t{256} * 1024 * 1024;

    CFrameStore();
    // A copy to read on another thread (a save): the frames and the filter's index, not the room
    // kept for the next chunk.
    CFrameStore(const CFrameStore &other);
    CFrameStore &operator=(const CFrameStore &) = delete;

    // Applies at the next Append; the newest chunk is always kept.
    void SetByteLimit(size_t bytes) { m_byteLimit = bytes; }
    size_t ByteLimit() const { return m_byteLimit; }
    // Chunks, records and the filter's index, as counted against the limit.
    size_t MemoryBytes() const;

    // Keeps the frame; returns whether it passes the filter.
    bool Append(const ST_Frame &frame);
    void Clear();

    // Frames kept, and dropped since the last Clear.
    size_t Count() const { return static_cast<size_t>(m_nextId - m_firstId); }
    uint64_t Dropped() const { return m_firstId - m_clearedId; }
    // The start of the first frame since the last Clear: the view's times count from it.
    FrameTime Origin() const { return m_origin; }

    // The frame at `row` (0 = oldest kept), bytes and all.
    ST_Frame At(size_t row) const;
    // The bytes as they crossed the line, without copying them out.
    size_t Length(size_t row) const;
    void Bytes(size_t row, std::vector<uint8_t> &out) const;
    EFrameDirection Direction(size_t row) const;

    // ---- Pairing ----
    // Every frame appended has an id, in the order they came: the row's, and the last one's.
    uint64_t IdOf(size_t row) const { return m_firstId + row; }
    uint64_t LastId() const { return m_nextId - 1; }
    // The row of frame `id`; none once it was dropped (or cleared).
    std::optional<size_t> RowOfId(uint64_t id) const
    {
        if (id < m_firstId || id >= m_nextId)
            return std::nullopt;
        return static_cast<size_t>(id - m_firstId);
    }
    // Ignored for a frame no longer kept.
    void SetPairing(uint64_t id, const ST_FramePairing &pairing);
    ST_FramePairing Pairing(size_t row) const;

    // ---- The filter and its index ----
    // Rebuilds the index over every frame kept.
    void SetFilter(const ST_FrameFilter &filter);
    const ST_FrameFilter &Filter() const { return m_filter; }
    // Frames kept that pass, and the row of the n-th of them.
    size_t Visible() const { return m_filter.PassesAll() ? Count() : m_index.size(); }
    size_t VisibleRow(size_t n) const
    {
        return m_filter.PassesAll() ? n : static_cast<size_t>(m_index[n] - m_firstId);
    }
    // Passing frames dropped so far: the visible rows that went from the top.
    uint64_t VisibleDropped() const { return m_visibleDropped; }

    // The visible frame after (or before) visible row `from` whose hex or text form holds `text`,
    // wrapping at the ends; none without a match or with empty text. `from` past the end starts at
    // the first (or the last).
    std::optional<size_t> Find(const std::string &text, size_t from, bool forward) const;

    // Writes the visible frames as CSV (CFrameCsv's header and lines) to `path`, atomically;
    // throws EFCreateError naming the file when it cannot be written whole.
    void SaveCsv(const std::string &path, int64_t wallOffset, bool charsKnown) const;

    // The text form: printable ASCII as it is, every other byte as '.'.
    static std::string TextForm(const uint8_t *data, size_t size);
    // "0D 0A 41".
    static std::string HexForm(const uint8_t *data, size_t size);

private:
    struct ST_Record
    {
        int64_t Start; // microseconds, steady clock
        int64_t End;
        int64_t Gap; // -1: none
        float GapChars;
        uint32_t Offset; // in its chunk's bytes: the bytes, then the decoded bytes
        uint32_t Length;
        uint32_t DecodedLength;
        uint8_t Direction;
        uint8_t Check;
        uint8_t Marks;
        uint8_t Encoded;
        uint8_t Outcome; // the pairing's, in the record's padding: most pairings say nothing more
    };
    // Records from the start of one region and the bytes after them, split by the first frame's
    // length: no record list grows by copying itself, and a chunk dropped at the limit gives its
    // region to the next one whole.
    struct ST_Chunk
    {
        uint64_t FirstId = 0;
        BulkBytes Region;
        size_t RegionSize = 0;
        ST_Record *Records = nullptr;
        size_t RecordCount = 0;
        size_t RecordRoom = 0;
        uint8_t *Bytes = nullptr;
        size_t ByteCount = 0;
        size_t ByteRoom = 0;
        // The request and the time, beside the records up to the last frame given either.
        std::vector<ST_FramePairing> Pairings;

        ST_Chunk() = default;
        ST_Chunk(ST_Chunk &&) = default;
        ST_Chunk &operator=(ST_Chunk &&) = default;
        // A region of the same size with what this one holds.
        ST_Chunk(const ST_Chunk &other);
    };

    const ST_Record &Record(size_t row, const ST_Chunk **chunk = nullptr) const;
    bool Passes(const ST_Record &record, const uint8_t *bytes) const;
    static bool HoldsText(const uint8_t *data, size_t size, const std::string &lowerText,
                          const std::vector<uint8_t> &hexBytes);
    void DropOldest();
    ST_Chunk &ChunkFor(size_t bytes);
    ST_Chunk &ChunkOfId(uint64_t id);
    size_t RegionSize() const;

    size_t m_byteLimit = kDefaultByteLimit;
    std::deque<ST_Chunk> m_chunks;
    // The room of the oldest chunk dropped, emptied, for the next one: a store at its limit takes
    // no fresh pages for the frames that keep coming (one chunk's room beyond the limit).
    ST_Chunk m_spare;
    size_t m_chunkMemory = 0;
    uint64_t m_clearedId = 0; // frames are numbered from the first ever appended
    uint64_t m_firstId = 0;
    uint64_t m_nextId = 0;
    FrameTime m_origin{0};

    ST_FrameFilter m_filter;
    std::string m_filterLower;
    std::vector<uint8_t> m_filterHex; // the filter text read as hex pairs; empty when it is none
    std::deque<uint64_t> m_index;     // ids of the passing frames, oldest first
    uint64_t m_visibleDropped = 0;
};
