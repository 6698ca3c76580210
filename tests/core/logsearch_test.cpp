// The pure parts behind the log's find bar and its finer time stamps.
#include "data/findpattern.h"
#include "platform/logstamp.h"

#include <cctype>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace {

using Matches = std::vector<std::pair<size_t, size_t>>;

size_t Next(const CFindPattern &p, const std::string &s, size_t from = 0)
{
    return p.FindNext(s.data(), s.size(), from);
}

size_t Previous(const CFindPattern &p, const std::string &s, size_t before)
{
    return p.FindPrevious(s.data(), s.size(), before);
}

// The pattern tried at every place in turn, the reference for the searches that never step back.
bool MatchesAt(const std::string &text, size_t at, const std::string &needle, bool matchCase)
{
    const auto fold = [matchCase](unsigned char c) { return matchCase || c >= 0x80 ? c : std::tolower(c); };
    for (size_t j = 0; j < needle.size(); ++j)
        if (fold(static_cast<unsigned char>(text[at + j])) != fold(static_cast<unsigned char>(needle[j])))
            return false;
    return true;
}

} // namespace

TEST(FindPattern, TextWithAndWithoutLetterCase)
{
    CFindPattern p;
    ASSERT_TRUE(p.Set("Ok", false, true));
    EXPECT_EQ(Next(p, "OK ok Ok"), 6u);
    EXPECT_EQ(Next(p, "Ok", 1), CFindPattern::npos);
    ASSERT_TRUE(p.Set("Ok", false, false));
    EXPECT_EQ(Next(p, "xoK"), 1u);
    EXPECT_EQ(p.FindAll("OK ok Ok", 8), (Matches{{0, 2}, {3, 2}, {6, 2}}));
    // Only ASCII letters fold: Latin-1 letters above 0x7F are matched as they are.
    ASSERT_TRUE(p.Set("\xE9", false, false));
    EXPECT_EQ(Next(p, "\xC9"), CFindPattern::npos);
    // Matches do not overlap, and one at the very end is found.
    ASSERT_TRUE(p.Set("aa", false, true));
    EXPECT_EQ(p.FindAll("aaaa", 4), (Matches{{0, 2}, {2, 2}}));
    EXPECT_EQ(Next(p, "xaa"), 1u);
    EXPECT_EQ(Next(p, "a"), CFindPattern::npos);
}

TEST(FindPattern, HexBytesAndBadInput)
{
    CFindPattern p;
    ASSERT_TRUE(p.Set("0d 0A", true, false));
    EXPECT_EQ(p.Needle(), "\r\n");
    EXPECT_EQ(Next(p, std::string("\0ab\r\n", 5)), 3u) << "a NUL before the match does not end the search";
    ASSERT_TRUE(p.Set("41", true, false));
    EXPECT_EQ(Next(p, "aA"), 1u) << "hex bytes are exact, whatever the case option";
    // Input that is no pattern leaves the old one in force.
    for (const char *bad : {"4", "4G", "0D0", "", "  "})
        EXPECT_FALSE(p.Set(bad, true, false)) << bad;
    EXPECT_FALSE(p.Set("", false, false));
    EXPECT_EQ(p.Needle(), "A");
}

TEST(FindPattern, PreviousLooksBeforeThePosition)
{
    CFindPattern p;
    ASSERT_TRUE(p.Set("ab", false, true));
    const std::string s = "ab_ab_ab";
    EXPECT_EQ(Previous(p, s, s.size() + 1), 6u);
    EXPECT_EQ(Previous(p, s, 6), 3u);
    EXPECT_EQ(Previous(p, s, 1), 0u);
    EXPECT_EQ(Previous(p, s, 0), CFindPattern::npos);
    EXPECT_EQ(Previous(p, "a", 1), CFindPattern::npos);
}

TEST(FindPattern, AgreesWithTryingEveryPlaceForEveryOption)
{
    // Few letters make repeats inside the pattern (where a search that never steps back goes
    // wrong first), both cases of one letter, and bytes that have no case.
    const std::string letters = "aAbB\xC9\xE9\r";
    std::mt19937 random(17);
    const auto pick = [&](size_t count, size_t alphabet) {
        std::string out;
        for (size_t i = 0; i < count; ++i)
            out += letters[random() % alphabet];
        return out;
    };
    for (int round = 0; round < 3000; ++round) {
        const size_t alphabet = 2 + random() % (letters.size() - 1);
        const std::string text = pick(random() % 40, alphabet);
        const std::string needle = pick(1 + random() % 6, alphabet);
        const int option = round % 3; // with case, without, hex bytes
        std::string input = needle;
        if (option == 2) {
            input.clear();
            for (unsigned char c : needle) {
                char pair[4];
                std::snprintf(pair, sizeof pair, "%02x ", c);
                input += pair;
            }
        }
        const bool matchCase = option != 1;
        CFindPattern p;
        ASSERT_TRUE(p.Set(input, option == 2, option == 0));
        SCOPED_TRACE("text \"" + text + "\" pattern \"" + input + "\" option " + std::to_string(option));
        const size_t n = needle.size();
        for (size_t from = 0; from <= text.size() + 1; ++from) {
            size_t expected = CFindPattern::npos;
            for (size_t at = from; at + n <= text.size() && expected == CFindPattern::npos; ++at)
                if (MatchesAt(text, at, needle, matchCase))
                    expected = at;
            ASSERT_EQ(Next(p, text, from), expected) << "from " << from;
        }
        for (size_t before = 0; before <= text.size() + 1; ++before) {
            size_t expected = CFindPattern::npos;
            for (size_t at = 0; at < before && at + n <= text.size(); ++at)
                if (MatchesAt(text, at, needle, matchCase))
                    expected = at;
            ASSERT_EQ(Previous(p, text, before), expected) << "before " << before;
        }
    }
}

TEST(LogStamp, MillisecondsAndTheTimeSinceThePreviousLine)
{
    EXPECT_EQ(TimeOfDayMsText(0), "00:00:00.000");
    EXPECT_EQ(TimeOfDayMsText(((13 * 60 + 5) * 60 + 9) * 1000LL + 7), "13:05:09.007");
    EXPECT_EQ(TimeOfDayMsText(86'399'999), "23:59:59.999");
    EXPECT_EQ(TimeOfDayMsText(86'400'001), "00:00:00.001");
    EXPECT_EQ(TimeOfDayMsText(-1), "23:59:59.999");

    EXPECT_EQ(SincePreviousText(45), "+0.045");
    EXPECT_EQ(SincePreviousText(125'300), "+125.300");
    EXPECT_EQ(SincePreviousText(-20), "+0.000");

    EXPECT_EQ(JoinStamp("12:00:00.000", "+0.045"), "12:00:00.000 +0.045");
    EXPECT_EQ(JoinStamp("", "+0.045"), "+0.045");
    EXPECT_EQ(JoinStamp("12:00:00", ""), "12:00:00");
}
