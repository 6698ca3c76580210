#include "decode/layout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// Lines of "key = value" up to a NUL, then a frame: the keys are read as layouts or refused, and
// a frame of any bytes is read by them as far as it goes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const uint8_t *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t textSize = nul ? size_t(nul - data) : size;
    const std::string text(reinterpret_cast<const char *>(data), textSize);
    std::vector<std::pair<std::string, std::string>> keys;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(from, end - from);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        from = end + 1;
    }
    std::vector<ST_Layout> layouts;
    try {
        layouts = ParseLayouts(keys);
    } catch (const ELayoutError &) {
        return 0;
    }
    ST_Frame frame;
    if (nul)
        frame.Bytes.assign(nul + 1, data + size);
    const ST_Decoded d = CLayoutDecoder(layouts).Decode(frame);
    for (const ST_Field &f : d.Fields)
        if (std::none_of(layouts.begin(), layouts.end(),
                         [&](const ST_Layout &l) { return f.Name.rfind(l.Id + ".", 0) == 0; }))
            std::abort();
    return 0;
}
