#include "script/scriptrunner.h"
#include "data/ansitext.h"
#include "data/checksum.h"
#include "lua/patternlib.h"

#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <strings.h>
#include <utility>

// Lua reports its errors by longjmp, past any C++ frame: in the functions below no object with a
// destructor (and no lock) is alive where Lua may raise. What they must keep across a call into
// Lua lives in the Impl, and their errors are raised only after their own scopes have closed.

namespace {

// The text a terminal would show of `raw`: its escape sequences (a shell's bracketed-paste
// switch, colours, cursor moves) taken out. `rawEnd[i]` is the raw offset just after shown byte i,
// so a match in the shown text consumes the raw bytes up to its end.
void ShownText(const std::string &raw, std::string *text, std::vector<size_t> *rawEnd)
{
    CAnsiParser parser;
    Bytes out;
    text->clear();
    rawEnd->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        out.clear();
        parser.Feed(reinterpret_cast<const uint8_t *>(raw.data()) + i, 1, out, false);
        text->append(out.begin(), out.end());
        rawEnd->insert(rawEnd->end(), out.size(), i + 1);
    }
}

using Clock = std::chrono::steady_clock;

// The error values the runner raises for itself; a script's pcall may catch them, and the pcall
// the runner puts in place of Lua's raises the stop again at once.
char kStopSentinel;
char kFailSentinel;

constexpr size_t kRecentBytes = 256;
constexpr int kHookInstructions = 1000;
// A flood of unmatched bytes is told of once a second at most.
constexpr auto kDropNoteEvery = std::chrono::seconds(1);

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int ScriptExitCode(EScriptEnd end)
{
    switch (end) {
    case EScriptEnd::Passed:
        return 0;
    case EScriptEnd::PortLost:
        return 2;
    case EScriptEnd::Failed:
    case EScriptEnd::Error:
    case EScriptEnd::Stopped:
        break;
    }
    return 1;
}

const char *ScriptEndText(EScriptEnd end)
{
    switch (end) {
    case EScriptEnd::Passed:
        return "passed";
    case EScriptEnd::Failed:
        return "failed";
    case EScriptEnd::Error:
        return "error";
    case EScriptEnd::PortLost:
        return "port lost";
    case EScriptEnd::Stopped:
        return "stopped";
    }
    return "";
}

std::string EscapeBytes(const uint8_t *data, size_t size)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        switch (b) {
        case '\r':
            out += "\\r";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '"':
            out += "\\\"";
            continue;
        default:
            break;
        }
        if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

struct CScriptRunner::Impl
{
    CScriptRunner &R;
    lua_State *L = nullptr;
    Clock::time_point Start = Clock::now();
    std::vector<ST_ScriptCase> Cases;
    int CurrentCase = -1;
    bool TopFailed = false;
    std::string TopFailure;
    std::string FailText; // of the fail() being raised
    std::string Err;      // a message about to be raised
    std::string Snapshot; // the pending bytes a match looks at
    std::string Shown;    // and the text a terminal shows of them, with each byte's raw end
    std::vector<size_t> ShownEnd;
    uint64_t SnapshotAt = 0;
    Clock::time_point ExpectDeadline;
    ST_PatternHooks Patterns;
    struct ST_Drops
    {
        uint64_t Untold = 0;
        bool Told = false;
        Clock::time_point NoteAt;
    };
    ST_Drops ByteDrops, FrameDrops;
    ST_Frame Taken;        // the frame frame() or expectframe() took last
    bool AnyFrame = false; // taken during the run, for the message of a failed expectframe

    explicit Impl(CScriptRunner &runner) : R(runner) {}
    ~Impl()
    {
        if (L)
            lua_close(L);
    }

    static Impl &Of(lua_State *L) { return **static_cast<Impl **>(lua_getextraspace(L)); }

    // A failure of the running case, or of the script when none runs; the script goes on.
    void RecordFailure(const std::string &text)
    {
        if (CurrentCase >= 0) {
            ST_ScriptCase &c = Cases[static_cast<size_t>(CurrentCase)];
            if (c.Passed)
                c.Message = text;
            c.Passed = false;
        } else if (!TopFailed) {
            TopFailed = true;
            TopFailure = text;
        }
    }

    void MarkInterrupted(ST_ScriptCase &c)
    {
        std::string why;
        {
            const std::lock_guard<std::mutex> guard(R.m_lock);
            why = R.m_stopWhy;
        }
        c.Passed = false;
        c.Message =
            std::string(ScriptEndText(R.m_portLost.load() ? EScriptEnd::PortLost : EScriptEnd::Stopped)) +
            (why.empty() ? std::string() : ": " + why);
    }

