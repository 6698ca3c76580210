#pragma once
// Around what a bench measures: what the process itself costs (CPU time of all its threads,
// resident memory), and a private home for a bench that runs the real window.
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

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
