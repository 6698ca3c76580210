// Receive path figures, offscreen, with a pseudo-terminal as the device:
//  - bytes per second from the pty through the window's receive handler into the log (hex mode)
//    and the received data list, against what a bare reader of the same pty achieves;
//  - the GUI thread's longest stall while 1 MB/s arrives.
//  - how long after a short message arrives its block reaches the window (an answer rule with no
//    delay answers that much later);
//  - CPU time per received megabyte at 11.5 KB/s, 100 KB/s and 1 MB/s, and the resident memory
//    each received byte adds;
//  - the wake-ups with the port open and nothing arriving, which must be none;
//  - with --runs N, only this: the shown window opened N times over, each time fed 64-byte lines
//    at 11.5 KB/s (115200 baud), with the CPU and wake-ups of the port's listener thread and of
//    the GUI thread in each run. A run costs what the one before cost, or a user who starts the
//    program twice gets two different costs.
// Prints figures; it is not a test and asserts only that no byte was lost and that an idle port
// stays idle. `--smoke` runs every part briefly, for a check that the bench still works rather
// than for figures.
#include "../benchsupport.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TPortCommands.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "serial/serialex.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct Pty
{
    int master = -1, slave = -1;
    std::string path;

    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        path = name;
    }
    ~Pty()
    {
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
    }
};

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(1 + (i * 7) % 253);
    return data;
}

double BareReadRate(const std::vector<uint8_t> &data)
{
    Pty pty;
    QElapsedTimer clock;
    clock.start();
    std::thread writer(FeedPty, pty.master, std::cref(data), 4096, std::chrono::microseconds{}, nullptr);
    std::vector<uint8_t> buffer(2047);
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = read(pty.slave, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    writer.join();
    return got / (clock.nsecsElapsed() / 1e9);
}

COM_PORT_SETTING LinkTo(const std::string &path)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = "Bench";
    link.PortName = path;
    return link;
}

// Bytes shown in hex lines "Rec  :41 42 ": three characters per byte after the header.
size_t LoggedBytes(const TTrafficLog &log)
{
    size_t bytes = 0;
    for (int i = 0; i < log.LineCount(); ++i)
        bytes += (log.LineText(i).size() - 6) / 3;
    return bytes;
}

bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    // Sleeps in the event loop between events (a bare processEvents returns at once when nothing
    // is pending, and the loop would then spin and count its own CPU); the timer wakes it to look
    // at the clock.
    QTimer wake;
    wake.start(20);
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// With `withList` the blocks go to the received data list window as in the program; without it
// the window keeps them in its plain holder, which shows the cost of the receive path alone.
int WindowRun(const std::vector<uint8_t> &data, double bareRate, bool withList)
{
    Pty pty;
    TfrmMain w;
    TfrmRecDataList *list = withList ? new TfrmRecDataList(&w) : nullptr;
    w.SetRecDataList(list);
    w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(LinkTo(pty.path));
    if (!w.IsPortOpen()) {
        std::printf("cannot open %s\n", pty.path.c_str());
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    std::thread writer(FeedPty, pty.master, std::cref(data), 4096, std::chrono::microseconds{}, nullptr);
    const bool all =
        RunUntil([&w, &data] { return w.Session().RecBytes() >= static_cast<int64_t>(data.size()); }, 120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    writer.join();

    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    const size_t logged = LoggedBytes(*log);
    std::vector<CCommData> entries;
    if (list) {
        for (int i = 0; i < list->Entries().Count(); ++i)
            entries.push_back(list->Entries().At(i));
    } else {
        entries = w.RecDataHeld();
    }
    bool listTailMatches = !entries.empty();
    for (size_t i = 0; i < entries.size() && listTailMatches; ++i) {
        const int line = log->LineCount() - static_cast<int>(entries.size() - i);
        listTailMatches = line >= 0 && log->LineText(line) == "Rec  :" + entries[i].ToHexText();
    }
    const double rate = w.Session().RecBytes() / seconds;
    std::printf("-- received blocks go to %s\n",
                list ? "the received data list window" : "the window's plain holder");
    std::printf(
        "receive: %zu bytes in %lld blocks, %.2f s, %.1f MB/s through the window; bare pty read %.1f MB/s; "
        "ratio %.2f\n",
        data.size(), static_cast<long long>(w.Session().RecBlocks()), seconds, rate / 1e6, bareRate / 1e6,
        rate / bareRate);
    std::printf(
        "receive: all bytes counted %s, bytes in the log %zu (%s), received list tail matches the log %s\n",
        all ? "yes" : "NO", logged, logged == data.size() ? "all" : "MISSING",
        listTailMatches ? "yes" : "NO");
    return all && logged == data.size() && listTailMatches ? 0 : 1;
}

int LatencyRun(int messages)
{
    Pty pty;
    TfrmMain w;
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(LinkTo(pty.path));
    std::vector<double> delays;
    for (int i = 0; i < messages; ++i) {
        const int64_t before = w.Session().RecBlocks();
        QElapsedTimer clock;
        clock.start();
        if (write(pty.master, "ping\r\n", 6) != 6)
            return 1;
        if (!RunUntil([&w, before] { return w.Session().RecBlocks() > before; }, 5000))
            return 1;
        delays.push_back(clock.nsecsElapsed() / 1e6);
        // Apart by more than a gap, so every message is a block of its own.
        RunUntil([] { return false; }, 30);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("latency: message to block in the window, %d messages: median %.1f ms, worst %.1f ms\n",
                messages, delays[delays.size() / 2], delays.back());
    return 0;
}

// The whole process's CPU time (every thread, the feeding one excluded as far as it sleeps) while
// `seconds` of data arrive at `rate` bytes per second, in pieces of 1/100 s or 64 bytes.
int CpuRun(double rate, double seconds)
{
    Pty pty;
    TfrmMain w;
    w.SetRecDataList(new TfrmRecDataList(&w));
    w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(LinkTo(pty.path));
    const size_t piece = std::max<size_t>(64, static_cast<size_t>(rate / 100));
    const auto interval = std::chrono::microseconds(static_cast<long long>(piece * 1e6 / rate));
    const std::vector<uint8_t> data = Pattern(static_cast<size_t>(rate * seconds));
    const long residentBefore = ResidentKb();
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    std::thread writer(FeedPty, pty.master, std::cref(data), piece, interval, nullptr);
    const bool all =
        RunUntil([&w, &data] { return w.Session().RecBytes() >= static_cast<int64_t>(data.size()); },
                 static_cast<int>(seconds * 1000) + 30000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = clock.nsecsElapsed() / 1e9;
    writer.join();
    const long grown = ResidentKb() - residentBefore;
    std::printf(
        "cpu: %.1f KB/s for %.1f s: %.2f CPU s per MB, %.1f %% of a core; memory %.1f bytes per received "
        "byte%s\n",
        rate / 1e3, wall, cpu / (data.size() / 1e6), 100.0 * cpu / wall,
        grown * 1024.0 / static_cast<double>(data.size()), all ? "" : "; BYTES MISSING");
    return all ? 0 : 1;
}

int StallRun(bool withList, double seconds)
{
    Pty pty;
    TfrmMain w;
    w.SetRecDataList(withList ? new TfrmRecDataList(&w) : nullptr);
    w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(LinkTo(pty.path));
    const std::vector<uint8_t> data = Pattern(static_cast<size_t>(seconds * 1000 * 1000));
    // 1 MB/s as 1000 bytes every millisecond.
    std::thread writer(FeedPty, pty.master, std::cref(data), 1000, std::chrono::microseconds{1000}, nullptr);

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(0);
    const bool all =
        RunUntil([&w, &data] { return w.Session().RecBytes() >= static_cast<int64_t>(data.size()); }, 30000);
    tick.stop();
    writer.join();
    std::printf(
        "stall: %zu bytes at 1 MB/s in %lld blocks; longest GUI thread stall %.1f ms (target < 16 ms)%s\n",
        data.size(), static_cast<long long>(w.Session().RecBlocks()), longest / 1e6,
        all ? "" : "; BYTES MISSING");
    return all ? 0 : 1;
}

long ContextSwitches()
{
    long switches = 0;
    QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                switches += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return switches;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A port left open all day with nothing arriving must cost nothing: the wake-ups of every thread
// over a quiet while, less the one that ends the wait, are to be none.
int IdleRun(int ms)
{
    Pty pty;
    TfrmMain w;
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(LinkTo(pty.path));
    RunFor(500); // what opening started (the counters' refresh) comes to its end
    const long before = ContextSwitches();
    RunFor(ms);
    const long wakeups = ContextSwitches() - before - 1;
    std::printf("idle: %ld wake-ups in %.1f s with the port open and nothing arriving%s\n", wakeups,
                ms / 1000.0, wakeups > 0 ? "; NOT IDLE" : "");
    return wakeups > 0 ? 1 : 0;
}

// What one thread of this process has cost so far: time on a CPU (the scheduler's count, in
// nanoseconds, finer than the clock ticks of `stat`) and the times it went to sleep.
struct ThreadCost
{
    double cpuSeconds = 0;
    long wakeups = 0;
};

ThreadCost CostOf(const std::string &tid)
{
    ThreadCost cost;
    const std::string dir = "/proc/self/task/" + tid;
    std::ifstream sched(dir + "/schedstat");
    long long ns = 0;
    if (sched >> ns)
        cost.cpuSeconds = ns / 1e9;
    std::ifstream status(dir + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            cost.wakeups = std::stol(line.substr(line.find(':') + 1));
    return cost;
}

// The thread of this process with the given name, or an empty string.
std::string ThreadNamed(const char *name)
{
    QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream comm(tasks.filePath(task + QStringLiteral("/comm")).toStdString());
        std::string line;
        if (std::getline(comm, line) && line == name)
            return task.toStdString();
    }
    return {};
}

// 64-byte text lines, each due at its time at `rate`; the feeder wakes at most once a millisecond
// (as a USB adapter hands data over) and writes all lines then due.
void FeedLines(int fd, double rate, double seconds)
{
    constexpr size_t kLine = 64;
    const size_t lines = static_cast<size_t>(rate * seconds) / kLine;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const auto dueAt = [&](size_t line) {
        return start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(static_cast<double>(line * kLine) / rate));
    };
    std::string text;
    for (size_t sent = 0; sent < lines;) {
        const Clock::time_point now = Clock::now();
        text.clear();
        for (; sent < lines && dueAt(sent) <= now; ++sent) {
            char line[kLine + 1];
            std::snprintf(line, sizeof line, "%06zu %-55.55s\r\n", sent % 1000000,
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJ");
            text.append(line, kLine);
        }
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = write(fd, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
        if (sent < lines)
            std::this_thread::sleep_until(std::max(now + std::chrono::milliseconds(1), dueAt(sent)));
    }
}

struct RunCost
{
    double listener = 0, gui = 0;           // % of a core
    double listenerWakes = 0, guiWakes = 0; // per second
    double wakesPerLine = 0;                // the listener's
    bool ok = false;
};

// The shown window on a new pty at 115200 baud, fed lines at 11.5 KB/s for `seconds`.
RunCost LineFeedRun(double seconds)
{
    constexpr double kRate = 11.52e3;
    RunCost result;
    Pty pty;
    TfrmMain w;
    w.show();
    COM_PORT_SETTING link = LinkTo(pty.path);
    link.Baud = 115200;
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(link);
    const std::string listener = ThreadNamed(CSerialEx::kListenerName);
    if (!w.IsPortOpen() || listener.empty()) {
        std::printf("cannot open %s or find its listener\n", pty.path.c_str());
        return result;
    }
    RunFor(300); // what opening started comes to its end
    const std::string gui = std::to_string(getpid());
    const ThreadCost listenerBefore = CostOf(listener), guiBefore = CostOf(gui);
    const int64_t expected = static_cast<int64_t>(kRate * seconds) / 64 * 64;
    QElapsedTimer clock;
    clock.start();
    std::thread writer(FeedLines, pty.master, kRate, seconds);
    result.ok = RunUntil([&w, expected] { return w.Session().RecBytes() >= expected; },
                         static_cast<int>(seconds * 1000) + 30000);
    writer.join();
    const double wall = clock.nsecsElapsed() / 1e9;
    const ThreadCost listenerAfter = CostOf(listener), guiAfter = CostOf(gui);
    result.listener = 100 * (listenerAfter.cpuSeconds - listenerBefore.cpuSeconds) / wall;
    result.gui = 100 * (guiAfter.cpuSeconds - guiBefore.cpuSeconds) / wall;
    result.listenerWakes = (listenerAfter.wakeups - listenerBefore.wakeups) / wall;
    result.guiWakes = (guiAfter.wakeups - guiBefore.wakeups) / wall;
    result.wakesPerLine =
        static_cast<double>(listenerAfter.wakeups - listenerBefore.wakeups) / (expected / 64);
    return result;
}

int RepeatedRuns(int runs, double seconds)
{
    std::vector<double> listener;
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        const RunCost cost = LineFeedRun(seconds);
        failures += cost.ok ? 0 : 1;
        listener.push_back(cost.listener);
        std::printf(
            "run %2d: listener %5.2f %% of a core (%4.0f wake-ups/s, %.2f a line), GUI thread %5.2f %% "
            "(%4.0f wake-ups/s)%s\n",
            run, cost.listener, cost.listenerWakes, cost.wakesPerLine, cost.gui, cost.guiWakes,
            cost.ok ? "" : "; BYTES MISSING");
        std::fflush(stdout);
    }
    const auto [low, high] = std::minmax_element(listener.begin(), listener.end());
    std::printf(
        "runs: 11.5 KB/s in 64-byte lines, %d runs of %.1f s: listener lowest %.2f %%, highest %.2f %% "
        "(%.2f times the lowest%s)\n",
        runs, seconds, *low, *high, *low > 0 ? *high / *low : 0.0,
        *low > 0 && *high <= 1.5 * *low ? "" : "; MORE THAN 1.5 TIMES");
    return failures;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    UseBenchHome(home);
    QApplication app(argc, argv);
    // A number of megabytes, or --smoke for a short run that only shows the bench still works.
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // --runs N [seconds]: only the repeated runs of the window at 11.5 KB/s.
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0)
        return RepeatedRuns(std::atoi(argv[2]), argc > 3 ? std::atof(argv[3]) : 10);
    const size_t megabytes = smoke ? 1 : argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    const double seconds = smoke ? 0.3 : 5;
    const std::vector<uint8_t> data = Pattern(megabytes * 1000 * 1000);
    const double bare = BareReadRate(data);
    int failures = 0;
    for (const bool withList : {false, true}) {
        failures += WindowRun(data, bare, withList);
        failures += StallRun(withList, smoke ? 0.3 : 3);
    }
    failures += LatencyRun(smoke ? 3 : 30);
    failures += IdleRun(smoke ? 1000 : 5000);
    for (const double rate : {11.52e3, 100e3, 1e6})
        failures += CpuRun(rate, seconds);
    failures += RepeatedRuns(smoke ? 2 : 10, smoke ? 0.5 : 10);
    return failures;
}
