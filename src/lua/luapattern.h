#pragma once
// Lua 5.4's patterns (string.find, match, gmatch, gsub and expect use them) matched by a matcher
// of our own that can be told to give up. Lua's own runs in C without a look at the clock: a
// pattern like "(.-),(.-)\n" over a megabyte of commas without a line end takes hours, and
// neither expect's time-out nor a stop could end it. This one asks its caller every few thousand
// steps whether to go on.
//
// The same patterns and the same answers as Lua's, errors included (with Lua's texts). The
// matcher holds no object with a destructor, so a Lua error raised while it is on the stack (a
// gsub's replacement function that raises) leaves nothing behind.
#include <cstddef>
#include <cstdint>

class CLuaPattern
{
public:
    static constexpr int kMaxCaptures = 32;
    static constexpr ptrdiff_t kPosition = -2;   // a () capture: its place, not its text
    static constexpr ptrdiff_t kUnfinished = -1; // opened, not closed
    struct Capture
    {
        const char *Start;
        ptrdiff_t Len;
    };
    enum class EResult : uint8_t { Matched, NoMatch, Abandoned, Malformed };
    // Asked every few thousand steps; false ends the match as Abandoned.
    using KeepGoing = bool (*)(void *context);

    CLuaPattern(const char *subject, size_t subjectSize, const char *pattern, size_t patternSize,
                KeepGoing keepGoing = nullptr, void *context = nullptr);

    // string.find's search from `init` (0-based, at most the subject's size): the first place the
    // pattern matches, a leading '^' anchoring it at `init`. The match is [*start, *end).
    EResult Find(size_t init, size_t *start, size_t *end);
    // A match starting exactly at `at` of the pattern from its byte `patternFrom` on (gmatch and
    // gsub look at the leading '^' themselves).
    EResult MatchAt(size_t at, size_t patternFrom, size_t *end);

    // The captures of the last match.
    int Captures() const { return m_level; }
    const Capture &CaptureAt(int i) const { return m_capture[i]; }
    const char *Subject() const { return m_src; }
    // The last error, as Lua words it ("malformed pattern (missing ']')").
    const char *Error() const { return m_error; }
    // Steps taken since the matcher was made (the caller is asked once every few thousand).
    uint64_t Steps() const { return m_steps; }
    // The pattern has none of the bytes that make it more than plain text.
    static bool IsPlain(const char *pattern, size_t size);

private:
    struct Stop
    {
    };
    [[noreturn]] void Raise(const char *text, int index = -1);
    void Step();
    char At(const char *p) const { return p < m_pEnd ? *p : '\0'; }
    const char *ClassEnd(const char *p);
    static bool MatchClass(int c, int cl);
    bool MatchBracketClass(int c, const char *p, const char *ec) const;
    bool SingleMatch(const char *s, const char *p, const char *ep) const;
    const char *Match(const char *s, const char *p);
    const char *MaxExpand(const char *s, const char *p, const char *ep);
    const char *MinExpand(const char *s, const char *p, const char *ep);
    const char *StartCapture(const char *s, const char *p, ptrdiff_t what);
    const char *EndCapture(const char *s, const char *p);
    const char *MatchCapture(const char *s, int l);
    const char *MatchBalance(const char *s, const char *p);
    EResult Guarded(const char *s, const char *p, const char **end);

    const char *m_src, *m_srcEnd, *m_pat, *m_pEnd;
    KeepGoing m_keepGoing;
    void *m_context;
    int m_level = 0;
    int m_depth = 0;
    uint64_t m_steps = 0;
    Capture m_capture[kMaxCaptures] = {};
    char m_error[64] = {};
};
