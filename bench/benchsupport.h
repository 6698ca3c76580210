#pragma once
// Around what a bench measures: what the process itself costs (CPU time of all its threads,
// resident memory), and a private home for a bench that runs the real window.
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

inline double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The calling thread's own CPU time: the GUI thread's share, without the listener's and a feeder's.
inline double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Plays the device on a thread of its own: writes `data` to `fd` in `chunk`-sized pieces, one piece
// per `interval` when one is given. Its CPU, given in `cpu` (when not null) once it is done, is the
// device's, not the window's.
inline void FeedPty(int fd, const std::vector<uint8_t> &data, size_t chunk,
                    std::chrono::microseconds interval, double *cpu)
{
    const double start = ThreadCpuSeconds();
    auto next = std::chrono::steady_clock::now();
    for (size_t done = 0; done < data.size();) {
        const ssize_t w = write(fd, data.data() + done, std::min(chunk, data.size() - done));
        if (w < 0)
            break;
        done += static_cast<size_t>(w);
        if (interval.count()) {
            next += interval;
            std::this_thread::sleep_until(next);
        }
    }
    if (cpu)
        *cpu = ThreadCpuSeconds() - start;
}

inline long ResidentKb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Offscreen, with the app folder and the settings store in `home`, and the window's resources.
inline void UseBenchHome(const QTemporaryDir &home)
{
    Q_INIT_RESOURCE(kestrum);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KESTRUM_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
}
