#include "decode/decoders.h"

#include "decode/layout.h"
#include "decode/luadecoder.h"
#include "decode/modbus.h"
#include "decode/nmea.h"

#include <algorithm>
#include <cctype>

std::unique_ptr<IDecoder> MakeDecoder(const ST_FramingProfile &profile,
                                      std::optional<EFrameDirection> requestSide,
                                      const std::string &profileFolder)
{
    std::string name;
    for (char c : profile.Decoder)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.empty()) {
        if (profile.Name == "Modbus RTU")
            name = "modbus-rtu";
        else if (profile.Name == "Modbus ASCII")
            name = "modbus-ascii";
        else if (profile.Name == "NMEA 0183")
            name = "nmea";
        else if (std::any_of(profile.Unknown.begin(), profile.Unknown.end(),
                             [](const auto &key) { return key.first.rfind("layout.", 0) == 0; }))
            name = "layout";
        else
            return nullptr;
    }
    if (name == "none")
        return nullptr;
    if (name == "modbus-rtu" || name == "modbus-ascii")
        return std::make_unique<CModbusDecoder>(name == "modbus-ascii", requestSide);
    if (name == "nmea")
        return std::make_unique<CNmeaDecoder>();
    if (name.rfind("lua:", 0) == 0)
        return std::make_unique<CLuaDecoder>(profileFolder, profile.Decoder.substr(4));
    if (name == "layout")
        return std::make_unique<CLayoutDecoder>(ParseLayouts(profile.Unknown));
    throw std::invalid_argument("no decoder is called \"" + profile.Decoder +
                                "\" (none, modbus-rtu, modbus-ascii, nmea, layout, lua:FILE)");
}
