// What the two-port monitor's bridge adds: the round trip of a 16-byte request from a program on
// the virtual port, through the bridge, to a device that answers at once, against the same
// request sent straight to the device; and the rate of a stream through the bridge against the
// same stream sent straight. Prints figures; not a test. --smoke makes a short run that only
// shows the bench still works.
#include "monitor/portmonitor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kRequest = 16;
int g_roundTrips = 20000;
size_t g_streamBytes = 64u << 20;

// A device: the master of a raw pseudo-terminal; `path` is the port to open.
struct Device
{
    int master = -1;
    int slave = -1;
    std::string path;

    Device()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        openpty(&master, &slave, name, &raw, nullptr);
        path = name;
    }
    ~Device()
    {
        close(master);
        close(slave);
    }
};

void WriteAll(int fd, const uint8_t *data, size_t size)
{
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

void ReadAll(int fd, uint8_t *data, size_t size)
{
    for (size_t done = 0; done < size;) {
        const ssize_t n = read(fd, data + done, size - done);
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

int OpenRaw(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

struct Spread
{
    double median = 0;
    double p99 = 0;
};

// Round trips of a request from `program` to a device on `device` that answers every request
// with as many bytes as soon as it has it whole.
Spread RoundTrips(int program, int device)
{
    std::thread answer([&] {
        uint8_t request[kRequest];
        for (int i = 0; i < g_roundTrips; ++i) {
            ReadAll(device, request, sizeof request);
            WriteAll(device, request, sizeof request);
        }
    });
    std::vector<double> us;
    us.reserve(static_cast<size_t>(g_roundTrips));
    uint8_t request[kRequest], reply[kRequest];
    for (int i = 0; i < g_roundTrips; ++i) {
        for (size_t k = 0; k < kRequest; ++k)
            request[k] = static_cast<uint8_t>(i * 31 + static_cast<int>(k) * 17);
        const Clock::time_point start = Clock::now();
        WriteAll(program, request, sizeof request);
        ReadAll(program, reply, sizeof reply);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (std::memcmp(request, reply, kRequest) != 0) {
            std::fprintf(stderr, "bridge_bench: reply %d differs from its request\n", i);
            std::exit(1);
        }
    }
    answer.join();
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

// MB/s of a stream written on `program` and drained from `device`.
double StreamRate(int program, int device)
{
    std::thread drain([&] {
        std::vector<uint8_t> buf(65536);
        for (size_t got = 0; got < g_streamBytes;) {
            const ssize_t n = read(device, buf.data(), buf.size());
            if (n > 0)
                got += static_cast<size_t>(n);
        }
    });
    std::vector<uint8_t> block(65536);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i);
    const Clock::time_point start = Clock::now();
    for (size_t sent = 0; sent < g_streamBytes;) {
        const size_t n = std::min(block.size(), g_streamBytes - sent);
        WriteAll(program, block.data(), n);
        sent += n;
    }
    drain.join();
    return static_cast<double>(g_streamBytes) / std::chrono::duration<double>(Clock::now() - start).count() /
           1e6;
}

// One run of both measures, straight to the device (`bridge` false) or through the monitor.
struct Run
{
    Spread trip;
    double rate = 0;
};

bool Measure(bool bridge, const std::string &link, Run *run)
{
    Device device;
    std::atomic<size_t> logged{0};
    // The blocks are counted, not kept: each is taken as soon as it comes.
    CPortMonitor *self = nullptr;
    CPortMonitor monitor(
        [&](ST_MonitorBlock &&block) {
            logged += block.Data.size();
            self->Taken(block.Data.size());
        },
        [](const std::string &note) { std::printf("note: %s\n", note.c_str()); });
    self = &monitor;
    if (bridge) {
        ST_MonitorSetup setup;
        setup.PortA = DefaultLinkSetting();
        setup.PortA.PortName = device.path;
        setup.PortA.Baud = 115200;
        setup.VirtualB = true;
        setup.VirtualPath = link;
        setup.Bridge = true;
        std::string error;
        if (!monitor.Start(setup, error)) {
            std::fprintf(stderr, "bridge_bench: %s\n", error.c_str());
            return false;
        }
    }
    const int program = OpenRaw(bridge ? link : device.path);
    run->trip = RoundTrips(program, device.master);
    run->rate = StreamRate(program, device.master);
    close(program);
    monitor.Stop();
    // Both ways of every round trip, and the stream.
    const size_t expected = bridge ? 2 * kRequest * static_cast<size_t>(g_roundTrips) + g_streamBytes : 0;
    if (logged.load() != expected) {
        std::fprintf(stderr, "bridge_bench: the monitor logged %zu bytes, not %zu\n", logged.load(),
                     expected);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_roundTrips = 200;
        g_streamBytes = 1u << 20;
    }
    const int runs = smoke ? 1 : 3;
    char home[] = "/tmp/kestrum-bridge-bench-XXXXXX";
    if (mkdtemp(home) == nullptr)
        return 1;
    setenv("KESTRUM_HOME", home, 1);
    const std::string link = std::string(home) + "/ttyBridge";

    // The best of the runs for each figure: other load on the machine only ever makes them worse.
    Run best[2];
    for (int i = 0; i < runs; ++i) {
        for (int bridge = 0; bridge < 2; ++bridge) {
            Run run;
            if (!Measure(bridge != 0, link, &run))
                return 1;
            Run &b = best[bridge];
            if (i == 0 || run.trip.median < b.trip.median)
                b.trip.median = run.trip.median;
            if (i == 0 || run.trip.p99 < b.trip.p99)
                b.trip.p99 = run.trip.p99;
            b.rate = std::max(b.rate, run.rate);
        }
    }
    std::remove((std::string(home) + "/kestrum.log").c_str());
    rmdir(home);
    std::printf("16-byte round trip, %d requests, best of %d runs (us):\n", g_roundTrips, runs);
    std::printf("  direct   median %7.1f  p99 %8.1f\n", best[0].trip.median, best[0].trip.p99);
    std::printf("  bridged  median %7.1f  p99 %8.1f\n", best[1].trip.median, best[1].trip.p99);
    std::printf("stream of %zu MB, best of %d runs:  direct %7.1f MB/s  bridged %7.1f MB/s  ratio %.2f\n",
                g_streamBytes >> 20, runs, best[0].rate, best[1].rate, best[1].rate / best[0].rate);
    return 0;
}
