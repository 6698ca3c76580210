#include "decode/luadecoder.h"

#include "lua/patternlib.h"

#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

// Often enough that a loop is cut within a few microseconds of its deadline, seldom enough that
// the clock is no cost beside the instructions.
constexpr int kHookInstructions = 1000;
constexpr size_t kFileLimit = 1u << 20;
// A frame's line in the view and its values for the plot, not a store of the decoder's.
constexpr size_t kFieldLimit = 1024;
constexpr size_t kTextLimit = 4096;

const char *DirectionName(EFrameDirection d)
{
    switch (d) {
    case EFrameDirection::Received:
        return "rx";
    case EFrameDirection::Sent:
        return "tx";
    case EFrameDirection::MonitorAtoB:
        return "a>b";
    case EFrameDirection::MonitorBtoA:
        return "b>a";
    }
    return "rx";
}

const char *CheckName(EFrameCheck c)
{
    return c == EFrameCheck::Ok ? "ok" : c == EFrameCheck::Bad ? "bad" : "none";
}

std::string RealPath(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string text(real);
    std::free(real);
    return text;
}

} // namespace

std::string LuaDecoderPath(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        throw std::invalid_argument(
            "a Lua decoder is read from the profiles file's folder, and none was given");
    if (name.empty())
        throw std::invalid_argument("a Lua decoder needs its file's name (lua:name.lua)");
    if (name.find('\0') != std::string::npos)
        throw std::invalid_argument("a Lua decoder's file name holds a NUL");
    if (name[0] == '/')
        throw std::invalid_argument("\"" + name +
                                    "\": a Lua decoder's file is named from the profiles file's folder");
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0)
            throw std::invalid_argument("\"" + name +
                                        "\": a Lua decoder's file is in the profiles file's folder");
        start = end + 1;
    }
    return folder + "/" + name;
}

struct CLuaDecoder::State
{
    ST_LuaLimits Limits;
    lua_State *L = nullptr;
    size_t Used = 0;
    Clock::time_point Deadline;
    uint32_t BudgetMs = 0;
    bool TimedOut = false;
    std::string LoadError;
    ST_PatternHooks Patterns;
    std::mutex Lock;

    ~State()
    {
        if (L)
            lua_close(L);
    }

    static State &Of(lua_State *L) { return **static_cast<State **>(lua_getextraspace(L)); }

    // Refuses what would take the state past its cap; Lua turns that into a memory error the
    // decoder's call ends with, and the state stays sound.
    static void *Alloc(void *ud, void *ptr, size_t osize, size_t nsize)
    {
        State &s = *static_cast<State *>(ud);
        const size_t old = ptr ? osize : 0;
        if (nsize == 0) {
            std::free(ptr);
            s.Used -= old;
            return nullptr;
        }
        if (nsize > old && nsize - old > s.Limits.MemoryBytes - s.Used)
            return nullptr;
        void *p = std::realloc(ptr, nsize);
        if (!p)
            return nullptr;
        s.Used = s.Used - old + nsize;
        return p;
    }

    static bool InTime(void *context) { return Clock::now() < static_cast<State *>(context)->Deadline; }

    [[noreturn]] static void RaiseLate(lua_State *L)
    {
        State &s = Of(L);
        s.TimedOut = true;
        // From now on every instruction raises, so a pcall of the decoder's cannot catch the cut
        // and carry on: the next instruction outside it raises again, up to our own call.
        lua_sethook(L, Hook, LUA_MASKCOUNT, 1);
        luaL_error(L, "took longer than %d ms", int(s.BudgetMs));
        std::abort(); // luaL_error does not return
    }

    static void Hook(lua_State *L, lua_Debug *)
    {
        if (!InTime(&Of(L)))
            RaiseLate(L);
    }

    static void Abandoned(lua_State *L) { RaiseLate(L); }

    static int Open(lua_State *L)
    {
        const luaL_Reg libraries[] = {{LUA_GNAME, luaopen_base},
                                      {LUA_STRLIBNAME, luaopen_string},
                                      {LUA_TABLIBNAME, luaopen_table},
                                      {LUA_MATHLIBNAME, luaopen_math},
                                      {LUA_UTF8LIBNAME, luaopen_utf8}};
        for (const luaL_Reg &lib : libraries) {
            luaL_requiref(L, lib.name, lib.func, 1);
            lua_pop(L, 1);
        }
        // The base library's ways to files and to precompiled chunks, which can break the VM.
        for (const char *name : {"dofile", "loadfile", "load", "print"}) {
            lua_pushnil(L);
            lua_setglobal(L, name);
        }
        InstallBoundedPatterns(L, &Of(L).Patterns);
        return 0;
    }

