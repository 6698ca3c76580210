#include "data/findpattern.h"
#include "data/commdata.h"

#include <algorithm>
#include <cstring>

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::vector<uint32_t> Borders(const std::string &s)
{
    std::vector<uint32_t> border(s.size(), 0);
    uint32_t k = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        while (k > 0 && s[i] != s[k])
            k = border[k - 1];
        if (s[i] == s[k])
            ++k;
        border[i] = k;
    }
    return border;
}

// Where the needle's first byte occurs from a place on, in both cases for a letter whose case does
// not matter. Each case remembers the place memchr found it last and looks again only once the
// search has passed it, so no byte is scanned twice for the same case.
class CFirstByte
{
public:
    CFirstByte(const char *data, size_t end, char one, char other)
        : m_data(data), m_end(end), m_one(one), m_other(other)
    {
    }

    // The first place at or after `at` (before the end given), or that end.
    size_t From(size_t at)
    {
        if (at >= m_end)
            return m_end;
        const size_t hit = Next(m_one, m_oneAt, at);
        return m_other == m_one ? hit : std::min(hit, Next(m_other, m_otherAt, at));
    }

private:
    size_t Next(char c, size_t &known, size_t at)
    {
        if (known == CFindPattern::npos || known < at) {
            const void *hit = std::memchr(m_data + at, c, m_end - at);
            known = hit ? static_cast<size_t>(static_cast<const char *>(hit) - m_data) : m_end;
        }
        return known;
    }

    const char *m_data;
    size_t m_end;
    char m_one;
    char m_other;
    size_t m_oneAt = CFindPattern::npos;
    size_t m_otherAt = CFindPattern::npos;
};

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
    m_border = Borders(m_needle);
    m_borderBack = Borders(std::string(m_needle.rbegin(), m_needle.rend()));
    m_hex = hex;
    return true;
}

uint8_t CFindPattern::Folded(char c) const
{
    return static_cast<uint8_t>(m_matchCase ? c : Fold(c));
}

size_t CFindPattern::FindNext(const char *data, size_t length, size_t from) const
{
    const size_t n = m_needle.size();
    if (n == 0 || length < n || from > length - n)
        return npos;
    const size_t starts = length - n + 1;
    const char first = m_needle[0];
    const bool folds = !m_matchCase && first >= 'a' && first <= 'z';
    CFirstByte candidates(data, starts, first, folds ? static_cast<char>(first - 'a' + 'A') : first);
    size_t k = 0; // bytes of the needle matched so far
    for (size_t i = from; i < length; ++i) {
        if (k == 0) {
            // Nothing under way: memchr skips to where a match can begin.
            i = candidates.From(i);
            if (i >= starts)
                return npos;
        }
        const uint8_t c = Folded(data[i]);
        while (k > 0 && static_cast<uint8_t>(m_needle[k]) != c)
            k = m_border[k - 1];
        if (static_cast<uint8_t>(m_needle[k]) == c && ++k == n)
            return i + 1 - n;
    }
    return npos;
}

size_t CFindPattern::FindPrevious(const char *data, size_t length, size_t before) const
{
    const size_t n = m_needle.size();
    if (n == 0 || length < n || before == 0)
        return npos;
    // The same search as FindNext, run from the end backwards with the needle read backwards.
    const size_t end = before - 1 >= length - n ? length : before - 1 + n;
    size_t k = 0;
    for (size_t i = end; i > 0; --i) {
        const uint8_t c = Folded(data[i - 1]);
        while (k > 0 && static_cast<uint8_t>(m_needle[n - 1 - k]) != c)
            k = m_borderBack[k - 1];
        if (static_cast<uint8_t>(m_needle[n - 1 - k]) == c && ++k == n)
            return i - 1;
    }
    return npos;
}

std::vector<std::pair<size_t, size_t>> CFindPattern::FindAll(const char *data, size_t length) const
{
    std::vector<std::pair<size_t, size_t>> matches;
    for (size_t at = FindNext(data, length, 0); at != npos; at = FindNext(data, length, at + m_needle.size()))
        matches.emplace_back(at, m_needle.size());
    return matches;
}
