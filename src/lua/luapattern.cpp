#include "lua/luapattern.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kEsc = '%';
constexpr int kMaxDepth = 200; // Lua's MAXCCALLS for patterns
constexpr uint64_t kCheckEvery = 4096;

} // namespace

CLuaPattern::CLuaPattern(const char *subject, size_t subjectSize, const char *pattern, size_t patternSize,
                         KeepGoing keepGoing, void *context)
    : m_src(subject), m_srcEnd(subject + subjectSize), m_pat(pattern), m_pEnd(pattern + patternSize),
      m_keepGoing(keepGoing), m_context(context)
{
}

bool CLuaPattern::IsPlain(const char *pattern, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (std::strchr("^$*+?.([%-", pattern[i]) && pattern[i] != '\0')
            return false;
    return true;
}

void CLuaPattern::Raise(const char *text, int index)
{
    if (index >= 0)
        std::snprintf(m_error, sizeof m_error, text, index);
    else
        std::snprintf(m_error, sizeof m_error, "%s", text);
    throw Stop{};
}

void CLuaPattern::Step()
{
    if (++m_steps % kCheckEvery == 0 && m_keepGoing && !m_keepGoing(m_context)) {
        m_error[0] = '\0';
        throw Stop{};
    }
}

const char *CLuaPattern::ClassEnd(const char *p)
{
    const char c = *p++;
    if (c == kEsc) {
        if (p >= m_pEnd)
            Raise("malformed pattern (ends with '%')");
        return p + 1;
    }
    if (c == '[') {
        if (At(p) == '^')
            ++p;
        do {
            if (p >= m_pEnd)
                Raise("malformed pattern (missing ']')");
            if (*(p++) == kEsc && p < m_pEnd)
                ++p;
        } while (At(p) != ']');
        return p + 1;
    }
    return p;
}

bool CLuaPattern::MatchClass(int c, int cl)
{
    bool res;
    switch (std::tolower(cl)) {
    case 'a':
        res = std::isalpha(c);
        break;
    case 'c':
        res = std::iscntrl(c);
        break;
    case 'd':
        res = std::isdigit(c);
        break;
    case 'g':
        res = std::isgraph(c);
        break;
    case 'l':
        res = std::islower(c);
        break;
    case 'p':
        res = std::ispunct(c);
        break;
    case 's':
        res = std::isspace(c);
        break;
    case 'u':
        res = std::isupper(c);
        break;
    case 'w':
        res = std::isalnum(c);
        break;
    case 'x':
        res = std::isxdigit(c);
        break;
    case 'z': // the zero byte; Lua keeps it though it no longer documents it
        res = c == 0;
        break;
    default:
        return cl == c;
    }
    return std::isupper(cl) ? !res : res;
}

