#pragma once
// Numbers a device prints as text lines, for the plot. Received bytes come in blocks cut anywhere;
// the parser joins them into lines (ended by LF, CR or CR LF) and reads each line's values:
//
// - Tokens are separated by spaces, tabs, commas and semicolons.
// - A number on its own is a plain column: the first plain number of a line belongs to series "1",
//   the second to "2", and so on. "21", "-3.5", "+0.25", "1e3" and ".5" are numbers; so is a
//   number with a unit stuck to it ("21.5C", "12ms", "40%"), as long as the unit holds no digit.
//   Hexadecimal, "1.2.3", infinities and NaN are not.
// - "name:value" and "name=value" give the value to the series called name, as do "name: value"
//   and "name = value" (the label and the number in tokens of their own), the way boards print
//   "T: 21.5 C" or "Temp = 21.5". A pair whose value is no number gives nothing.
// - Any other token (a word, a unit on its own, a timestamp like 12:30:45) is passed over: it
//   neither gives a value nor moves the column count. A line with no value at all is skipped.
//
// Series are numbered in the order they first appear, up to kMaxSeries; values of series beyond
// that are dropped and counted. A line that grows past kMaxLineBytes without an end is dropped,
// up to its end. No locale is consulted: the decimal sign is always the point.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ST_PlotValue
{
    int Series;
    double Value;
};

class CPlotParser
{
public:
    static constexpr int kMaxSeries = 16;
    static constexpr size_t kMaxLineBytes = 4096;
    static constexpr size_t kMaxNameBytes = 64;

    CPlotParser() { Clear(); }

    // Reads the lines `data` completes. Their values are appended to `values`, and for each line
    // that held any, the index in `values` just past its last one to `lineEnds`. Returns the
    // number of such lines.
    size_t Feed(const uint8_t *data, size_t size, std::vector<ST_PlotValue> &values,
                std::vector<size_t> &lineEnds);

    // The values of one line, without its end, with the series numbered as in Feed.
    void ParseLine(std::string_view line, std::vector<ST_PlotValue> &values);
    // A value that comes with its series' name from elsewhere (a decoded frame's field): numbered
    // and bounded as the lines' named values are. The series, or -1 when it was dropped.
    int AddNamed(std::string_view name, double value, std::vector<ST_PlotValue> &values)
    {
        return Add(name, value, values);
    }

    // Series names by number.
    const std::vector<std::string> &SeriesNames() const { return m_names; }
    uint64_t DroppedValues() const { return m_droppedValues; }
    uint64_t DroppedLines() const { return m_droppedLines; }

    // Forgets the series, the counts and any unfinished line.
    void Clear();

    // The number a whole token stands for (see above); false when it is none.
    static bool ReadNumber(std::string_view token, double &value);

private:
    // The series the value went to, or -1 when it was dropped.
    int Add(std::string_view name, double value, std::vector<ST_PlotValue> &values);
    void AddColumn(int column, double value, std::vector<ST_PlotValue> &values);

    std::string m_line;
    bool m_skipping = false; // inside a line that grew too long
    std::vector<std::string> m_names;
    int m_columnSeries[kMaxSeries]; // the series of plain column n + 1 once known, else -1
    uint64_t m_droppedValues = 0;
    uint64_t m_droppedLines = 0;
};