    // Raises what a stop or a lost port is; does not return.
    [[noreturn]] static void RaiseStop(lua_State *L)
    {
        lua_pushlightuserdata(L, &kStopSentinel);
        lua_error(L);
        std::abort(); // lua_error does not return
    }

    // Raises Err as a Lua error with the caller's position; does not return.
    [[noreturn]] static void RaiseErr(lua_State *L)
    {
        Impl &d = Of(L);
        if (d.R.m_stop.load())
            RaiseStop(L);
        luaL_where(L, 1);
        lua_pushlstring(L, d.Err.data(), d.Err.size());
        lua_concat(L, 2);
        lua_error(L);
        std::abort();
    }

    static void CheckStop(lua_State *L)
    {
        if (Of(L).R.m_stop.load())
            RaiseStop(L);
    }

    static void Hook(lua_State *L, lua_Debug *) { CheckStop(L); }

    static uint32_t OptTimeout(lua_State *L, int arg)
    {
        const lua_Integer ms = luaL_optinteger(L, arg, kDefaultTimeoutMs);
        return static_cast<uint32_t>(std::clamp<lua_Integer>(ms, 0, INT32_MAX));
    }

    // Host calls: the host's answer decides; its error is raised once the strings are gone.
    template <typename Call> static void HostCall(lua_State *L, Call call)
    {
        Impl &d = Of(L);
        bool ok;
        {
            std::string error;
            ok = call(d.R.m_host, &error);
            if (!ok)
                d.Err = error.empty() ? "the port did not do it" : error;
        }
        CheckStop(L);
        if (!ok)
            RaiseErr(L);
    }

    static int Write(lua_State *L)
    {
        size_t n = 0;
        const char *s = luaL_checklstring(L, 1, &n);
        HostCall(L, [&](IScriptHost &host, std::string *error) {
            return host.Write(std::vector<uint8_t>(s, s + n), error);
        });
        return 0;
    }

    static int Send(lua_State *L)
    {
        const char *name = luaL_checkstring(L, 1);
        HostCall(L, [&](IScriptHost &host, std::string *error) { return host.SendItem(name, error); });
        return 0;
    }

    static int SendBreak(lua_State *L)
    {
        const auto ms = static_cast<uint32_t>(std::clamp<lua_Integer>(luaL_optinteger(L, 1, 250), 1, 60000));
        HostCall(L, [&](IScriptHost &host, std::string *error) { return host.SendBreak(ms, error); });
        return 0;
    }

    static int SendFile(lua_State *L)
    {
        const char *path = luaL_checkstring(L, 1);
        const char *protocol = luaL_optstring(L, 2, "Raw");
        HostCall(L,
                 [&](IScriptHost &host, std::string *error) { return host.SendFile(path, protocol, error); });
        return 0;
    }

    static int Lines(lua_State *L)
    {
        if (!lua_isnoneornil(L, 1)) {
            luaL_checktype(L, 1, LUA_TTABLE);
            int dtr = -1, rts = -1;
            if (lua_getfield(L, 1, "dtr") != LUA_TNIL)
                dtr = lua_toboolean(L, -1) ? 1 : 0;
            if (lua_getfield(L, 1, "rts") != LUA_TNIL)
                rts = lua_toboolean(L, -1) ? 1 : 0;
            lua_pop(L, 2);
            HostCall(L,
                     [&](IScriptHost &host, std::string *error) { return host.SetLines(dtr, rts, error); });
            return 0;
        }
        ST_ScriptLines lines;
        HostCall(L, [&](IScriptHost &host, std::string *error) { return host.GetLines(&lines, error); });
        lua_createtable(L, 0, 6);
        const std::pair<const char *, bool> fields[] = {{"dtr", lines.Dtr}, {"rts", lines.Rts},
                                                        {"cts", lines.Cts}, {"dsr", lines.Dsr},
                                                        {"dcd", lines.Dcd}, {"ri", lines.Ring}};
        for (const auto &f : fields) {
            lua_pushboolean(L, f.second);
            lua_setfield(L, -2, f.first);
        }
        return 1;
    }

    static int Note(lua_State *L)
    {
        size_t n = 0;
        const char *s = luaL_tolstring(L, 1, &n);
        Of(L).R.m_host.Note(std::string(s, n));
        return 0;
    }

