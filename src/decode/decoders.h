#pragma once
// The decoder a framing profile names ("decoder = none", "modbus-rtu", "modbus-ascii", "nmea", "layout"
// or "lua:FILE", a Lua file in `profileFolder`, the profiles file's: luadecoder.h). A profile that
// names none gets the one its framing is for when it is a built-in ("Modbus RTU", "Modbus ASCII",
// "NMEA 0183") and its layouts when it declares some.
#include "decode/decoder.h"
#include "frame/frameprofiles.h"

#include <memory>
#include <optional>
#include <string>

// `requestSide`: the direction a master's requests take, as CModbusDecoder takes it. None for a
// profile that gives no decoder. Throws std::invalid_argument for a decoder no one is called (and
// ELayoutError, one, for a layout that cannot be read), as for a Lua file's name that leads out of
// the folder; a Lua file that cannot be loaded makes a decoder that says so on every frame.
std::unique_ptr<IDecoder> MakeDecoder(const ST_FramingProfile &profile,
                                      std::optional<EFrameDirection> requestSide = EFrameDirection::Sent,
                                      const std::string &profileFolder = {});
