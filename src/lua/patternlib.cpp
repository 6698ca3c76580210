#include "lua/patternlib.h"

#include <lua.hpp>

#include <cctype>
#include <cstring>
#include <string_view>

// Lua raises its errors by longjmp: nothing here that may be alive across a call into Lua has a
// destructor (the matcher has none).

namespace {

const ST_PatternHooks &Hooks(lua_State *L)
{
    return *static_cast<const ST_PatternHooks *>(lua_touserdata(L, lua_upvalueindex(1)));
}

CLuaPattern Matcher(lua_State *L, const char *s, size_t ls, const char *p, size_t lp)
{
    const ST_PatternHooks &h = Hooks(L);
    return CLuaPattern(s, ls, p, lp, h.KeepGoing, h.Context);
}

// Raises the matcher's error, or the stop when it gave up; returns only for a match or none.
bool Settle(lua_State *L, const CLuaPattern &m, CLuaPattern::EResult result)
{
    if (result == CLuaPattern::EResult::Abandoned) {
        Hooks(L).Abandoned(L);
        luaL_error(L, "the pattern was abandoned");
    }
    if (result == CLuaPattern::EResult::Malformed)
        luaL_error(L, "%s", m.Error());
    return result == CLuaPattern::EResult::Matched;
}

size_t StartIndex(lua_Integer pos, size_t len)
{
    if (pos > 0)
        return static_cast<size_t>(pos);
    if (pos == 0)
        return 1;
    if (pos < -static_cast<lua_Integer>(len))
        return 1;
    return static_cast<size_t>(static_cast<lua_Integer>(len) + pos + 1);
}

void PushOneCapture(lua_State *L, const CLuaPattern &m, int i, const char *s, const char *e)
{
    if (i >= m.Captures()) {
        if (i != 0)
            luaL_error(L, "invalid capture index %%%d", i + 1);
        lua_pushlstring(L, s, static_cast<size_t>(e - s));
        return;
    }
    const CLuaPattern::Capture &c = m.CaptureAt(i);
    if (c.Len == CLuaPattern::kUnfinished)
        luaL_error(L, "unfinished capture");
    if (c.Len == CLuaPattern::kPosition)
        lua_pushinteger(L, static_cast<lua_Integer>(c.Start - m.Subject()) + 1);
    else
        lua_pushlstring(L, c.Start, static_cast<size_t>(c.Len));
}

// The captures, or the whole match when there are none and `s` is given.
int PushCaptures(lua_State *L, const CLuaPattern &m, const char *s, const char *e)
{
    const int n = m.Captures() == 0 && s ? 1 : m.Captures();
    luaL_checkstack(L, n, "too many captures");
    for (int i = 0; i < n; ++i)
        PushOneCapture(L, m, i, s, e);
    return n;
}

int FindAux(lua_State *L, bool find)
{
    size_t ls = 0, lp = 0;
    const char *s = luaL_checklstring(L, 1, &ls);
    const char *p = luaL_checklstring(L, 2, &lp);
    const size_t init = StartIndex(luaL_optinteger(L, 3, 1), ls) - 1;
    if (init > ls) {
        luaL_pushfail(L);
        return 1;
    }
    if (find && (lua_toboolean(L, 4) || CLuaPattern::IsPlain(p, lp))) {
        const size_t at = std::string_view(s, ls).find(std::string_view(p, lp), init);
        if (at == std::string_view::npos) {
            luaL_pushfail(L);
            return 1;
        }
        lua_pushinteger(L, static_cast<lua_Integer>(at) + 1);
        lua_pushinteger(L, static_cast<lua_Integer>(at + lp));
        return 2;
    }
    CLuaPattern m = Matcher(L, s, ls, p, lp);
    size_t start = 0, end = 0;
    if (!Settle(L, m, m.Find(init, &start, &end))) {
        luaL_pushfail(L);
        return 1;
    }
    if (find) {
        lua_pushinteger(L, static_cast<lua_Integer>(start) + 1);
        lua_pushinteger(L, static_cast<lua_Integer>(end));
        return PushCaptures(L, m, nullptr, nullptr) + 2;
    }
    return PushCaptures(L, m, s + start, s + end);
}

int Find(lua_State *L)
{
    return FindAux(L, true);
}

int Match(lua_State *L)
{
    return FindAux(L, false);
}

struct ST_GmatchState
{
    size_t Src;
    size_t LastMatch; // SIZE_MAX for none yet
};

int GmatchNext(lua_State *L)
{
    size_t ls = 0, lp = 0;
    const char *s = lua_tolstring(L, lua_upvalueindex(2), &ls);
    const char *p = lua_tolstring(L, lua_upvalueindex(3), &lp);
    auto *state = static_cast<ST_GmatchState *>(lua_touserdata(L, lua_upvalueindex(4)));
    CLuaPattern m = Matcher(L, s, ls, p, lp);
    for (size_t src = state->Src; src <= ls; ++src) {
        size_t e = 0;
        if (Settle(L, m, m.MatchAt(src, 0, &e)) && e != state->LastMatch) {
            state->Src = state->LastMatch = e;
            return PushCaptures(L, m, s + src, s + e);
        }
    }
    return 0;
}

int Gmatch(lua_State *L)
{
    size_t ls = 0;
    luaL_checklstring(L, 1, &ls);
    luaL_checkstring(L, 2);
    size_t init = StartIndex(luaL_optinteger(L, 3, 1), ls) - 1;
    if (init > ls)
        init = ls + 1; // no matches
    lua_settop(L, 2);
    auto *state = static_cast<ST_GmatchState *>(lua_newuserdatauv(L, sizeof(ST_GmatchState), 0));
    state->Src = init;
    state->LastMatch = SIZE_MAX;
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_pushcclosure(L, GmatchNext, 4);
    return 1;
}

void AddString(lua_State *L, luaL_Buffer *b, const CLuaPattern &m, const char *s, const char *e)
{
    size_t l = 0;
    const char *news = lua_tolstring(L, 3, &l);
    for (size_t i = 0; i < l; ++i) {
        if (news[i] != '%') {
            luaL_addchar(b, news[i]);
            continue;
        }
        ++i;
        const char c = i < l ? news[i] : '\0';
        if (c == '%') {
            luaL_addchar(b, '%');
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            if (c == '0') {
                luaL_addlstring(b, s, static_cast<size_t>(e - s));
            } else {
                PushOneCapture(L, m, c - '1', s, e);
                luaL_tolstring(L, -1, nullptr);
                lua_remove(L, -2);
                luaL_addvalue(b);
            }
        } else {
            luaL_error(L, "invalid use of '%c' in replacement string", '%');
        }
    }
}

// True when the match was replaced by something else than itself.
bool AddValue(lua_State *L, luaL_Buffer *b, const CLuaPattern &m, const char *s, const char *e, int tr)
{
    switch (tr) {
    case LUA_TFUNCTION: {
        lua_pushvalue(L, 3);
        const int n = PushCaptures(L, m, s, e);
        lua_call(L, n, 1);
        break;
    }
    case LUA_TTABLE:
        PushOneCapture(L, m, 0, s, e);
        lua_gettable(L, 3);
        break;
    default:
        AddString(L, b, m, s, e);
        return true;
    }
    if (!lua_toboolean(L, -1)) {
        lua_pop(L, 1);
        luaL_addlstring(b, s, static_cast<size_t>(e - s));
        return false;
    }
    if (!lua_isstring(L, -1))
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    luaL_addvalue(b);
    return true;
}

int Gsub(lua_State *L)
{
    size_t srcl = 0, lp = 0;
    const char *src = luaL_checklstring(L, 1, &srcl);
    const char *p = luaL_checklstring(L, 2, &lp);
    const int tr = lua_type(L, 3);
    const lua_Integer maxS = luaL_optinteger(L, 4, static_cast<lua_Integer>(srcl) + 1);
    luaL_argexpected(L, tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION || tr == LUA_TTABLE, 3,
                     "string/function/table");
    const bool anchor = lp > 0 && *p == '^';
    CLuaPattern m = Matcher(L, src, srcl, p, lp);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    size_t at = 0, lastMatch = SIZE_MAX;
    lua_Integer n = 0;
    bool changed = false;
    while (n < maxS) {
        size_t e = 0;
        if (Settle(L, m, m.MatchAt(at, anchor ? 1 : 0, &e)) && e != lastMatch) {
            ++n;
            changed = AddValue(L, &b, m, src + at, src + e, tr) || changed;
            at = lastMatch = e;
        } else if (at < srcl) {
            luaL_addchar(&b, src[at++]);
        } else {
            break;
        }
        if (anchor)
            break;
    }
    if (!changed) {
        lua_pushvalue(L, 1);
    } else {
        luaL_addlstring(&b, src + at, srcl - at);
        luaL_pushresult(&b);
    }
    lua_pushinteger(L, n);
    return 2;
}

} // namespace

int PushPatternCaptures(lua_State *L, const CLuaPattern &m, const char *s, const char *e)
{
    return PushCaptures(L, m, s, e);
}

void InstallBoundedPatterns(lua_State *L, const ST_PatternHooks *hooks)
{
    lua_getglobal(L, "string");
    const luaL_Reg functions[] = {
        {"find", Find}, {"match", Match}, {"gmatch", Gmatch}, {"gsub", Gsub}, {nullptr, nullptr}};
    lua_pushlightuserdata(L, const_cast<ST_PatternHooks *>(hooks));
    luaL_setfuncs(L, functions, 1);
    lua_pop(L, 1);
}
