#include "transfer/zmodemstart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The input is the received stream, cut into blocks of sizes its first byte picks. Every byte
// must come out exactly once and in order: shown, the transfer's, or kept back (never more than a
// header's length) until Release; a transfer begins with a whole header.
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
    bool found = false;
    for (; at < size && !found; at += piece) {
        const size_t count = std::min(piece, size - at);
        found = scanner.Feed(data + at, count, &out, &transfer) != EZmodemStart::None;
        if (scanner.Held().size() >= CZmodemStartScanner::kHeaderSize)
            abort();
    }
    if (found) {
        if (transfer.size() < CZmodemStartScanner::kHeaderSize || transfer[0] != '*' ||
            !scanner.Held().empty())
            abort();
        out.insert(out.end(), transfer.begin(), transfer.end());
        if (at < size)
            out.insert(out.end(), data + at, data + size);
    } else {
        scanner.Release(&out);
    }
    if (out != std::vector<uint8_t>(data, data + size))
        abort();
    return 0;
}