    // Runs `function` protected within `ms`; the error's text, empty when it ran.
    std::string Run(lua_CFunction function, void *job, uint32_t ms)
    {
        BudgetMs = ms;
        TimedOut = false;
        Deadline = Clock::now() + std::chrono::milliseconds(ms);
        lua_sethook(L, Hook, LUA_MASKCOUNT, kHookInstructions);
        lua_pushcfunction(L, function);
        lua_pushlightuserdata(L, job);
        const int status = lua_pcall(L, 1, 0, 0);
        std::string error;
        if (status != LUA_OK) {
            const char *text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
            error = text ? text : "the decoder raised an error that is not text";
        } else if (TimedOut) {
            error = "took longer than " + std::to_string(ms) + " ms";
        }
        lua_settop(L, 0);
        lua_sethook(L, Hook, LUA_MASKCOUNT, kHookInstructions);
        if (!error.empty())
            lua_gc(L, LUA_GCCOLLECT); // what a call cut short built goes before the next frame
        return error;
    }
};

namespace {

struct ST_LoadJob
{
    const std::string *Text;
    const std::string *ChunkName;
};

int LoadChunk(lua_State *L)
{
    const auto &job = *static_cast<const ST_LoadJob *>(lua_touserdata(L, 1));
    if (luaL_loadbufferx(L, job.Text->data(), job.Text->size(), job.ChunkName->c_str(), "t") != LUA_OK)
        return lua_error(L);
    lua_call(L, 0, 0);
    if (lua_getglobal(L, "decode") != LUA_TFUNCTION)
        return luaL_error(L, "the file defines no function decode(frame)");
    return 0;
}

struct ST_DecodeJob
{
    const ST_Frame *Frame;
    ST_Decoded *Out;
};

std::string Bounded(lua_State *L, int index)
{
    size_t n = 0;
    const char *s = lua_tolstring(L, index, &n);
    return std::string(s, std::min(n, kTextLimit));
}

// The value on the top of the stack into `f`. Lua raises its errors with a long jump past our
// frames, so nothing here or in the callers up to the protected call holds an object of its own
// to destroy: what is read goes straight into the caller's fields.
void ReadField(lua_State *L, ST_Field &f)
{
    int value = lua_gettop(L);
    if (lua_type(L, value) == LUA_TTABLE) {
        if (lua_getfield(L, value, "unit") == LUA_TSTRING)
            f.Unit = Bounded(L, -1);
        lua_getfield(L, value, "value");
        value = lua_gettop(L);
    }
    switch (lua_type(L, value)) {
    case LUA_TNUMBER:
        if (lua_isinteger(L, value)) {
            f.Value = double(lua_tointeger(L, value));
            f.Text = std::to_string(lua_tointeger(L, value));
        } else {
            f.Value = lua_tonumber(L, value);
            f.Text = DecodedNumber(*f.Value);
        }
        break;
    case LUA_TSTRING:
        f.Text = Bounded(L, value);
        break;
    case LUA_TBOOLEAN:
        f.Value = lua_toboolean(L, value) ? 1 : 0;
        f.Text = lua_toboolean(L, value) ? "true" : "false";
        break;
    case LUA_TNIL:
        break;
    default:
        luaL_error(L, "the field %s is a %s", f.Name.c_str(), luaL_typename(L, value));
    }
}

void ReadResult(lua_State *L, ST_Decoded &out)
{
    const int result = lua_gettop(L);
    if (lua_type(L, result) == LUA_TSTRING) {
        out.Summary = Bounded(L, result);
        return;
    }
    if (lua_isnil(L, result))
        return;
    if (!lua_istable(L, result))
        luaL_error(L, "decode returned a %s, not a table or a string", luaL_typename(L, result));
    lua_getfield(L, result, "summary");
    if (lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER)
        out.Summary = Bounded(L, -1);
    lua_pop(L, 1);
    for (auto [key, mark] :
         {std::pair{"malformed", &out.Malformed}, {"short", &out.Short}, {"long", &out.Long}}) {
        lua_getfield(L, result, key);
        *mark = lua_toboolean(L, -1);
        lua_pop(L, 1);
    }
    if (lua_getfield(L, result, "fields") != LUA_TTABLE) {
        if (!lua_isnil(L, -1))
            luaL_error(L, "fields is a %s, not a table", luaL_typename(L, -1));
        return;
    }
    const int fields = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, fields)) {
        if (lua_type(L, -2) != LUA_TSTRING)
            luaL_error(L, "a field's name is a %s, not a string", luaL_typename(L, -2));
        if (out.Fields.size() == kFieldLimit)
            luaL_error(L, "more than %d fields", int(kFieldLimit));
        const int value = lua_gettop(L);
        out.Fields.emplace_back();
        out.Fields.back().Name = Bounded(L, -2);
        ReadField(L, out.Fields.back());
        lua_settop(L, value - 1);
    }
    // A table's order is the hash's: by name, so a frame reads the same each time.
    std::sort(out.Fields.begin(), out.Fields.end(),
              [](const ST_Field &a, const ST_Field &b) { return a.Name < b.Name; });
}

