// The log's find bar on its own log: where a search goes on from when old lines go, and matches
// in lines too long for one step of a search.
#include "log/gui/TFindBar.h"
#include "log/gui/TTrafficLog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "guiwait.h"

namespace {

struct FindSetup
{
    FindSetup()
    {
        log.SetDisplayType(0);
        window.resize(600, 300);
    }
    void Look(const char *text, bool hex)
    {
        bar.findChild<QCheckBox *>(QStringLiteral("chkFindHex"))->setChecked(hex);
        bar.findChild<QLineEdit *>(QStringLiteral("edFind"))->setText(QString::fromLatin1(text));
    }
    // The line of the match found, or "" when none.
    std::string Search(bool forward)
    {
        forward ? bar.FindNext() : bar.FindPrevious();
        EXPECT_TRUE(WaitUntil([this] { return !bar.Busy(); }));
        return bar.MatchLine() < 0 ? std::string() : log.LineText(bar.MatchLine());
    }

    QWidget window;
    TTrafficLog log{&window};
    TFindBar bar{&window, &log};
};

} // namespace

TEST(FindBar, GoesOnFromTheSameTextWhenOldLinesGo)
{
    for (const bool hex : {false, true}) {
        SCOPED_TRACE(hex ? "hex" : "text");
        FindSetup f;
        // Room for a few of the store's chunks, so what goes is old lines, never the newest.
        f.log.SetScrollbackBytes(200'000);
        int written = 0;
        const auto write = [&f, &written](int count) {
            for (int i = 0; i < count; ++i)
                f.log.LogRecData(
                    CCommData("hit " + std::to_string(written++) + std::string(30, '.'), FMT_STRING));
        };
        while (f.log.DroppedLines() == 0)
            write(1);
        f.Look(hex ? "68 69 74" : "hit", hex);
        const std::string last = f.log.LineText(f.log.LineCount() - 1);
        ASSERT_EQ(f.Search(false), last);
        const std::string beforeLast = f.Search(false);
        ASSERT_NE(beforeLast, last);

        const size_t dropped = f.log.DroppedLines();
        while (f.log.DroppedLines() == dropped)
            write(1);
        EXPECT_EQ(f.Search(true), last) << "the next match after the one found, not a line further down";
        EXPECT_EQ(f.Search(false), beforeLast);

        // The match's own line goes: the search goes on at the first kept line (line 0 being the
        // marker of the lines that went).
        write(f.log.LineCount() + 5);
        EXPECT_EQ(f.bar.MatchLine(), -1);
        EXPECT_EQ(f.Search(true), f.log.LineText(1));
        // A new search from the top of the view starts below the marker.
        f.Look(hex ? "68 69" : "hi", hex);
        f.log.verticalScrollBar()->setValue(0);
        EXPECT_EQ(f.Search(true), f.log.LineText(1));
    }
}

TEST(FindBar, FindsMatchesAcrossTheStepsOfALongLine)
{
    // One line far longer than a search looks at in one step, with matches across the places where
    // forward and backward steps meet.
    FindSetup f;
    std::string text(200'000, 'x');
    const size_t prefix = std::string("Rec  :").size();
    const size_t columns[] = {65'534, 131'072, text.size() + prefix + 1 - 65'536 - 2};
    for (const size_t column : columns)
        text.replace(column - prefix, 6, "Needle");
    f.log.LogRecData(CCommData(text, FMT_STRING));
    f.Look("needle", false);
    for (const size_t column : {columns[0], columns[1], columns[2], columns[0]}) {
        f.Search(true);
        EXPECT_EQ(f.bar.MatchColumn(), static_cast<int>(column));
    }
    for (const size_t column : {columns[2], columns[1], columns[0]}) {
        f.Search(false);
        EXPECT_EQ(f.bar.MatchColumn(), static_cast<int>(column));
    }
}
