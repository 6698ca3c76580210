#include "console/consolescreen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Feed(CConsoleScreen &s, const std::string &bytes)
{
    s.Feed(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

std::string Answers(CConsoleScreen &s)
{
    const std::vector<uint8_t> a = s.TakeAnswers();
    return std::string(a.begin(), a.end());
}

ST_ConsoleColour Rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return ST_ConsoleColour{r, g, b, false};
}

} // namespace

TEST(ConsoleScreen, TextCursorAndEditing)
{
    CConsoleScreen s(5, 10);
    Feed(s, "hello\r\nworld");
    EXPECT_EQ(s.RowText(0), "hello");
    EXPECT_EQ(s.RowText(1), "world");
    EXPECT_EQ(s.Cursor().Row, 1);
    EXPECT_EQ(s.Cursor().Col, 5);
    // Cursor addressing, erase to end of line, insert and delete characters, tabs.
    Feed(s, "\x1b[1;2H\x1b[K"
            "ELP\x1b[1;2H\x1b[2@ab\x1b[1;1H\x1b[P");
    EXPECT_EQ(s.RowText(0), "abELP");
    Feed(s, "\x1b[3;1Ha\tb");
    EXPECT_EQ(s.RowText(2), "a       b");
    // Autowrap moves to the next line after the last column.
    Feed(s, "\x1b[4;1H0123456789XY");
    EXPECT_EQ(s.RowText(3), "0123456789");
    EXPECT_EQ(s.RowText(4), "XY");
    // Wide characters take two cells; the second is the right half.
    Feed(s, "\x1b[2J\x1b[H\xe4\xb8\xad"
            "b");
    EXPECT_EQ(s.Cell(0, 0).Chars[0], U'\u4e2d');
    EXPECT_EQ(s.Cell(0, 0).Width, 2);
    EXPECT_EQ(s.Cell(0, 1).Width, 0);
    EXPECT_EQ(s.Cell(0, 2).Chars[0], U'b');
    EXPECT_EQ(s.RowText(0), "\xe4\xb8\xad"
                            "b");
    // DEC line drawing shows box characters.
    Feed(s, "\r\n\x1b(0lqk\x1b(Bq");
    EXPECT_EQ(s.RowText(1), "\u250c\u2500\u2510q");
    // Latin-1 when the window reads it so.
    s.SetUtf8(false);
    Feed(s, "\r\n\xe9");
    EXPECT_EQ(s.Cell(2, 0).Chars[0], U'\u00e9');
}

TEST(ConsoleScreen, ColoursAndAttributes)
{
    CConsoleScreen s(3, 20);
    Feed(s,
         "a\x1b[31mb\x1b[1;7mc\x1b[0;38;5;196;48;5;21md\x1b[38;2;1;2;3;4me\x1b[0m\x1b[91mf\x1b[0;48;5;244mg");
    const ST_ConsoleCell a = s.Cell(0, 0), b = s.Cell(0, 1), c = s.Cell(0, 2), d = s.Cell(0, 3),
                         e = s.Cell(0, 4), f = s.Cell(0, 5), g = s.Cell(0, 6);
    EXPECT_TRUE(a.Fg.Default && a.Bg.Default && !a.Bold && !a.Reverse);
    EXPECT_EQ(b.Fg, Rgb(205, 0, 0));
    EXPECT_TRUE(b.Bg.Default);
    EXPECT_TRUE(c.Bold && c.Reverse);
    EXPECT_EQ(c.Fg, Rgb(205, 0, 0));
    EXPECT_FALSE(d.Bold);
    EXPECT_EQ(d.Fg, Rgb(255, 0, 0));
    EXPECT_EQ(d.Bg, Rgb(0, 0, 255));
    EXPECT_EQ(e.Fg, Rgb(1, 2, 3));
    EXPECT_TRUE(e.Underline);
    EXPECT_EQ(f.Fg, Rgb(255, 0, 0));
    EXPECT_FALSE(g.Bg.Default);
    EXPECT_TRUE(g.Bg.R == g.Bg.G && g.Bg.G == g.Bg.B && g.Bg.R > 100 && g.Bg.R < 150); // a middle grey
    EXPECT_TRUE(g.Fg.Default);
    // Colours survive the scrollback.
    Feed(s, "\r\n\r\n\r\n");
    ASSERT_EQ(s.ScrollbackLines(), 1u);
    EXPECT_EQ(s.RowText(-1), "abcdefg");
    EXPECT_EQ(s.Cell(-1, 3).Bg, Rgb(0, 0, 255));
    EXPECT_TRUE(s.Cell(-1, 2).Bold && s.Cell(-1, 2).Reverse);
    EXPECT_EQ(s.Cell(-1, 4).Fg, Rgb(1, 2, 3));
    // A reset keeps xterm's colours.
    Feed(s, "\x1b"
            "c\x1b[32mx");
    EXPECT_EQ(s.Cell(0, 0).Fg, Rgb(0, 205, 0));
}

