#include "decode/decoder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

const ST_Field *ST_Decoded::Find(const std::string &name) const
{
    for (const ST_Field &f : Fields)
        if (f.Name == name)
            return &f;
    return nullptr;
}

std::string DecodedNumber(double value)
{
    // Most values are whole (registers, counts): those without the C library's formatting, which
    // would cost more than the rest of a frame's decoding.
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(int64_t(value));
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}
