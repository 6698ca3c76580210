// What the frames view's store costs: a million frames of 8 bytes (eight seconds of a line at
// 1 MB/s cut into 125,000 frames a second) appended one by one, with no filter and with filters
// kept up to date; frames per second, the bytes of memory each frame takes, the memory at a
// million frames against the limit (the default limit, and one the million overflows, so the
// dropping is measured too), and how long a change of the filter takes over what is kept.
// One pass over a tenth with --smoke. Prints figures; not a test.
#include "frame/framestore.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

struct ST_Figures
{
    double FramesPerSecond;
    size_t Memory;
    size_t Kept;
    uint64_t Dropped;
};

ST_Figures Run(size_t frames, size_t limit, const ST_FrameFilter &filter)
{
    CFrameStore store;
    store.SetByteLimit(limit);
    store.SetFilter(filter);
    ST_Frame frame;
    frame.Bytes.resize(8);
    frame.Check = EFrameCheck::Ok;
    uint32_t seed = 12345;
    size_t passed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < frames; ++i) {
        for (uint8_t &b : frame.Bytes) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        frame.Start = frame.End = FrameTime{static_cast<int64_t>(i * 8)};
        frame.Gap = FrameTime{8};
        frame.GapChars = 1.0;
        frame.Direction = i % 2 ? EFrameDirection::Sent : EFrameDirection::Received;
        passed += store.Append(frame) ? 1 : 0;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  (%zu passed the filter)\n", passed);
    // What the user waits for when the filter changes: every frame kept is looked at again.
    ST_FrameFilter other = filter;
    other.Text = filter.Text.empty() ? "a5" : std::string();
    const auto refilter = std::chrono::steady_clock::now();
    store.SetFilter(other);
    std::printf(
        "  filter changed over %zu frames in %.1f ms\n", store.Count(),
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - refilter).count());
    return {frames / seconds, store.MemoryBytes(), store.Count(), store.Dropped()};
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t frames = smoke ? 100000 : 1000000;
    ST_FrameFilter text;
    text.Text = "a5";
    ST_FrameFilter tx;
    tx.Directions = 1u << static_cast<unsigned>(EFrameDirection::Sent);
    const struct
    {
        const char *Name;
        size_t Limit;
        ST_FrameFilter Filter;
    } cases[] = {
        {"no filter, default limit", CFrameStore::kDefaultByteLimit, {}},
        {"Tx only, default limit", CFrameStore::kDefaultByteLimit, tx},
        {"text \"a5\", default limit", CFrameStore::kDefaultByteLimit, text},
        {"no filter, 16 MiB limit", size_t{16} * 1024 * 1024, {}},
    };
    for (const auto &c : cases) {
        std::printf("%s: %zu frames of 8 bytes\n", c.Name, frames);
        const ST_Figures f = Run(frames, c.Limit, c.Filter);
        std::printf(
            "  %.0f frames/s, %.1f bytes per kept frame, %.1f MiB of %.0f MiB, %zu kept, %llu dropped\n",
            f.FramesPerSecond, static_cast<double>(f.Memory) / static_cast<double>(f.Kept),
            static_cast<double>(f.Memory) / (1024.0 * 1024.0),
            static_cast<double>(c.Limit) / (1024.0 * 1024.0), f.Kept,
            static_cast<unsigned long long>(f.Dropped));
    }
    return 0;
}
