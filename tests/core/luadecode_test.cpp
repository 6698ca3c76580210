#include "decode/decoders.h"
#include "decode/luadecoder.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

ST_Frame FrameOf(const std::string &bytes, EFrameDirection dir = EFrameDirection::Received)
{
    ST_Frame f;
    f.Direction = dir;
    f.Bytes.assign(bytes.begin(), bytes.end());
    return f;
}

ST_FramingProfile Naming(const std::string &decoder)
{
    ST_FramingProfile p;
    p.Name = "mine";
    p.Decoder = decoder;
    return p;
}

} // namespace

TEST(LuaDecode, SummaryAndFieldsFromTheFrameItIsGiven)
{
    TempDir dir;
    WriteRaw(dir.File("proto.lua"), R"(
local scale = 10
function decode(frame)
  if frame.bytes:byte(1) == 0x7E then return "marker" end
  local raw = string.unpack(">i2", frame.bytes, 2)
  return {summary = frame.direction .. " " .. frame.check .. " at " .. frame.time,
          fields = {id = frame.bytes:byte(1), temp = {value = raw / scale, unit = "C"},
                    name = frame.bytes:sub(4), gap = frame.gap or "none", ok = true}}
end)");
    const auto decoder = MakeDecoder(Naming("Lua:proto.lua"), EFrameDirection::Sent, dir.path);
    ASSERT_TRUE(decoder);

    ST_Frame frame = FrameOf(std::string("\x05\xFF\x02"
                                         "abc",
                                         6),
                             EFrameDirection::Sent);
    frame.Start = 1500us;
    frame.Check = EFrameCheck::Bad;
    frame.Gap = 2500us;
    const ST_Decoded out = decoder->Decode(frame);
    EXPECT_EQ(out.Summary, "tx bad at 1.5");
    EXPECT_FALSE(out.Malformed);
    EXPECT_EQ(out.Check, EFrameCheck::Bad);
    ASSERT_EQ(out.Fields.size(), 5u);
    EXPECT_EQ(out.Fields[0], (ST_Field{"gap", 2.5, "2.5", ""})); // by name, whatever the table's order
    EXPECT_EQ(out.Fields[1], (ST_Field{"id", 5, "5", ""}));
    EXPECT_EQ(out.Fields[2], (ST_Field{"name", std::nullopt, "abc", ""}));
    EXPECT_EQ(out.Fields[3], (ST_Field{"ok", 1, "true", ""}));
    EXPECT_EQ(out.Fields[4], (ST_Field{"temp", -25.4, "-25.4", "C"}));

    frame.Gap.reset();
    frame.Direction = EFrameDirection::MonitorBtoA;
    EXPECT_EQ(decoder->Decode(frame).Find("gap")->Text, "none");
    EXPECT_EQ(decoder->Decode(frame).Summary.substr(0, 8), "b>a bad ");
    EXPECT_EQ(decoder->Decode(FrameOf("\x7E")).Summary, "marker");
}

TEST(LuaDecode, ANameOutOfTheFolderIsRefusedAndAFileThatDoesNotLoadSaysSoOnEveryFrame)
{
    TempDir dir;
    EXPECT_THROW(MakeDecoder(Naming("lua:x.lua")), std::invalid_argument);
    for (const char *name : {"lua:../x.lua", "lua:a/../../x.lua", "lua:..", "lua:/etc/x.lua", "lua:"})
        EXPECT_THROW(MakeDecoder(Naming(name), EFrameDirection::Sent, dir.path), std::invalid_argument)
            << name;

    TempDir outside;
    WriteRaw(outside.File("x.lua"), "function decode() return 'out' end");
    ASSERT_EQ(symlink(outside.File("x.lua").c_str(), dir.File("link.lua").c_str()), 0);
    EXPECT_NE(CLuaDecoder(dir.path, "link.lua").Decode(FrameOf("a")).Summary.find("out of"),
              std::string::npos);

    WriteRaw(dir.File("broken.lua"), "function decode(frame) return 'x' ");
    const CLuaDecoder broken(dir.path, "broken.lua");
    WriteRaw(dir.File("broken.lua"), "function decode(frame) return 'x' end");
    for (int i = 0; i < 2; ++i) {
        const ST_Decoded out = broken.Decode(FrameOf("a"));
        EXPECT_EQ(out.Summary.rfind("Lua: broken.lua:1:", 0), 0u) << out.Summary;
        EXPECT_TRUE(out.Malformed);
    }
    EXPECT_NE(CLuaDecoder(dir.path, "none.lua").Decode(FrameOf("a")).Summary.find("no such file"),
              std::string::npos);
    WriteRaw(dir.File("nodecode.lua"), "x = 1");
    EXPECT_NE(CLuaDecoder(dir.path, "nodecode.lua").LoadError().find("decode"), std::string::npos);
}

// Each frame asks the decoder for another way to go wrong; the frame after each must decode.
TEST(LuaDecode, ALoopAnErrorOrGreedIsCutOnItsFrameAndTheNextFrameDecodes)
{
    TempDir dir;
    WriteRaw(dir.File("bad.lua"), R"(function decode(frame)
  local b = frame.bytes
  if b == "loop" then while true do end end
  if b == "trap" then while true do pcall(function() while true do end end) end end
  if b == "pattern" then return ("a"):rep(300):find(("a-"):rep(25) .. "b") end
  if b == "error" then error("no such message") end
  if b == "rep" then return ("x"):rep(1 << 30) end
  if b == "table" then local t = {} for i = 1, 1 << 30 do t[i] = i end end
  if b == "escape" then return tostring(io) .. tostring(os) .. tostring(debug) .. tostring(package)
                               .. tostring(require) .. tostring(load) .. tostring(dofile) end
  return "ok " .. b
end)");
    const CLuaDecoder decoder(dir.path, "bad.lua");
    ASSERT_EQ(decoder.LoadError(), "");
    for (const char *frame : {"loop", "trap", "pattern"}) {
        const ST_Decoded out = decoder.Decode(FrameOf(frame));
        EXPECT_NE(out.Summary.find("took longer than 5 ms"), std::string::npos)
            << frame << ": " << out.Summary;
        EXPECT_TRUE(out.Malformed);
        EXPECT_EQ(decoder.Decode(FrameOf("next")).Summary, "ok next");
    }
    EXPECT_EQ(decoder.Decode(FrameOf("error")).Summary, "Lua: bad.lua:6: no such message");
    EXPECT_EQ(decoder.Decode(FrameOf("escape")).Summary, "nilnilnilnilnilnilnil");

    // Memory on its own: time enough that only the cap can stop these.
    const CLuaDecoder greedy(dir.path, "bad.lua", ST_LuaLimits{60000, 60000, 4u << 20});
    for (const char *frame : {"rep", "table"}) {
        EXPECT_EQ(greedy.Decode(FrameOf(frame)).Summary, "Lua: not enough memory") << frame;
        EXPECT_EQ(greedy.Decode(FrameOf("next")).Summary, "ok next");
    }
}
