#include "recdata/checksumcheck.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

using Verdicts = std::vector<std::pair<EFrameVerdict, size_t>>;
constexpr auto kGood = EFrameVerdict::Good;
constexpr auto kBad = EFrameVerdict::Bad;
constexpr auto kShort = EFrameVerdict::TooShort;

Bytes Of(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

// The verdicts of the blocks fed in turn, placed in the whole stream.
Verdicts FeedAll(CChecksumCheck &check, const std::vector<Bytes> &blocks)
{
    Verdicts out;
    size_t base = 0;
    for (const Bytes &block : blocks) {
        for (const ST_FrameVerdict &v : check.Feed(block.data(), block.size()))
            out.emplace_back(v.Verdict, base + v.At);
        base += block.size();
    }
    return out;
}

// A text line with its Sum-8 (a sum that is not CR or LF, so that the line stays whole).
std::string SumLine(const std::string &text)
{
    const CChecksum sum(ST_ChecksumSpec{EChecksumKind::Sum8, {}, EByteOrder::BigEndian});
    const Bytes framed = sum.Append(Of(text));
    EXPECT_NE(framed.back(), '\r');
    EXPECT_NE(framed.back(), '\n');
    return std::string(framed.begin(), framed.end());
}

} // namespace

TEST(ChecksumCheck, BlocksAreJudgedWhole)
{
    const ST_ChecksumSpec modbus{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian};
    CChecksumCheck check(modbus, ECheckCover::Blocks);
    const Bytes good = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    Bytes bad = good;
    bad[3] ^= 0x10;
    EXPECT_EQ(FeedAll(check, {good, bad, {0xC5, 0xCD}, {}}),
              (Verdicts{{kGood, 7}, {kBad, 15}, {kShort, 17}}));
    EXPECT_EQ(check.Good(), 1u);
    EXPECT_EQ(check.Bad(), 2u);
    check.ResetCounts();
    EXPECT_EQ(check.Good() + check.Bad(), 0u);
    EXPECT_THROW(CChecksumCheck(ST_ChecksumSpec{}, ECheckCover::Blocks), std::invalid_argument);
}

TEST(ChecksumCheck, LinesAreJudgedHoweverBlocksCutThem)
{
    const std::string a = SumLine("temp:21.5");
    std::string b = SumLine("hum:40");
    b[0] = 'H';
    const ST_ChecksumSpec sum8{EChecksumKind::Sum8, {}, EByteOrder::BigEndian};
    const std::string stream = a + "\r\n" + b + "\n\n" + a + "\r" + "x\r\n";
    const size_t aEnd = a.size();
    const size_t bEnd = aEnd + 2 + b.size();
    const size_t a2End = bEnd + 2 + a.size();
    const Verdicts expected{{kGood, aEnd}, {kBad, bEnd}, {kGood, a2End}, {kShort, a2End + 2}};

    // Several lines in one block.
    CChecksumCheck whole(sum8, ECheckCover::Lines);
    EXPECT_EQ(FeedAll(whole, {Of(stream)}), expected);
    EXPECT_EQ(whole.Good(), 2u);
    EXPECT_EQ(whole.Bad(), 2u);

    // Every cut: inside a line, between CR and LF, and byte by byte.
    for (size_t step : {1, 3, 7}) {
        std::vector<Bytes> blocks;
        for (size_t at = 0; at < stream.size(); at += step)
            blocks.push_back(Of(stream.substr(at, step)));
        CChecksumCheck cut(sum8, ECheckCover::Lines);
        EXPECT_EQ(FeedAll(cut, blocks), expected) << "step " << step;
    }
    CChecksumCheck crLf(sum8, ECheckCover::Lines);
    EXPECT_EQ(FeedAll(crLf, {Of(a + "\r"), Of("\n" + a + "\r\n")}),
              (Verdicts{{kGood, aEnd}, {kGood, aEnd + 2 + a.size()}}));
}

TEST(ChecksumCheck, AnUnfinishedLineIsBounded)
{
    const ST_ChecksumSpec xor8{EChecksumKind::Xor8, {}, EByteOrder::BigEndian};
    CChecksumCheck check(xor8, ECheckCover::Lines, 8);
    // Up to the bound the line waits; past it it is given up, skipped to its break and counted in
    // neither count, and the line after it is judged as usual.
    const Verdicts verdicts =
        FeedAll(check, {Of("abcd"), Of("efgh"), Of("ijk"), Of("lm\nAA"), Of("B"), Of("\r\n")});
    EXPECT_EQ(verdicts, (Verdicts{{EFrameVerdict::TooLong, 10}, {kBad, 17}}));
    EXPECT_EQ(check.Good() + check.Bad(), 1u);
    check.Feed(Of("zz").data(), 2);
    check.Restart();
    EXPECT_EQ(FeedAll(check, {Of("A\nA"), Of("A\n")}), (Verdicts{{kShort, 1}, {kGood, 4}}));
}
