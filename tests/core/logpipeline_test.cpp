#include "data/datapattern.h"
#include "log/framelines.h"
#include "log/logpipeline.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

CCommData Text(const std::string &text)
{
    return CCommData(Bytes(text.begin(), text.end()));
}

std::string LineText(const CLogPipeline &log, size_t line)
{
    const CLogStore &store = log.Store();
    return log.Rendered(store.BlockOfLine(line)).LineText(store.SubLineOfLine(line));
}

std::vector<ST_LogRun> LineRuns(const CLogPipeline &log, size_t line)
{
    const CLogStore &store = log.Store();
    return log.Rendered(store.BlockOfLine(line)).LineRuns(store.SubLineOfLine(line));
}

CSymbolTable CrTable()
{
    CSymbolTable table;
    table.SetEntry(0x0D, ST_Symbol{true, false, "CR"});
    return table;
}

} // namespace

TEST(LogPipeline, ModeOutsideRangeWritesNothing)
{
    CLogPipeline log;
    for (int mode : {4, -1, 255}) {
        log.SetDisplayType(mode);
        log.LogRecData(Text("A"));
        log.LogSendData(Text("A"));
        log.LogMonitorData(LogDirection::PortA, Bytes{0x41}, "t");
        EXPECT_EQ(log.Store().LineCount(), 0u) << mode;
    }
    log.SetDisplayType(1);
    log.LogRecData(Text("A"));
    EXPECT_EQ(LineText(log, 0), "Rec  :41 ");
}

TEST(LogPipeline, LaterChangesNeverReRenderEarlierLines)
{
    CLogPipeline log;
    log.SetTimeSource([](int64_t) { return std::string("09:00:00"); });
    log.SetDisplayType(3);
    log.SetSymbolTable(CrTable());
    log.LogRecData(Text("A\r"));
    log.SetDisplayType(1);
    log.LogRecData(Text("A\r"));

    log.SetSymbolTable(CSymbolTable());
    log.SetShowTime(true);
    log.SetDisplayType(2);
    log.LogRecData(Text("A"));
    log.SetDisplayType(3);
    log.LogRecData(Text("A\a"));

    EXPECT_EQ(LineText(log, 0), "Rec  :ACR");
    EXPECT_EQ(LineText(log, 1), "Rec  :41 0D ");
    EXPECT_EQ(LineText(log, 2), "Rec  :(09:00:00)65 ");
    EXPECT_EQ(LineText(log, 3), "Rec  :(09:00:00)A\a");
}

