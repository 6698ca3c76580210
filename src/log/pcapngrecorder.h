#pragma once
// The log's traffic kept as pcapng packets for an export: every block both ways as it comes,
// with the time its caller gives (the log's own store keeps the text it shows and no times). At
// most a byte limit of packets is kept, the oldest going first, in chunks that a snapshot shares
// once full, so that taking one on the window's thread copies no more than the chunk being filled.
// A full chunk that took a while to fill is held deflated (it would otherwise be the third copy of
// a slow stream, beside the log's and the received list's), and at the limit the chunk dropped is
// used again for the next when no snapshot ever took it: a flood then fills no fresh memory.
#include "log/logrender.h"
#include "portbase/lineevent.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class CPcapngRecorder
{
public:
    static constexpr size_t kDefaultByteLimit = size_t{64} << 20;
    static constexpr size_t kChunkBytes = size_t{1} << 20;

    explicit CPcapngRecorder(size_t byteLimit = kDefaultByteLimit) : m_byteLimit(byteLimit) {}

    void Add(LogDirection direction, const uint8_t *bytes, size_t length, int64_t wallMicros);
    // A block of the traffic path, kept with its number (ST_Traffic::Seq) for TakeTraffic.
    void AddTraffic(uint32_t seq, LogDirection direction, const uint8_t *bytes, size_t length,
                    int64_t wallMicros);
    void AddEvent(const ST_LineEvent &event, int64_t wallMicros);
    // A packet made by the caller (a frame, say), whole blocks of the file.
    void AddPacket(const std::string &packet);
    void Clear();

    size_t Packets() const { return m_packets; }
    // Packets that went to keep the limit.
    uint64_t Dropped() const { return m_dropped; }

    // A chunk's packets, maybe deflated.
    struct ST_Piece
    {
        std::string Bytes;
        size_t Length = 0; // of the packets when Bytes are deflated, else 0
        // The packets, as they go to the file after its header. Throws std::bad_alloc.
        std::string Text() const;
    };
    // The packets kept, in order, as pieces of the file after its header.
    using Snapshot = std::vector<std::shared_ptr<const ST_Piece>>;
    Snapshot Take() const;
    // What the chunks hold, packed or not.
    size_t HeldBytes() const;
    // The packets of the traffic numbered `first` to `last` (modulo 2^32, as the path counts)
    // that are still kept, and whatever was kept between them (line events, notes); `packets`
    // says how many of the traffic's. Empty when none is kept. Throws std::bad_alloc (a packed
    // chunk at an end is read back whole).
    Snapshot TakeTraffic(uint32_t first, uint32_t last, size_t &packets) const;

    // A full chunk is packed when it took this long to fill: a stream of up to 256 KB/s, whose
    // packing costs the window under 0.2 % of a core. A faster one is not packed, as its chunks
    // reach the limit and go before long, and packing them would cost more than the view.
    static constexpr int64_t kPackAfterMicros = 4000000;

private:
    void Keep(int64_t wallMicros, const uint32_t *seq = nullptr);
    void Close(); // the chunk being filled is full

    struct ST_Mark
    {
        uint32_t Offset; // of the packet in its chunk
        uint32_t Seq;
    };
    struct ST_Chunk
    {
        std::shared_ptr<ST_Piece> Bytes;
        size_t Packets = 0;
        size_t Size = 0; // of its packets, packed or not
        int64_t FirstMicros = -1;
        int64_t LastMicros = -1;
        mutable bool Shared = false; // a snapshot took it: never written to again
        std::vector<ST_Mark> Marks;  // the traffic's packets, in order
    };
    std::deque<ST_Chunk> m_chunks;
    size_t m_byteLimit;
    size_t m_bytes = 0;
    size_t m_packets = 0;
    uint64_t m_dropped = 0;
    std::string m_packet;
    std::shared_ptr<ST_Piece> m_spare;
};
