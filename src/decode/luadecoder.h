#pragma once
// A decoder the user writes: `function decode(frame)` in a Lua file beside the profiles file,
// named by the profile as "decoder = lua:myproto.lua". It is given
//
//   frame.bytes      the frame's bytes (an encoded frame's decoded ones), a string
//   frame.direction  "rx", "tx", "a>b" or "b>a"
//   frame.check      "ok", "bad" or "none"
//   frame.gap        ms of quiet before it, nil for the first frame of its direction
//   frame.time       ms on the steady clock of the read that brought its first byte
//
// and returns a summary, or {summary = "...", fields = {name = value, ...}, malformed = true}
// where a value is a number, a string, a boolean or {value = 3.3, unit = "V"}.
//
// The decoder is the user's program run on every frame of a stream, so it runs on a short lead:
// string, table, math and utf8 only (nothing that reaches a file, the system or another module),
// a time per frame after which it is cut short, and a cap on its memory. Whatever goes wrong is
// shown on the frame ("Lua: ..." and marked malformed); the next frame is decoded afresh.
#include "decode/decoder.h"

#include <memory>
#include <string>

// The file a "lua:" decoder's name stands for: `name` relative to `folder`, the profiles file's.
// Throws std::invalid_argument for a name that is empty, absolute or climbs out (".."), and when
// no folder is given: a decoder read from wherever the program runs would be a surprise.
std::string LuaDecoderPath(const std::string &folder, const std::string &name);

struct ST_LuaLimits
{
    uint32_t FrameMs = 5;           // one call of decode
    uint32_t LoadMs = 200;          // the file's own statements, once
    size_t MemoryBytes = 16u << 20; // the whole state
};

class CLuaDecoder : public IDecoder
{
public:
    // Reads and runs the file once; one that cannot be loaded (missing, a syntax error, a link out
    // of `folder`, no decode function) makes a decoder that says why on every frame.
    CLuaDecoder(const std::string &folder, const std::string &name, ST_LuaLimits limits = {});
    ~CLuaDecoder() override;
    CLuaDecoder(const CLuaDecoder &) = delete;
    CLuaDecoder &operator=(const CLuaDecoder &) = delete;

    ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr) const override;

    // Empty once the file is loaded.
    const std::string &LoadError() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};