// `p` at the '[', `ec` at its ']'.
bool CLuaPattern::MatchBracketClass(int c, const char *p, const char *ec) const
{
    bool sig = true;
    if (At(p + 1) == '^') {
        sig = false;
        ++p;
    }
    while (++p < ec) {
        if (*p == kEsc) {
            ++p;
            if (MatchClass(c, static_cast<unsigned char>(At(p))))
                return sig;
        } else if (At(p + 1) == '-' && p + 2 < ec) {
            p += 2;
            if (static_cast<unsigned char>(*(p - 2)) <= c && c <= static_cast<unsigned char>(*p))
                return sig;
        } else if (static_cast<unsigned char>(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

bool CLuaPattern::SingleMatch(const char *s, const char *p, const char *ep) const
{
    if (s >= m_srcEnd)
        return false;
    const int c = static_cast<unsigned char>(*s);
    switch (*p) {
    case '.':
        return true;
    case kEsc:
        return MatchClass(c, static_cast<unsigned char>(At(p + 1)));
    case '[':
        return MatchBracketClass(c, p, ep - 1);
    default:
        return static_cast<unsigned char>(*p) == c;
    }
}

const char *CLuaPattern::MatchBalance(const char *s, const char *p)
{
    if (p + 1 >= m_pEnd)
        Raise("malformed pattern (missing arguments to '%b')");
    if (s >= m_srcEnd || *s != *p)
        return nullptr;
    const char b = *p, e = p[1];
    int cont = 1;
    while (++s < m_srcEnd) {
        Step();
        if (*s == e) {
            if (--cont == 0)
                return s + 1;
        } else if (*s == b) {
            ++cont;
        }
    }
    return nullptr;
}

const char *CLuaPattern::MaxExpand(const char *s, const char *p, const char *ep)
{
    ptrdiff_t i = 0;
    while (SingleMatch(s + i, p, ep)) {
        Step();
        ++i;
    }
    for (; i >= 0; --i) {
        if (const char *res = Match(s + i, ep + 1))
            return res;
    }
    return nullptr;
}

const char *CLuaPattern::MinExpand(const char *s, const char *p, const char *ep)
{
    for (;;) {
        if (const char *res = Match(s, ep + 1))
            return res;
        if (!SingleMatch(s, p, ep))
            return nullptr;
        ++s;
    }
}

const char *CLuaPattern::StartCapture(const char *s, const char *p, ptrdiff_t what)
{
    if (m_level >= kMaxCaptures)
        Raise("too many captures");
    m_capture[m_level].Start = s;
    m_capture[m_level].Len = what;
    ++m_level;
    const char *res = Match(s, p);
    if (!res)
        --m_level;
    return res;
}

const char *CLuaPattern::EndCapture(const char *s, const char *p)
{
    int l = -1;
    for (int i = m_level - 1; i >= 0; --i)
        if (m_capture[i].Len == kUnfinished) {
            l = i;
            break;
        }
    if (l < 0)
        Raise("invalid pattern capture");
    m_capture[l].Len = s - m_capture[l].Start;
    const char *res = Match(s, p);
    if (!res)
        m_capture[l].Len = kUnfinished;
    return res;
}

const char *CLuaPattern::MatchCapture(const char *s, int l)
{
    l -= '1';
    if (l < 0 || l >= m_level || m_capture[l].Len == kUnfinished)
        Raise("invalid capture index %%%d", l + 1);
    const ptrdiff_t len = m_capture[l].Len;
    if (len >= 0 && m_srcEnd - s >= len && std::memcmp(m_capture[l].Start, s, static_cast<size_t>(len)) == 0)
        return s + len;
    return nullptr;
}

const char *CLuaPattern::Match(const char *s, const char *p)
{
    Step();
    if (m_depth >= kMaxDepth)
        Raise("pattern too complex");
    struct Depth
    {
        int &d;
        explicit Depth(int &depth) : d(depth) { ++d; }
        ~Depth() { --d; }
    } depth(m_depth);
    for (;;) {
        if (p >= m_pEnd)
            return s;
        switch (*p) {
        case '(':
            if (At(p + 1) == ')')
                return StartCapture(s, p + 2, kPosition);
            return StartCapture(s, p + 1, kUnfinished);
        case ')':
            return EndCapture(s, p + 1);
        case '$':
            if (p + 1 == m_pEnd)
                return s == m_srcEnd ? s : nullptr;
            break;
        case kEsc:
            switch (At(p + 1)) {
            case 'b':
                s = MatchBalance(s, p + 2);
                if (!s)
                    return nullptr;
                p += 4;
                continue;
            case 'f': {
                p += 2;
                if (At(p) != '[')
                    Raise("missing '[' after '%f' in pattern");
                const char *ep = ClassEnd(p);
                const int prev = s == m_src ? 0 : static_cast<unsigned char>(*(s - 1));
                const int cur = s < m_srcEnd ? static_cast<unsigned char>(*s) : 0;
                if (!MatchBracketClass(prev, p, ep - 1) && MatchBracketClass(cur, p, ep - 1)) {
                    p = ep;
                    continue;
                }
                return nullptr;
            }
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9':
                s = MatchCapture(s, static_cast<unsigned char>(p[1]));
                if (!s)
                    return nullptr;
                p += 2;
                continue;
            default:
                break;
            }
            break;
        default:
            break;
        }
        const char *ep = ClassEnd(p);
        const char q = At(ep);
        if (!SingleMatch(s, p, ep)) {
            if (q == '*' || q == '?' || q == '-') {
                p = ep + 1;
                continue;
            }
            return nullptr;
        }
        switch (q) {
        case '?': {
            if (const char *res = Match(s + 1, ep + 1))
                return res;
            p = ep + 1;
            continue;
        }
        case '+':
            return MaxExpand(s + 1, p, ep);
        case '*':
            return MaxExpand(s, p, ep);
        case '-':
            return MinExpand(s, p, ep);
        default:
            ++s;
            p = ep;
            continue;
        }
    }
}

CLuaPattern::EResult CLuaPattern::Guarded(const char *s, const char *p, const char **end)
{
    m_level = 0;
    m_depth = 0;
    try {
        *end = Match(s, p);
    } catch (const Stop &) {
        m_level = 0;
        return m_error[0] ? EResult::Malformed : EResult::Abandoned;
    }
    return *end ? EResult::Matched : EResult::NoMatch;
}

CLuaPattern::EResult CLuaPattern::MatchAt(size_t at, size_t patternFrom, size_t *end)
{
    m_error[0] = '\0';
    const char *e = nullptr;
    const EResult result = Guarded(m_src + at, m_pat + patternFrom, &e);
    if (result == EResult::Matched)
        *end = static_cast<size_t>(e - m_src);
    return result;
}

CLuaPattern::EResult CLuaPattern::Find(size_t init, size_t *start, size_t *end)
{
    m_error[0] = '\0';
    const size_t size = static_cast<size_t>(m_srcEnd - m_src);
    if (init > size)
        return EResult::NoMatch;
    const bool anchor = m_pat < m_pEnd && *m_pat == '^';
    const char *p = m_pat + (anchor ? 1 : 0);
    const char *s = m_src + init;
    do {
        const char *e = nullptr;
        const EResult result = Guarded(s, p, &e);
        if (result == EResult::Matched) {
            *start = static_cast<size_t>(s - m_src);
            *end = static_cast<size_t>(e - m_src);
            return result;
        }
        if (result != EResult::NoMatch)
            return result;
    } while (s++ < m_srcEnd && !anchor);
    return EResult::NoMatch;
}
