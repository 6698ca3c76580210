#include "frame/frameprofilefile.h"
#include "data/commdata.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

namespace {

const std::string kHeader = "# Kestrum framing profiles ";
constexpr int kVersion = 1;
constexpr uint64_t kMsLimit = 24ull * 3600 * 1000;

struct ST_Entry
{
    std::string Key, Value;
    size_t Line;
};

std::string Trim(const std::string &s)
{
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

[[noreturn]] void Fail(size_t line, const std::string &why)
{
    throw EFrameProfilesError(line, why);
}

uint64_t Count(const ST_Entry &e, uint64_t low, uint64_t high)
{
    if (e.Value.empty() || e.Value.size() > 12 ||
        !std::all_of(e.Value.begin(), e.Value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        Fail(e.Line, e.Key + " is no whole number: \"" + e.Value + "\"");
    const uint64_t v = std::strtoull(e.Value.c_str(), nullptr, 10);
    if (v < low || v > high)
        Fail(e.Line, e.Key + " must be " + std::to_string(low) + " to " + std::to_string(high));
    return v;
}

int64_t SignedCount(const ST_Entry &e, uint64_t limit)
{
    const bool negative = !e.Value.empty() && e.Value[0] == '-';
    ST_Entry magnitude = e;
    if (negative)
        magnitude.Value.erase(0, 1);
    const auto v = static_cast<int64_t>(Count(magnitude, 0, limit));
    return negative ? -v : v;
}

std::vector<uint8_t> HexBytes(const ST_Entry &e)
{
    std::string digits;
    for (char c : e.Value)
        if (c != ' ')
            digits += c;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        const int high = HexValue(digits[i]), low = HexValue(digits[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (bytes.size() * 2 != digits.size())
        Fail(e.Line, e.Key + " must be pairs of hex digits: \"" + e.Value + "\"");
    if (bytes.size() > kFrameDelimiterLimit)
        Fail(e.Line, e.Key + " is longer than " + std::to_string(kFrameDelimiterLimit) + " bytes");
    return bytes;
}

size_t Choice(const ST_Entry &e, const std::vector<const char *> &words)
{
    const std::string v = Lower(e.Value);
    for (size_t i = 0; i < words.size(); ++i)
        if (v == words[i])
            return i;
    std::string known;
    for (const char *w : words)
        known += (known.empty() ? "" : ", ") + std::string(w);
    Fail(e.Line, e.Key + " must be one of " + known + ": \"" + e.Value + "\"");
}

const std::vector<const char *> kModes{"silence", "delimiter", "length", "fixed", "cobs", "slip"};
const std::vector<const char *> kDelimiterModes{"end", "start-end", "start"};
const std::vector<const char *> kYesNo{"no", "yes"};
const std::vector<const char *> kOrders{"big", "little"};
const std::vector<const char *> kCounts{"frame", "after", "from-field"};

// The modes a key belongs to; all of them for the keys every profile has.
bool KeyOf(const std::string &key, EFramingMode mode, bool checked)
{
    static const std::map<std::string, int> modeOf{
        {"chars", 0},        {"floor.ms", 0},     {"delimiter", 1},    {"start", 1},       {"end", 1},
        {"keep", 1},         {"field.offset", 2}, {"field.size", 2},   {"field.order", 2}, {"field.add", 2},
        {"field.counts", 2}, {"length", 3},       {"check", -1},       {"max-length", -1}, {"timeout.ms", -1},
        {"decoder", -1},     {"check.skip", -2},  {"check.trail", -2},
    };
    const auto it = modeOf.find(key);
    if (it == modeOf.end())
        return false;
    if (it->second == -2)
        return checked;
    return it->second == -1 || it->second == static_cast<int>(mode);
}

ST_FramingProfile MakeProfile(const std::string &name, size_t headerLine,
                              const std::vector<ST_Entry> &entries)
{
    ST_FramingProfile p;
    p.Name = name;
    const auto modeEntry =
        std::find_if(entries.begin(), entries.end(), [](const ST_Entry &e) { return e.Key == "mode"; });
    if (modeEntry == entries.end())
        Fail(headerLine, "the profile \"" + name + "\" has no mode");
    p.Mode = static_cast<EFramingMode>(Choice(*modeEntry, kModes));
    const bool checked = std::any_of(entries.begin(), entries.end(), [](const ST_Entry &e) {
        return e.Key == "check" && Lower(e.Value) != "none";
    });
    for (const ST_Entry &e : entries) {
        if (e.Key == "mode")
            continue;
        if (!KeyOf(e.Key, p.Mode, checked)) {
            p.Unknown.emplace_back(e.Key, e.Value);
            continue;
        }
        const std::string &k = e.Key;
        if (k == "chars") {
            // Not strtod: the user's locale may want a decimal comma, the file never does.
            double v = -1;
            const char *end = e.Value.data() + e.Value.size();
            const auto [at, ec] = std::from_chars(e.Value.data(), end, v);
            if (ec != std::errc() || at != end || !std::isfinite(v) || v < 0 || v > 1000)
                Fail(e.Line, "chars must be a number from 0 to 1000: \"" + e.Value + "\"");
            p.Silence.Chars = v;
        } else if (k == "floor.ms") {
            p.Silence.Floor = std::chrono::milliseconds(Count(e, 0, kMsLimit));
        } else if (k == "delimiter") {
            p.Delimiter.Mode = static_cast<EDelimiterMode>(Choice(e, kDelimiterModes));
        } else if (k == "start") {
            p.Delimiter.Start = HexBytes(e);
        } else if (k == "end") {
            p.Delimiter.End = HexBytes(e);
        } else if (k == "keep") {
            p.Delimiter.Keep = Choice(e, kYesNo) == 1;
        } else if (k == "field.offset") {
            p.Length.Offset = Count(e, 0, kFrameMaxLengthLimit);
        } else if (k == "field.size") {
            const uint64_t size = Count(e, 1, 4);
            if (size == 3)
                Fail(e.Line, "field.size must be 1, 2 or 4");
            p.Length.Size = static_cast<uint8_t>(size);
        } else if (k == "field.order") {
            p.Length.Order = Choice(e, kOrders) == 0 ? EByteOrder::BigEndian : EByteOrder::LittleEndian;
        } else if (k == "field.add") {
            p.Length.Add = SignedCount(e, kFrameMaxLengthLimit);
        } else if (k == "field.counts") {
            p.Length.Counts = static_cast<ELengthCounts>(Choice(e, kCounts));
        } else if (k == "length") {
            p.FixedLength = Count(e, 1, kFrameMaxLengthLimit);
        } else if (k == "check") {
            if (Lower(e.Value) != "none") {
                try {
                    FrameCheckByName(e.Value);
                } catch (const std::invalid_argument &) {
                    Fail(e.Line, "no checksum is called \"" + e.Value + "\"");
                }
                p.Check = e.Value;
            }
        } else if (k == "check.skip") {
            p.CheckSkip = Count(e, 0, kFrameMaxLengthLimit);
        } else if (k == "check.trail") {
            p.CheckTrail = Count(e, 0, kFrameMaxLengthLimit);
        } else if (k == "max-length") {
            p.Limits.MaxLength = Count(e, 1, kFrameMaxLengthLimit);
        } else if (k == "timeout.ms") {
            p.Limits.TimeOut = std::chrono::milliseconds(Count(e, 0, kMsLimit));
        } else if (k == "decoder") {
            p.Decoder = e.Value;
        }
    }
    // The framers refuse what they cannot cut by; the file says where.
    try {
        MakeFramer(p, ST_LineTiming{});
    } catch (const std::invalid_argument &x) {
        Fail(headerLine, "the profile \"" + name + "\" cannot be used: " + x.what());
    }
    return p;
}

std::string Hex(const std::vector<uint8_t> &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

bool IsKey(const std::string &key)
{
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

// What a profile built elsewhere than in the reader may hold that would not read back.
void Writable(const std::string &text, bool name)
{
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || Trim(text) != text ||
        (name && text.empty()))
        throw std::invalid_argument("\"" + text + "\" cannot be written into a framing profiles file");
}

void Put(std::string &text, const std::string &key, const std::string &value)
{
    Writable(value, false);
    text += key + " = " + value + "\r\n";
}

} // namespace

EFrameProfilesError::EFrameProfilesError(size_t line, const std::string &why, const std::string &path)
    : EKestrumError((path.empty() ? "" : path + ", ") + "line " + std::to_string(line) + ": " + why),
      m_line(line), m_why(why)
{
}

std::vector<ST_FramingProfile> ParseFrameProfiles(const std::string &text)
{
    std::vector<size_t> failed;
    const std::vector<std::string> lines = SplitTextLines(text, &failed);
    if (!failed.empty())
        Fail(failed.front() + 1, "the line holds a zero byte");
    std::vector<ST_FramingProfile> profiles;
    if (lines.empty())
        return profiles;
    const std::string &first = lines.front();
    if (first.compare(0, kHeader.size(), kHeader) != 0 || first.size() > kHeader.size() + 6 ||
        first.size() == kHeader.size() ||
        !std::all_of(first.begin() + static_cast<long>(kHeader.size()), first.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        Fail(1, "this is no framing profiles file");
    std::string name;
    size_t headerLine = 0;
    std::vector<ST_Entry> entries;
    std::set<std::string> keys;
    auto finish = [&] {
        if (headerLine)
            profiles.push_back(MakeProfile(name, headerLine, entries));
    };
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t number = i + 1;
        if (lines[i].size() > kFrameProfilesLineLimit)
            Fail(number,
                 "the line is longer than " + std::to_string(kFrameProfilesLineLimit) + " characters");
        const std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                Fail(number, "a profile's name ends with \"]\"");
            finish();
            if (profiles.size() >= kFrameProfilesLimit)
                Fail(number, "more than " + std::to_string(kFrameProfilesLimit) + " profiles");
            name = Trim(line.substr(1, line.size() - 2));
            if (name.empty())
                Fail(number, "a profile needs a name");
            const std::string lower = Lower(name);
            if (std::any_of(profiles.begin(), profiles.end(),
                            [&](const ST_FramingProfile &p) { return Lower(p.Name) == lower; }))
                Fail(number, "a second profile called \"" + name + "\"");
            headerLine = number;
            entries.clear();
            keys.clear();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            Fail(number, "a line holds \"key = value\"");
        if (!headerLine)
            Fail(number, "a key before the first profile's name");
        ST_Entry e{Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)), number};
        if (!IsKey(e.Key))
            Fail(number, "a key is letters, digits, \".\", \"-\" and \"_\"");
        // Written back as "key = value", which must fit a line again.
        if (e.Key.size() + e.Value.size() + 3 > kFrameProfilesLineLimit)
            Fail(number,
                 "the line is longer than " + std::to_string(kFrameProfilesLineLimit) + " characters");
        if (!keys.insert(e.Key).second)
            Fail(number, "a second \"" + e.Key + "\" in one profile");
        if (keys.size() > kFrameProfileKeysLimit)
            Fail(number, "more than " + std::to_string(kFrameProfileKeysLimit) + " keys in one profile");
        entries.push_back(std::move(e));
    }
    finish();
    return profiles;
}

std::string FrameProfilesText(const std::vector<ST_FramingProfile> &profiles)
{
    std::string text = kHeader + std::to_string(kVersion) + "\r\n";
    for (const ST_FramingProfile &p : profiles) {
        Writable(p.Name, true);
        text += "\r\n[" + p.Name + "]\r\n";
        Put(text, "mode", kModes[static_cast<size_t>(p.Mode)]);
        switch (p.Mode) {
        case EFramingMode::Silence: {
            char chars[40];
            const auto [end, ec] = std::to_chars(chars, chars + sizeof chars, p.Silence.Chars);
            Put(text, "chars", ec == std::errc() ? std::string(chars, end) : "3.5");
            Put(text, "floor.ms",
                std::to_string(
                    std::chrono::duration_cast<std::chrono::milliseconds>(p.Silence.Floor).count()));
            break;
        }
        case EFramingMode::Delimiter:
            Put(text, "delimiter", kDelimiterModes[static_cast<size_t>(p.Delimiter.Mode)]);
            Put(text, "start", Hex(p.Delimiter.Start));
            Put(text, "end", Hex(p.Delimiter.End));
            Put(text, "keep", p.Delimiter.Keep ? "yes" : "no");
            break;
        case EFramingMode::Length:
            Put(text, "field.offset", std::to_string(p.Length.Offset));
            Put(text, "field.size", std::to_string(p.Length.Size));
            Put(text, "field.order", p.Length.Order == EByteOrder::BigEndian ? "big" : "little");
            Put(text, "field.add", std::to_string(p.Length.Add));
            Put(text, "field.counts", kCounts[static_cast<size_t>(p.Length.Counts)]);
            break;
        case EFramingMode::Fixed:
            Put(text, "length", std::to_string(p.FixedLength));
            break;
        case EFramingMode::Cobs:
        case EFramingMode::Slip:
            break;
        }
        Put(text, "check", p.Check.empty() ? "none" : p.Check);
        if (!p.Check.empty()) {
            Put(text, "check.skip", std::to_string(p.CheckSkip));
            Put(text, "check.trail", std::to_string(p.CheckTrail));
        }
        Put(text, "max-length", std::to_string(p.Limits.MaxLength));
        Put(text, "timeout.ms",
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(p.Limits.TimeOut).count()));
        if (!p.Decoder.empty())
            Put(text, "decoder", p.Decoder);
        for (const auto &[key, value] : p.Unknown) {
            if (!IsKey(key) || key != Lower(key))
                throw std::invalid_argument("\"" + key + "\" is no key of a framing profiles file");
            Put(text, key, value);
        }
    }
    return text;
}

std::vector<ST_FramingProfile> ReadFrameProfilesFile(const std::string &path)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        return {};
    try {
        return ParseFrameProfiles(text);
    } catch (const EFrameProfilesError &x) {
        throw EFrameProfilesError(x.Line(), x.Why(), path);
    }
}

void WriteFrameProfilesFile(const std::string &path, const std::vector<ST_FramingProfile> &profiles)
{
    WriteFileAtomic(path, FrameProfilesText(profiles));
}
