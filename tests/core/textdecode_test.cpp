#include "data/ansitext.h"
#include "data/utf8text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes B(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

std::string S(const Bytes &b)
{
    return std::string(b.begin(), b.end());
}

// The kinds ScanUtf8 sees along the text, as C (char), X (invalid) and ? (cut off).
std::string Kinds(const std::string &text)
{
    std::string kinds;
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    for (size_t i = 0; i < text.size();) {
        const Utf8Step s = ScanUtf8(p + i, text.size() - i);
        kinds += s.kind == Utf8Step::Char ? 'C' : s.kind == Utf8Step::Invalid ? 'X' : '?';
        i += s.length;
    }
    return kinds;
}

std::string Feed(CAnsiParser &parser, const std::string &text, bool mark)
{
    Bytes out;
    parser.Feed(reinterpret_cast<const uint8_t *>(text.data()), text.size(), out, mark);
    return S(out);
}

} // namespace

TEST(Utf8Text, ValidInvalidAndCutOff)
{
    EXPECT_EQ(Kinds("A\xC2\xB0\xE2\x82\xAC\xF0\x9F\x98\x80"), "CCCC");
    // Overlong forms, surrogates, past U+10FFFF, stray continuation, bytes never used.
    EXPECT_EQ(Kinds("\xC0\xAF"), "XX");
    EXPECT_EQ(Kinds("\xE0\x80\xAF"), "XXX");
    EXPECT_EQ(Kinds("\xED\xA0\x80"), "XXX");
    EXPECT_EQ(Kinds("\xF4\x90\x80\x80"), "XXXX");
    EXPECT_EQ(Kinds("\x80\xFF\xFE"), "XXX");
    // A start broken off by another character is invalid, one at the end is only cut off.
    EXPECT_EQ(Kinds("\xE2\x82"
                    "A"),
              "XXC");
    EXPECT_EQ(Kinds("A\xE2\x82"), "C?");
}

TEST(Utf8Text, JoinerCarriesCutCharactersAndKeepsEveryByte)
{
    CUtf8Joiner joiner;
    Bytes out;
    joiner.Feed(B("25\xC2").data(), 3, out);
    EXPECT_EQ(S(out), "25");
    out.clear();
    joiner.Feed(B("\xB0"
                  "C")
                    .data(),
                2, out);
    EXPECT_EQ(S(out), "\xC2\xB0"
                      "C");

    // Four bytes over four pieces.
    out.clear();
    for (const char c : std::string("\xF0\x9F\x98\x80"))
        joiner.Feed(reinterpret_cast<const uint8_t *>(&c), 1, out);
    EXPECT_EQ(S(out), "\xF0\x9F\x98\x80");

    // A held start that the next piece breaks is given back byte by byte.
    out.clear();
    joiner.Feed(B("\xE2\x82").data(), 2, out);
    EXPECT_TRUE(joiner.Holding());
    joiner.Feed(B("x\xFF").data(), 2, out);
    EXPECT_EQ(S(out), "\xE2\x82x\xFF");
    joiner.Feed(B("\xE2").data(), 1, out);
    joiner.Flush(out);
    EXPECT_EQ(S(out), "\xE2\x82x\xFF\xE2");
    EXPECT_FALSE(joiner.Holding());
}

TEST(AnsiText, StripsSequencesEvenWhenCut)
{
    const std::string line = "\x1b[0;32mI (123) boot: ok\x1b[0m\r\n";
    for (size_t cut = 0; cut <= line.size(); ++cut) {
        CAnsiParser parser;
        const std::string first = Feed(parser, line.substr(0, cut), false);
        EXPECT_EQ(first + Feed(parser, line.substr(cut), false), "I (123) boot: ok\r\n") << cut;
    }
    CAnsiParser parser;
    // OSC with BEL and with ST, two- and three-byte escapes, a private CSI.
    EXPECT_EQ(Feed(parser,
                   "a\x1b]0;title\x07"
                   "b\x1b]8;;x\x1b\\c\x1b"
                   "7d\x1b(Be\x1b[?25lf",
                   false),
              "abcdef");
    // Garbage: a control byte ends a CSI and stays, CAN cancels, a lone ESC before ESC goes.
    EXPECT_EQ(Feed(parser, "\x1b[12\r\n\x1b[3\x18x\x1b\x1b[1mz", false), "\r\nxz");
    // An OSC that never ends is given up after its longest length.
    const std::string endless = "\x1b]" + std::string(CAnsiParser::kLongestString + 10, 'q');
    EXPECT_EQ(Feed(parser, endless, false), std::string(10, 'q'));
}

TEST(AnsiText, MarksColourAndBold)
{
    CAnsiParser parser;
    const auto mark = [](uint8_t color, bool bold) {
        return std::string{static_cast<char>(kAnsiMark), static_cast<char>(AnsiMarkCode({color, bold}))};
    };
    EXPECT_EQ(Feed(parser, "\x1b[0;32mI\x1b[0m.", true), mark(2, false) + "I" + mark(16, false) + ".");
    EXPECT_EQ(Feed(parser, "\x1b[1;91mE", true), mark(9, true) + "E");
    // The style in force is marked again at the next piece; 22 and 39 undo bold and colour, and
    // an extended colour's arguments are not codes.
    EXPECT_EQ(Feed(parser, "x\x1b[22m\x1b[38;5;1my\x1b[39mz", true),
              mark(9, true) + "x" + mark(9, false) + "y" + mark(16, false) + "z");
    EXPECT_EQ(AnsiStyleOfMark(AnsiMarkCode({13, true})), (AnsiStyle{13, true}));
}
