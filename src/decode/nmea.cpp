#include "decode/nmea.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A field's name and unit. A position's name takes the hemisphere after it as its sign; an empty
// name is a field only the one before it needs (a unit letter, a hemisphere).
struct ST_NamedField
{
    const char *Name;
    const char *Unit;
};

struct ST_Sentence
{
    const char *Type;
    std::vector<ST_NamedField> Fields;
    size_t Required; // fields a talker of the oldest version sends; the rest came later
};

const std::vector<ST_Sentence> &Sentences()
{
    static const std::vector<ST_Sentence> sentences{
        {"GGA",
         {{"time", "s"},
          {"lat", "deg"},
          {"", ""},
          {"lon", "deg"},
          {"", ""},
          {"quality", ""},
          {"sats", ""},
          {"hdop", ""},
          {"alt", "m"},
          {"", ""},
          {"geoid", "m"},
          {"", ""},
          {"dgps_age", "s"},
          {"dgps_station", ""}},
         14},
        {"RMC",
         {{"time", "s"},
          {"status", ""},
          {"lat", "deg"},
          {"", ""},
          {"lon", "deg"},
          {"", ""},
          {"speed", "kn"},
          {"course", "deg"},
          {"date", ""},
          {"magvar", "deg"},
          {"", ""},
          {"mode", ""},
          {"nav_status", ""}},
         11},
        {"VTG",
         {{"course", "deg"},
          {"", ""},
          {"course_mag", "deg"},
          {"", ""},
          {"speed", "kn"},
          {"", ""},
          {"speed_kmh", "km/h"},
          {"", ""},
          {"mode", ""}},
         8},
        {"GSA",
         {{"mode", ""},
          {"fix", ""},
          {"sv1", ""},
          {"sv2", ""},
          {"sv3", ""},
          {"sv4", ""},
          {"sv5", ""},
          {"sv6", ""},
          {"sv7", ""},
          {"sv8", ""},
          {"sv9", ""},
          {"sv10", ""},
          {"sv11", ""},
          {"sv12", ""},
          {"pdop", ""},
          {"hdop", ""},
          {"vdop", ""},
          {"system", ""}},
         17},
        {"GLL",
         {{"lat", "deg"}, {"", ""}, {"lon", "deg"}, {"", ""}, {"time", "s"}, {"status", ""}, {"mode", ""}},
         6},
        {"ZDA",
         {{"time", "s"},
          {"day", ""},
          {"month", ""},
          {"year", ""},
          {"zone_hours", "h"},
          {"zone_minutes", "min"}},
         6},
    };
    return sentences;
}

std::optional<double> Number(const std::string &text)
{
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || text[0] == ' ')
        return std::nullopt;
    return v;
}

// ddmm.mmmm or dddmm.mmmm in degrees.
std::optional<double> Degrees(const std::string &text, const std::string &hemisphere)
{
    const auto v = Number(text);
    if (!v || *v < 0)
        return std::nullopt;
    const double whole = std::floor(*v / 100);
    const double degrees = whole + (*v - whole * 100) / 60;
    return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

// hhmmss.ss in seconds of the day.
std::optional<double> DayTime(const std::string &text)
{
    const auto v = Number(text);
    if (!v || *v < 0 || text.size() < 6)
        return std::nullopt;
    const double hours = std::floor(*v / 10000), minutes = std::floor((*v - hours * 10000) / 100);
    return hours * 3600 + minutes * 60 + (*v - hours * 10000 - minutes * 100);
}

bool Armoured(char c)
{
    return (c >= '0' && c <= 'W') || (c >= '`' && c <= 'w');
}

void Ais(const std::vector<std::string> &parts, const std::string &type, ST_Decoded &out)
{
    static const char *const names[] = {"fragments", "fragment", "sequence",
                                        "channel",   "payload",  "fill_bits"};
    for (size_t i = 1; i < parts.size() && i <= 6; ++i) {
        const std::string &text = parts[i];
        out.Fields.push_back({type + "." + names[i - 1], i == 5 ? std::nullopt : Number(text), text, {}});
    }
    if (parts.size() < 7) {
        out.Short = true;
    } else {
        if (parts.size() > 7)
            out.Long = true;
        for (char c : parts[5])
            if (!Armoured(c))
                out.Malformed = true;
        const auto fill = Number(parts[6]);
        if (!fill || *fill < 0 || *fill > 5 || *fill != std::floor(*fill))
            out.Malformed = true;
        out.Summary += " fragment " + parts[2] + " of " + parts[1] + " channel " + parts[4] + " payload " +
                       parts[5] + " fill " + parts[6];
    }
}

} // namespace

