#include "log/capturenames.h"

#include <cstdio>
#include <ctime>
#include <dirent.h>

namespace {

struct ST_Field
{
    const char *name;
    const char *regex;
};

constexpr ST_Field kFields[] = {
    {"{date}", "\\d{4}-\\d{2}-\\d{2}"},
    {"{time}", "\\d{2}-\\d{2}-\\d{2}"},
    {"{seq}", "(\\d+)"},
    {"{link}", nullptr},
    {"{port}", nullptr},
    {"{window}", nullptr},
};

tm LocalFields(int64_t localMs)
{
    // IClock counts local time as if it were UTC, so the UTC breakdown gives the local fields.
    const time_t seconds = static_cast<time_t>((localMs - ((localMs % 1000) + 1000) % 1000) / 1000);
    tm fields{};
    gmtime_r(&seconds, &fields);
    return fields;
}

std::string RegexLiteral(const std::string &text)
{
    static const std::string special = "\\^$.|?*+()[]{}";
    std::string out;
    for (char c : text) {
        if (special.find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// Where "-<seq>" goes in a pattern without {seq}: before the extension of the last part.
size_t ExtensionAt(const std::string &name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.find('}', dot) != std::string::npos)
        return name.size();
    return dot;
}

std::string SeqText(int seq)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", seq);
    return text;
}

} // namespace

std::string CaptureNamePart(const std::string &text)
{
    std::string value = text.rfind("/dev/", 0) == 0 ? text.substr(5) : text;
    static const std::string refused = "/\\:*?\"<>|";
    for (char &c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || refused.find(c) != std::string::npos)
            c = '_';
    for (char &c : value) {
        if (c != '.')
            break;
        c = '_';
    }
    return value.empty() ? "_" : value;
}

std::string LocalDateText(int64_t localMs)
{
    const tm f = LocalFields(localMs);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", f.tm_year + 1900, f.tm_mon + 1, f.tm_mday);
    return text;
}

std::string LocalDateTimeText(int64_t localMs, bool ms)
{
    const tm f = LocalFields(localMs);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.tm_year + 1900, f.tm_mon + 1,
                  f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec);
    std::string out = text;
    if (ms) {
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(((localMs % 1000) + 1000) % 1000));
        out += text;
    }
    return out;
}

CCaptureNames::CCaptureNames(const std::string &pattern, const ST_CaptureNameValues &values)
{
    const size_t slash = pattern.rfind('/');
    m_folder = slash == std::string::npos ? "." : pattern.substr(0, slash == 0 ? 1 : slash);
    m_name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    m_values = {CaptureNamePart(values.link), CaptureNamePart(values.port), CaptureNamePart(values.window)};
    m_hasSeq = m_name.find("{seq}") != std::string::npos;

    auto toRegex = [this](const std::string &name) {
        std::string out;
        for (size_t i = 0; i < name.size();) {
            bool field = false;
            for (const ST_Field &f : kFields) {
                const std::string key = f.name;
                if (name.compare(i, key.size(), key) != 0)
                    continue;
                if (f.regex)
                    out += f.regex;
                else
                    out += RegexLiteral(key == "{link}"   ? m_values.link
                                        : key == "{port}" ? m_values.port
                                                          : m_values.window);
                i += key.size();
                field = true;
                break;
            }
            if (!field)
                out += RegexLiteral(std::string(1, name[i++]));
        }
        return out;
    };
    std::string made = toRegex(m_name);
    if (!m_hasSeq) {
        const size_t ext = ExtensionAt(m_name);
        made = "(?:" + made + "|" + toRegex(m_name.substr(0, ext)) + "-(\\d+)" + toRegex(m_name.substr(ext)) +
               ")";
    }
    m_made = std::regex("^" + made + "(?:\\.gz)?$");
}

std::string CCaptureNames::Path(int64_t localMs, int seq) const
{
    return m_folder + "/" + Render(localMs, SeqText(seq), m_hasSeq || seq > 0);
}

std::string CCaptureNames::Render(int64_t localMs, const std::string &seqText, bool numbered) const
{
    std::string name = m_name;
    if (!m_hasSeq && numbered)
        name.insert(ExtensionAt(name), "-{seq}");
    const tm f = LocalFields(localMs);
    char time[16];
    std::snprintf(time, sizeof time, "%02d-%02d-%02d", f.tm_hour, f.tm_min, f.tm_sec);
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const std::string value = name.compare(i, 6, "{date}") == 0     ? LocalDateText(localMs)
                                  : name.compare(i, 6, "{time}") == 0   ? std::string(time)
                                  : name.compare(i, 5, "{seq}") == 0    ? seqText
                                  : name.compare(i, 6, "{link}") == 0   ? m_values.link
                                  : name.compare(i, 6, "{port}") == 0   ? m_values.port
                                  : name.compare(i, 8, "{window}") == 0 ? m_values.window
                                                                        : std::string();
        if (value.empty()) {
            out += name[i++];
            continue;
        }
        out += value;
        i = name.find('}', i) + 1;
    }
    return out;
}

bool CCaptureNames::NumberedExists(int64_t localMs) const
{
    const std::string marked = Render(localMs, std::string(1, '\x01'), true);
    const size_t at = marked.find('\x01');
    const std::regex numbered("^" + RegexLiteral(marked.substr(0, at)) + "\\d+" +
                              RegexLiteral(marked.substr(at + 1)) + "(?:\\.gz)?$");
    DIR *dir = opendir(m_folder.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent *entry = readdir(dir))
        if (std::regex_match(entry->d_name, numbered)) {
            found = true;
            break;
        }
    closedir(dir);
    return found;
}

std::string CCaptureNames::Key() const
{
    std::string out;
    for (size_t i = 0; i < m_name.size();) {
        const std::string value = m_name.compare(i, 6, "{link}") == 0     ? m_values.link
                                  : m_name.compare(i, 6, "{port}") == 0   ? m_values.port
                                  : m_name.compare(i, 8, "{window}") == 0 ? m_values.window
                                                                          : std::string();
        if (value.empty()) {
            out += m_name[i++];
            continue;
        }
        out += value;
        i = m_name.find('}', i) + 1;
    }
    return out;
}

bool CCaptureNames::Made(const std::string &name, int *seq) const
{
    std::smatch match;
    if (!std::regex_match(name, match, m_made))
        return false;
    if (seq) {
        *seq = 0;
        for (size_t i = 1; i < match.size(); ++i)
            if (match[i].matched) {
                *seq = std::stoi(match[i].str().substr(0, 9));
                break;
            }
    }
    return true;
}

int CCaptureNames::HighestSeq() const
{
    int highest = 0;
    DIR *dir = opendir(m_folder.c_str());
    if (!dir)
        return 0;
    while (const dirent *entry = readdir(dir)) {
        int seq = 0;
        if (Made(entry->d_name, &seq) && seq > highest)
            highest = seq;
    }
    closedir(dir);
    return highest;
}
