#include "decode/nmea.h"

#include <cmath>
#include <cstdlib>

// A sentence of any bytes is read as far as it goes; every number it gives is one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ST_Frame frame;
    frame.Bytes.assign(data, data + size);
    const ST_Decoded d = CNmeaDecoder().Decode(frame);
    for (const ST_Field &f : d.Fields)
        if (f.Value && !std::isfinite(*f.Value))
            std::abort();
    return 0;
}
