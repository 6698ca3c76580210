#include "frame/framecsv.h"
#include "frame/framestore.h"
#include "platform/textfile.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Frame n: 8 bytes "F<n as 7 digits>", Rx for even n and Tx for odd, every third one bad.
ST_Frame Numbered(uint64_t n)
{
    ST_Frame frame;
    frame.Direction = n % 2 ? EFrameDirection::Sent : EFrameDirection::Received;
    frame.Start = FrameTime{static_cast<int64_t>(1000 * n)};
    frame.End = frame.Start;
    if (n > 0)
        frame.Gap = FrameTime{1000};
    frame.Check = n % 3 == 0 ? EFrameCheck::Bad : EFrameCheck::Ok;
    char text[16];
    std::snprintf(text, sizeof text, "F%07llu", static_cast<unsigned long long>(n));
    frame.Bytes.assign(text, text + 8);
    return frame;
}

uint64_t NumberOf(const CFrameStore &store, size_t row)
{
    std::vector<uint8_t> bytes;
    store.Bytes(row, bytes);
    return std::stoull(std::string(bytes.begin() + 1, bytes.end()));
}

} // namespace

TEST(FrameStore, DropsTheOldestWithTheirCountAndKeepsTheFilterIndexTrue)
{
    CFrameStore store;
    store.SetByteLimit(4 * 1024 * 1024);
    ST_FrameFilter tx;
    tx.Directions = 1u << static_cast<unsigned>(EFrameDirection::Sent);
    tx.Checks = 1u << static_cast<unsigned>(EFrameCheck::Bad);
    store.SetFilter(tx);

    const uint64_t total = 200000;
    uint64_t passed = 0;
    for (uint64_t n = 0; n < total; ++n)
        passed += store.Append(Numbered(n)) ? 1 : 0;

    EXPECT_LE(store.MemoryBytes(), store.ByteLimit());
    ASSERT_GT(store.Dropped(), 0u);
    EXPECT_EQ(store.Dropped() + store.Count(), total);
    // What is kept is the newest, in order, without a hole.
    EXPECT_EQ(NumberOf(store, 0), store.Dropped());
    EXPECT_EQ(NumberOf(store, store.Count() - 1), total - 1);

    // Odd and a multiple of three: every sixth frame from 3 on, none of the dropped ones shown.
    EXPECT_EQ(store.Visible() + store.VisibleDropped(), passed);
    for (size_t i = 0; i < store.Visible(); ++i)
        ASSERT_EQ(NumberOf(store, store.VisibleRow(i)) % 6, 3u) << i;
    EXPECT_EQ(NumberOf(store, store.VisibleRow(0)), (store.Dropped() + 2) / 6 * 6 + 3);

    // A text in either form: hex pairs (no blanks, any case) or the text itself.
    ST_FrameFilter text;
    text.Text = "46 30 31 39 39 39 39 39"; // F0199999
    store.SetFilter(text);
    ASSERT_EQ(store.Visible(), 1u);
    EXPECT_EQ(NumberOf(store, store.VisibleRow(0)), 199999u);
    text.Text = "f01999";
    store.SetFilter(text);
    EXPECT_EQ(store.Visible(), 100u);
}

TEST(FrameStore, FindsForwardAndBackWrappingAtTheEnds)
{
    CFrameStore store;
    for (uint64_t n = 0; n < 30; ++n)
        store.Append(Numbered(n));
    // F0000012 and F0000021 hold "12" / "21"; "0d0a" is in none.
    EXPECT_EQ(store.Find("12", 0, true), std::optional<size_t>(12));
    EXPECT_EQ(store.Find("12", 12, true), std::optional<size_t>(12)); // itself, after a round
    EXPECT_EQ(store.Find("0000021", 25, true), std::optional<size_t>(21));
    EXPECT_EQ(store.Find("0000021", 20, false), std::optional<size_t>(21));
    EXPECT_EQ(store.Find("0000012", store.Visible(), true), std::optional<size_t>(12));
    EXPECT_FALSE(store.Find("0d0a", 0, true));
    EXPECT_EQ(CFrameStore::TextForm(reinterpret_cast<const uint8_t *>("a\r\n\x7f~"), 5), "a...~");
}

