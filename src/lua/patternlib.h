#pragma once
// string.find, string.match, string.gmatch and string.gsub of a script's state on the matcher
// that can be told to give up (luapattern.h), so that a pattern with a search that never ends in
// practice still ends when the script is stopped. Their answers are Lua's own.
#include "lua/luapattern.h"

struct lua_State;

struct ST_PatternHooks
{
    CLuaPattern::KeepGoing KeepGoing = nullptr;
    void *Context = nullptr;
    // Called when the matcher gave up; raises the Lua error that ends the script.
    void (*Abandoned)(lua_State *L) = nullptr;
};

// `hooks` must outlive the state.
void InstallBoundedPatterns(lua_State *L, const ST_PatternHooks *hooks);
// Pushes the captures of `m`'s last match (the whole match [s, e) when it has none and `s` is
// given), as string.match returns them; their count.
int PushPatternCaptures(lua_State *L, const CLuaPattern &m, const char *s, const char *e);
