#include "plot/plotstore.h"

#include "platform/logstamp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

const ST_PlotSample *FirstAtOrAfter(const CPlotSamples &samples, int64_t ms)
{
    return std::lower_bound(samples.begin(), samples.end(), ms,
                            [](const ST_PlotSample &s, int64_t t) { return s.Ms < t; });
}

void AppendNumber(std::string &out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// Names go between quotes when they hold what would end a CSV field.
void AppendField(std::string &out, const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

void CPlotStore::AddLine(int64_t ms, const ST_PlotValue *values, size_t count)
{
    if (count == 0)
        return;
    m_lastMs = std::max(ms, m_lastMs);
    const uint64_t line = m_nextLine++;
    for (size_t i = 0; i < count; ++i) {
        // Not a value to draw or to scale by; the plot says how many it left out.
        if (!std::isfinite(values[i].Value)) {
            ++m_skipped;
            continue;
        }
        const size_t series = static_cast<size_t>(values[i].Series);
        if (series >= m_series.size())
            m_series.resize(series + 1);
        m_series[series].push_back({m_lastMs, line, values[i].Value});
        ++m_points;
    }
    while (m_points > m_maxPoints)
        DropOldestLine();
}

void CPlotStore::DropOldestLine()
{
    uint64_t oldest = std::numeric_limits<uint64_t>::max();
    for (const CPlotSamples &s : m_series)
        if (!s.empty())
            oldest = std::min(oldest, s.front().Line);
    for (CPlotSamples &s : m_series)
        while (!s.empty() && s.front().Line == oldest) {
            s.pop_front();
            --m_points;
        }
}

void CPlotStore::Clear()
{
    m_series.clear();
    m_points = 0;
    m_skipped = 0;
    m_lastMs = 0;
}

std::vector<ST_PlotSpan> CPlotStore::Decimate(int series, int64_t t0, int64_t t1, int columns) const
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<ST_PlotSpan> spans(static_cast<size_t>(std::max(columns, 0)), ST_PlotSpan{nan, nan});
    if (columns <= 0 || t1 < t0 || series < 0 || series >= SeriesCount())
        return spans;
    const CPlotSamples &samples = Samples(series);
    const int64_t width = t1 - t0 + 1;
    auto it = FirstAtOrAfter(samples, t0);
    const auto end = samples.end();
    // Column c holds the times t with (t - t0) * columns / width == c: those before the first
    // time of column c + 1. Walking column by column spares a division per point.
    for (int c = 0; c < columns && it != end && it->Ms <= t1; ++c) {
        const int64_t next = t0 + ((c + 1) * width + columns - 1) / columns;
        if (it->Ms >= next)
            continue;
        double low = it->Value, high = it->Value;
        for (++it; it != end && it->Ms < next; ++it) {
            low = std::min(low, it->Value);
            high = std::max(high, it->Value);
        }
        spans[static_cast<size_t>(c)] = {low, high};
    }
    return spans;
}

bool CPlotStore::Range(int series, int64_t t0, int64_t t1, double &low, double &high) const
{
    if (series < 0 || series >= SeriesCount())
        return false;
    const CPlotSamples &samples = Samples(series);
    bool any = false;
    for (auto it = FirstAtOrAfter(samples, t0); it != samples.end() && it->Ms <= t1; ++it) {
        low = any ? std::min(low, it->Value) : it->Value;
        high = any ? std::max(high, it->Value) : it->Value;
        any = true;
    }
    return any;
}

std::string PlotCsv(const CPlotStore &store, const std::vector<int> &series,
                    const std::vector<std::string> &names, int64_t t0, int64_t t1, int64_t originMs,
                    std::optional<int64_t> clockAtZeroMs)
{
    std::string out = "time";
    std::vector<const ST_PlotSample *> next, ends;
    for (int s : series) {
        out += ',';
        AppendField(out,
                    static_cast<size_t>(s) < names.size() ? names[static_cast<size_t>(s)] : std::string());
        const CPlotSamples &samples = store.Samples(s);
        next.push_back(FirstAtOrAfter(samples, t0));
        ends.push_back(FirstAtOrAfter(samples, t1 + 1));
    }
    if (clockAtZeroMs)
        out += ",clock";
    out += "\r\n";
    for (;;) {
        // The next row is the oldest line any series still has a value of.
        uint64_t line = std::numeric_limits<uint64_t>::max();
        int64_t ms = 0;
        for (size_t i = 0; i < next.size(); ++i)
            if (next[i] != ends[i] && next[i]->Line < line) {
                line = next[i]->Line;
                ms = next[i]->Ms;
            }
        if (line == std::numeric_limits<uint64_t>::max())
            break;
        const int64_t sinceOrigin = ms - originMs;
        const int64_t whole = sinceOrigin / 1000, part = std::abs(sinceOrigin % 1000);
        if (sinceOrigin < 0 && whole == 0)
            out += '-';
        out += std::to_string(whole);
        out += '.';
        out += static_cast<char>('0' + part / 100);
        out += static_cast<char>('0' + part / 10 % 10);
        out += static_cast<char>('0' + part % 10);
        for (size_t i = 0; i < next.size(); ++i) {
            out += ',';
            // A series named twice in one line shows the last of its values.
            double value = 0;
            bool has = false;
            while (next[i] != ends[i] && next[i]->Line == line) {
                value = next[i]->Value;
                has = true;
                ++next[i];
            }
            if (has)
                AppendNumber(out, value);
        }
        if (clockAtZeroMs) {
            out += ',';
            out += IsoLocalTimeText(*clockAtZeroMs + ms);
        }
        out += "\r\n";
    }
    return out;
}
