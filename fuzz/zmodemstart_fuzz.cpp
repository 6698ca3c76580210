#include "filesend/zmodemstart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The input is the received stream, cut into blocks of sizes its first byte picks. Every byte
// must come out, shown or the transfer's, in order; only a header's start that ended a block is
// both (shown at once, and the transfer's once the next block completed the header).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 16;
    ++data;
    --size;
    CZmodemStartScanner scanner;
    std::vector<uint8_t> out;
    std::vector<uint8_t> transfer;
    size_t at = 0;
    size_t lastNew = 0; // the last block's bytes that were not shown
    bool found = false;
    for (; at < size && !found; at += piece) {
        const size_t count = std::min(piece, size - at);
        std::vector<uint8_t> shown;
        found = scanner.Feed(data + at, count, &shown, &transfer) != EZmodemStart::None;
        out.insert(out.end(), shown.begin(), shown.end());
        lastNew = count - shown.size();
    }
    if (found) {
        // The transfer begins with a whole header; what of it came before the last block was shown.
        if (transfer.size() < 6 || transfer[0] != '*' || transfer.size() < lastNew ||
            transfer.size() - lastNew > 5)
            abort();
        out.insert(out.end(), transfer.end() - static_cast<std::ptrdiff_t>(lastNew), transfer.end());
        if (at < size)
            out.insert(out.end(), data + at, data + size);
    }
    if (out != std::vector<uint8_t>(data, data + size))
        abort();
    return 0;
}