TEST(LogPipeline, SplitLinesGivesEachReceivedLineItsOwnLineAndStamp)
{
    CLogPipeline log;
    int calls = 0;
    int64_t age = -1;
    log.SetTimeSource([&calls, &age](int64_t ageMs) {
        age = ageMs;
        return std::to_string(++calls);
    });
    int64_t now = 1000;
    log.SetClock([&now] { return now; });
    log.SetShowTime(true);
    std::string raw;
    size_t captured = 0;
    log.AddObserver([&](LogDirection d, const uint8_t *bytes, size_t length, bool shown) {
        if (d == LogDirection::Received)
            raw.append(reinterpret_cast<const char *>(bytes), length);
        captured += shown ? log.NewestRendered().lines.size() : 0;
    });
    // A second observer (a frame decoder beside the capture) takes nothing from the first.
    std::string second;
    const CLogPipeline::ObserverId secondId =
        log.AddObserver([&second](LogDirection d, const uint8_t *bytes, size_t length, bool) {
            if (d == LogDirection::Received)
                second.append(reinterpret_cast<const char *>(bytes), length);
        });
    const auto receive = [&log](const std::string &text) { log.LogRecData(Text(text)); };
    log.SetSplitLines(true);
    // Lines straddling blocks, CR alone, LF alone, CR LF and CR|LF cut between blocks; a note shows
    // a held line, and an LF after a CR so shown is the rest of its break.
    for (const char *block : {"ab", "c\rd\n", "e\r", "\nf\r\n", "g"})
        receive(block);
    log.LogNote("x");
    receive("h\r");
    log.LogNote("y");
    receive("\ni\n");
    EXPECT_EQ(log.Store().WholeText(),
              "Rec  :(1)abc\r\nRec  :(2)d\r\nRec  :(3)e\r\nRec  :(4)f\r\nRec  :(5)g\r\n"
              "Note :(6)x\r\nRec  :(7)h\r\nNote :(8)y\r\nRec  :(9)i\r\n");
    EXPECT_EQ(raw, "abc\rd\ne\r\nf\r\ngh\r\ni\n") << "every byte reaches a raw capture once";
    EXPECT_EQ(captured, log.Store().LineCount()) << "and every line a text capture once";
    EXPECT_EQ(second, raw);
    log.RemoveObserver(secondId);
    const std::string heardByBoth = raw;

    // A line without its end waits for quiet after its last byte, and is stamped when that came.
    receive("prompt");
    now += 60;
    log.LogRecData(Text("> "), 30);
    EXPECT_EQ(log.HeldDueInMs(), CLogPipeline::kHeldQuietMs);
    now += CLogPipeline::kHeldQuietMs - 1;
    log.FlushHeld();
    EXPECT_EQ(log.Store().LineCount(), 9u);
    EXPECT_EQ(log.HeldDueInMs(), 1);
    now += 1;
    log.FlushHeld();
    ASSERT_EQ(log.Store().LineCount(), 10u);
    EXPECT_EQ(LineText(log, 9), "Rec  :(10)prompt> ");
    EXPECT_EQ(age, CLogPipeline::kHeldQuietMs + 30);
    EXPECT_EQ(log.HeldDueInMs(), -1);

    receive(std::string(CLogPipeline::kLongestHeld, 'z'));
    EXPECT_EQ(log.Store().LineCount(), 11u) << "a line that long is not held";
    log.SetDisplayType(1);
    receive("a\nb");
    EXPECT_EQ(LineText(log, 11), "Rec  :(12)61 0A 62 ") << "hex keeps the block";
    EXPECT_EQ(captured, log.Store().LineCount()) << "the first observer kept hearing";
    EXPECT_GT(raw.size(), heardByBoth.size());
    EXPECT_EQ(second, heardByBoth) << "the removed one heard nothing after its removal";
}

TEST(LogPipeline, CharactersAndEscapesCutBetweenBlocksAreJoinedPerDirection)
{
    CLogPipeline log;
    std::string raw;
    log.AddObserver([&raw](LogDirection, const uint8_t *bytes, size_t length, bool) {
        raw.append(reinterpret_cast<const char *>(bytes), length);
    });
    log.SetUtf8(true);
    log.SetAnsi(LogAnsi::Show);
    // A sent block between the halves keeps its own state.
    log.LogRecData(Text("x\xC2"));
    log.LogSendData(Text("y\xE2"));
    log.LogRecData(Text("\xB0\x1b[3"));
    log.LogRecData(Text("2mok"));
    log.LogSendData(Text("\x82\xAC"));
    const uint32_t green = 0x00008000;
    EXPECT_EQ(log.Store().WholeText(),
              "Rec  :x\r\nSend :y\r\nRec  :\xC2\xB0\r\nRec  :ok\r\nSend :\xE2\x82\xAC\r\n");
    EXPECT_EQ(LineRuns(log, 3), (std::vector<ST_LogRun>{{"Rec  :", kColorBlue}, {"ok", green}}));

    // With split lines the cuts fall inside a held line; a bad sequence still shows its bytes.
    log.SetSplitLines(true);
    const std::string bytes = "\x1b[32ma\xC2\xB0\r\nb\xE2\x82\r\n\x1b[0mc\r\n";
    for (const std::string &block : {bytes.substr(0, 7), bytes.substr(7, 6), bytes.substr(13)})
        log.LogRecData(Text(block));
    EXPECT_EQ(LineText(log, 5), "Rec  :a\xC2\xB0");
    EXPECT_EQ(LineRuns(log, 6),
              (std::vector<ST_LogRun>{
                  {"Rec  :", kColorBlue}, {"b", green}, {"\\xE2", kColorEscape}, {"\\x82", kColorEscape}}));
    EXPECT_EQ(LineRuns(log, 7), (std::vector<ST_LogRun>{{"Rec  :", kColorBlue}, {"c", kColorBlue}}));

    log.SetDisplayType(1);
    log.LogRecData(Text("\x1b[31m\xC2"));
    EXPECT_EQ(LineText(log, 8), "Rec  :1B 5B 33 31 6D C2 ") << "hex shows every byte";
    EXPECT_EQ(raw, "x\xC2y\xE2\xB0\x1b[32mok\x82\xAC" + bytes + "\x1b[31m\xC2")
        << "the bytes are never changed";
}

