#pragma once
// Cuts a received byte stream into blocks the way the port has always been read: in reads of up
// to 2047 bytes that each wait at most 10 ms. A block ends
//  - when no byte came for 10 ms,
//  - after the read that takes it to 16 KiB or more,
//  - after a read that starts with 0x00 (many devices begin a frame with one), or
//  - after the read that ends 20 ms or more after the block began, so a stream that never pauses
//    still comes in blocks of bounded age.
// Pure: the caller says when bytes arrived and when time passed, so the cuts follow from the
// arrival times alone and can be checked without a device.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class CBlockFormer
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kReadChunk = 2047;
    static constexpr size_t kBlockLimit = 16 * 1024;
    static constexpr std::chrono::milliseconds kGap{10};
    static constexpr std::chrono::milliseconds kBudget{20};

    struct Block
    {
        std::vector<uint8_t> bytes;
        Clock::time_point begin; // arrival of the first byte
        Clock::time_point end;   // when the block was known to be complete
    };

    // `length` bytes arrived at `now` (times never go back).
    void Feed(const uint8_t *data, size_t length, Clock::time_point now);
    // Time has reached `now` with no byte since the last Feed.
    void Expire(Clock::time_point now);
    // The latest time for the next Expire: a gap after the last byte, or the end of a read that
    // cuts the block at a frame's leading zero or at the size bound; none while no block is open.
    // Expire called then, and at each Feed, cuts exactly as if it were called at every moment.
    std::optional<Clock::time_point> Deadline() const;
    bool Open() const { return m_open; }

    // Completed blocks, oldest first.
    std::deque<Block> &Finished() { return m_finished; }

private:
    void EndRead(Clock::time_point at);
    void EndBlock(Clock::time_point at);

    bool m_open = false;
    Block m_block;
    Clock::time_point m_readStart;
    Clock::time_point m_lastByte;
    size_t m_readCount = 0;
    uint8_t m_readFirst = 0;
    std::deque<Block> m_finished;
};