TEST(FrameStore, SavesTheVisibleFramesAsCsvAndReadsBackTheSame)
{
    CFrameStore store;
    ST_FrameFilter rx;
    rx.Directions = 1u << static_cast<unsigned>(EFrameDirection::Received);
    store.SetFilter(rx);
    ST_Frame slip = Numbered(4);
    slip.Bytes = {0xC0, 0xDB, 0xDC, 0xC0};
    slip.Decoded = {0xC0};
    slip.IsEncoded = true;
    for (uint64_t n = 0; n < 4; ++n)
        store.Append(Numbered(n));
    store.Append(slip);
    const ST_Frame kept = store.At(store.VisibleRow(2));
    EXPECT_EQ(kept.Decoded, slip.Decoded);
    EXPECT_TRUE(kept.IsEncoded);

    TempDir dir;
    const std::string path = dir.File("frames.csv");
    store.SaveCsv(path, 0, true);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadTextLines(path, lines));
    const CFrameCsv csv(0, true);
    std::string header = CFrameCsv::Header();
    header.pop_back();
    const auto line = [&](const ST_Frame &frame) {
        std::string text = csv.Line(frame);
        text.pop_back();
        return text;
    };
    EXPECT_EQ(lines, (std::vector<std::string>{header, line(Numbered(0)), line(Numbered(2)), line(slip)}));
    EXPECT_EQ(dir.EntryCount(), 1); // no temporary file left beside it

    EXPECT_THROW(store.SaveCsv(dir.File("missing/frames.csv"), 0, true), std::exception);
}

TEST(FrameStore, KeepsWhatPairingSaidOfAFrameWithinTheLimitAndForgetsItWithTheFrame)
{
    CFrameStore store, plain, unasked;
    store.SetByteLimit(2 * 1024 * 1024);
    plain.SetByteLimit(store.ByteLimit());
    unasked.SetByteLimit(store.ByteLimit());
    ST_FramePairing answered;
    answered.AnswerMs = 12.5F;
    answered.Outcome = 1;
    ST_FramePairing outcomeOnly;
    outcomeOnly.Outcome = 7;
    uint64_t firstAnswer = 0;
    for (uint64_t n = 0; n < 200000; ++n) {
        store.Append(Numbered(n));
        plain.Append(Numbered(n));
        unasked.Append(Numbered(n));
        unasked.SetPairing(unasked.LastId(), outcomeOnly);
        // Every answer names its request, the frame before it.
        if (n % 2 == 1) {
            answered.Request = store.LastId() - 1;
            store.SetPairing(store.LastId(), answered);
            if (n == 1)
                firstAnswer = store.LastId();
        }
    }
    ASSERT_GT(store.Dropped(), 0u);
    EXPECT_LE(store.MemoryBytes(), store.ByteLimit());
    EXPECT_LT(store.Count(), plain.Count()) << "what pairing said counts against the limit";
    EXPECT_EQ(unasked.Count(), plain.Count()) << "an outcome alone costs no room";
    EXPECT_EQ(unasked.Pairing(unasked.Count() - 1).Outcome, 7);
    EXPECT_FALSE(store.RowOfId(firstAnswer)) << "gone with its frame";
    store.SetPairing(firstAnswer, answered); // a frame dropped meanwhile: nothing to mark

    const size_t last = store.Count() - 1;
    const ST_FramePairing kept = store.Pairing(last);
    EXPECT_EQ(kept.Outcome, 1);
    EXPECT_EQ(kept.AnswerMs, 12.5F);
    ASSERT_TRUE(store.RowOfId(kept.Request));
    EXPECT_EQ(NumberOf(store, *store.RowOfId(kept.Request)), NumberOf(store, last) - 1);
    EXPECT_EQ(store.Pairing(last - 1).Outcome, 0) << "a request nothing was said of";
}
