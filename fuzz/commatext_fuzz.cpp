#include "data/commatext.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> fields = SplitCommaText(text);
    std::string joined;
    for (const std::string &field : fields) {
        if (SplitCommaText(QuoteField(field)) != std::vector<std::string>{field})
            std::abort();
        joined += QuoteField(field) + ", ";
    }
    if (SplitCommaText(joined) != fields)
        std::abort();
    return 0;
}