TEST(ConsoleScreen, AlternateScreenAndScrollRegion)
{
    CConsoleScreen s(4, 10);
    Feed(s, "shell");
    Feed(s, "\x1b[?1049h\x1b[H\x1b[2Jfull");
    EXPECT_TRUE(s.AltScreen());
    EXPECT_EQ(s.RowText(0), "full");
    // Scrolling in the alternate screen or in a region never feeds the scrollback.
    Feed(s, "\x1b[2;3r\x1b[2;1Hone\r\ntwo\r\nthree");
    EXPECT_EQ(s.RowText(0), "full");
    EXPECT_EQ(s.RowText(1), "two");
    EXPECT_EQ(s.RowText(2), "three");
    Feed(s, "\x1b[r\x1b[4;1H\r\n\r\n");
    EXPECT_EQ(s.ScrollbackLines(), 0u);
    Feed(s, "\x1b[?1049l");
    EXPECT_FALSE(s.AltScreen());
    EXPECT_EQ(s.RowText(0), "shell");
    // In the normal screen, a region that does not start at the top keeps the scrollback out too.
    Feed(s, "\x1b[2;4r\x1b[4;1Hx\r\ny\r\n");
    EXPECT_EQ(s.ScrollbackLines(), 0u);
    EXPECT_EQ(s.RowText(0), "shell");
    EXPECT_EQ(s.RowText(2), "y");
}

TEST(ConsoleScreen, AnswersGoToTheDeviceAndKeyModesAreRead)
{
    CConsoleScreen s(24, 80);
    Feed(s, "\x1b[5;7H\x1b[6n");
    EXPECT_EQ(Answers(s), "\x1b[5;7R");
    Feed(s, "\x1b[c");
    const std::string da = Answers(s);
    EXPECT_EQ(da.rfind("\x1b[?", 0), 0u) << da;
    EXPECT_EQ(da.back(), 'c');
    EXPECT_EQ(Answers(s), "");

    EXPECT_FALSE(s.KeyModes().AppCursor);
    EXPECT_FALSE(s.KeyModes().AppKeypad);
    Feed(s, "\x1b[?1h\x1b=");
    EXPECT_TRUE(s.KeyModes().AppCursor);
    EXPECT_TRUE(s.KeyModes().AppKeypad);
    Feed(s, "\x1b[?1l\x1b>");
    EXPECT_FALSE(s.KeyModes().AppCursor);
    EXPECT_FALSE(s.KeyModes().AppKeypad);
    // Reading the modes sends nothing to the device.
    EXPECT_EQ(Answers(s), "");

    Feed(s, "\a\x1b]2;board\a");
    EXPECT_TRUE(s.TakeBell());
    EXPECT_FALSE(s.TakeBell());
    EXPECT_EQ(s.Title(), "board");
    Feed(s, "\x1b[?25l");
    EXPECT_FALSE(s.CursorVisible());
}

