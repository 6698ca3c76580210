#include "data/ansitext.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Marked text with its marks taken out.
Bytes Unmarked(const Bytes &marked)
{
    Bytes text;
    for (size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] != kAnsiMark) {
            text.push_back(marked[i]);
            continue;
        }
        if (++i == marked.size() || marked[i] < 0x40 || marked[i] > 0x70)
            std::abort();
    }
    return text;
}

} // namespace

// Cutting the input anywhere changes neither the text nor the style it ends in.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t cut = data[0] * size / 256;
    CAnsiParser whole;
    Bytes stripped;
    whole.Feed(data, size, stripped, false);
    for (uint8_t b : stripped)
        if (b == kAnsiMark)
            std::abort();
    CAnsiParser pieces;
    Bytes marked;
    pieces.Feed(data, cut, marked, true);
    pieces.Feed(data + cut, size - cut, marked, true);
    if (Unmarked(marked) != stripped || pieces.Style() != whole.Style())
        std::abort();
    return 0;
}
