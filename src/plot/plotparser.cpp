#include "plot/plotparser.h"

#include <charconv>
#include <cmath>

namespace {

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == ';';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsPairMark(char c)
{
    return c == ':' || c == '=';
}

} // namespace

bool CPlotParser::ReadNumber(std::string_view token, double &value)
{
    const char *first = token.data();
    const char *last = first + token.size();
    // from_chars takes a minus but no plus.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return false;
    }
    if (first == last || !(IsDigit(*first) || *first == '.' || *first == '-'))
        return false; // keeps "inf" and "nan" out before they are read
    double read = 0;
    const auto [end, error] = std::from_chars(first, last, read, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(read))
        return false;
    // A unit may follow; more digits mean the token is something else ("1.2.3", "0x1F", "12:30").
    for (const char *p = end; p != last; ++p)
        if (IsDigit(*p) || IsPairMark(*p))
            return false;
    if (end != last && *end == '.')
        return false;
    value = read;
    return true;
}

int CPlotParser::Add(std::string_view name, double value, std::vector<ST_PlotValue> &values)
{
    if (name.size() > kMaxNameBytes)
        name = name.substr(0, kMaxNameBytes);
    int series = 0;
    while (series < static_cast<int>(m_names.size()) && m_names[static_cast<size_t>(series)] != name)
        ++series;
    if (series == static_cast<int>(m_names.size())) {
        if (series >= kMaxSeries) {
            ++m_droppedValues;
            return -1;
        }
        m_names.emplace_back(name);
    }
    values.push_back({series, value});
    return series;
}

// Columns come in every line, so their series are looked up by name only once.
void CPlotParser::AddColumn(int column, double value, std::vector<ST_PlotValue> &values)
{
    if (column > kMaxSeries) {
        Add(std::to_string(column), value, values);
        return;
    }
    int &known = m_columnSeries[column - 1];
    if (known >= 0)
        values.push_back({known, value});
    else
        known = Add(std::to_string(column), value, values);
}

void CPlotParser::ParseLine(std::string_view line, std::vector<ST_PlotValue> &values)
{
    int column = 0;
    std::string_view word;    // the last token that was a word, a label if ":" or "=" follows
    std::string_view pending; // a label waiting for its number in the next token
    size_t pos = 0;
    while (pos < line.size()) {
        if (IsSeparator(line[pos])) {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < line.size() && !IsSeparator(line[end]))
            ++end;
        const std::string_view token = line.substr(pos, end - pos);
        pos = end;

        std::string_view label = pending;
        pending = {};
        double value = 0;
        if (ReadNumber(token, value)) {
            if (!label.empty()) {
                Add(label, value, values);
            } else {
                AddColumn(++column, value, values);
            }
            word = {};
            continue;
        }
        if (token.size() == 1 && IsPairMark(token[0])) {
            pending = word;
            word = {};
            continue;
        }
        size_t mark = 0;
        while (mark < token.size() && !IsPairMark(token[mark]))
            ++mark;
        if (mark == token.size()) {
            word = token;
            continue;
        }
        word = {};
        const std::string_view name = token.substr(0, mark);
        const std::string_view rest = token.substr(mark + 1);
        if (name.empty())
            continue;
        if (rest.empty())
            pending = name;
        else if (ReadNumber(rest, value))
            Add(name, value, values);
    }
}

size_t CPlotParser::Feed(const uint8_t *data, size_t size, std::vector<ST_PlotValue> &values,
                         std::vector<size_t> &lineEnds)
{
    size_t lines = 0;
    const char *text = reinterpret_cast<const char *>(data);
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        const bool atEnd = i == size;
        if (!atEnd && text[i] != '\n' && text[i] != '\r')
            continue;
        const std::string_view piece(text + start, i - start);
        if (m_skipping) {
            if (!atEnd)
                m_skipping = false;
        } else if (m_line.size() + piece.size() > kMaxLineBytes) {
            m_line.clear();
            ++m_droppedLines;
            m_skipping = atEnd; // the rest of the line is still to come
        } else if (atEnd) {
            m_line.append(piece);
        } else {
            const size_t before = values.size();
            if (m_line.empty()) {
                ParseLine(piece, values);
            } else {
                m_line.append(piece);
                ParseLine(m_line, values);
                m_line.clear();
            }
            if (values.size() != before) {
                lineEnds.push_back(values.size());
                ++lines;
            }
        }
        start = i + 1;
    }
    return lines;
}

void CPlotParser::Clear()
{
    m_line.clear();
    m_skipping = false;
    m_names.clear();
    for (int &series : m_columnSeries)
        series = -1;
    m_droppedValues = 0;
    m_droppedLines = 0;
}
