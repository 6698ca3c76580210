#include "data/findpattern.h"
#include "data/commdata.h"

#include <algorithm>
#include <cstring>

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ParseHex(const std::string &input, std::string &bytes)
{
    bytes.clear();
    size_t i = 0;
    while (i < input.size()) {
        if (input[i] == ' ' || input[i] == '\t') {
            ++i;
            continue;
        }
        if (i + 1 >= input.size())
            return false;
        const int high = HexValue(input[i]);
        const int low = HexValue(input[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    return true;
}

} // namespace

bool CFindPattern::Set(const std::string &input, bool hex, bool matchCase)
{
    std::string needle;
    if (hex) {
        if (!ParseHex(input, needle))
            return false;
    } else {
        needle = input;
    }
    if (needle.empty())
        return false;
    // Bytes typed in hex mean exactly those bytes.
    m_matchCase = hex || matchCase;
    if (!m_matchCase)
        for (char &c : needle)
            c = Fold(c);
    m_needle = std::move(needle);
    m_hex = hex;
    return true;
}

bool CFindPattern::Equal(const char *data) const
{
    if (m_matchCase)
        return std::memcmp(data, m_needle.data(), m_needle.size()) == 0;
    for (size_t i = 0; i < m_needle.size(); ++i)
        if (Fold(data[i]) != m_needle[i])
            return false;
    return true;
}

size_t CFindPattern::FindNext(const char *data, size_t length, size_t from) const
{
    const size_t n = m_needle.size();
    if (n == 0 || length < n)
        return npos;
    const char first = m_needle[0];
    const bool folds = !m_matchCase && first >= 'a' && first <= 'z';
    const char upper = folds ? static_cast<char>(first - 'a' + 'A') : first;
    for (size_t i = from; i + n <= length;) {
        // memchr skips most of a line in one step; only a letter that folds needs both cases.
        const char *hit = static_cast<const char *>(std::memchr(data + i, first, length - n + 1 - i));
        if (folds) {
            const char *other = static_cast<const char *>(std::memchr(data + i, upper, length - n + 1 - i));
            if (!hit || (other && other < hit))
                hit = other;
        }
        if (!hit)
            return npos;
        const size_t at = static_cast<size_t>(hit - data);
        if (Equal(hit))
            return at;
        i = at + 1;
    }
    return npos;
}

size_t CFindPattern::FindPrevious(const char *data, size_t length, size_t before) const
{
    const size_t n = m_needle.size();
    if (n == 0 || length < n || before == 0)
        return npos;
    size_t i = std::min(before - 1, length - n);
    for (;;) {
        if (Equal(data + i))
            return i;
        if (i == 0)
            return npos;
        --i;
    }
}

std::vector<std::pair<size_t, size_t>> CFindPattern::FindAll(const char *data, size_t length) const
{
    std::vector<std::pair<size_t, size_t>> matches;
    for (size_t at = FindNext(data, length, 0); at != npos; at = FindNext(data, length, at + m_needle.size()))
        matches.emplace_back(at, m_needle.size());
    return matches;
}
