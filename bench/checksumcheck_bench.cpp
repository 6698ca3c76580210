// What checking received checksums costs the window per received byte, in MB/s: 16 MiB of
// CRC-16/MODBUS frames of 64 bytes judged block by block, and 16 MiB of text lines of 40 bytes with
// a Sum-8, fed in blocks of 4 KiB so that lines are cut between blocks (1 MiB with --smoke, a
// short run that only shows the bench still works). Prints figures; not a test.
#include "recdata/checksumcheck.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double MegabytesPerSecond(CChecksumCheck &check, const std::vector<uint8_t> &stream, size_t block, int passes)
{
    double best = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (size_t at = 0; at < stream.size(); at += block)
            check.Feed(stream.data() + at, std::min(block, stream.size() - at));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, static_cast<double>(stream.size()) / seconds / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t size = smoke ? (1u << 20) : (16u << 20);
    const int passes = smoke ? 1 : 5;

    const ST_ChecksumSpec modbus{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian};
    const std::vector<uint8_t> frame = CChecksum(modbus).Append(std::vector<uint8_t>(62, 0x5A));
    std::vector<uint8_t> frames;
    while (frames.size() < size)
        frames.insert(frames.end(), frame.begin(), frame.end());
    CChecksumCheck blocks(modbus, ECheckCover::Blocks);
    const double blockRate = MegabytesPerSecond(blocks, frames, frame.size(), passes);

    const ST_ChecksumSpec sum8{EChecksumKind::Sum8, {}, EByteOrder::BigEndian};
    std::vector<uint8_t> line = CChecksum(sum8).Append(std::vector<uint8_t>(37, 'a'));
    line.push_back('\r');
    line.push_back('\n');
    std::vector<uint8_t> text;
    while (text.size() < size)
        text.insert(text.end(), line.begin(), line.end());
    CChecksumCheck lines(sum8, ECheckCover::Lines);
    const double lineRate = MegabytesPerSecond(lines, text, 4096, passes);

    std::printf("%-36s %9.1f MB/s\n", "blocks (CRC-16/MODBUS, 64 B frames)", blockRate);
    std::printf("%-36s %9.1f MB/s\n", "lines (Sum-8, 40 B lines, 4 KiB)", lineRate);
    std::printf("(%llu bad)\n", static_cast<unsigned long long>(blocks.Bad() + lines.Bad()));
    return 0;
}
