// Figures for capture to file: what an append costs the receive path while a port delivers 1 MB/s
// in 64-byte lines, how far the file lags behind, and the most the writer takes per second.
// `--smoke` runs a fraction of a second, for CI.
#include "log/capturefile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t FileSize(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const double seconds = smoke ? 0.3 : 5.0;
    char folder[] = "/tmp/capture_bench.XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string path = std::string(folder) + "/capture.log";
    const std::string line = "Rec  :(12:34:56.789 +0.001)" + std::string(35, 'x') + "\r\n"; // 64 bytes

    // 1 MB/s paced: 16384 lines a second, sent in bursts of 16 lines every millisecond.
    CCaptureFile capture;
    if (capture.Start(path) != 0)
        return 1;
    std::vector<double> costs;
    int64_t maxLagBytes = 0;
    const auto start = Clock::now();
    int64_t appended = 0;
    for (int tick = 0; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++tick) {
        for (int i = 0; i < 16; ++i) {
            const auto before = Clock::now();
            capture.Append(line);
            costs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - before).count());
        }
        appended += 16 * static_cast<int64_t>(line.size());
        maxLagBytes = std::max<int64_t>(maxLagBytes, appended - FileSize(path));
        std::this_thread::sleep_until(start + std::chrono::milliseconds(tick + 1));
    }
    const auto flushStart = Clock::now();
    capture.Flush();
    const double flushMs = std::chrono::duration<double, std::milli>(Clock::now() - flushStart).count();
    capture.Stop();
    std::sort(costs.begin(), costs.end());
    std::printf("paced 1 MB/s for %.1f s: %lld bytes captured, file %lld bytes\n", seconds,
                static_cast<long long>(appended), static_cast<long long>(FileSize(path)));
    std::printf("  append cost: median %.0f ns, 99.9%% %.0f ns, max %.0f ns\n", costs[costs.size() / 2],
                costs[costs.size() * 999 / 1000], costs.back());
    std::printf("  file behind the log by at most %lld bytes (%.1f ms of traffic); final flush %.2f ms\n",
                static_cast<long long>(maxLagBytes), static_cast<double>(maxLagBytes) / 1048.576, flushMs);

    // Unpaced: how much the writer takes when the receiver never pauses.
    unlink(path.c_str());
    if (capture.Start(path) != 0)
        return 1;
    const int64_t total = smoke ? (8 << 20) : (256 << 20);
    const auto burst = Clock::now();
    for (int64_t done = 0; done < total; done += static_cast<int64_t>(line.size()))
        capture.Append(line);
    capture.Flush();
    const double burstSeconds = std::chrono::duration<double>(Clock::now() - burst).count();
    capture.Stop();
    std::printf("unpaced: %lld MB in %.2f s = %.0f MB/s\n", static_cast<long long>(total >> 20), burstSeconds,
                static_cast<double>(total) / (1 << 20) / burstSeconds);
    unlink(path.c_str());
    rmdir(folder);
    return FileSize(path) == -1 ? 0 : 1;
}
