#include "decode/layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

[[noreturn]] void Fail(const std::string &key, const std::string &why)
{
    throw ELayoutError(key + ": " + why);
}

std::string Trim(const std::string &s)
{
    const size_t from = s.find_first_not_of(" \t");
    if (from == std::string::npos)
        return {};
    return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

uint64_t Whole(const std::string &key, const std::string &text, uint64_t limit, int base = 10)
{
    uint64_t v = 0;
    const char *end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, v, base);
    if (text.empty() || ec != std::errc() || at != end || v > limit)
        Fail(key, "\"" + text + "\" is no number from 0 to " + std::to_string(limit));
    return v;
}

double Real(const std::string &key, const std::string &text)
{
    double v = 0;
    const char *end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || at != end || !std::isfinite(v))
        Fail(key, "\"" + text + "\" is no number");
    return v;
}

size_t Width(ELayoutType t)
{
    switch (t) {
    case ELayoutType::U8:
    case ELayoutType::I8:
    case ELayoutType::Text:
        return 1;
    case ELayoutType::U16:
    case ELayoutType::I16:
        return 2;
    case ELayoutType::U32:
    case ELayoutType::I32:
    case ELayoutType::F32:
        return 4;
    case ELayoutType::F64:
        return 8;
    }
    return 1;
}

void ParseType(const std::string &key, std::string text, ST_LayoutField &f)
{
    const size_t bracket = text.find('[');
    if (bracket != std::string::npos) {
        if (text.back() != ']')
            Fail(key, "an array's count ends with \"]\"");
        f.Count = Whole(key, text.substr(bracket + 1, text.size() - bracket - 2), kLayoutArrayLimit);
        if (f.Count == 0)
            Fail(key, "an array has one element at least");
        f.Array = true;
        text.resize(bracket);
    }
    if (text.rfind("str", 0) == 0) {
        if (f.Array)
            Fail(key, "text cannot be an array");
        f.Type = ELayoutType::Text;
        f.Count = Whole(key, text.substr(3), kLayoutTextLimit);
        if (f.Count == 0)
            Fail(key, "text has one byte at least");
        return;
    }
    std::string bits;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        bits = text.substr(colon + 1);
        text.resize(colon);
    }
    if (text.size() > 2 &&
        (text.compare(text.size() - 2, 2, "le") == 0 || text.compare(text.size() - 2, 2, "be") == 0)) {
        f.LittleEndian = text.compare(text.size() - 2, 2, "le") == 0;
        text.resize(text.size() - 2);
    }
    static const char *const names[] = {"u8", "i8", "u16", "i16", "u32", "i32", "f32", "f64"};
    const auto found =
        std::find_if(std::begin(names), std::end(names), [&](const char *n) { return text == n; });
    if (found == std::end(names))
        Fail(key, "no type is called \"" + text + "\"");
    f.Type = static_cast<ELayoutType>(found - std::begin(names));
    if (bits.empty())
        return;
    if (f.Type == ELayoutType::F32 || f.Type == ELayoutType::F64)
        Fail(key, "a bit field is of an integer");
    const size_t second = bits.find(':');
    if (second == std::string::npos)
        Fail(key, "a bit field is \"type:first:count\"");
    const size_t width = Width(f.Type) * 8;
    f.BitFirst = static_cast<uint8_t>(Whole(key, bits.substr(0, second), width - 1));
    f.BitCount = static_cast<uint8_t>(Whole(key, bits.substr(second + 1), width));
    if (f.BitCount == 0 || f.BitFirst + f.BitCount > width)
        Fail(key, "the bits lie outside the value");
}

ST_LayoutField ParseField(const std::string &key, const std::string &value)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t comma = value.find(',', from);
        parts.push_back(
            Trim(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (parts.size() < 3 || parts.size() > 6)
        Fail(key, "a field is \"name,offset,type[,scale[,add[,unit]]]\"");
    ST_LayoutField f;
    f.Name = parts[0];
    if (f.Name.empty() || f.Name.find_first_of(" \t.") != std::string::npos)
        Fail(key, "a field's name has no blank or \".\"");
    f.Offset = Whole(key, parts[1], 16 * 1024 * 1024);
    ParseType(key, parts[2], f);
    if (parts.size() > 3)
        f.Scale = Real(key, parts[3]);
    if (parts.size() > 4)
        f.Add = Real(key, parts[4]);
    if (parts.size() > 5)
        f.Unit = parts[5];
    return f;
}

uint64_t Raw(const uint8_t *p, size_t width, bool little)
{
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= uint64_t(p[little ? i : width - 1 - i]) << (8 * i);
    return v;
}

double Value(const ST_LayoutField &f, const uint8_t *p)
{
    const size_t width = Width(f.Type);
    uint64_t raw = Raw(p, width, f.LittleEndian);
    if (f.BitCount)
        return double(raw >> f.BitFirst & ((uint64_t(1) << f.BitCount) - 1));
    switch (f.Type) {
    case ELayoutType::I8:
        return double(int8_t(raw));
    case ELayoutType::I16:
        return double(int16_t(raw));
    case ELayoutType::I32:
        return double(int32_t(raw));
    case ELayoutType::F32: {
        const uint32_t bits = uint32_t(raw);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return double(v);
    }
    case ELayoutType::F64: {
        double v;
        std::memcpy(&v, &raw, sizeof v);
        return v;
    }
    default:
        return double(raw);
    }
}

} // namespace