TEST(LogPipeline, MarksLandOnTheLineThatHoldsTheirByte)
{
    CLogPipeline log;
    const auto receive = [&log](const std::string &text, std::vector<std::pair<uint64_t, uint8_t>> marks) {
        for (const auto &[at, mark] : marks)
            log.MarkReceived(log.ReceivedBytes() + at, mark);
        log.LogRecData(Text(text));
    };
    log.SetSplitLines(true);
    receive("ab\r", {{1, kLogMarkChecksumShort}, {2, kLogMarkChecksumBad}});
    log.LogNote("n");
    // The LF that completes a break already shown is never shown: its mark goes.
    receive("\ncd\n", {{0, kLogMarkChecksumBad}, {2, kLogMarkChecksumShort}});
    receive("e", {{0, kLogMarkChecksumShort}});
    receive("f\r\ng", {});
    log.SetDisplayType(4);
    receive("h", {{0, kLogMarkChecksumBad}});
    log.SetDisplayType(1);
    receive("ij", {{1, kLogMarkChecksumShort}});
    EXPECT_EQ(log.Store().WholeText(),
              "Rec  :ab [checksum bad]\r\nNote :n\r\nRec  :cd [checksum too short]\r\n"
              "Rec  :ef [checksum too short]\r\nRec  :g\r\n"
              "Rec  :69 6A [checksum too short]\r\n");
    EXPECT_EQ(log.ReceivedBytes(), 15u);
}

// Echoes that come while a line is typed wait behind it: counted as they come (a checksum mark
// still lands on its byte), shown as one line after the typed line, stamped when the first came.
TEST(LogPipeline, ReceivedBlocksWaitBehindALineBeingTyped)
{
    CLogPipeline log;
    int64_t now = 1000;
    log.SetClock([&now] { return now; });
    log.SetTimeSource([&now](int64_t ageMs) { return std::to_string(now - ageMs); });
    log.SetShowTime(true);
    log.HoldReceived(true);
    log.LogRecData(Text("l"), 5);
    now += 300;
    log.MarkReceived(log.ReceivedBytes(), kLogMarkChecksumBad);
    log.LogRecData(Text("s"));
    EXPECT_EQ(log.Store().LineCount(), 0u);
    EXPECT_EQ(log.ReceivedBytes(), 2u);
    now += 200;
    log.LogSendData(Text("ls\r"), 510); // its first key went out before the echo came
    log.HoldReceived(false);
    log.LogRecData(Text("\r\n"));
    EXPECT_EQ(log.Store().WholeText(), "Send :(990)ls\r\nRec  :(995)ls [checksum bad]\r\nRec  :(1500)\r\n");
}

