#include "decode/luadecoder.h"
#include "frame/framechoices.h"
#include "frame/frameprofilefile.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <strings.h>

// Whatever the file holds, it is read or refused with a line number; what is read is written so
// that reading it again gives the same profiles, every profile read makes a framer, and a Lua
// decoder's name is taken or refused as a name, never read past. The links' choices read from it
// are written and read again as they were.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<ST_FramingProfile> profiles;
    try {
        profiles = ParseFrameProfiles(text);
    } catch (const EFrameProfilesError &e) {
        if (e.Line() == 0)
            std::abort();
        return 0;
    }
    const std::string written = FrameProfilesText(profiles);
    if (ParseFrameProfiles(written) != profiles)
        std::abort();
    for (const ST_FramingProfile &p : profiles) {
        MakeFramer(p, ST_LineTiming{9600, 8, false, 1});
        if (p.Decoder.size() >= 4 && strncasecmp(p.Decoder.c_str(), "lua:", 4) == 0) {
            try {
                LuaDecoderPath("/nonexistent", p.Decoder.substr(4));
            } catch (const std::invalid_argument &) {
            }
        }
    }
    const ST_FramingChoices choices = FramingChoicesOf(profiles);
    if (!(FramingChoicesOf(ParseFrameProfiles(FrameProfilesText(FramingChoicesProfiles(choices)))) ==
          choices))
        std::abort();
    for (const auto &link : choices.Links)
        choices.ForLink(link.first);
    return 0;
}
