#include "plot/plotparser.h"
#include "plot/plotscale.h"
#include "plot/plotstore.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Row = std::vector<std::pair<std::string, double>>;

// Each line with values, as (series name, value) pairs.
std::vector<Row> Feed(CPlotParser &parser, const std::string &text)
{
    std::vector<ST_PlotValue> values;
    std::vector<size_t> ends;
    const size_t lines =
        parser.Feed(reinterpret_cast<const uint8_t *>(text.data()), text.size(), values, ends);
    EXPECT_EQ(lines, ends.size());
    std::vector<Row> rows;
    size_t begin = 0;
    for (size_t end : ends) {
        Row row;
        for (size_t i = begin; i < end; ++i)
            row.emplace_back(parser.SeriesNames().at(static_cast<size_t>(values[i].Series)), values[i].Value);
        rows.push_back(row);
        begin = end;
    }
    return rows;
}

std::vector<Row> Parse(const std::string &text)
{
    CPlotParser parser;
    return Feed(parser, text);
}

} // namespace

TEST(PlotParser, ColumnsPairsAndLabelsPrintedByBoards)
{
    EXPECT_EQ(Parse("1 -3.5\t+0.25,1e3;.5\n"),
              (std::vector<Row>{{{"1", 1}, {"2", -3.5}, {"3", 0.25}, {"4", 1000}, {"5", 0.5}}}));
    EXPECT_EQ(Parse("temp:21.5,hum:40\r\ntemp=22 hum=41\n"),
              (std::vector<Row>{{{"temp", 21.5}, {"hum", 40}}, {{"temp", 22}, {"hum", 41}}}));
    EXPECT_EQ(Parse("T: 21.5 C\rTemp = 22.5 C, Hum = 40 %\n"),
              (std::vector<Row>{{{"T", 21.5}}, {{"Temp", 22.5}, {"Hum", 40}}}));
    EXPECT_EQ(Parse("V 3.3V 12ms x:1 7\n"), (std::vector<Row>{{{"1", 3.3}, {"2", 12}, {"x", 1}, {"3", 7}}}))
        << "a label without ':' or '=' is passed over; units stuck to a number stay out of it";
}

TEST(PlotParser, LinesWithoutNumbersAndJunkTokensGiveNothing)
{
    EXPECT_TRUE(
        Parse("hello world\n\n\r\nboot ok: yes\nid=0x1F v1.2.3 1.2.3 at 12:30:45 inf nan -inf +-1 --1\n"
              ":5 =6 a=b=1 1e999 . - +\n")
            .empty());
    // Only the numbers of a mixed line count, and only they move the column.
    EXPECT_EQ(Parse("[12:30:45] adc 512 err 0x10 7\n"), (std::vector<Row>{{{"1", 512}, {"2", 7}}}));
}

TEST(PlotParser, LinesJoinAcrossBlocksAndEndOnlyAtTheirEnd)
{
    CPlotParser parser;
    EXPECT_TRUE(Feed(parser, "temp:2").empty());
    EXPECT_TRUE(Feed(parser, "1.5,h").empty());
    EXPECT_EQ(Feed(parser, "um:40\r"), (std::vector<Row>{{{"temp", 21.5}, {"hum", 40}}}));
    EXPECT_TRUE(Feed(parser, "\n").empty()) << "CR LF ends one line";
    EXPECT_EQ(Feed(parser, "1\n2\n3"), (std::vector<Row>{{{"1", 1}}, {{"1", 2}}}));
    EXPECT_EQ(Feed(parser, "\n"), (std::vector<Row>{{{"1", 3}}}));

    // A line past the bound is dropped to its end, however it is cut; the next one is read.
    const std::string longLine(CPlotParser::kMaxLineBytes, '5');
    EXPECT_TRUE(Feed(parser, longLine.substr(0, 100)).empty());
    EXPECT_TRUE(Feed(parser, longLine + "1 2 3").empty());
    EXPECT_EQ(Feed(parser, " 4\n9\n"), (std::vector<Row>{{{"1", 9}}}));
    EXPECT_TRUE(Feed(parser, longLine + "5\n").empty());
    EXPECT_EQ(parser.DroppedLines(), 2u);
    EXPECT_EQ(Feed(parser, std::string(CPlotParser::kMaxLineBytes - 1, ' ') + "8\n"),
              (std::vector<Row>{{{"1", 8}}}));
}

