// What opening a demo device costs: CSerial::Open("demo://echo") (the folder, the pseudo-terminal
// pair, the device's thread and the port's own open), the first answer after it, Close, and the
// CPU an open device takes while nobody talks to it. Prints figures; not a test.
#include "demo/demodevices.h"
#include "serial/serial.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Us(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Print(const char *what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-28s median %8.0f us   90%% %8.0f us   max %8.0f us\n", what, v[v.size() / 2],
                v[v.size() * 9 / 10], v.back());
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int rounds = smoke ? 3 : 200;
    demo::InstallDemoPorts();
    std::vector<double> open, answer, close;
    CSerial port;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        if (port.Open("demo://echo") != 0) {
            std::fprintf(stderr, "demo_bench: %s\n", port.OpenFailure().c_str());
            return 1;
        }
        const Clock::time_point opened = Clock::now();
        port.Write("x");
        char c = 0;
        uint32_t n = 0;
        while (n == 0 && port.Read(&c, 1, &n) == 0) {
        }
        const Clock::time_point answered = Clock::now();
        port.Close();
        const Clock::time_point closed = Clock::now();
        open.push_back(Us(opened - start));
        answer.push_back(Us(answered - opened));
        close.push_back(Us(closed - answered));
    }
    Print("Open(\"demo://echo\")", open);
    Print("first echo after the open", answer);
    Print("Close (device ends)", close);

    port.Open("demo://echo");
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(smoke ? 100 : 2000));
    std::printf("idle open device: %.4f CPU seconds in %.1f s\n", CpuSeconds() - cpu, smoke ? 0.1 : 2.0);
    port.Close();
    return 0;
}