TEST(ConsoleScreen, ScrollbackKeepsItsLimitAndComesBackOnResize)
{
    CConsoleScreen s(3, 8);
    for (int i = 0; i < 10; ++i)
        Feed(s, "line" + std::to_string(i) + "\r\n");
    // line0..line7 went up; line8, line9 and an empty row are on the screen.
    ASSERT_EQ(s.ScrollbackLines(), 8u);
    EXPECT_EQ(s.RowText(-1), "line7");
    EXPECT_EQ(s.RowText(-8), "line0");
    EXPECT_EQ(s.RowText(0), "line8");

    s.SetScrollbackLimit(5);
    EXPECT_EQ(s.ScrollbackLines(), 5u);
    EXPECT_EQ(s.RowText(-5), "line3");
    Feed(s, "more\r\n");
    EXPECT_EQ(s.ScrollbackLines(), 5u);
    EXPECT_EQ(s.RowText(-5), "line4");

    // A taller screen takes lines back from the scrollback.
    s.Resize(5, 8);
    EXPECT_EQ(s.Rows(), 5);
    EXPECT_EQ(s.ScrollbackLines(), 3u);
    EXPECT_EQ(s.RowText(0), "line7");
    EXPECT_EQ(s.RowText(3), "more");
    // A scroll region reaching below a shortened screen is dropped, so lines scroll off again.
    s.SetScrollbackLimit(100);
    Feed(s, "\x1b[2;5r\x1b[5;1H");
    s.Resize(2, 8);
    const size_t kept = s.ScrollbackLines();
    Feed(s, "a\r\nb\r\nc");
    EXPECT_EQ(s.ScrollbackLines(), kept + 2);
    EXPECT_EQ(s.RowText(1), "c");
    // The smallest screen still takes a wide character.
    s.Resize(0, 0);
    EXPECT_EQ(s.Rows(), 1);
    EXPECT_EQ(s.Cols(), 2);
    Feed(s, "\xe4\xb8\xad");

    const size_t before = s.MemoryBytes();
    s.ClearScrollback();
    EXPECT_EQ(s.ScrollbackLines(), 0u);
    EXPECT_LT(s.MemoryBytes(), before);
}

TEST(ConsoleScreen, DamageNamesTheChangedRows)
{
    CConsoleScreen s(6, 10);
    s.TakeDamage();
    EXPECT_FALSE(s.TakeDamage().Any());
    Feed(s, "\x1b[3;1Hab\x1b[4;1Hc");
    CConsoleScreen::ST_Damage d = s.TakeDamage();
    EXPECT_EQ(d.FirstRow, 2);
    EXPECT_EQ(d.EndRow, 4);
    EXPECT_EQ(d.PushedLines, 0u);
    EXPECT_TRUE(d.CursorMoved);
    Feed(s, "\x1b[6;1Hx\r\ny\r\nz");
    d = s.TakeDamage();
    EXPECT_EQ(d.PushedLines, 2u);
    EXPECT_EQ(d.FirstRow, 0);
    EXPECT_EQ(d.EndRow, 6);
    // A cursor move alone changes no row.
    Feed(s, "\x1b[H");
    d = s.TakeDamage();
    EXPECT_TRUE(d.CursorMoved);
    EXPECT_EQ(d.FirstRow, d.EndRow);
}

// libvterm would write past its parameters for these; they must change nothing but the pen.
TEST(ConsoleScreen, OverlongSequencesAreHarmless)
{
    CConsoleScreen s(3, 20);
    Feed(s, "\x1b[?1" + std::string(40, ';') + "h\x1b[" + std::string(30, '9') +
                "Cx\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;"
                "14;15;16;17;18;19;20;31my");
    EXPECT_EQ(s.RowText(0), std::string(19, ' ') + "x"); // as far right as the screen goes
    EXPECT_EQ(s.RowText(1), "y");
    // Nor with controls, DEL or bytes past ASCII inside the sequence (caught under the sanitizers).
    Feed(s, "\x1b\n\x02\xbd[?1" + std::string(20, ':') + "\x7f\xba" + std::string(20, ':') + "hz");
    EXPECT_EQ(s.RowText(2).back(), 'z');
}