// Every view shows every byte of a block with NUL and other control bytes inside it, and a
// capture, which writes the lines as rendered, gets them all too.
TEST(LogPipeline, NoViewLosesAByteOfABlockWithControlBytes)
{
    const std::string bytes("A\0B\x11"
                            "C\x18\xC3\xA9"
                            "D",
                            9);
    const std::string named("A\0B<DC1>C<CAN>\xC3\xA9"
                            "D",
                            17);
    CSymbolTable table; // NUL stays a plain byte here
    table.SetEntry(0x11, ST_Symbol{true, false, "<DC1>"});
    table.SetEntry(0x18, ST_Symbol{true, false, "<CAN>"});
    const struct
    {
        int mode;
        bool utf8;
        std::string shown;
    } views[] = {
        {0, false, bytes},
        {0, true, bytes},
        {1, false, "41 00 42 11 43 18 C3 A9 44 "},
        {2, true, "65 0 66 17 67 24 195 169 68 "},
        {3, false, named},
        {3, true, named},
    };
    for (const auto &view : views)
        for (const bool stamps : {false, true}) {
            CLogPipeline log;
            log.SetSymbolTable(table);
            log.SetDisplayType(view.mode);
            log.SetUtf8(view.utf8);
            log.SetShowTime(stamps);
            log.SetTimeSource([](int64_t) { return std::string("09:00:00"); });
            std::string captured, line;
            log.AddObserver([&](LogDirection, const uint8_t *, size_t, bool shown) {
                const ST_LogRendered &rendered = log.NewestRendered();
                for (size_t i = 0; shown && i < rendered.lines.size(); ++i) {
                    LogFileLine(rendered, i, line);
                    captured += line;
                }
            });
            log.LogRecData(Text(bytes));
            log.LogSendData(Text(bytes));
            const std::string stamp = stamps ? "(09:00:00)" : "";
            const std::string expected =
                "Rec  :" + stamp + view.shown + "\r\nSend :" + stamp + view.shown + "\r\n";
            EXPECT_EQ(captured, expected) << view.mode << " " << view.utf8 << " " << stamps;
            EXPECT_EQ(log.Store().WholeText(), expected) << view.mode << " " << view.utf8 << " " << stamps;
        }
}

// The frames say where lines end; the bytes are the blocks', each shown once, however the frames
// and the blocks come or fail to agree.
TEST(LogPipeline, FrameLinesShowTheBlocksBytesOnceWhereTheFramesEnd)
{
    CLogPipeline log;
    CFrameLines lines(log);
    lines.SetFramingOn([] { return true; });
    const auto frame = [&](const std::string &text, bool sent = false, uint8_t mark = kLogMarkNone) {
        lines.Frame({sent, Bytes(text.begin(), text.end()), log.NowMs(), mark});
    };
    log.LogRecData(Text("ab")); // before the choice: a block line
    lines.SetChosen(true);
    lines.Received(Text("cd\r\nef"), 0);
    frame("abcd\r\n");                        // it began before the choice: the rest only
    frame("ef\r\n", false, kLogMarkFrameBad); // ahead of its block
    lines.Received(Text("\r\nxx"), 0);
    lines.Received(Text("gh\r\n"), 0);
    frame("gh\r\n");                 // "xx" is in no frame
    frame("zz\r\n");                 // its bytes never come
    lines.Sent(Text("k"), 0, false); // a send the log writes no line for
    frame("k", true);
    lines.Received(Text("ok\r\n"), 0);
    frame("ok\r\n");
    lines.Received(Text("half"), 0);
    lines.SetChosen(false);
    lines.Received(Text("after"), 0);
    EXPECT_EQ(log.Store().WholeText(), "Rec  :ab\r\nRec  :cd\r\nRec  :ef [check bad]\r\nRec  :xx\r\n"
                                       "Rec  :gh\r\nRec  :ok\r\nRec  :half\r\nRec  :after\r\n");
}

// Each stored block keeps the traffic path's numbers of the blocks its bytes came from: a line
// cut over blocks spans them, the lines of one block share its number, and once nothing waits
// the next block starts afresh. Notes and bytes from outside the path keep none.
TEST(LogPipeline, StoredBlocksKeepTheNumbersOfTheTrafficTheyCameFrom)
{
    CLogPipeline log;
    log.SetSplitLines(true);
    uint32_t seq = 0;
    const auto traffic = [&](const std::string &text) {
        log.TrafficArrives(0, ++seq);
        log.LogRecData(Text(text));
        log.TrafficTaken(0, false);
    };
    traffic("a\r\nb");
    traffic("c");
    traffic("d\r\ne\r\n");
    traffic("f\r\n");
    log.LogNote("note");
    log.LogRecData(Text("g\r\n"));
    std::vector<std::string> spans;
    const CLogStore &store = log.Store();
    for (size_t block = 0; block < store.BlockCount(); ++block) {
        CLogStore::ST_TrafficSpan span;
        spans.push_back(store.TrafficOf(block, span)
                            ? std::to_string(span.first) + "-" + std::to_string(span.last)
                            : std::string("none"));
    }
    EXPECT_EQ(spans, (std::vector<std::string>{"1-1", "1-3", "3-3", "4-4", "none", "none"}));
}
