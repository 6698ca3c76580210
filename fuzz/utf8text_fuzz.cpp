#include "data/utf8text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>

// Fed in pieces cut at points taken from the input, the joiner keeps every byte in order and no
// character of the whole is split between two pieces it gives out.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t step = data[0] % 7 + 1;
    ++data;
    --size;
    CUtf8Joiner joiner;
    Bytes all;
    std::set<size_t> cuts;
    for (size_t at = 0; at < size; at += step) {
        joiner.Feed(data + at, std::min(step, size - at), all);
        cuts.insert(all.size());
    }
    joiner.Flush(all);
    if (joiner.Holding() || all != Bytes(data, data + size))
        std::abort();
    for (size_t i = 0; i < all.size();) {
        const Utf8Step s = ScanUtf8(all.data() + i, all.size() - i);
        if (s.length == 0)
            std::abort();
        if (s.kind == Utf8Step::Char)
            for (size_t k = i + 1; k < i + s.length; ++k)
                if (cuts.count(k))
                    std::abort();
        i += s.length;
    }
    return 0;
}
