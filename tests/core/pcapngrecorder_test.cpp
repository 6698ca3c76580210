#include "log/logpcapng.h"
#include "log/pcapngrecorder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Text(const CPcapngRecorder::Snapshot &snapshot)
{
    std::string text;
    for (const auto &piece : snapshot)
        text += piece->Text();
    return text;
}

struct Feed
{
    std::string line;
    int64_t micros = 1797000000000000;
    std::vector<std::string> packets; // every packet given, in order

    void Add(CPcapngRecorder &recorder, int n, int64_t stepMicros)
    {
        for (int i = 0; i < n; ++i, micros += stepMicros) {
            line = std::to_string(packets.size()) + " HIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
            recorder.Add(LogDirection::Received, reinterpret_cast<const uint8_t *>(line.data()), line.size(),
                         micros);
            packets.emplace_back();
            AppendLogPcapng(packets.back(), LogDirection::Received,
                            reinterpret_cast<const uint8_t *>(line.data()), line.size(), micros);
        }
    }
    std::string Last(size_t count) const
    {
        std::string text;
        for (size_t i = packets.size() - count; i < packets.size(); ++i)
            text += packets[i];
        return text;
    }
};

} // namespace

// Chunks that filled slowly are held packed and read back as they were written; a fast stream's
// are not packed. At the limit a dropped chunk is used again, never one a snapshot still holds.
TEST(PcapngRecorder, PackedAndReusedChunksReadBackAsWritten)
{
    CPcapngRecorder recorder(size_t{4} << 20);
    Feed feed;
    feed.Add(recorder, 30000, 1000); // about 3 MB in 30 s: packed once full
    EXPECT_LT(recorder.HeldBytes(), (size_t{3} << 20) / 2);
    const CPcapngRecorder::Snapshot slow = recorder.Take();
    const std::string slowText = feed.Last(feed.packets.size());
    EXPECT_EQ(Text(slow), slowText);

    feed.Add(recorder, 100000, 1); // a flood, past the limit: chunks go and come back
    const size_t kept = recorder.Packets();
    EXPECT_EQ(kept + recorder.Dropped(), feed.packets.size());
    EXPECT_GT(recorder.HeldBytes(), size_t{3} << 20) << "a flood's chunks are not packed";
    const CPcapngRecorder::Snapshot fast = recorder.Take();
    const std::string fastText = feed.Last(kept);
    EXPECT_EQ(Text(fast), fastText);
    feed.Add(recorder, 100000, 1);
    EXPECT_EQ(Text(slow), slowText);
    EXPECT_EQ(Text(fast), fastText);
    EXPECT_EQ(Text(recorder.Take()), feed.Last(recorder.Packets()));
}
