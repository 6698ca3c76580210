// How many frames per second each framer cuts: 125,000 frames of 8 bytes (1 MB, what a line at
// 1 MB/s carries in a second; COBS and SLIP add their own bytes around the 8), in reads of 64
// bytes, each frame checked with CRC-16/MODBUS.
// The best of a few passes (one pass over a tenth with --smoke, a short run that only shows the
// bench still works). Prints figures; not a test.
#include "frame/framers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cobs(const Bytes &payload) // shorter than 254 bytes
{
    Bytes out{0};
    size_t code = 0;
    for (uint8_t b : payload) {
        if (b == 0) {
            out[code] = static_cast<uint8_t>(out.size() - code);
            code = out.size();
        }
        out.push_back(b);
    }
    out[code] = static_cast<uint8_t>(out.size() - code);
    out.push_back(0);
    return out;
}

Bytes Slip(const Bytes &payload)
{
    Bytes out;
    for (uint8_t b : payload) {
        if (b == 0xC0 || b == 0xDB)
            out.insert(out.end(), {0xDB, static_cast<uint8_t>(b == 0xC0 ? 0xDC : 0xDD)});
        else
            out.push_back(b);
    }
    out.push_back(0xC0);
    return out;
}

Bytes Payload(uint32_t &seed, size_t size)
{
    Bytes out(size);
    for (uint8_t &b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

struct ST_Case
{
    const char *Name;
    std::function<std::unique_ptr<CFramer>()> Make;
    std::function<Bytes(uint32_t &)> Frame; // one frame of 8 bytes as sent
    int64_t GapMicros;                      // between reads
};

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t frames = smoke ? 12500 : 125000;
    const int passes = smoke ? 1 : 5;
    const CChecksum crc({EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    const ST_LineTiming line{115200, 8, false, 1};
    const std::vector<ST_Case> cases = {
        {"silence", [&] { return std::make_unique<CSilenceFramer>(ST_SilenceSettings{}, line); },
         [&](uint32_t &s) { return crc.Append(Payload(s, 6)); }, 1000},
        // A check value that happens to hold CR LF cuts its frame short, as it would on the line.
        {"delimiter (CR LF)",
         [] {
             return std::make_unique<CDelimiterFramer>(
                 ST_DelimiterSettings{EDelimiterMode::End, {}, {'\r', '\n'}});
         },
         [&](uint32_t &s) {
             Bytes p = Payload(s, 4);
             for (uint8_t &b : p)
                 b = 'a' + b % 26;
             p = crc.Append(p);
             p.insert(p.end(), {'\r', '\n'});
             return p;
         },
         0},
        {"length field",
         [] {
             return std::make_unique<CLengthFramer>(ST_LengthField{1, 1});
         },
         [&](uint32_t &s) {
             Bytes p = Payload(s, 6);
             p[1] = 6; // the bytes after the field
             return crc.Append(p);
         },
         0},
        {"fixed length", [] { return std::make_unique<CFixedFramer>(8); },
         [&](uint32_t &s) { return crc.Append(Payload(s, 6)); }, 0},
        {"COBS", [] { return std::make_unique<CCobsFramer>(); },
         [&](uint32_t &s) { return Cobs(crc.Append(Payload(s, 6))); }, 0},
        {"SLIP", [] { return std::make_unique<CSlipFramer>(); },
         [&](uint32_t &s) { return Slip(crc.Append(Payload(s, 6))); }, 0},
    };
    size_t sink = 0;
    for (const ST_Case &c : cases) {
        uint32_t seed = 12345;
        Bytes stream;
        for (size_t i = 0; i < frames; ++i) {
            const Bytes f = c.Frame(seed);
            stream.insert(stream.end(), f.begin(), f.end());
        }
        // The silence framer gets each frame as a read of its own, after a gap.
        const size_t read = c.GapMicros ? 8 : 64;
        double best = 0;
        size_t got = 0, ok = 0;
        for (int pass = 0; pass < passes; ++pass) {
            const auto framer = c.Make();
            framer->SetCheck(
                ST_FrameCheck{crc.Spec(), 0, std::string(c.Name).rfind("delim", 0) == 0 ? 2u : 0u});
            std::vector<ST_Frame> out;
            out.reserve(frames + 1);
            const auto start = std::chrono::steady_clock::now();
            int64_t now = 0;
            for (size_t at = 0; at < stream.size(); at += read, now += c.GapMicros + 1) {
                framer->Feed(EFrameDirection::Received, stream.data() + at,
                             std::min(read, stream.size() - at), FrameTime(now), out);
            }
            framer->Flush(out);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best = std::max(best, static_cast<double>(out.size()) / seconds);
            got = out.size();
            ok = static_cast<size_t>(std::count_if(
                out.begin(), out.end(), [](const ST_Frame &f) { return f.Check == EFrameCheck::Ok; }));
        }
        sink += got;
        std::printf("%-20s %12.0f frames/s  (%zu frames of %zu bytes, %zu checked ok)\n", c.Name, best, got,
                    stream.size() / frames, ok);
    }
    std::printf("(%zu)\n", sink);
    return 0;
}
