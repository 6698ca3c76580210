#include "log/logstore.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's own count; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Bytes the program has allocated and not freed.
size_t HeapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

constexpr size_t kLimit = 1024 * 1024;

struct Feed
{
    const char *name;
    uint8_t mode;
    bool stamps;
    bool newTables; // a different symbol table before every block
    std::function<std::string(int block)> bytes;
};

std::string Lines64(int block)
{
    std::string text;
    for (int line = 0; line < 32; ++line) {
        char head[32];
        std::snprintf(head, sizeof head, "%06d:%04d ", block, line);
        text += head + std::string(62 - 12, 'x') + "\r\n";
    }
    return text;
}

std::string Stamp(int block)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", block / 3600000 % 24, block / 60000 % 60,
                  block / 1000 % 60, block % 1000);
    return text;
}

} // namespace

// Whatever the data, once the log is full what it holds in memory (by the heap's own count) stays
// within its limit, and the line index still finds every kept line.
TEST(LogStore, MemoryStaysWithinTheLimitForEveryKindOfData)
{
    const Feed feeds[] = {
        {"64-byte lines", 0, false, false, Lines64},
        {"bare LF", 0, false, false, [](int) { return std::string(2047, '\n'); }},
        {"bare CR", 0, true, false, [](int) { return std::string(2047, '\r'); }},
        {"1-byte blocks, millisecond stamps", 0, true, false, [](int) { return std::string(1, 'A'); }},
        {"hex view", 1, true, false, Lines64},
        {"symbol tables changing", 3, false, true, [](int) { return std::string("\r\nab"); }},
    };
    for (const Feed &feed : feeds) {
        SCOPED_TRACE(feed.name);
        const size_t heapBefore = HeapInUse();
        {
            CLogStore store;
            store.SetByteLimit(kLimit);
            ST_LogRendered rendered;
            // Until the log has dropped twice what it keeps.
            for (int block = 0; block < 10 || store.DroppedLines() < 2 * store.LineCount(); ++block) {
                if (feed.newTables) {
                    CSymbolTable table;
                    table.SetEntry(block % 128,
                                   {true, false, "<" + std::to_string(block) + " long symbol text>"});
                    store.SetSymbolTable(table);
                }
                const std::string bytes = feed.bytes(block);
                const std::string stamp = Stamp(block);
                store.Append(LogDirection::Received, feed.mode, feed.stamps ? &stamp : nullptr,
                             reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), rendered);
                ASSERT_LE(store.MemoryBytes(), kLimit);
            }
            EXPECT_GT(store.MemoryBytes(), kLimit * 3 / 4) << "the log uses the room it has";
            EXPECT_GT(store.DroppedLines(), 0u);
            EXPECT_LE(store.StampCount(), store.BlockCount());
            EXPECT_LE(store.TableCount(), store.BlockCount() + 1);
            // A store that spent its limit on payload alone would hold far more than the limit.
            EXPECT_LE(HeapInUse() - heapBefore, kLimit + kLimit / 8 + rendered.text.capacity() * 4);

            // Every kept line, looked up out of order.
            for (size_t block = store.BlockCount(); block-- > 0;) {
                const size_t first = store.FirstLineOfBlock(block);
                const size_t next =
                    block + 1 < store.BlockCount() ? store.FirstLineOfBlock(block + 1) : store.LineCount();
                ASSERT_LT(first, next);
                for (size_t line : {next - 1, first}) {
                    ASSERT_EQ(store.BlockOfLine(line), block) << line;
                    ASSERT_EQ(store.SubLineOfLine(line), line - first);
                }
            }
            EXPECT_TRUE(store.IsMarkerLine(0));
            EXPECT_EQ(store.BlockOfLine(0), 0u);
            EXPECT_EQ(store.SubLineOfLine(0), 0u);
            EXPECT_EQ(store.FirstLineOfBlock(0), 1u);
        }
        // The first store also sets up what lives on for the whole program (a few KiB in glibc's
        // count); a storage chunk it failed to free would be 64 KiB.
        EXPECT_LE(HeapInUse(), heapBefore + 16 * 1024) << "the store gives back all it held";
    }
}