int DecodeCall(lua_State *L)
{
    const auto &job = *static_cast<const ST_DecodeJob *>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    if (lua_getglobal(L, "decode") != LUA_TFUNCTION)
        return luaL_error(L, "decode is no longer a function");
    const ST_Frame &frame = *job.Frame;
    lua_createtable(L, 0, 5);
    const std::vector<uint8_t> &bytes = frame.Payload();
    lua_pushlstring(L, reinterpret_cast<const char *>(bytes.data()), bytes.size());
    lua_setfield(L, -2, "bytes");
    lua_pushstring(L, DirectionName(frame.Direction));
    lua_setfield(L, -2, "direction");
    lua_pushstring(L, CheckName(frame.Check));
    lua_setfield(L, -2, "check");
    if (frame.Gap) {
        lua_pushnumber(L, double(frame.Gap->count()) / 1000.0);
        lua_setfield(L, -2, "gap");
    }
    lua_pushnumber(L, double(frame.Start.count()) / 1000.0);
    lua_setfield(L, -2, "time");
    lua_call(L, 1, 1);
    ReadResult(L, *job.Out);
    return 0;
}

} // namespace

CLuaDecoder::CLuaDecoder(const std::string &folder, const std::string &name, ST_LuaLimits limits)
    : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.Limits = limits;
    const std::string path = LuaDecoderPath(folder, name);
    s.L = lua_newstate(State::Alloc, &s);
    if (!s.L)
        throw std::bad_alloc();
    *static_cast<State **>(lua_getextraspace(s.L)) = &s;
    s.Patterns.KeepGoing = State::InTime;
    s.Patterns.Context = &s;
    s.Patterns.Abandoned = State::Abandoned;
    s.LoadError = s.Run(State::Open, nullptr, limits.LoadMs);
    if (!s.LoadError.empty())
        return;

    // A link inside the folder may not lead out of it either.
    const std::string real = RealPath(path), realFolder = RealPath(folder);
    if (real.empty() || realFolder.empty()) {
        s.LoadError = name + ": no such file";
        return;
    }
    if (real.compare(0, realFolder.size() + 1, realFolder + "/") != 0) {
        s.LoadError = name + ": leads out of the profiles file's folder";
        return;
    }
    std::FILE *file = std::fopen(real.c_str(), "rb");
    if (!file) {
        s.LoadError = name + ": cannot be read";
        return;
    }
    std::string text;
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0 && text.size() <= kFileLimit)
        text.append(block, n);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed || text.size() > kFileLimit) {
        s.LoadError = name + (failed ? ": cannot be read" : ": larger than 1 MiB");
        return;
    }
    const std::string chunkName = "@" + name;
    ST_LoadJob job{&text, &chunkName};
    s.LoadError = s.Run(LoadChunk, &job, limits.LoadMs);
}

CLuaDecoder::~CLuaDecoder() = default;

const std::string &CLuaDecoder::LoadError() const
{
    return m_state->LoadError;
}

ST_Decoded CLuaDecoder::Decode(const ST_Frame &frame, const ST_Frame *) const
{
    ST_Decoded out;
    out.Check = frame.Check;
    State &s = *m_state;
    std::string error = s.LoadError;
    if (error.empty()) {
        const std::lock_guard<std::mutex> guard(s.Lock);
        ST_DecodeJob job{&frame, &out};
        error = s.Run(DecodeCall, &job, s.Limits.FrameMs);
    }
    if (!error.empty()) {
        out = ST_Decoded{};
        out.Check = frame.Check;
        out.Summary = "Lua: " + error;
        out.Malformed = true;
    }
    return out;
}
