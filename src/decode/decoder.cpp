#include "decode/decoder.h"

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
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}