// A cache that rendered one very large block gives the room back for the next small one.
TEST(LogStore, RenderingCacheShrinksAfterALargeBlock)
{
    CLogStore store;
    ST_LogRendered rendered;
    const std::string large(4 * 1024 * 1024, '\n');
    store.Append(LogDirection::Sent, 1, nullptr, reinterpret_cast<const uint8_t *>(large.data()),
                 large.size(), rendered);
    EXPECT_EQ(store.LineCount(), 1u);
    store.Render(0, rendered);
    store.Append(LogDirection::Sent, 0, nullptr, reinterpret_cast<const uint8_t *>("ab"), 2, rendered);
    EXPECT_LT(rendered.text.capacity() + rendered.lines.capacity() * sizeof(ST_LogRendered::Span),
              1024 * 1024u);
}

// Hex and decimal blocks are stored without rendering: the measured line is the rendered one.
TEST(LogStore, HexAndDecimalLinesAreMeasuredAsTheyRender)
{
    std::vector<uint8_t> every(256);
    for (size_t b = 0; b < every.size(); ++b)
        every[b] = static_cast<uint8_t>(b);
    const std::string stamps[] = {"12:00:00.001", std::string("1\0 2", 4), ""};
    for (uint8_t mode : {1, 2, 0})
        for (LogDirection direction : {LogDirection::Received, LogDirection::Sent, LogDirection::BtoA})
            for (const std::string *stamp :
                 {&stamps[0], &stamps[1], &stamps[2], (const std::string *)nullptr})
                for (uint8_t mark : {kLogMarkNone, kLogMarkChecksumShort, kLogMarkChecksumBad})
                    for (size_t length : {size_t{0}, every.size()}) {
                        ST_LogBlockView view;
                        view.direction = direction;
                        view.mode = mode;
                        view.hasStamp = stamp != nullptr;
                        view.stamp = stamp;
                        view.bytes = every.data();
                        view.length = length;
                        view.mark = mark;
                        ST_LogRendered rendered;
                        RenderLogBlock(view, rendered);
                        size_t width = 0;
                        ASSERT_EQ(MeasureLogLine(view, width), mode != 0);
                        if (mode == 0)
                            continue;
                        ASSERT_EQ(rendered.lines.size(), 1u);
                        ASSERT_EQ(width, rendered.lines[0].length) << int(mode) << " " << int(mark) << " "
                                                                   << length << " " << (stamp ? *stamp : "-");
                    }
}

// A flood's blocks go into chunks of huge pages once the log holds enough; they keep the limit
// and their bytes like any other, also once every chunk has been freed and reused.
TEST(LogStore, AFloodInHugeChunksKeepsItsLimitAndItsBytes)
{
    constexpr size_t kFloodLimit = 64 * 1024 * 1024;
    CLogStore store;
    store.SetByteLimit(kFloodLimit);
    ST_LogRendered rendered;
    std::vector<uint8_t> block(16 * 1024);
    uint32_t next = 0;
    while (store.DroppedLines() < 2 * kFloodLimit / block.size()) {
        for (size_t i = 0; i < block.size(); i += 4, ++next)
            std::memcpy(&block[i], &next, 4);
        store.Append(LogDirection::Received, 1, nullptr, block.data(), block.size(), rendered);
        ASSERT_LE(store.MemoryBytes(), kFloodLimit);
    }
    EXPECT_GT(store.MemoryBytes(), kFloodLimit * 3 / 4);
    uint32_t expected = next - static_cast<uint32_t>(store.StoredBytes() / 4);
    for (size_t b = 0; b < store.BlockCount(); ++b) {
        const ST_LogBlockView view = store.BlockView(b);
        for (size_t i = 0; i < view.length; i += 4, ++expected) {
            uint32_t value = 0;
            std::memcpy(&value, view.bytes + i, 4);
            ASSERT_EQ(value, expected) << b;
        }
    }
}
