#include "data/commatext.h"

#include <algorithm>

namespace {

inline bool IsBlank(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x01 && u <= 0x20;
}

} // namespace

std::vector<std::string> SplitCommaText(const std::string &text)
{
    std::vector<std::string> fields;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && IsBlank(text[i]))
        ++i;
    while (i < n) {
        std::string field;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            const size_t start = i;
            while (i < n && !IsBlank(text[i]) && text[i] != ',')
                ++i;
            field.assign(text, start, i - start);
        }
        fields.push_back(std::move(field));
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i < n && text[i] == ',') {
            ++i;
            while (i < n && IsBlank(text[i]))
                ++i;
        }
    }
    return fields;
}

std::string QuoteField(const std::string &value)
{
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string QuoteFieldIfNeeded(const std::string &value)
{
    const bool bare = (value.empty() || value[0] != '"') &&
                      std::none_of(value.begin(), value.end(), [](char c) { return c == ',' || IsBlank(c); });
    return bare ? value : QuoteField(value);
}
