// The scanner that finds a ZMODEM start in the received stream: every byte is shown or the
// transfer's, whichever way the blocks cut the header, and only a whole header with its right CRC
// is a start.
#include "transfer/zmodemstart.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Split
{
    std::string shown;
    std::string transfer;
    EZmodemStart found = EZmodemStart::None;
};

// Feeds `pieces` in order until a header is found; the pieces after that are the transfer's, as
// the session hands them.
Split Scan(CZmodemStartScanner &scanner, const std::vector<std::string> &pieces)
{
    Split split;
    for (const std::string &piece : pieces) {
        if (split.found != EZmodemStart::None) {
            split.transfer += piece;
            continue;
        }
        std::vector<uint8_t> shown;
        std::vector<uint8_t> transfer;
        split.found =
            scanner.Feed(reinterpret_cast<const uint8_t *>(piece.data()), piece.size(), &shown, &transfer);
        split.shown.append(shown.begin(), shown.end());
        split.transfer.append(transfer.begin(), transfer.end());
    }
    return split;
}

const std::string kZrqinit = "**\x18"
                             "B00000000000000\r\x8a\x11";
const std::string kZrinit = "**\x18"
                            "B0100000023be50\r\x8a\x11";

} // namespace

TEST(ZmodemStart, FindsEitherHeaderWhereverTheBlocksCutIt)
{
    const std::string stream = "$ sz a.bin\r\nrz\r" + kZrqinit + "after";
    const size_t header = stream.find('*');
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        CZmodemStartScanner scanner;
        const Split split = Scan(scanner, {stream.substr(0, cut), stream.substr(cut)});
        EXPECT_EQ(split.found, EZmodemStart::SenderStarts) << cut;
        EXPECT_EQ(split.shown, stream.substr(0, header)) << cut;
        EXPECT_EQ(split.transfer, stream.substr(header)) << cut;
    }
    // One byte a block.
    CZmodemStartScanner scanner;
    std::vector<std::string> bytes;
    for (char c : "=> " + kZrinit)
        bytes.emplace_back(1, c);
    const Split split = Scan(scanner, bytes);
    EXPECT_EQ(split.found, EZmodemStart::ReceiverWaits);
    EXPECT_EQ(split.shown, "=> ");
    EXPECT_EQ(split.transfer, kZrinit);
}

// Telemetry that holds a header's first bytes, or a header with a wrong CRC, is data: shown whole
// and in order, the few bytes that might have begun a header only a block later.
TEST(ZmodemStart, APartOrBrokenHeaderIsShownInOrder)
{
    CZmodemStartScanner scanner;
    Split split = Scan(scanner, {"t=21.5 **\x18"
                                 "B00"});
    EXPECT_EQ(split.found, EZmodemStart::None);
    EXPECT_EQ(split.shown, "t=21.5 ");
    EXPECT_EQ(scanner.Held().size(), 6u);
    // A block the session may keep as it is: nothing held before it and no '*' in it.
    const auto passes = [](const CZmodemStartScanner &s, const std::string &block) {
        return s.PassesWhole(reinterpret_cast<const uint8_t *>(block.data()), block.size());
    };
    EXPECT_FALSE(passes(scanner, "\r\nt=21.6\r\n"));
    EXPECT_TRUE(passes(CZmodemStartScanner(), "\r\nt=21.6\r\n"));
    EXPECT_FALSE(passes(CZmodemStartScanner(), "t=* 21.6"));
    split = Scan(scanner, {"\r\nt=21.6\r\n", "**\x18"
                                             "B0000000000ffff\r\n"});
    EXPECT_EQ(split.found, EZmodemStart::None);
    EXPECT_EQ(split.shown, "**\x18"
                           "B00\r\nt=21.6\r\n**\x18"
                           "B0000000000ffff\r\n");
    // A '*' last of all waits until it is let go.
    split = Scan(scanner, {"done *"});
    EXPECT_EQ(split.shown, "done ");
    std::vector<uint8_t> released;
    scanner.Release(&released);
    EXPECT_EQ(std::string(released.begin(), released.end()), "*");
    EXPECT_TRUE(scanner.Held().empty());
}