namespace {

// Everything a view can read of the screen: every cell of the scrollback and the screen, the
// cursor and how many lines were pushed.
std::string Picture(CConsoleScreen &s, size_t pushed)
{
    std::string out = std::to_string(s.ScrollbackLines()) + " lines, pushed " + std::to_string(pushed) +
                      ", cursor " + std::to_string(s.Cursor().Row) + "," + std::to_string(s.Cursor().Col) +
                      "\n";
    std::vector<ST_ConsoleCell> cells;
    for (int row = -static_cast<int>(s.ScrollbackLines()); row < s.Rows(); ++row) {
        s.RowCells(row, cells);
        out += std::to_string(row) + ":";
        for (const ST_ConsoleCell &c : cells) {
            for (char32_t ch : c.Chars)
                out += std::to_string(static_cast<uint32_t>(ch)) + ".";
            out += std::to_string(c.Width) + (c.Fg.Default ? "d" : std::to_string(c.Fg.R)) +
                   (c.Bg.Default ? "d" : std::to_string(c.Bg.R)) + (c.Bold ? "b" : "") +
                   (c.Reverse ? "r" : "") + (c.Underline ? "u" : "") + " ";
        }
        out += "\n";
    }
    return out;
}

} // namespace

// A flood of lines is taken past the screen's scrolls; what it leaves must be what the emulator
// gives fed a byte at a time, whatever the screen's state when the flood came and wherever the
// reads cut it.
TEST(ConsoleScreen, AFloodOfLinesLeavesWhatTheEmulatorWould)
{
    std::string flood;
    for (int i = 0; i < 150; ++i) {
        std::string line = "line " + std::to_string(i);
        if (i % 17 == 3)
            line.clear();
        if (i % 23 == 5)
            line = std::string(12, 'w'); // exactly a row
        if (i % 29 == 7)
            line += "   "; // blanks printed are kept
        if (i == 60)
            line = std::string(13, 'x'); // wraps
        if (i == 90)
            line = "a\tb";
        if (i == 100)
            line = "\x1b[1mbold\x1b[m";
        flood += line + "\r\n";
    }
    const std::vector<std::string> before = {
        "",
        "prompt$ ",
        "\x1b[31m",
        "\x1b[31mred\x1b[m\r\n",
        "\x1b[2;4r",
        "\x1b(0",
        "\x1b(0q\x1b(B\r\n",
        "\x0e",
        "\x1b[?1049h",
        "\x1b]0;title\r\n",
        "\x1b]0;title\x07\r\n",
        "\x1bPq\r\n",
        "\x1b#6\r\n",
        "\x1b[2;1H\x1b#6dw\x1b[4;1H\n",
        "\x1b[2;1H\n",
        "\x1b[5;1Hxyz\x1b[4;1H\n",
        "\x1b[44m\x1b[2J\x1b[m\x1b[5;1H\n",
        "\xc3",
    };
    for (const std::string &state : before) {
        for (int rows : {5, 1}) {
            for (size_t limit : {size_t{1000}, size_t{40}, size_t{0}}) {
                for (size_t cut : {flood.size(), size_t{700}, size_t{97}}) {
                    SCOPED_TRACE(testing::Message() << "state " << testing::PrintToString(state) << " rows "
                                                    << rows << " limit " << limit << " cut " << cut);
                    CConsoleScreen bulk(rows, 12), bytewise(rows, 12);
                    bulk.SetScrollbackLimit(limit);
                    bytewise.SetScrollbackLimit(limit);
                    size_t bulkPushed = 0, bytePushed = 0;
                    const std::string all = state + flood;
                    Feed(bulk, state);
                    bulkPushed += bulk.TakeDamage().PushedLines;
                    for (size_t at = state.size(); at < all.size(); at += cut) {
                        Feed(bulk, all.substr(at, cut));
                        bulkPushed += bulk.TakeDamage().PushedLines;
                    }
                    for (char c : all) {
                        Feed(bytewise, std::string(1, c));
                        bytePushed += bytewise.TakeDamage().PushedLines;
                    }
                    ASSERT_EQ(Picture(bulk, bulkPushed), Picture(bytewise, bytePushed));
                }
            }
        }
    }
    // In Latin-1 too.
    CConsoleScreen bulk(5, 12), bytewise(5, 12);
    bulk.SetUtf8(false);
    bytewise.SetUtf8(false);
    const std::string latin = "caf\xe9\r\n" + flood;
    Feed(bulk, latin);
    for (char c : latin)
        Feed(bytewise, std::string(1, c));
    EXPECT_EQ(Picture(bulk, 0), Picture(bytewise, 0));
}