    // print goes where notes go, its arguments apart by tabs as Lua's own does.
    static int Print(lua_State *L)
    {
        const int count = lua_gettop(L);
        luaL_Buffer b;
        luaL_buffinit(L, &b);
        for (int i = 1; i <= count; ++i) {
            if (i > 1)
                luaL_addchar(&b, '\t');
            luaL_tolstring(L, i, nullptr);
            luaL_addvalue(&b);
        }
        luaL_pushresult(&b);
        size_t n = 0;
        const char *s = lua_tolstring(L, -1, &n);
        Of(L).R.m_host.Note(std::string(s, n));
        return 0;
    }

    static int Sleep(lua_State *L)
    {
        const uint32_t ms =
            static_cast<uint32_t>(std::clamp<lua_Integer>(luaL_checkinteger(L, 1), 0, INT32_MAX));
        Of(L).R.WaitFor(ms, [](const std::string &) { return false; });
        CheckStop(L);
        return 0;
    }

    static int Checksum(lua_State *L)
    {
        const char *kind = luaL_checkstring(L, 1);
        size_t n = 0;
        const char *s = luaL_checklstring(L, 2, &n);
        int found = -1;
        for (int k = 1; k < kChecksumKindCount; ++k)
            if (static_cast<EChecksumKind>(k) != EChecksumKind::Custom &&
                strcasecmp(kind, ChecksumName(static_cast<EChecksumKind>(k))) == 0)
                found = k;
        if (found < 0)
            return luaL_argerror(L, 1, "not a checksum name");
        uint32_t value;
        uint8_t encoded[4];
        size_t size;
        {
            ST_ChecksumSpec spec;
            spec.Kind = static_cast<EChecksumKind>(found);
            spec.Order = DefaultByteOrder(spec.Kind);
            const CChecksum sum(spec);
            value = sum.Compute(reinterpret_cast<const uint8_t *>(s), n);
            const std::vector<uint8_t> bytes = sum.Encode(value);
            size = std::min(bytes.size(), sizeof encoded);
            std::copy_n(bytes.begin(), size, encoded);
        }
        lua_pushlstring(L, reinterpret_cast<const char *>(encoded), size);
        lua_pushinteger(L, value);
        return 2;
    }

    // Takes the pending bytes up to the absolute offset `end` (of the snapshot's counting).
    void Consume(uint64_t end)
    {
        const std::lock_guard<std::mutex> guard(R.m_lock);
        if (end > R.m_pendingAt) {
            const auto n = static_cast<size_t>(std::min<uint64_t>(end - R.m_pendingAt, R.m_pending.size()));
            R.m_pending.erase(0, n);
            R.m_pendingAt += n;
        }
    }

    // Copies what is pending into Snapshot; the arrival count it saw.
    uint64_t TakeSnapshot()
    {
        const std::lock_guard<std::mutex> guard(R.m_lock);
        Snapshot = R.m_pending;
        SnapshotAt = R.m_pendingAt;
        return R.m_arrivals;
    }

    // Tells of bytes dropped unmatched: the first time at once, then once a second at most
    // (`flush`: whatever is left untold, at the end of the run).
    void NoteDropped(bool flush = false)
    {
        uint64_t bytes, frames;
        {
            const std::lock_guard<std::mutex> guard(R.m_lock);
            bytes = std::exchange(R.m_dropped, 0);
            frames = std::exchange(R.m_framesDropped, 0);
        }
        TellDrops(ByteDrops, bytes, flush,
                  " received bytes were dropped unmatched, as more than 1 MiB waited",
                  " more received bytes were dropped unmatched");
        TellDrops(FrameDrops, frames, flush,
                  " frames were dropped unread, as more than " + std::to_string(kMaxFrames) +
                      " frames or 1 MiB waited",
                  " more frames were dropped unread");
    }
    void TellDrops(ST_Drops &drops, uint64_t more, bool flush, const std::string &first,
                   const std::string &again)
    {
        drops.Untold += more;
        const Clock::time_point now = Clock::now();
        if (drops.Untold == 0 || (drops.Told && !flush && now - drops.NoteAt < kDropNoteEvery))
            return;
        R.m_host.Note("script: " + std::to_string(drops.Untold) + (drops.Told ? again : first));
        drops.Untold = 0;
        drops.Told = true;
        drops.NoteAt = now;
    }

    // ---- Frames ----
    enum class EFrameWait : uint8_t { Got, TimedOut, Off };

