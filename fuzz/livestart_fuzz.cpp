#include "extcap/livecapture.h"

#include <cstdlib>

// Whatever a window's socket says, its start is read, waited for or refused; a part of a start
// that reads whole gives the same start or asks for more, never a refusal of its own.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::optional<ST_LiveStart> whole;
    try {
        whole = ParseLiveStart(data, size);
    } catch (const EPcapngError &) {
        return 0;
    }
    if (!whole)
        return 0;
    for (const size_t part : {size / 2, size - 1}) {
        std::optional<ST_LiveStart> start;
        try {
            start = ParseLiveStart(data, part);
        } catch (const EPcapngError &) {
            std::abort();
        }
        if (start &&
            (start->Greeting != whole->Greeting || start->Interfaces.size() != whole->Interfaces.size()))
            std::abort();
    }
    return 0;
}
