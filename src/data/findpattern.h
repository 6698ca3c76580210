#pragma once
// What the log's find bar looks for: a text, matched with or without letter case, or a sequence
// of bytes typed in hex. Letter case folds ASCII letters only, as the log shows 8-bit text.
//
// Every search runs in time linear in the bytes it looks at, whatever the pattern: a log line can
// be tens of thousands of characters of hex, and trying the pattern afresh at each place its first
// letter occurs would take time in the square of that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CFindPattern
{
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Hex input is pairs of hex digits, blanks allowed between pairs ("0D0A", "0d 0a"). False,
    // pattern unchanged, for hex that does not convert or for empty input.
    bool Set(const std::string &input, bool hex, bool matchCase);
    bool IsEmpty() const { return m_needle.empty(); }
    bool IsHex() const { return m_hex; }
    // The bytes looked for (case-folded when the case does not matter).
    const std::string &Needle() const { return m_needle; }

    // Position of the first match at or after `from`, or npos.
    size_t FindNext(const char *data, size_t length, size_t from = 0) const;
    // Position of the last match that starts before `before`, or npos.
    size_t FindPrevious(const char *data, size_t length, size_t before) const;
    // Every non-overlapping match as (position, length).
    std::vector<std::pair<size_t, size_t>> FindAll(const char *data, size_t length) const;

private:
    uint8_t Folded(char c) const;

    std::string m_needle;
    // For each prefix of the needle (forwards), and of the needle read backwards, the length of
    // its longest proper prefix that is also its suffix: after a mismatch the search goes on from
    // there instead of stepping back in the text.
    std::vector<uint32_t> m_border;
    std::vector<uint32_t> m_borderBack;
    bool m_hex = false;
    bool m_matchCase = true;
};