    bool TakeFrame()
    {
        const std::lock_guard<std::mutex> guard(R.m_lock);
        if (R.m_frames.empty())
            return false;
        Taken = std::move(R.m_frames.front());
        R.m_frames.pop_front();
        R.m_frameBytes -= Taken.Bytes.size() + Taken.Decoded.size();
        AnyFrame = true;
        return true;
    }

    // Into Taken the next frame, waiting for it until `deadline` or a stop; frames handed in
    // before the framing was turned off are still had.
    EFrameWait NextFrame(Clock::time_point deadline)
    {
        if (TakeFrame())
            return EFrameWait::Got;
        if (!R.m_host.FramingOn())
            return EFrameWait::Off;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || R.m_stop.load())
                return EFrameWait::TimedOut;
            R.WaitFor(static_cast<uint32_t>(std::min<int64_t>(left, INT32_MAX)),
                      [this](const std::string &) { return !R.m_frames.empty(); });
            if (TakeFrame())
                return EFrameWait::Got;
        }
    }

    // Raises the error of a script that asks for frames of a port no framing cuts; does not return.
    [[noreturn]] static void RaiseNoFraming(lua_State *L)
    {
        Of(L).Err = "no framing chosen: the port's traffic is not cut into frames";
        RaiseErr(L);
    }

    // Taken as the script sees it.
    void PushFrame(lua_State *L) const
    {
        const ST_Frame &f = Taken;
        static const char *const kDirections[] = {"rx", "tx", "a>b", "b>a"};
        lua_createtable(L, 0, 10);
        lua_pushlstring(L, reinterpret_cast<const char *>(f.Bytes.data()), f.Bytes.size());
        lua_setfield(L, -2, "bytes");
        if (f.IsEncoded) {
            lua_pushlstring(L, reinterpret_cast<const char *>(f.Decoded.data()), f.Decoded.size());
            lua_setfield(L, -2, "decoded");
        }
        lua_pushinteger(L, static_cast<lua_Integer>(f.Bytes.size()));
        lua_setfield(L, -2, "length");
        lua_pushstring(L, kDirections[static_cast<size_t>(f.Direction) % kFrameDirections]);
        lua_setfield(L, -2, "direction");
        lua_pushstring(L, f.Check == EFrameCheck::Ok ? "ok" : f.Check == EFrameCheck::Bad ? "bad" : "none");
        lua_setfield(L, -2, "check");
        if (f.Gap) {
            lua_pushnumber(L, static_cast<lua_Number>(f.Gap->count()) / 1000);
            lua_setfield(L, -2, "gap");
        }
        lua_pushnumber(L, f.GapChars);
        lua_setfield(L, -2, "gap_chars");
        // Since the script began, on the clock the frames are stamped by.
        const FrameTime started = std::chrono::duration_cast<FrameTime>(Start.time_since_epoch());
        lua_pushnumber(L, static_cast<lua_Number>((f.Start - started).count()) / 1000);
        lua_setfield(L, -2, "time");
        static const std::pair<uint8_t, const char *> kMarks[] = {{FRAME_TIMED_OUT, "timed_out"},
                                                                  {FRAME_MAX_LENGTH, "max_length"},
                                                                  {FRAME_BAD_ENCODING, "bad_encoding"},
                                                                  {FRAME_SILENCE_FLOOR, "silence_floor"},
                                                                  {FRAME_STRAY, "stray"}};
        lua_createtable(L, 0, 0);
        for (const auto &mark : kMarks)
            if (f.Marks & mark.first) {
                lua_pushboolean(L, 1);
                lua_setfield(L, -2, mark.second);
            }
        lua_setfield(L, -2, "marks");
    }

    static int Frame(lua_State *L)
    {
        Impl &d = Of(L);
        const uint32_t timeoutMs = OptTimeout(L, 1);
        const EFrameWait got = d.NextFrame(Clock::now() + std::chrono::milliseconds(timeoutMs));
        CheckStop(L);
        if (got == EFrameWait::Off)
            RaiseNoFraming(L);
        d.NoteDropped();
        if (got == EFrameWait::TimedOut)
            lua_pushnil(L);
        else
            d.PushFrame(L);
        return 1;
    }

    void ExpectFrameFailed(lua_State *L, uint32_t timeoutMs)
    {
        std::string what = "a function";
        if (!lua_isfunction(L, 1)) {
            size_t n = 0;
            const char *p = lua_tolstring(L, 1, &n);
            what = "\"" + EscapeBytes(reinterpret_cast<const uint8_t *>(p), n) + "\"";
        }
        const std::string text =
            "expectframe " + what + " failed after " + std::to_string(timeoutMs) + " ms; " +
            (AnyFrame ? "last frame: \"" + EscapeBytes(Taken.Bytes.data(), Taken.Bytes.size()) + "\""
                      : std::string("no frame came"));
        RecordFailure(text);
        R.m_host.Note(text);
    }

    // Frames that do not match are taken and passed over, as expect passes over the bytes before
    // its match.
    static int ExpectFrame(lua_State *L)
    {
        Impl &d = Of(L);
        const bool byFunction = lua_isfunction(L, 1);
        luaL_argexpected(L, byFunction || lua_type(L, 1) == LUA_TSTRING, 1, "pattern or function");
        const uint32_t timeoutMs = OptTimeout(L, 2);
        lua_settop(L, 2);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        d.ExpectDeadline = deadline;
        for (;;) {
            const EFrameWait got = d.NextFrame(deadline);
            CheckStop(L);
            if (got == EFrameWait::Off)
                RaiseNoFraming(L);
            d.NoteDropped();
            bool matched = false;
            bool abandoned = got == EFrameWait::TimedOut;
            if (!abandoned && !byFunction) {
                size_t lp = 0;
                const char *p = lua_tolstring(L, 1, &lp);
                CLuaPattern m(reinterpret_cast<const char *>(d.Taken.Bytes.data()), d.Taken.Bytes.size(), p,
                              lp, ExpectGoesOn, &d);
                size_t start = 0, end = 0;
                const CLuaPattern::EResult result = m.Find(0, &start, &end);
                if (result == CLuaPattern::EResult::Malformed) {
                    d.Err = m.Error();
                    RaiseErr(L);
                }
                CheckStop(L);
                abandoned = result == CLuaPattern::EResult::Abandoned;
                matched = result == CLuaPattern::EResult::Matched;
            }
            if (abandoned) {
                d.ExpectFrameFailed(L, timeoutMs);
                lua_pushnil(L);
                return 1;
            }
            // The table is made before the function runs: it may take frames of its own.
            d.PushFrame(L);
            if (byFunction) {
                lua_pushvalue(L, 1);
                lua_pushvalue(L, -2);
                lua_call(L, 1, 1);
                matched = lua_toboolean(L, -1);
                lua_pop(L, 1);
            }
            if (matched)
                return 1;
            lua_pop(L, 1);
        }
    }

    static bool GoesOn(void *context) { return !static_cast<Impl *>(context)->R.m_stop.load(); }
    static bool ExpectGoesOn(void *context)
    {
        const Impl &d = *static_cast<Impl *>(context);
        return !d.R.m_stop.load() && Clock::now() < d.ExpectDeadline;
    }

    void ExpectFailed(lua_State *L, int patterns, uint32_t timeoutMs)
    {
        std::string shown;
        if (lua_istable(L, patterns)) {
            const lua_Integer count = luaL_len(L, patterns);
            for (lua_Integer i = 1; i <= count; ++i) {
                lua_geti(L, patterns, i);
                size_t n = 0;
                const char *p = lua_tolstring(L, -1, &n);
                shown +=
                    (i > 1 ? ", \"" : "\"") + EscapeBytes(reinterpret_cast<const uint8_t *>(p), n) + "\"";
                lua_pop(L, 1);
            }
        } else {
            size_t n = 0;
            const char *p = lua_tolstring(L, patterns, &n);
            shown = "\"" + EscapeBytes(reinterpret_cast<const uint8_t *>(p), n) + "\"";
        }
        std::string recent;
        {
            const std::lock_guard<std::mutex> guard(R.m_lock);
            recent = R.m_recent;
        }
        const std::string text =
            "expect " + shown + " failed after " + std::to_string(timeoutMs) +
            " ms; last bytes received: \"" +
            EscapeBytes(reinterpret_cast<const uint8_t *>(recent.data()), recent.size()) + "\"";
        RecordFailure(text);
        R.m_host.Note(text);
    }

    static int Expect(lua_State *L)
    {
        Impl &d = Of(L);
        const bool several = lua_istable(L, 1);
        if (!several)
            luaL_checkstring(L, 1);
        const uint32_t timeoutMs = OptTimeout(L, 2);
        // By default the text as a terminal shows it; "raw" matches the bytes as they came.
        const char *form = luaL_optstring(L, 3, "shown");
        const bool raw = std::strcmp(form, "raw") == 0;
        luaL_argcheck(L, raw || std::strcmp(form, "shown") == 0, 3, "\"raw\" or \"shown\"");
        const lua_Integer count = several ? luaL_len(L, 1) : 1;
        if (several) {
            luaL_argcheck(L, count > 0, 1, "no patterns");
            for (lua_Integer i = 1; i <= count; ++i) {
                if (lua_geti(L, 1, i) != LUA_TSTRING)
                    luaL_argerror(L, 1, "the patterns must be strings");
                lua_pop(L, 1);
            }
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        d.ExpectDeadline = deadline;
        for (;;) {
            const uint64_t seen = d.TakeSnapshot();
            d.NoteDropped();
            if (!raw)
                ShownText(d.Snapshot, &d.Shown, &d.ShownEnd);
            const std::string &subject = raw ? d.Snapshot : d.Shown;
            // The earliest match in the stream wins; of two at one place, the first pattern. A
            // match that takes past the deadline is given up: the expect has timed out.
            int bestIndex = 0;
            size_t bestStart = 0, bestEnd = 0;
            CLuaPattern best(nullptr, 0, nullptr, 0);
            bool abandoned = false;
            for (lua_Integer i = 1; i <= count && !abandoned; ++i) {
                if (several)
                    lua_geti(L, 1, i);
                else
                    lua_pushvalue(L, 1);
                size_t lp = 0;
                const char *p = lua_tolstring(L, -1, &lp);
                CLuaPattern m(subject.data(), subject.size(), p, lp, ExpectGoesOn, &d);
                size_t start = 0, end = 0;
                const CLuaPattern::EResult result = m.Find(0, &start, &end);
                lua_pop(L, 1);
                if (result == CLuaPattern::EResult::Malformed) {
                    d.Err = m.Error();
                    RaiseErr(L);
                }
                abandoned = result == CLuaPattern::EResult::Abandoned;
                if (result == CLuaPattern::EResult::Matched && (bestIndex == 0 || start < bestStart)) {
                    best = m;
                    bestIndex = static_cast<int>(i);
                    bestStart = start;
                    bestEnd = end;
                }
            }
            CheckStop(L);
            if (bestIndex > 0 && !abandoned) {
                // match, [index,] captures...
                const int base = lua_gettop(L);
                lua_pushlstring(L, subject.data() + bestStart, bestEnd - bestStart);
                if (several)
                    lua_pushinteger(L, bestIndex);
                PushPatternCaptures(L, best, nullptr, nullptr);
                const size_t rawEnd = raw || bestEnd == 0 ? bestEnd : d.ShownEnd[bestEnd - 1];
                d.Consume(d.SnapshotAt + rawEnd);
                return lua_gettop(L) - base;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const EWake wake = left <= 0 || abandoned
                                   ? EWake::TimedOut
                                   : d.R.WaitFor(static_cast<uint32_t>(left),
                                                 [&](const std::string &) { return d.R.m_arrivals != seen; });
            CheckStop(L);
            if (wake == EWake::TimedOut) {
                d.ExpectFailed(L, 1, timeoutMs);
                lua_pushnil(L);
                return 1;
            }
        }
    }

    static int Read(lua_State *L)
    {
        Impl &d = Of(L);
        const auto n = static_cast<size_t>(std::clamp<lua_Integer>(luaL_checkinteger(L, 1), 1, kMaxPending));
        const uint32_t timeoutMs = OptTimeout(L, 2);
        d.R.WaitFor(timeoutMs, [n](const std::string &pending) { return pending.size() >= n; });
        CheckStop(L);
        d.TakeSnapshot();
        d.NoteDropped();
        if (d.Snapshot.empty()) {
            lua_pushnil(L);
            return 1;
        }
        const size_t take = std::min(n, d.Snapshot.size());
        lua_pushlstring(L, d.Snapshot.data(), take);
        d.Consume(d.SnapshotAt + take);
        return 1;
    }

    static int ReadLine(lua_State *L)
    {
        Impl &d = Of(L);
        const uint32_t timeoutMs = OptTimeout(L, 1);
        d.R.WaitFor(timeoutMs,
                    [](const std::string &pending) { return pending.find('\n') != std::string::npos; });
        CheckStop(L);
        d.TakeSnapshot();
        d.NoteDropped();
        const size_t lf = d.Snapshot.find('\n');
        if (lf == std::string::npos) {
            lua_pushnil(L);
            return 1;
        }
        size_t end = lf;
        if (end > 0 && d.Snapshot[end - 1] == '\r')
            --end;
        lua_pushlstring(L, d.Snapshot.data(), end);
        d.Consume(d.SnapshotAt + lf + 1);
        return 1;
    }

    static int Fail(lua_State *L)
    {
        Impl &d = Of(L);
        size_t n = 0;
        const char *s = luaL_optlstring(L, 1, "failed", &n);
        d.FailText.assign(s, n);
        d.RecordFailure(d.FailText);
        lua_pushlightuserdata(L, &kFailSentinel);
        return lua_error(L);
    }

    static int Test(lua_State *L)
    {
        Impl &d = Of(L);
        luaL_checkstring(L, 1);
        luaL_checktype(L, 2, LUA_TFUNCTION);
        const int outer = d.CurrentCase;
        d.Cases.push_back(ST_ScriptCase{lua_tostring(L, 1), true, std::string(), 0});
        d.CurrentCase = static_cast<int>(d.Cases.size()) - 1;
        const Clock::time_point start = Clock::now();
        lua_pushvalue(L, 2);
        const int status = lua_pcall(L, 0, 0, 0);
        ST_ScriptCase &c = d.Cases[static_cast<size_t>(d.CurrentCase)];
        c.Seconds = SecondsSince(start);
        d.CurrentCase = outer;
        if (status != LUA_OK) {
            if (lua_touserdata(L, -1) == &kStopSentinel || d.R.m_stop.load()) {
                // The case the stop or the lost port cut short did not pass.
                d.MarkInterrupted(c);
                RaiseStop(L);
            }
            if (lua_touserdata(L, -1) != &kFailSentinel) {
                const char *message = lua_tostring(L, -1);
                if (c.Passed)
                    c.Message = message ? message : "error";
                c.Passed = false;
            }
            lua_pop(L, 1);
        }
        if (c.Passed)
            d.R.m_host.Note("PASS " + c.Name);
        else
            d.R.m_host.Note("FAIL " + c.Name + ": " + c.Message);
        lua_pushboolean(L, c.Passed);
        return 1;
    }

    // Lua's pcall and xpcall, except that a stop goes through them.
    static int PassStop(lua_State *L, int status, lua_KContext extra)
    {
        (void)extra;
        if (status != LUA_OK && status != LUA_YIELD) {
            if (lua_touserdata(L, -1) == &kStopSentinel || Of(L).R.m_stop.load())
                RaiseStop(L);
            lua_pushboolean(L, 0);
            lua_insert(L, -2);
            return 2;
        }
        return lua_gettop(L) - static_cast<int>(extra);
    }

    static int PCall(lua_State *L)
    {
        luaL_checkany(L, 1);
        lua_pushboolean(L, 1);
        lua_insert(L, 1);
        const int status = lua_pcallk(L, lua_gettop(L) - 2, LUA_MULTRET, 0, 0, PassStop);
        return PassStop(L, status, 0);
    }

    static int XPCall(lua_State *L)
    {
        const int n = lua_gettop(L);
        luaL_checktype(L, 2, LUA_TFUNCTION);
        lua_pushboolean(L, 1);
        lua_pushvalue(L, 1);
        lua_rotate(L, 3, 2);
        const int status = lua_pcallk(L, n - 2, LUA_MULTRET, 2, 2, PassStop);
        return PassStop(L, status, 2);
    }

    void Open()
    {
        L = luaL_newstate();
        if (!L)
            throw std::bad_alloc();
        *static_cast<Impl **>(lua_getextraspace(L)) = this;
        luaL_openlibs(L);
        const luaL_Reg functions[] = {
            {"write", Write},       {"send", Send},         {"expect", Expect}, {"read", Read},
            {"readline", ReadLine}, {"sleep", Sleep},       {"lines", Lines},   {"sendbreak", SendBreak},
            {"sendfile", SendFile}, {"checksum", Checksum}, {"note", Note},     {"test", Test},
            {"fail", Fail},         {"print", Print},       {"pcall", PCall},   {"xpcall", XPCall},
            {nullptr, nullptr},
        };
        lua_pushglobaltable(L);
        luaL_setfuncs(L, functions, 0);
        const luaL_Reg frames[] = {{"frame", Frame}, {"expectframe", ExpectFrame}, {nullptr, nullptr}};
        luaL_setfuncs(L, frames, 0);
        lua_pop(L, 1);
        Patterns.KeepGoing = GoesOn;
        Patterns.Context = this;
        Patterns.Abandoned = CheckStop;
        InstallBoundedPatterns(L, &Patterns);
        lua_sethook(L, Hook, LUA_MASKCOUNT, kHookInstructions);
    }

    // Runs the chunk on top of the stack.
    ST_ScriptOutcome Execute(int loadStatus)
    {
        ST_ScriptOutcome outcome;
        int status = loadStatus;
        if (status == LUA_OK)
            status = lua_pcall(L, 0, 0, 0);
        NoteDropped(true);
        outcome.Cases = Cases;
        outcome.Seconds = SecondsSince(Start);
        if (R.m_portLost.load()) {
            outcome.End = EScriptEnd::PortLost;
            const std::lock_guard<std::mutex> guard(R.m_lock);
            outcome.Message = R.m_stopWhy;
        } else if (R.m_stop.load()) {
            outcome.End = EScriptEnd::Stopped;
            const std::lock_guard<std::mutex> guard(R.m_lock);
            outcome.Message = R.m_stopWhy;
        } else if (status != LUA_OK && lua_touserdata(L, -1) == &kFailSentinel) {
            outcome.End = EScriptEnd::Failed;
            outcome.Message = FailText;
        } else if (status != LUA_OK) {
            outcome.End = EScriptEnd::Error;
            const char *message = lua_tostring(L, -1);
            outcome.Message = message ? message : "the script raised an error that is not text";
        } else if (TopFailed) {
            outcome.End = EScriptEnd::Failed;
            outcome.Message = TopFailure;
        } else {
            const auto failed =
                std::find_if(Cases.begin(), Cases.end(), [](const ST_ScriptCase &c) { return !c.Passed; });
            if (failed != Cases.end()) {
                outcome.End = EScriptEnd::Failed;
                outcome.Message = failed->Name + ": " + failed->Message;
            }
        }
        return outcome;
    }
};

CScriptRunner::CScriptRunner(IScriptHost &host) : m_host(host) {}

CScriptRunner::~CScriptRunner() = default;

ST_ScriptOutcome CScriptRunner::Run(const std::string &path)
{
    Impl d(*this);
    d.Open();
    // Text only: a precompiled chunk could crash the interpreter.
    return d.Execute(luaL_loadfilex(d.L, path.c_str(), "t"));
}

ST_ScriptOutcome CScriptRunner::RunText(const std::string &text, const std::string &name)
{
    Impl d(*this);
    d.Open();
    return d.Execute(luaL_loadbufferx(d.L, text.data(), text.size(), ("=" + name).c_str(), "t"));
}

void CScriptRunner::Feed(const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_pending.append(reinterpret_cast<const char *>(data), size);
        if (m_pending.size() > kMaxPending) {
            const size_t drop = m_pending.size() - kMaxPending;
            m_pending.erase(0, drop);
            m_pendingAt += drop;
            m_dropped += drop;
        }
        const size_t keep = std::min(size, kRecentBytes);
        m_recent.append(reinterpret_cast<const char *>(data) + size - keep, keep);
        if (m_recent.size() > kRecentBytes)
            m_recent.erase(0, m_recent.size() - kRecentBytes);
        ++m_arrivals;
    }
    m_changed.notify_all();
}