ST_Decoded CNmeaDecoder::Decode(const ST_Frame &frame, const ST_Frame *) const
{
    ST_Decoded out;
    out.Check = frame.Check;
    const std::vector<uint8_t> &bytes = frame.Payload();
    size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n'))
        --end;
    std::string text(bytes.begin(), bytes.begin() + long(end));
    if (text.empty() || (text[0] != '$' && text[0] != '!')) {
        out.Malformed = true;
        out.Summary = "no sentence";
        return out;
    }
    const size_t star = text.find('*');
    if (star != std::string::npos) {
        if (text.size() != star + 3)
            out.Malformed = true;
        text.resize(star);
    }
    for (char c : text)
        if (c < 0x20 || c > 0x7E)
            out.Malformed = true;

    std::vector<std::string> parts;
    size_t from = 1;
    for (;;) {
        const size_t comma = text.find(',', from);
        parts.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    const std::string &address = parts[0];
    // Proprietary sentences carry "P" and the maker's code where a talker would be.
    const size_t talkerSize = !address.empty() && address[0] == 'P' ? 1 : std::min<size_t>(2, address.size());
    const std::string talker = address.substr(0, talkerSize), type = address.substr(talkerSize);
    if (type.empty())
        out.Malformed = true;
    out.Fields.push_back({"talker", std::nullopt, talker, {}});
    out.Fields.push_back({"sentence", std::nullopt, type, {}});
    out.Summary = talker + " " + type;

    if (text[0] == '!' && (type == "VDM" || type == "VDO")) {
        Ais(parts, type, out);
        return out;
    }
    const ST_Sentence *known = nullptr;
    for (const ST_Sentence &s : Sentences())
        if (type == s.Type)
            known = &s;
    const size_t values = parts.size() - 1;
    if (type == "GSV") {
        // The message's count and number and the satellites in view, then four fields a satellite.
        static const char *const head[] = {"messages", "message", "in_view"};
        static const char *const sat[] = {"prn", "elevation", "azimuth", "snr"};
        static const char *const units[] = {"", "deg", "deg", "dB"};
        for (size_t i = 1; i < parts.size(); ++i) {
            const size_t n = i - 1;
            std::string name, unit;
            const bool signal = n >= 3 && (n - 3) % 4 == 0 && i + 1 == parts.size();
            if (n < 3) {
                name = head[n];
            } else if (signal) {
                // A signal id (NMEA 4.1) after the last satellite.
                name = "signal";
            } else if (n < 19) {
                name = "sat" + std::to_string((n - 3) / 4 + 1) + "." + sat[(n - 3) % 4];
                unit = units[(n - 3) % 4];
            } else {
                name = std::to_string(i);
            }
            out.Fields.push_back({"GSV." + name, Number(parts[i]), parts[i], unit});
        }
        // A satellite's four fields are whole, or the signal id ends them.
        if (values < 3 || (values - 3) % 4 > 1)
            out.Short = true;
        if (values > 20)
            out.Long = true;
        return out;
    }
    if (!known) {
        for (size_t i = 1; i < parts.size(); ++i)
            out.Fields.push_back({type + "." + std::to_string(i), Number(parts[i]), parts[i], {}});
        return out;
    }
    if (values < known->Required)
        out.Short = true;
    if (values > known->Fields.size())
        out.Long = true;
    for (size_t i = 1; i < parts.size() && i <= known->Fields.size(); ++i) {
        const ST_NamedField &f = known->Fields[i - 1];
        if (!*f.Name)
            continue;
        const std::string name = std::string(f.Name);
        std::optional<double> value;
        std::string shown = parts[i];
        if (name == "lat" || name == "lon") {
            const std::string hemisphere = i + 1 < parts.size() ? parts[i + 1] : "";
            value = Degrees(parts[i], hemisphere);
            shown += hemisphere.empty() ? "" : " " + hemisphere;
        } else if (name == "time") {
            value = DayTime(parts[i]);
        } else if (name == "magvar") {
            value = Number(parts[i]);
            if (value && i + 1 < parts.size() && parts[i + 1] == "W")
                value = -*value;
        } else {
            value = Number(parts[i]);
        }
        out.Fields.push_back({type + "." + name, value, shown, f.Unit});
        if (value && (name == "alt" || name == "speed" || name == "lat" || name == "lon"))
            out.Summary += " " + name + " " + DecodedNumber(*value) + (*f.Unit ? " " : "") + f.Unit;
    }
    return out;
}
