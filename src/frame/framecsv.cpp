#include "frame/framecsv.h"

#include <chrono>
#include <cstdio>
#include <ctime>

const char *CFrameCsv::Header()
{
    return "time,gap_ms,gap_chars,direction,length,hex,check,summary\n";
}

int64_t CFrameCsv::WallOffsetNow()
{
    using namespace std::chrono;
    const int64_t wall = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const int64_t steady = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    return wall - steady;
}

std::string IsoUtcMicros(int64_t micros)
{
    // Floored, so that a time before the epoch keeps its microseconds in range.
    int64_t seconds = micros / 1000000;
    int64_t rest = micros % 1000000;
    if (rest < 0) {
        rest += 1000000;
        --seconds;
    }
    const auto t = static_cast<time_t>(seconds);
    tm utc{};
    gmtime_r(&t, &utc);
    char text[48];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%06dZ", static_cast<int>(rest));
    return text;
}

std::string CsvField(const std::string &field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string CFrameCsv::Line(const ST_Frame &frame, const std::string &summary) const
{
    static const char *const kDirections[] = {"rx", "tx", "a>b", "b>a"};
    static const char *const kChecks[] = {"none", "ok", "bad"};
    static const char kHex[] = "0123456789ABCDEF";
    std::string line = IsoUtcMicros(frame.Start.count() + m_wallOffset);
    char number[48];
    line += ',';
    if (frame.Gap) {
        std::snprintf(number, sizeof number, "%.3f", static_cast<double>(frame.Gap->count()) / 1000.0);
        line += number;
    }
    line += ',';
    if (frame.Gap && m_charsKnown) {
        std::snprintf(number, sizeof number, "%.1f", frame.GapChars);
        line += number;
    }
    line += ',';
    line += kDirections[static_cast<size_t>(frame.Direction) % kFrameDirections];
    line += ',';
    line += std::to_string(frame.Bytes.size());
    line += ',';
    for (size_t i = 0; i < frame.Bytes.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += kHex[frame.Bytes[i] >> 4];
        line += kHex[frame.Bytes[i] & 15];
    }
    line += ',';
    line += kChecks[static_cast<size_t>(frame.Check) % 3];
    line += ',';
    line += CsvField(summary);
    line += '\n';
    return line;
}
