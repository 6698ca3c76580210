#include "replay/recording.h"

#include "log/gzipfile.h"
#include "log/logrender.h"
#include "log/pcapng.h"
#include "platform/errors.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

namespace {

constexpr int64_t kMicrosPerDay = 24LL * 3600 * 1000000;

// What the monitor's interfaces are in this program's files (log/logpcapng.h).
constexpr uint32_t kMonitorA = 1;
constexpr uint32_t kMonitorB = 2;

EReplaySide SideOfPacket(const ST_PcapngRecord &record)
{
    if (record.Interface == kMonitorB)
        return record.Direction == EPcapngDirection::Outbound ? EReplaySide::Device : EReplaySide::Program;
    if (record.Interface == kMonitorA)
        return record.Direction == EPcapngDirection::Outbound ? EReplaySide::Program : EReplaySide::Device;
    return record.Direction == EPcapngDirection::Outbound ? EReplaySide::Program : EReplaySide::Device;
}

// Times from a rate: each record starts when the bytes before it have gone at that rate.
void PaceByRate(ST_Recording &recording, uint32_t bytesPerSecond)
{
    uint64_t bytes = 0;
    for (ST_ReplayRecord &record : recording.Records) {
        record.Micros = bytesPerSecond ? static_cast<int64_t>(bytes * 1000000 / bytesPerSecond) : 0;
        bytes += record.Bytes.size();
    }
}

struct ST_Header
{
    const char *Text;
    EReplaySide Side;
    bool Traffic;
};

// The log's line heads (log/logrender.cpp).
const ST_Header kHeaders[] = {
    {"Rec  :", EReplaySide::Device, true},  {"Send :", EReplaySide::Program, true},
    {"A>B :", EReplaySide::Device, true},   {"B>A :", EReplaySide::Program, true},
    {"A :", EReplaySide::Device, true},     {"B :", EReplaySide::Program, true},
    {"Note :", EReplaySide::Device, false},
};

const ST_Header *HeaderOf(const std::string &line)
{
    for (const ST_Header &header : kHeaders)
        if (line.compare(0, std::strlen(header.Text), header.Text) == 0)
            return &header;
    return nullptr;
}

bool AllDigits(const std::string &text, size_t from, size_t to)
{
    if (from >= to || to > text.size())
        return false;
    for (size_t i = from; i < to; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

int64_t Number(const std::string &text, size_t from, size_t to)
{
    int64_t value = 0;
    for (size_t i = from; i < to && i < from + 12; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// Days since 1970 of a civil date (the proleptic Gregorian calendar).
int64_t DaysOf(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// A line's stamp as the log writes it: a date, a time of day with or without milliseconds (and
// a 12-hour clock's AM or PM), the time since the line before ("+1.250"), each as chosen.
struct ST_Stamp
{
    std::optional<int64_t> Day;       // days since 1970
    std::optional<int64_t> TimeOfDay; // microseconds
    std::optional<int64_t> Since;     // microseconds
};

ST_Stamp ParseStamp(const std::string &text)
{
    ST_Stamp stamp;
    bool afternoon = false, morning = false;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string token = text.substr(at, end - at);
        at = end + 1;
        std::string upper = token;
        for (char &c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper == "PM" || upper == "P.M.") {
            afternoon = true;
        } else if (upper == "AM" || upper == "A.M.") {
            morning = true;
        } else if (token.size() >= 2 && token[0] == '+') {
            const size_t dot = token.find('.');
            if (dot != std::string::npos && AllDigits(token, 1, dot) &&
                AllDigits(token, dot + 1, token.size()))
                stamp.Since = Number(token, 1, dot) * 1000000 +
                              Number(token, dot + 1, token.size()) * (token.size() - dot - 1 == 3 ? 1000 : 0);
        } else if (token.size() == 10 && (token[4] == '-' || token[4] == '/' || token[4] == '.') &&
                   token[7] == token[4] && AllDigits(token, 0, 4) && AllDigits(token, 5, 7) &&
                   AllDigits(token, 8, 10)) {
            stamp.Day = DaysOf(Number(token, 0, 4), Number(token, 5, 7), Number(token, 8, 10));
        } else {
            const size_t c1 = token.find(':');
            const size_t c2 = c1 == std::string::npos ? c1 : token.find(':', c1 + 1);
            // A clock's two digits at most in each place: longer runs of digits are no time of
            // day, and would overflow the microseconds they are counted in.
            if (c2 == std::string::npos || !AllDigits(token, 0, c1) || c1 > 2 ||
                !AllDigits(token, c1 + 1, c2) || c2 - c1 > 3)
                continue;
            const size_t dot = token.find_first_of(".,", c2 + 1);
            const size_t secondsEnd = dot == std::string::npos ? token.size() : dot;
            if (!AllDigits(token, c2 + 1, secondsEnd) || secondsEnd - c2 > 3)
                continue;
            int64_t micros = ((Number(token, 0, c1) * 60 + Number(token, c1 + 1, c2)) * 60 +
                              Number(token, c2 + 1, secondsEnd)) *
                             1000000;
            if (dot != std::string::npos && AllDigits(token, dot + 1, token.size()) &&
                token.size() - dot - 1 == 3)
                micros += Number(token, dot + 1, token.size()) * 1000;
            stamp.TimeOfDay = micros;
        }
    }
    if (stamp.TimeOfDay) {
        const int64_t hour = *stamp.TimeOfDay / 3600000000;
        if (afternoon && hour < 12)
            *stamp.TimeOfDay += 12 * 3600000000LL;
        else if (morning && hour == 12)
            *stamp.TimeOfDay -= 12 * 3600000000LL;
    }
    return stamp;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "41 0D " (the hex view): every byte as two digits and a blank.
bool ReadHex(const std::string &text, std::vector<uint8_t> *bytes)
{
    if (text.size() % 3 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 3) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0 || text[i + 2] != ' ')
            return false;
        if (bytes)
            bytes->push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

// "65 13 " (the decimal view).
bool ReadDec(const std::string &text, std::vector<uint8_t> *bytes)
{
    size_t i = 0;
    while (i < text.size()) {
        const size_t blank = text.find(' ', i);
        if (blank == std::string::npos || blank == i || blank - i > 3 || !AllDigits(text, i, blank))
            return false;
        const int64_t value = Number(text, i, blank);
        if (value > 255)
            return false;
        if (bytes)
            bytes->push_back(static_cast<uint8_t>(value));
        i = blank + 1;
    }
    return true;
}

struct ST_TextLine
{
    const ST_Header *Header = nullptr;
    ST_Stamp Stamp;
    std::string Body;
    std::vector<std::string> More; // the displayed lines after the first of one block
};

// The mark a line of a bad frame or checksum ends with is the log's note, not data.
void DropMark(std::string &body)
{
    for (uint8_t m = kLogMarkChecksumShort; m <= kLogMarkFrameBad; ++m) {
        const char *mark = LogMarkText(m);
        const size_t n = std::strlen(mark);
        if (body.size() >= n && body.compare(body.size() - n, n, mark) == 0) {
            // A hex or decimal line's last blank and the mark's own are one.
            body.erase(body.size() - n);
            if (!body.empty() && body.back() != ' ' &&
                (ReadHex(body + " ", nullptr) || ReadDec(body + " ", nullptr)))
                body.push_back(' ');
            return;
        }
    }
}

} // namespace

size_t ST_Recording::Count(EReplaySide side) const
{
    return static_cast<size_t>(std::count_if(Records.begin(), Records.end(),
                                             [side](const ST_ReplayRecord &r) { return r.Side == side; }));
}

ST_Recording RecordingOfPcapng(const uint8_t *data, size_t size)
{
    const ST_PcapngContent content = ParsePcapng(data, size);
    ST_Recording recording;
    recording.Kind = ST_Recording::EKind::Pcapng;
    recording.Timed = true;
    std::optional<int64_t> first;
    for (const ST_PcapngRecord &packet : content.Records) {
        // A line event (a break, a line error, the modem lines) is no byte of the line's to play.
        const bool lineEvent =
            packet.SerialEvent && packet.Kind != ESerialEvent::TxData && packet.Kind != ESerialEvent::RxData;
        if (packet.Bytes.empty() || lineEvent)
            continue;
        if (!first)
            first = packet.WallMicros;
        ST_ReplayRecord record;
        // A clock set back while recording must not make the replay wait for the time before.
        record.Micros = std::max<int64_t>(packet.WallMicros - *first,
                                          recording.Records.empty() ? 0 : recording.Records.back().Micros);
        record.Side = SideOfPacket(packet);
        for (size_t at = 0; at < packet.Bytes.size(); at += kReplayMaxRecord) {
            const size_t n = std::min(kReplayMaxRecord, packet.Bytes.size() - at);
            record.Bytes.assign(packet.Bytes.begin() + static_cast<ptrdiff_t>(at),
                                packet.Bytes.begin() + static_cast<ptrdiff_t>(at + n));
            recording.Records.push_back(record);
        }
    }
    return recording;
}

ST_Recording RecordingOfText(const std::string &text, uint32_t bytesPerSecond)
{
    std::vector<ST_TextLine> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const ST_Header *header = HeaderOf(line);
        if (!header) {
            // A block's later displayed lines carry no head; text before the first head is no
            // traffic of the file's.
            if (!lines.empty() && lines.back().Header->Traffic)
                lines.back().More.push_back(std::move(line));
            continue;
        }
        ST_TextLine parsed;
        parsed.Header = header;
        size_t body = std::strlen(header->Text);
        if (body < line.size() && line[body] == '(') {
            const size_t close = line.find(')', body);
            if (close != std::string::npos) {
                parsed.Stamp = ParseStamp(line.substr(body + 1, close - body - 1));
                body = close + 1;
            }
        }
        parsed.Body = line.substr(std::min(body, line.size()));
        lines.push_back(std::move(parsed));
    }
    lines.erase(
        std::remove_if(lines.begin(), lines.end(), [](const ST_TextLine &l) { return !l.Header->Traffic; }),
        lines.end());
    for (ST_TextLine &line : lines)
        if (line.More.empty())
            DropMark(line.Body);
        else
            DropMark(line.More.back());

    // A view in hex or decimal shows every block on one line; the form holds when every line
    // of traffic reads in it.
    const auto every = [&lines](bool (*read)(const std::string &, std::vector<uint8_t> *)) {
        return !lines.empty() && std::all_of(lines.begin(), lines.end(), [read](const ST_TextLine &l) {
            return l.More.empty() && read(l.Body, nullptr);
        });
    };
    bool (*form)(const std::string &, std::vector<uint8_t> *) = nullptr;
    if (every(ReadHex))
        form = ReadHex;
    else if (every(ReadDec))
        form = ReadDec;

    ST_Recording recording;
    recording.Kind = ST_Recording::EKind::Text;
    recording.Timed = !lines.empty() && std::all_of(lines.begin(), lines.end(), [](const ST_TextLine &l) {
        return l.Stamp.TimeOfDay || l.Stamp.Since;
    });
    std::optional<int64_t> first;
    int64_t previous = 0, dayShift = 0;
    for (const ST_TextLine &line : lines) {
        ST_ReplayRecord record;
        record.Side = line.Header->Side;
        if (form) {
            form(line.Body, &record.Bytes);
        } else {
            const auto add = [&record](const std::string &shown) {
                record.Bytes.insert(record.Bytes.end(), shown.begin(), shown.end());
                record.Bytes.push_back('\r');
                record.Bytes.push_back('\n');
            };
            add(line.Body);
            for (const std::string &more : line.More)
                add(more);
        }
        if (recording.Timed) {
            int64_t time = previous;
            if (line.Stamp.TimeOfDay) {
                time = line.Stamp.Day ? *line.Stamp.Day * kMicrosPerDay + *line.Stamp.TimeOfDay
                                      : *line.Stamp.TimeOfDay + dayShift;
                // A time of day without its date that goes back has passed midnight.
                if (!line.Stamp.Day && first && time < previous - kMicrosPerDay / 2) {
                    dayShift += kMicrosPerDay;
                    time += kMicrosPerDay;
                }
            } else if (first) {
                time = previous + *line.Stamp.Since;
            }
            if (!first)
                first = time;
            time = std::max(time, previous);
            previous = time;
            record.Micros = time - *first;
        }
        if (!record.Bytes.empty())
            recording.Records.push_back(std::move(record));
    }
    if (!recording.Timed)
        PaceByRate(recording, bytesPerSecond);
    return recording;
}

ST_Recording RecordingOfRaw(const uint8_t *data, size_t size, uint32_t bytesPerSecond)
{
    ST_Recording recording;
    recording.Kind = ST_Recording::EKind::Raw;
    // Pieces of about 10 ms at the rate, so the pace is even and a step shows a little at once.
    const size_t piece = std::clamp<size_t>(bytesPerSecond / 100, 1, kReplayMaxRecord);
    const size_t cut = bytesPerSecond ? piece : kReplayMaxRecord;
    for (size_t at = 0; at < size; at += cut) {
        ST_ReplayRecord record;
        record.Bytes.assign(data + at, data + std::min(size, at + cut));
        recording.Records.push_back(std::move(record));
    }
    PaceByRate(recording, bytesPerSecond);
    return recording;
}

ST_Recording ParseRecording(const uint8_t *data, size_t size, uint32_t bytesPerSecond)
{
    static const uint8_t kSectionHeader[] = {0x0A, 0x0D, 0x0D, 0x0A};
    if (size >= 4 && std::memcmp(data, kSectionHeader, 4) == 0)
        return RecordingOfPcapng(data, size);
    // A text capture begins with a line of the log (a note of the capture's start, as a rule).
    const std::string head(reinterpret_cast<const char *>(data), std::min<size_t>(size, 64));
    if (HeaderOf(head))
        return RecordingOfText(std::string(reinterpret_cast<const char *>(data), size), bytesPerSecond);
    return RecordingOfRaw(data, size, bytesPerSecond);
}

ST_Recording ReadRecordingFile(const std::string &path, uint32_t bytesPerSecond, size_t limit)
{
    const std::vector<uint8_t> bytes = ReadCaptureFile(path, limit);
    return ParseRecording(bytes.data(), bytes.size(), bytesPerSecond);
}
