#include "platform/textfile.h"
#include "senddata/senddatalist.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// The first byte chooses the reading mode; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool plain = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::vector<CCommData> items = SendDataFromText(text, plain);
    // A line holding a 0x00 byte is no item; every other line is one.
    std::vector<size_t> failed;
    if (items.size() != SplitTextLines(text, &failed).size() - failed.size())
        std::abort();
    std::string saved;
    for (const CCommData &item : items)
        saved += item.ToLine() + "\r\n";
    if (SendDataFromText(saved, false) != items)
        std::abort();
    return 0;
}
