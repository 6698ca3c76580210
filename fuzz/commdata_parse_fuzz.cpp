#include "data/commdata.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool (CCommData::*parse)(const std::string &), std::string (CCommData::*form)() const,
           const std::string &text)
{
    const Bytes before{0xAB, 0xCD};
    CCommData item(before);
    if (!(item.*parse)(text)) {
        if (item.Data() != before)
            std::abort();
        return;
    }
    CCommData back;
    if (!(back.*parse)((item.*form)()) || back.Data() != item.Data())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    Check(&CCommData::ParseHex, &CCommData::ToHexText, text);
    Check(&CCommData::ParseDec, &CCommData::ToDecText, text);
    return 0;
}
