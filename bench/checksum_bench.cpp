// How fast each checksum runs over a large buffer, in MB/s: the best of a few passes over 16 MiB
// (1 MiB and one pass with --smoke, a short run that only shows the bench still works).
// Prints figures; not a test.
#include "data/checksum.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t size = smoke ? (1u << 20) : (16u << 20);
    const int passes = smoke ? 1 : 5;
    std::vector<uint8_t> buffer(size);
    uint32_t seed = 12345;
    for (uint8_t &b : buffer) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    ST_ChecksumSpec custom;
    custom.Kind = EChecksumKind::Custom;
    custom.Custom = {32, 0x04C11DB7, 0xFFFFFFFF, false, false, 0xFFFFFFFF};
    uint32_t sink = 0; // keeps the work from being optimised away
    for (int k = 1; k < kChecksumKindCount; ++k) {
        ST_ChecksumSpec params;
        params.Kind = static_cast<EChecksumKind>(k);
        if (params.Kind == EChecksumKind::Custom)
            params = custom;
        const CChecksum sum(params);
        double best = 0;
        for (int pass = 0; pass < passes; ++pass) {
            const auto start = std::chrono::steady_clock::now();
            sink ^= sum.Compute(buffer);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best = std::max(best, static_cast<double>(size) / seconds / 1e6);
        }
        std::printf("%-28s %9.1f MB/s\n",
                    params.Kind == EChecksumKind::Custom ? "Custom CRC (32, not refl.)"
                                                         : ChecksumName(params.Kind),
                    best);
    }
    std::printf("(%08x)\n", sink);
    return 0;
}
