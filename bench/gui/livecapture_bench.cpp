// What a live capture costs the window, side by side in one run, offscreen, with a pseudo-terminal
// as the device sending 8-byte lines at 1 MB/s: the window's CPU (the process's less the feeder
// thread's, which plays the device) without a capture and with a
// reader attached to the window's socket, as kestrum-extcap attaches for the analyser, both with
// the traffic in blocks and framed ("Lines", about 125,000 frames a second), in alternating rounds
// (median of the rounds), and the ratio to no capture. The reader is a process of its own, so its
// reading is not counted as the window's. Then a capture to a file, raw bytes against pcapng, as
// File > Capture starts one. Prints figures; asserts only that no byte was lost.
// `--smoke` runs every part briefly, `--mode N [seconds]` one round of one part.
#include "../benchsupport.h"
#include "../rawpty.h"
#include "extcap/livecapture.h"
#include "log/gui/TLogCapture.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TLiveCapture.h"
#include "mainwindow/features/TPortCommands.h"
#include "session/portsession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<uint8_t> Lines(size_t frames)
{
    std::vector<uint8_t> data;
    data.reserve(frames * 8);
    char line[16];
    for (size_t i = 0; i < frames; ++i) {
        std::snprintf(line, sizeof line, "%06zu\r\n", i % 1000000);
        data.insert(data.end(), line, line + 8);
    }
    return data;
}

bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(20);
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// A reader in a child process that takes everything and throws it away; -1 when none attached.
pid_t AttachReader(const std::string &path)
{
    std::string why;
    const int fd = ConnectLiveWindow(path, why);
    if (fd < 0) {
        std::printf("no reader: %s\n", why.c_str());
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        // The window's end of this very connection came along with the fork: it must go, or the
        // reader would never see the window hang up.
        for (int other = 3; other < 1024; ++other)
            if (other != fd)
                close(other);
        char buffer[65536];
        while (read(fd, buffer, sizeof buffer) > 0) {
        }
        _exit(0);
    }
    close(fd);
    return child;
}

// The live reader's modes by pairs (without, with), then a capture to a file of each kind, set
// against the blocks without one.
const char *const kModeNames[] = {
    "blocks",           "blocks + capture",          "frames",
    "frames + capture", "blocks + raw capture file", "blocks + pcapng capture file"};
constexpr int kModes = 6;

double Round(int mode, double seconds, const QString &folder, bool &all)
{
    const Pair pair = MakePair();
    pid_t reader = -1;
    double percent = 0;
    {
        TfrmMain w;
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName = "Bench";
        link.PortName = pair.name;
        w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(link);
        if (mode == 2 || mode == 3)
            w.Session().Frames().SetProfile(CFrameProfile::BuiltIn("Lines"), LineTimingOf(link));
        if (mode >= 4) {
            auto *commands = w.findChild<TCaptureCommands *>(QString(), Qt::FindDirectChildrenOnly);
            const QString path =
                folder + (mode == 4 ? QStringLiteral("/capture.bin") : QStringLiteral("/capture.pcapng"));
            QFile::remove(path);
            ST_CaptureChoice choice;
            choice.pattern = path;
            choice.raw = mode == 4;
            choice.pcapng = mode == 5;
            if (!commands || commands->Capture().Begin(choice, QString(), true) != 0)
                std::printf("%s: no capture started\n", kModeNames[mode]);
        } else if (mode % 2 == 1) {
            auto *capture = w.findChild<TLiveCapture *>(QString(), Qt::FindDirectChildrenOnly);
            reader = capture ? AttachReader(capture->SocketPath()) : -1;
            RunUntil([&] { return capture && capture->Callers() > 0; }, 10000);
        }
        const std::vector<uint8_t> data = Lines(static_cast<size_t>(125000 * seconds));
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = CpuSeconds();
        double feederCpu = 0;
        std::thread writer(FeedPty, pair.master, std::cref(data), 1000, std::chrono::microseconds{1000},
                           &feederCpu);
        all = RunUntil([&] { return w.Session().RecBytes() >= static_cast<int64_t>(data.size()); },
                       static_cast<int>(seconds * 1000) + 30000);
        // The last packets of the round are on their way to the reader, as the first ones were.
        const double cpu = CpuSeconds() - cpuBefore;
        writer.join();
        percent = 100.0 * (cpu - feederCpu) / (clock.nsecsElapsed() / 1e9);
    }
    if (reader > 0)
        waitpid(reader, nullptr, 0);
    close(pair.master);
    close(pair.slave);
    return percent;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    UseBenchHome(home);
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // --mode N [seconds]: one round of one mode, for a profiler.
    if (argc > 2 && std::strcmp(argv[1], "--mode") == 0) {
        const int mode = std::atoi(argv[2]) % kModes;
        bool all = false;
        const double cpu = Round(mode, argc > 3 ? std::atof(argv[3]) : 5, home.path(), all);
        std::printf("%s: %.1f %% of a core%s\n", kModeNames[mode], cpu, all ? "" : " (BYTES MISSING)");
        return all ? 0 : 1;
    }
    const int rounds = smoke ? 1 : 5;
    const double seconds = smoke ? 0.3 : 5;
    std::vector<double> cpu[kModes];
    int failures = 0;
    for (int r = 0; r < rounds; ++r)
        for (int mode = 0; mode < kModes; ++mode) {
            bool all = false;
            cpu[mode].push_back(Round(mode, seconds, home.path(), all));
            if (!all) {
                std::printf("%s: BYTES MISSING\n", kModeNames[mode]);
                ++failures;
            }
        }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (int mode = 0; mode < kModes; ++mode) {
        const double without = median(cpu[mode < 4 ? mode / 2 * 2 : 0]);
        const double value = median(cpu[mode]);
        std::printf(
            "cpu at 1 MB/s of 8-byte lines, %s: %.1f %% of a core (%.2f x without a capture; median of "
            "%d)\n",
            kModeNames[mode], value, without > 0 ? value / without : 0, rounds);
    }
    std::vector<double> ratio;
    for (int r = 0; r < rounds; ++r)
        ratio.push_back(cpu[4][r] > 0 ? cpu[5][r] / cpu[4][r] : 0);
    std::printf("pcapng capture file / raw capture file: %.2f (median of %d rounds)\n", median(ratio),
                rounds);
    return failures;
}
