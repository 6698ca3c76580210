// Where a received stream is cut into blocks: the cuts the port's reads of up to 2047 bytes,
// 10 ms each, have always made, here from arrival times alone.
#include "serial/blockformer.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using Ms = std::chrono::milliseconds;

class Stream
{
public:
    void At(int ms, const std::vector<uint8_t> &bytes)
    {
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        former.Feed(bytes.data(), bytes.size(), t0 + Ms(ms));
    }
    void At(int ms, const std::string &text) { At(ms, std::vector<uint8_t>(text.begin(), text.end())); }
    // Lets time run out, then the sizes of all blocks; every byte must be in them, in order.
    std::vector<size_t> Sizes()
    {
        while (const auto deadline = former.Deadline())
            former.Expire(*deadline);
        std::vector<size_t> sizes;
        std::vector<uint8_t> joined;
        for (const CBlockFormer::Block &block : former.Finished()) {
            sizes.push_back(block.bytes.size());
            joined.insert(joined.end(), block.bytes.begin(), block.bytes.end());
            EXPECT_LE(block.begin, block.end);
        }
        EXPECT_EQ(joined, sent);
        return sizes;
    }
    CBlockFormer former;
    const CBlockFormer::Clock::time_point t0{Ms(1000000)};
    std::vector<uint8_t> sent;
};

std::vector<uint8_t> Filled(size_t size)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(1 + i % 250);
    return data;
}

using Sizes = std::vector<size_t>;

} // namespace

TEST(BlockFormer, AQuietGapOf10msEndsABlockAndTheEndIsOneGapAfterTheLastByte)
{
    Stream gap;
    gap.At(0, "ab");
    gap.At(5, "cd");
    gap.At(14, "e"); // 9 ms after the last byte: same block
    gap.At(40, "fg");
    gap.At(51, "h"); // 11 ms: a new one
    EXPECT_EQ(gap.Sizes(), (Sizes{5, 2, 1}));
    // "e" came in the second read, which ends at 20 ms; the block of "h" ends a gap after it.
    EXPECT_EQ(gap.former.Finished()[0].end, gap.t0 + Ms(20));
    EXPECT_EQ(gap.former.Finished()[1].end, gap.t0 + Ms(50));
    EXPECT_EQ(gap.former.Finished()[2].end, gap.t0 + Ms(61));

    Stream idle;
    EXPECT_FALSE(idle.former.Deadline());
    idle.At(0, "x");
    EXPECT_EQ(idle.former.Deadline(), idle.t0 + Ms(10));
    idle.former.Expire(idle.t0 + Ms(9));
    EXPECT_TRUE(idle.former.Finished().empty());
}

TEST(BlockFormer, BacklogIsCutAfterTheReadThatReaches16KiB)
{
    // Nine full reads pass 16384 bytes; the rest waits for the next block.
    Stream backlog;
    backlog.At(0, Filled(40000));
    EXPECT_EQ(backlog.Sizes(), (Sizes{18423, 18423, 3154}));

    // The same bytes in pieces that arrive together make the same cut.
    Stream pieces;
    const std::vector<uint8_t> data = Filled(20000);
    for (size_t at = 0; at < data.size(); at += 1000)
        pieces.At(0, std::vector<uint8_t>(data.begin() + static_cast<long>(at),
                                          data.begin() + static_cast<long>(at) + 1000));
    EXPECT_EQ(pieces.Sizes(), (Sizes{18423, 1577}));
}

TEST(BlockFormer, AReadStartingWithZeroEndsTheBlockAfterThatRead)
{
    Stream leading;
    leading.At(0, std::string("\0abc", 4));
    leading.At(3, "de"); // same read
    leading.At(12, "f");
    EXPECT_EQ(leading.Sizes(), (Sizes{6, 1}));

    Stream inside; // a zero that is not first in its read cuts nothing
    inside.At(0, std::string("a\0b", 3));
    inside.At(4, std::string("\0", 1));
    EXPECT_EQ(inside.Sizes(), (Sizes{4}));

    // In a backlog the reads are 2047 bytes: a zero at the start of the second read cuts after it.
    Stream backlog;
    std::vector<uint8_t> data = Filled(5000);
    data[2047] = 0;
    data[100] = 0;
    backlog.At(0, data);
    EXPECT_EQ(backlog.Sizes(), (Sizes{4094, 906}));
}

TEST(BlockFormer, AStreamThatNeverPausesComesInBlocksOf20ms)
{
    Stream steady;
    for (int ms = 0; ms < 50; ++ms)
        steady.At(ms, "z");
    EXPECT_EQ(steady.Sizes(), (Sizes{20, 20, 10}));
    EXPECT_EQ(steady.former.Finished()[1].begin, steady.t0 + Ms(20));
    EXPECT_EQ(steady.former.Finished()[2].end, steady.t0 + Ms(59));
}

// The listener sleeps until the deadline rather than watching the clock: that must cut the stream
// exactly where a former told of every millisecond does.
TEST(BlockFormer, WakingOnlyAtDeadlinesCutsAsWatchingEveryMillisecond)
{
    uint32_t seed = 12345;
    const auto random = [&](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int run = 0; run < 200; ++run) {
        CBlockFormer watched, woken;
        const CBlockFormer::Clock::time_point t0{Ms(1000000)};
        int ms = 0;
        for (int arrival = 0; arrival < 60; ++arrival) {
            const int next = ms + static_cast<int>(random(run % 2 ? 4 : 25));
            for (; ms < next; ++ms) {
                watched.Expire(t0 + Ms(ms));
                if (const auto deadline = woken.Deadline(); deadline && *deadline <= t0 + Ms(ms))
                    woken.Expire(t0 + Ms(ms));
            }
            std::vector<uint8_t> bytes = Filled(1 + random(run % 3 ? 300 : 3000));
            bytes[0] = static_cast<uint8_t>(random(8)); // now and then a frame's leading zero
            watched.Feed(bytes.data(), bytes.size(), t0 + Ms(ms));
            woken.Feed(bytes.data(), bytes.size(), t0 + Ms(ms));
        }
        for (const int end = ms + 50; ms < end; ++ms) {
            watched.Expire(t0 + Ms(ms));
            if (const auto deadline = woken.Deadline(); deadline && *deadline <= t0 + Ms(ms))
                woken.Expire(t0 + Ms(ms));
        }
        ASSERT_EQ(watched.Finished().size(), woken.Finished().size()) << run;
        for (size_t i = 0; i < watched.Finished().size(); ++i) {
            const CBlockFormer::Block &a = watched.Finished()[i], &b = woken.Finished()[i];
            ASSERT_TRUE(a.bytes == b.bytes && a.begin == b.begin && a.end == b.end) << run << " " << i;
        }
    }
}
