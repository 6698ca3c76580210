#include "data/commdata.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), size);
    CCommData item;
    if (!item.FromLine(line))
        return 0;
    item.ToText();
    item.Summary();
    CCommData back;
    if (!back.FromLine(item.ToLine()) || back != item)
        std::abort();
    return 0;
}
