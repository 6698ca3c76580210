#include "frame/delimiter.h"

#include "data/commdata.h"

#include <stdexcept>

std::vector<uint8_t> DelimiterFromText(const std::string &text)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(static_cast<uint8_t>(text[i]));
            continue;
        }
        if (++i == text.size())
            throw std::invalid_argument("delimiter ends in a backslash");
        switch (text[i]) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '0':
            out.push_back(0);
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x': {
            const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                throw std::invalid_argument("\\x needs two hex digits");
            out.push_back(static_cast<uint8_t>(high << 4 | low));
            i += 2;
            break;
        }
        default:
            throw std::invalid_argument(std::string("unknown escape \\") + text[i]);
        }
    }
    if (out.empty())
        throw std::invalid_argument("empty delimiter");
    return out;
}

std::vector<uint8_t> DelimiterFromHex(const std::string &text)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ',' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))
            i += 2;
        const int high = i < text.size() ? HexValue(text[i]) : -1;
        const int low = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            throw std::invalid_argument("bad hex byte in \"" + text + "\"");
        out.push_back(static_cast<uint8_t>(high << 4 | low));
        i += 2;
    }
    if (out.empty())
        throw std::invalid_argument("empty delimiter");
    return out;
}