void CScriptRunner::FeedFrame(const ST_Frame &frame)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_frames.push_back(frame);
        m_frameBytes += frame.Bytes.size() + frame.Decoded.size();
        while (m_frames.size() > kMaxFrames || (m_frameBytes > kMaxFrameBytes && m_frames.size() > 1)) {
            m_frameBytes -= m_frames.front().Bytes.size() + m_frames.front().Decoded.size();
            m_frames.pop_front();
            ++m_framesDropped;
        }
    }
    m_changed.notify_all();
}

void CScriptRunner::Stop(const std::string &why)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (!m_stop.load())
            m_stopWhy = why;
        m_stop.store(true);
    }
    m_changed.notify_all();
    m_host.Wake();
}

void CScriptRunner::PortLost(const std::string &why)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (!m_stop.load()) {
            m_stopWhy = why;
            m_portLost.store(true);
        }
        m_stop.store(true);
    }
    m_changed.notify_all();
    m_host.Wake();
}

template <typename Ready> CScriptRunner::EWake CScriptRunner::WaitFor(uint32_t timeoutMs, Ready ready)
{
    std::unique_lock<std::mutex> guard(m_lock);
    const bool done = m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                         [&] { return m_stop.load() || ready(m_pending); });
    if (m_stop.load())
        return EWake::Stopped;
    return done ? EWake::Data : EWake::TimedOut;
}