TEST(PlotParser, SixteenSeriesAtMostTheRestCounted)
{
    CPlotParser parser;
    std::string line;
    for (int i = 1; i <= 20; ++i)
        line += std::to_string(i) + " ";
    const std::vector<Row> rows = Feed(parser, line + "\nextra:5 3:33\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].size(), 16u);
    EXPECT_EQ(rows[0].back(), (std::pair<std::string, double>("16", 16)));
    EXPECT_EQ(rows[1], (Row{{"3", 33}})) << "a pair named like a column goes to that column";
    EXPECT_EQ(parser.DroppedValues(), 5u);
    parser.Clear();
    EXPECT_EQ(Feed(parser, "extra:5\n"), (std::vector<Row>{{{"extra", 5}}}));
}

TEST(PlotStore, DecimatesToMinAndMaxPerColumnAndForgetsTheOldestLines)
{
    CPlotStore store(10);
    // Values 0..9 at 0..90 ms; four columns over 0..79 ms take two samples each.
    for (int i = 0; i < 10; ++i) {
        const ST_PlotValue v{0, i % 2 ? -i * 1.0 : i * 1.0};
        store.AddLine(i * 10, &v, 1);
    }
    const std::vector<ST_PlotSpan> spans = store.Decimate(0, 0, 79, 4);
    ASSERT_EQ(spans.size(), 4u);
    const double expected[4][2] = {{-1, 0}, {-3, 2}, {-5, 4}, {-7, 6}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(spans[i].Min, expected[i][0]) << i;
        EXPECT_EQ(spans[i].Max, expected[i][1]) << i;
    }
    const std::vector<ST_PlotSpan> sparse = store.Decimate(0, 85, 200, 2);
    EXPECT_EQ(sparse[0].Min, -9);
    EXPECT_TRUE(std::isnan(sparse[1].Min));
    double low = 0, high = 0;
    ASSERT_TRUE(store.Range(0, 15, 45, low, high));
    EXPECT_EQ(low, -3);
    EXPECT_EQ(high, 4);

    // A line of two values pushes out the two oldest lines (one value each).
    const ST_PlotValue pair[2] = {{0, 100}, {1, 0.1}};
    store.AddLine(100, pair, 2);
    EXPECT_EQ(store.Points(), 10u);
    EXPECT_EQ(store.Samples(0).front().Value, 2);

    // Long past the bound, the newest values stay in order however the oldest were let go.
    for (int i = 0; i < 20'000; ++i) {
        const ST_PlotValue v{0, static_cast<double>(i)};
        store.AddLine(1000 + i, &v, 1);
    }
    ASSERT_EQ(store.Samples(0).size(), 10u);
    EXPECT_EQ(store.Samples(0).front().Value, 19'990);
    EXPECT_TRUE(store.Samples(1).empty());
    const std::vector<ST_PlotSpan> last = store.Decimate(0, 20'990, 20'999, 1);
    EXPECT_EQ(last[0].Min, 19'990);
    EXPECT_EQ(last[0].Max, 19'999);
}

TEST(PlotStore, CsvHasARowPerLineAndEmptyCellsForMissingValues)
{
    CPlotStore store;
    const ST_PlotValue both[2] = {{0, 21.5}, {1, 40}};
    const ST_PlotValue humOnly{1, 0.1};
    store.AddLine(1500, both, 2);
    store.AddLine(2001, &humOnly, 1);
    store.AddLine(2001, both, 2);
    store.AddLine(9000, both, 2);
    EXPECT_EQ(PlotCsv(store, {0, 1}, {"temp", "h,um"}, 0, 5000, 500),
              "time,temp,\"h,um\"\r\n1.000,21.5,40\r\n1.501,,0.1\r\n1.501,21.5,40\r\n");
    EXPECT_EQ(PlotCsv(store, {1}, {"temp", "hum"}, 2000, 2001), "time,hum\r\n2.001,0.1\r\n2.001,40\r\n");

    // The clock time, last, local with its offset: here a zone 5:30 ahead of UTC.
    const char *zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    setenv("TZ", "XYZ-5:30", 1);
    tzset();
    EXPECT_EQ(PlotCsv(store, {0}, {"temp"}, 0, 1500, 500, 1'700'000'000'000),
              "time,temp,clock\r\n1.000,21.5,2023-11-15T03:43:21.500+05:30\r\n");
    if (zone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(PlotScale, StaysFiniteFromOneEndOfTheRangeToTheOther)
{
    const std::pair<double, double> ranges[] = {
        {-1e308, 1e308}, {-DBL_MAX, DBL_MAX}, {1e308, 1e308}, {-1, 1}};
    for (const auto &[low, high] : ranges)
        for (bool fixed : {false, true}) {
            const ST_PlotScale scale = PlotScaleFor(low, high, fixed && low < high, 8);
            SCOPED_TRACE(std::to_string(low) + " " + std::to_string(high) + (fixed ? " fixed" : ""));
            EXPECT_LT(scale.Low, scale.High);
            EXPECT_GE(scale.Ticks.size(), 2u);
            for (size_t i = 0; i < scale.Ticks.size(); ++i) {
                EXPECT_TRUE(std::isfinite(scale.Ticks[i]));
                EXPECT_TRUE(scale.Ticks[i] >= scale.Low && scale.Ticks[i] <= scale.High);
                if (i > 0) {
                    EXPECT_GT(scale.Ticks[i], scale.Ticks[i - 1]);
                }
            }
            // Both ends inside a plot 300 rows high.
            for (double v : {low, high}) {
                EXPECT_GE(scale.Offset(v, 300), 0);
                EXPECT_LE(scale.Offset(v, 300), 299);
            }
        }

    // What is no number is left out of the store, and counted.
    CPlotStore store;
    const ST_PlotValue values[] = {{0, 1}, {0, NAN}, {1, INFINITY}, {1, 2}};
    store.AddLine(0, values, 4);
    EXPECT_EQ(store.Points(), 2u);
    EXPECT_EQ(store.Skipped(), 2u);
    double low = 0, high = 0;
    ASSERT_TRUE(store.Range(0, 0, 0, low, high));
    EXPECT_EQ(low, 1);
}
