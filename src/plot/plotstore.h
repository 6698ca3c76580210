#pragma once
// The plotted values: for each series its samples in the order they came, each with the time of
// its line (milliseconds, never earlier than the line before) and the line's number, which ties
// the values printed together back into one row. The store keeps the newest kMaxPoints values of
// all series together; older ones are forgotten, the oldest line first.
#include "plot/plotparser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ST_PlotSample
{
    int64_t Ms;
    uint64_t Line;
    double Value;
};

// The lowest and highest value that fall in one pixel column; both NaN when none does.
struct ST_PlotSpan
{
    double Min;
    double Max;
};

// One series' samples, oldest first, in one block of memory that the reduction walks straight
// through. The oldest are dropped by moving the start; the space is given back in bulk.
class CPlotSamples
{
public:
    const ST_PlotSample *begin() const { return m_items.data() + m_first; }
    const ST_PlotSample *end() const { return m_items.data() + m_items.size(); }
    bool empty() const { return m_first == m_items.size(); }
    size_t size() const { return m_items.size() - m_first; }
    const ST_PlotSample &front() const { return m_items[m_first]; }
    void push_back(const ST_PlotSample &sample) { m_items.push_back(sample); }
    void pop_front()
    {
        if (++m_first >= 4096 && m_first * 2 >= m_items.size()) {
            m_items.erase(m_items.begin(), m_items.begin() + static_cast<std::ptrdiff_t>(m_first));
            m_first = 0;
        }
    }

private:
    std::vector<ST_PlotSample> m_items;
    size_t m_first = 0;
};

class CPlotStore
{
public:
    static constexpr size_t kMaxPoints = 1'000'000;

    explicit CPlotStore(size_t maxPoints = kMaxPoints) : m_maxPoints(maxPoints) {}

    // One line's values, taken at `ms`.
    void AddLine(int64_t ms, const ST_PlotValue *values, size_t count);
    void Clear();

    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    const CPlotSamples &Samples(int series) const { return m_series.at(static_cast<size_t>(series)); }
    size_t Points() const { return m_points; }
    // Values left out for being NaN or infinite.
    size_t Skipped() const { return m_skipped; }
    // The time of the newest line; 0 before the first.
    int64_t LastMs() const { return m_lastMs; }

    // The samples of `series` in [t0, t1] spread over `columns` equal pixel columns, the newest
    // time falling in the last one: the lowest and highest value of each. Drawing one vertical
    // stroke per column shows every peak without visiting a point twice.
    std::vector<ST_PlotSpan> Decimate(int series, int64_t t0, int64_t t1, int columns) const;

    // The lowest and highest value of the series in [t0, t1]; false when it has none there.
    bool Range(int series, int64_t t0, int64_t t1, double &low, double &high) const;

private:
    void DropOldestLine();

    std::vector<CPlotSamples> m_series;
    size_t m_maxPoints;
    size_t m_points = 0;
    size_t m_skipped = 0;
    uint64_t m_nextLine = 0;
    int64_t m_lastMs = 0;
};

// The samples of `series` in [t0, t1] as comma-separated text: a header "time,<names>" and a row
// per line that gave any of them, the time in seconds from `originMs` with three decimals and
// each value in its shortest exact form, empty where a series had no value in that line. Given
// `clockAtZeroMs`, the UTC time (ms since 1970) of the store's time 0, a last column "clock" has
// each row's local clock time (IsoLocalTimeText); being last, it leaves the others where readers
// of the files before it look for them.
std::string PlotCsv(const CPlotStore &store, const std::vector<int> &series,
                    const std::vector<std::string> &names, int64_t t0, int64_t t1, int64_t originMs = 0,
                    std::optional<int64_t> clockAtZeroMs = std::nullopt);