std::vector<ST_Layout> ParseLayouts(const std::vector<std::pair<std::string, std::string>> &keys)
{
    std::vector<ST_Layout> layouts;
    // Fields by their place, each layout's own.
    std::vector<std::vector<std::pair<uint64_t, ST_LayoutField>>> fields;
    for (const auto &[key, value] : keys) {
        if (key.rfind("layout.", 0) != 0)
            continue;
        const size_t dot = key.find('.', 7);
        if (dot == std::string::npos || dot == 7)
            Fail(key, "a layout's key is \"layout.<id>.<what>\"");
        const std::string id = key.substr(7, dot - 7), what = key.substr(dot + 1);
        auto at =
            std::find_if(layouts.begin(), layouts.end(), [&](const ST_Layout &l) { return l.Id == id; });
        if (at == layouts.end()) {
            layouts.push_back({});
            layouts.back().Id = id;
            fields.emplace_back();
            at = layouts.end() - 1;
        }
        ST_Layout &l = *at;
        const std::string v = Trim(value);
        if (what == "when") {
            const size_t colon = v.find(':'), slash = v.find('/');
            if (colon == std::string::npos)
                Fail(key, "a condition is \"offset:byte\" or \"offset:byte/mask\"");
            l.Conditional = true;
            l.WhenOffset = Whole(key, v.substr(0, colon), 16 * 1024 * 1024);
            const std::string byte =
                v.substr(colon + 1, slash == std::string::npos ? std::string::npos : slash - colon - 1);
            l.WhenValue = static_cast<uint8_t>(Whole(key, byte, 0xFF, 16));
            if (slash != std::string::npos)
                l.WhenMask = static_cast<uint8_t>(Whole(key, v.substr(slash + 1), 0xFF, 16));
        } else if (what == "length") {
            l.Length = Whole(key, v, 16 * 1024 * 1024);
        } else if (what == "request") {
            l.Request = static_cast<uint32_t>(Whole(key, v, 0xFFFFFFFF));
        } else if (what == "answers") {
            l.Answers = static_cast<uint32_t>(Whole(key, v, 0xFFFFFFFF));
        } else if (what.rfind("field.", 0) == 0) {
            auto &mine = fields[size_t(at - layouts.begin())];
            if (mine.size() >= kLayoutFieldLimit)
                Fail(key, "more than " + std::to_string(kLayoutFieldLimit) + " fields in one layout");
            mine.emplace_back(Whole(key, what.substr(6), 1000000), ParseField(key, v));
        } else {
            Fail(key, "a layout knows when, length, field.<n>, request and answers");
        }
        if (l.Request && l.Answers)
            Fail(key, "a layout is a request or an answer, not both");
    }
    for (size_t i = 0; i < layouts.size(); ++i) {
        std::stable_sort(fields[i].begin(), fields[i].end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (auto &entry : fields[i])
            layouts[i].Fields.push_back(std::move(entry.second));
    }
    return layouts;
}

CLayoutDecoder::CLayoutDecoder(std::vector<ST_Layout> layouts) : m_layouts(std::move(layouts)) {}

ST_Decoded CLayoutDecoder::Decode(const ST_Frame &frame, const ST_Frame *) const
{
    ST_Decoded out;
    out.Check = frame.Check;
    const std::vector<uint8_t> &bytes = frame.Payload();
    const auto chosen = std::find_if(m_layouts.begin(), m_layouts.end(), [&](const ST_Layout &l) {
        return !l.Conditional || (l.WhenOffset < bytes.size() &&
                                  (bytes[l.WhenOffset] & l.WhenMask) == (l.WhenValue & l.WhenMask));
    });
    if (chosen == m_layouts.end()) {
        out.Summary = "no layout";
        return out;
    }
    const ST_Layout &l = *chosen;
    out.Summary = l.Id;
    if (l.Request) {
        out.Role = EDecodedRole::Request;
        out.Function = l.Request;
    } else if (l.Answers) {
        out.Role = EDecodedRole::Answer;
        out.Function = l.Answers;
    }
    if (l.Length) {
        out.Short = bytes.size() < l.Length;
        out.Long = bytes.size() > l.Length;
    }
    for (const ST_LayoutField &f : l.Fields) {
        const std::string name = l.Id + "." + f.Name;
        if (f.Type == ELayoutType::Text) {
            if (f.Offset >= bytes.size() || bytes.size() - f.Offset < f.Count) {
                out.Short = true;
                continue;
            }
            std::string text(bytes.begin() + long(f.Offset), bytes.begin() + long(f.Offset + f.Count));
            text.erase(text.find_last_not_of('\0') + 1);
            out.Fields.push_back({name, std::nullopt, text, f.Unit});
            out.Summary += " " + f.Name + "=\"" + text + "\"";
            continue;
        }
        const size_t width = Width(f.Type);
        for (size_t i = 0; i < f.Count; ++i) {
            const size_t at = f.Offset + i * width;
            if (at >= bytes.size() || bytes.size() - at < width) {
                out.Short = true;
                break;
            }
            const double v = Value(f, bytes.data() + at) * f.Scale + f.Add;
            const std::string element = f.Array ? name + "." + std::to_string(i) : name;
            out.Fields.push_back({element, v, DecodedNumber(v), f.Unit});
            out.Summary += " " + element.substr(l.Id.size() + 1) + "=" + DecodedNumber(v) + f.Unit;
        }
    }
    return out;
}
