#include "log/logcolours.h"
#include "log/logpipeline.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

CCommData Text(const std::string &text, uint8_t format = FMT_STRING)
{
    return CCommData(Bytes(text.begin(), text.end()), format);
}

// Every colour the log gives a piece: each kind of line in each view, with stamps, symbols,
// checksum marks, escaped bytes and every colour mark.
std::set<uint32_t> RenderedColours()
{
    CLogPipeline log;
    CSymbolTable symbols;
    symbols.SetEntry(0x0D, ST_Symbol{true, false, "CR"});
    log.SetSymbolTable(symbols);
    log.SetTimeSource([](int64_t) { return std::string("12:00:00"); });
    log.SetShowTime(true);
    for (int mode = 0; mode < 4; ++mode) {
        log.SetDisplayType(mode);
        log.LogRecData(Text("in\r"));
        log.MarkReceived(log.ReceivedBytes() - 1, kLogMarkChecksumBad);
        log.LogRecData(Text("in\r"));
        log.LogSendData(Text("out\r"));
        log.LogNote("note");
        for (LogDirection d :
             {LogDirection::PortA, LogDirection::PortB, LogDirection::AtoB, LogDirection::BtoA})
            log.LogMonitorData(d, Bytes{'m', 0x0D}, "12:00:00");
    }
    log.SetDisplayType(0);
    log.SetUtf8(true);
    log.SetAnsi(LogAnsi::Show);
    std::string marked = "\xFF";
    for (int code : {30, 31, 32, 33, 34, 35, 36, 37, 90, 91, 92, 93, 94, 95, 96, 97})
        marked += "\x1b[" + std::to_string(code) + "mx";
    log.LogRecData(Text(marked + "\r\n"));
    std::set<uint32_t> colours{kColorMarker};
    for (size_t block = 0; block < log.Store().BlockCount(); ++block)
        for (const ST_LogRendered::Piece &piece : log.Rendered(block).pieces)
            colours.insert(piece.color);
    return colours;
}

} // namespace

TEST(LogColours, ContrastFollowsTheWcagMeasure)
{
    EXPECT_DOUBLE_EQ(ContrastRatio(0x000000, 0xFFFFFF), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(0xFFFFFF, 0x000000), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(0x123456, 0x123456), 1.0);
    EXPECT_NEAR(ContrastRatio(0x767676, 0xFFFFFF), 4.54, 0.01);
    // Pure red and pure blue differ: the channels weigh differently (0x00BBGGRR).
    EXPECT_NEAR(ContrastRatio(0x0000FF, 0xFFFFFF), 4.00, 0.01);
    EXPECT_NEAR(ContrastRatio(0xFF0000, 0xFFFFFF), 8.59, 0.01);
}

TEST(LogColours, EveryTextColourReadsOnItsPageInBothThemes)
{
    const std::set<uint32_t> rendered = RenderedColours();
    EXPECT_GE(rendered.size(), 20u); // the test reaches the colour marks
    for (ELogTheme theme : {ELogTheme::Light, ELogTheme::Dark}) {
        const uint32_t page = LogPage(theme);
        for (uint32_t colour : rendered)
            EXPECT_GE(ContrastRatio(LogShownColour(theme, colour), page), kLogMinContrast)
                << std::hex << colour << " in theme " << static_cast<int>(theme);
    }
    EXPECT_LT(RelativeLuminance(LogPage(ELogTheme::Dark)), 0.05);
}

TEST(LogColours, TheLightSetKeepsTheFirstColoursThatReadAndChangesTheOthersLeast)
{
    for (const ST_LogColour &c : LogColours()) {
        const uint32_t white = LogPage(ELogTheme::Light);
        if (ContrastRatio(c.Rendered, white) >= kLogMinContrast)
            EXPECT_EQ(c.Light, c.Rendered) << c.Role;
        else
            EXPECT_EQ(c.Light, WithContrast(c.Rendered, white, kLogMinContrast)) << c.Role;
    }
    // Red reads on white from 0xEE down, not at 0xEF.
    EXPECT_EQ(WithContrast(0x0000FF, 0xFFFFFF, kLogMinContrast), 0x0000EEu);
    EXPECT_LT(ContrastRatio(0x0000EF, 0xFFFFFF), kLogMinContrast);
    // Lightened on a dark ground, still more blue than red.
    const uint32_t navy = WithContrast(0x800000, 0x1E1E1E, kLogMinContrast);
    EXPECT_GE(ContrastRatio(navy, 0x1E1E1E), kLogMinContrast);
    EXPECT_GT((navy >> 16) & 0xFF, navy & 0xFF);
}
