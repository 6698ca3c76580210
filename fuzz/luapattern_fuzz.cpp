#include "lua/luapattern.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

// The first byte is the pattern's length, the pattern follows, the rest is the subject. Whatever
// string.find of Lua's own answers (a match, its place and captures, none, or an error and its
// text), the matcher answers the same, once it ended within its step budget (Lua's own would not
// end in time on some patterns, and the budget is what the matcher is for).
namespace {

constexpr uint64_t kBudget = 200000;

bool WithinBudget(void *context)
{
    return static_cast<const CLuaPattern *>(context)->Steps() < kBudget;
}

std::string Ours(const std::string &subject, const std::string &pattern, bool *finished)
{
    // The budget looks at the matcher's own count.
    CLuaPattern m(subject.data(), subject.size(), pattern.data(), pattern.size(), WithinBudget, &m);
    size_t start = 0, end = 0;
    const CLuaPattern::EResult result = m.Find(0, &start, &end);
    *finished = result != CLuaPattern::EResult::Abandoned;
    if (result == CLuaPattern::EResult::Malformed)
        return std::string("error ") + m.Error();
    if (result != CLuaPattern::EResult::Matched)
        return "nil";
    std::string out = std::to_string(start + 1) + " " + std::to_string(end);
    for (int i = 0; i < m.Captures(); ++i) {
        const CLuaPattern::Capture &c = m.CaptureAt(i);
        if (c.Len == CLuaPattern::kUnfinished)
            return "error unfinished capture";
        out += c.Len == CLuaPattern::kPosition ? " @" + std::to_string(c.Start - subject.data() + 1)
                                               : " =" + std::string(c.Start, static_cast<size_t>(c.Len));
    }
    return out;
}

std::string Luas(lua_State *L, const std::string &subject, const std::string &pattern)
{
    lua_settop(L, 0);
    lua_getglobal(L, "string");
    lua_getfield(L, -1, "find");
    lua_pushlstring(L, subject.data(), subject.size());
    lua_pushlstring(L, pattern.data(), pattern.size());
    if (lua_pcall(L, 2, LUA_MULTRET, 0) != LUA_OK)
        return std::string("error ") + lua_tostring(L, -1);
    if (lua_isnil(L, 2))
        return "nil";
    std::string out = std::to_string(lua_tointeger(L, 2)) + " " + std::to_string(lua_tointeger(L, 3));
    for (int i = 4; i <= lua_gettop(L); ++i) {
        // Before lua_tolstring, which turns a number on the stack into a string.
        const bool position = lua_type(L, i) == LUA_TNUMBER;
        size_t n = 0;
        const char *s = lua_tolstring(L, i, &n);
        out += (position ? " @" : " =") + std::string(s, n);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t patternSize = std::min<size_t>(data[0], size - 1);
    const std::string pattern(reinterpret_cast<const char *>(data) + 1, patternSize);
    const std::string subject(reinterpret_cast<const char *>(data) + 1 + patternSize, size - 1 - patternSize);
    // Plain text goes to a plain search in string.find, not to the matcher.
    if (CLuaPattern::IsPlain(pattern.data(), pattern.size()))
        return 0;
    bool finished = false;
    const std::string ours = Ours(subject, pattern, &finished);
    if (!finished)
        return 0;
    static lua_State *L = [] {
        lua_State *state = luaL_newstate();
        luaL_openlibs(state);
        return state;
    }();
    if (ours != Luas(L, subject, pattern))
        std::abort();
    return 0;
}
