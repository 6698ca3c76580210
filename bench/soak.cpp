// Soak figures: the real window, offscreen, on a pseudo-terminal fed at 1 MB/s for a given time,
// with millisecond time stamps on and one auto-send rule answering every block that begins with a
// question. Every minute it prints the resident memory, the CPU the process used in that minute
// (as a share of a core and per received megabyte), the longest GUI stall in that minute (how late a 10 ms
// timer fired), and what the log and the received list hold. Once the log is full the resident memory must
// stay flat.
//
//   soak [--minutes N] [--scrollback MiB] [--data lines|lf|cr|hex] [--capture-mb MB] [--smoke]
//   soak [--console] --cat MB [--smoke]   (--console alone: --cat 50)
//
// lines: 64-byte text lines (the default); lf, cr: bare line ends only, one displayed line per
// byte; hex: the lines shown in hex. --smoke runs a few seconds and reports every second, for a
// check that the bench still works rather than for figures. --capture-mb captures the log the
// while, with a new file at each that many MB and the finished ones compressed, and at the end
// adds the files up decompressed.
//
// --cat has a shell on a terminal of its own, bridged to the port's pseudo-terminal as a board's
// shell sits behind its serial line, cat a text file of that many MB (2 with --smoke) into the
// log, or with --console into the console shown in its place. It prints how long the window took
// to receive all of it, and the longest GUI stall meanwhile.
#include "autosend/event.h"
#include "autosend/rulelist.h"
#include "benchsupport.h"
#include "log/gui/TLogCapture.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TConsoleCommands.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/appfolder.h"
#include "ptypair.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "shellterminal.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr double kRate = 1e6; // bytes per second
const char kQuestion[] = "Q?";
const char kAnswer[] = "<ack>\r\n";

struct Options
{
    double minutes = 60;
    size_t scrollbackMiB = 16;
    std::string data = "lines";
    bool smoke = false;
    bool console = false;
    double catMB = 0;     // 0: the default for the run
    double captureMB = 0; // a capture with a new, compressed file at each this many MB; 0: none
};

// One second of the device's stream, repeated.
std::string Pattern(const std::string &kind)
{
    if (kind == "lf" || kind == "cr")
        return std::string(static_cast<size_t>(kRate), kind == "lf" ? '\n' : '\r');
    std::string text;
    for (int line = 0; text.size() < kRate; ++line) {
        char head[16];
        std::snprintf(head, sizeof head, "%08d ", line);
        std::string l = head;
        while (l.size() < 62)
            l.push_back(static_cast<char>('a' + (l.size() + static_cast<size_t>(line)) % 26));
        text += l + "\r\n";
    }
    text.resize(static_cast<size_t>(kRate));
    return text;
}

// Writes the stream at kRate, one piece a millisecond. Every fifth of a second it falls silent long
// enough to end the block, then asks a question, which starts the next block and gets an answer.
void Feed(int fd, const std::string &pattern, std::atomic<bool> &stop, std::atomic<int64_t> &questions)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    int64_t written = 0;
    size_t at = 0;
    auto nextQuestion = start + std::chrono::milliseconds(200);
    while (!stop) {
        const auto now = Clock::now();
        if (now >= nextQuestion) {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            if (write(fd, kQuestion, 2) == 2)
                ++questions;
            nextQuestion += std::chrono::milliseconds(200);
        }
        const auto due =
            static_cast<int64_t>(std::chrono::duration<double>(Clock::now() - start).count() * kRate);
        while (written < due && !stop) {
            const size_t n = std::min<size_t>(static_cast<size_t>(due - written), pattern.size() - at);
            const ssize_t w = write(fd, pattern.data() + at, n);
            if (w <= 0)
                return;
            written += w;
            at = (at + static_cast<size_t>(w)) % pattern.size();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Reads what the window sends, so the pty never fills; counts the answers.
void Drain(int fd, std::atomic<bool> &stop, std::atomic<int64_t> &answerBytes)
{
    char buffer[4096];
    while (!stop) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        answerBytes += n;
    }
}

bool ParseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--smoke")
            o.smoke = true;
        else if (arg == "--minutes" && hasValue)
            o.minutes = std::atof(argv[++i]);
        else if (arg == "--scrollback" && hasValue)
            o.scrollbackMiB = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--data" && hasValue)
            o.data = argv[++i];
        else if (arg == "--console")
            o.console = true;
        else if (arg == "--cat" && hasValue)
            o.catMB = std::atof(argv[++i]);
        else if (arg == "--capture-mb" && hasValue)
            o.captureMB = std::atof(argv[++i]);
        else
            return false;
    }
    return o.minutes > 0 && o.scrollbackMiB > 0 &&
           (o.data == "lines" || o.data == "lf" || o.data == "cr" || o.data == "hex");
}

// The capture's files added up, decompressed, once its compressions are over: a file is counted
// once, whichever of its two forms is on the disk.
struct ST_CaptureSum
{
    int files = 0, compressed = 0;
    int64_t bytes = 0;
};

ST_CaptureSum SumCapture(const std::string &folder)
{
    namespace fs = std::filesystem;
    const auto busy = [&folder] {
        for (const auto &entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("soak-", 0) == 0 &&
                (name.find(".part") != std::string::npos ||
                 (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0 &&
                  fs::exists(entry.path().parent_path() / name.substr(0, name.size() - 3)))))
                return true;
        }
        return false;
    };
    while (busy())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ST_CaptureSum sum;
    for (const auto &entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("soak-", 0) != 0)
            continue;
        ++sum.files;
        gzFile in = gzopen(entry.path().c_str(), "rb"); // reads a plain file as it is
        char buffer[65536];
        for (int n; in && (n = gzread(in, buffer, sizeof buffer)) > 0;)
            sum.bytes += n;
        if (in)
            gzclose(in);
        sum.compressed += name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0;
    }
    return sum;
}

void WriteAnswerRule()
{
    auto rule = std::make_unique<CSingleRule>();
    rule->Name = "Answer";
    rule->Event = std::make_unique<CReceiveSpecDataEvent>(CCommData(kQuestion, FMT_STRING));
    rule->DataItem = CCommData(kAnswer, FMT_STRING);
    rule->Always = true;
    CRuleList rules;
    rules.Add(std::move(rule));
    rules.SaveToFile(AppFilePath("Default.ass"));
}

// The longest time a 10 ms timer fired late, since the last Take.
class CStallWatch
{
public:
    CStallWatch()
    {
        m_clock.start();
        m_last = m_clock.elapsed();
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last - m_tick.interval());
            m_last = now;
        });
        m_tick.start(10);
    }
    qint64 Take() { return std::exchange(m_longest, 0); }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Writes all of `size` bytes, waiting as the descriptor needs.
bool WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// `cat` of a text file by a shell on a terminal of its own, whose master a thread joins to the
// port's pseudo-terminal, both ways (the console's answers go back to the shell's terminal).
int RunConsoleCat(QApplication &app, TfrmMain &w, CTestPty &pty, const Options &o)
{
    if (o.console)
        w.findChild<QAction *>(QStringLiteral("mnuViewConsole"))->trigger();
    const double megabytes = o.catMB > 0 ? o.catMB : (o.smoke ? 2 : 50);
    const std::string file = AppFilePath("cat.txt");
    int64_t lines = 0;
    {
        std::ofstream out(file, std::ios::binary);
        const std::string pattern = Pattern("lines");
        std::string text;
        for (size_t at = 0; at + 64 <= pattern.size(); at += 64)
            text += pattern.substr(at, 62) + "\n";
        const auto total = static_cast<int64_t>(megabytes * 1e6);
        int64_t written = 0;
        while (written < total) {
            const auto n = static_cast<std::streamsize>(std::min<int64_t>(total - written, text.size()));
            out.write(text.data(), n);
            written += n;
        }
        lines = written / 63; // the LFs
    }
    // The terminal turns each LF into CR LF.
    const int64_t expected = static_cast<int64_t>(megabytes * 1e6) + lines;

    const std::string command = "cat " + file;
    std::printf("soak: the %s, a shell's cat of %.0f MB\n", o.console ? "console" : "log", megabytes);
    // Far more than a window needs even in a sanitizer's build: past it bytes were lost or
    // something hangs, and the run fails rather than wait for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120) +
                          std::chrono::milliseconds(static_cast<int64_t>(megabytes * 5000));
    std::atomic<bool> late{false};
    const auto msLeft = [&deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<int64_t>(0, left.count()));
    };
    std::fflush(stdout);
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    CStallWatch stalls;
    int term = -1;
    const pid_t shell = StartShellOnTerminal(command, &term);
    if (shell < 0)
        return 1;
    // Read only once poll says so; a write towards a shell that stopped reading is dropped
    // rather than left to hang the bench.
    fcntl(term, F_SETFL, fcntl(term, F_GETFL) | O_NONBLOCK);
    // Ends at EIO once the shell is gone and its output read, or once told the shell has ended
    // and nothing is left to read: the terminal's end may not report EIO while the slave side
    // lingers, and the bench must not wait on it.
    const int shellEnded = eventfd(0, EFD_CLOEXEC);
    std::thread toPort([&] {
        char buffer[65536];
        for (;;) {
            pollfd p[2] = {{term, POLLIN, 0}, {shellEnded, POLLIN, 0}};
            const int ready = poll(p, 2, msLeft());
            if (ready < 0 && errno != EINTR)
                return;
            if (ready == 0) {
                late = true;
                return;
            }
            if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                if (p[1].revents)
                    return;
                continue;
            }
            const ssize_t n = read(term, buffer, sizeof buffer);
            if (n <= 0 || !WriteAll(pty.Master(), buffer, static_cast<size_t>(n)))
                return;
        }
    });
    const int portClosed = eventfd(0, EFD_CLOEXEC);
    std::thread toShell([&] {
        char buffer[4096];
        for (;;) {
            pollfd p[2] = {{pty.Master(), POLLIN, 0}, {portClosed, POLLIN, 0}};
            const int ready = poll(p, 2, msLeft());
            if (ready < 0 && errno != EINTR)
                return;
            if (ready == 0) {
                late = true;
                return;
            }
            if (p[1].revents)
                return;
            if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = read(pty.Master(), buffer, sizeof buffer);
            if (n <= 0 || !WriteAll(term, buffer, static_cast<size_t>(n)))
                return;
        }
    });

    const auto *console = w.findChild<TConsoleCommands *>();
    qint64 longest = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        longest = std::max(longest, stalls.Take());
        // The console has read it all too, not only the log.
        if (w.Session().RecBytes() >= expected && (!console || console->Backlog() == 0))
            app.quit();
        if (msLeft() == 0) {
            late = true;
            app.quit();
        }
    });
    watch.start(10);
    app.exec();
    // Only the run counts: the threads' waits after it may pass the deadline harmlessly.
    const bool failed = late;
    const double seconds = clock.elapsed() / 1000.0;
    longest = std::max(longest, stalls.Take());
    std::printf("%10s %10s %10s %10s %10s\n", "seconds", "MB/s", "cpu %", "stall ms", "rss MB");
    std::printf("%10.2f %10.1f %10.1f %10lld %10.1f\n", seconds, w.Session().RecBytes() / 1e6 / seconds,
                100.0 * (CpuSeconds() - cpuBefore) / seconds, static_cast<long long>(longest),
                ResidentKb() / 1024.0);
    std::fflush(stdout);

    if (failed) {
        std::printf("soak: %lld of %lld bytes came before the deadline; the run fails\n",
                    static_cast<long long>(w.Session().RecBytes()), static_cast<long long>(expected));
        std::fflush(stdout);
        kill(shell, SIGKILL);
    }
    waitpid(shell, nullptr, 0);
    const uint64_t one = 1;
    if (write(shellEnded, &one, sizeof one) < 0)
        std::printf("cannot tell the reader the shell ended\n");
    toPort.join();
    close(shellEnded);
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Close();
    // The thread towards the shell may still wait for the port's bytes; nothing more comes.
    if (write(portClosed, &one, sizeof one) < 0)
        std::printf("cannot wake the reader\n");
    toShell.join();
    close(portClosed);
    close(term);
    return !failed && w.Session().RecBytes() >= expected ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    UseBenchHome(home);
    QApplication app(argc, argv);
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: soak [--minutes N] [--scrollback MiB] [--data lines|lf|cr|hex] [--smoke]\n"
                     "       soak [--console] --cat MB [--smoke]\n");
        return 2;
    }
    if (o.console || o.catMB > 0) {
        CTestPty pty;
        fcntl(pty.Master(), F_SETFL, fcntl(pty.Master(), F_GETFL) & ~O_NONBLOCK);
        TfrmMain w;
        w.show();
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.PortName = pty.Path();
        w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(link);
        if (!w.IsPortOpen()) {
            std::printf("cannot open %s\n", pty.Path().c_str());
            return 1;
        }
        return RunConsoleCat(app, w, pty, o);
    }
    const int reportMs = o.smoke ? 1000 : 60000;
    const qint64 runMs = o.smoke ? 5000 : static_cast<qint64>(o.minutes * 60000);

    WriteAnswerRule();
    CTestPty pty;
    // The feeding and draining threads wait in write and read.
    fcntl(pty.Master(), F_SETFL, fcntl(pty.Master(), F_GETFL) & ~O_NONBLOCK);
    TfrmMain w;
    auto *list = new TfrmRecDataList(&w);
    w.SetRecDataList(list);
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    log->SetScrollbackBytes(o.scrollbackMiB * 1024 * 1024);
    if (o.data == "hex")
        w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    w.findChild<QAction *>(QStringLiteral("mnuViewMilliseconds"))->setChecked(true);
    if (!w.findChild<QAction *>(QStringLiteral("mnuViewShowTime"))->isChecked())
        w.findChild<QToolButton *>(QStringLiteral("btnShowTime"))->click();
    w.show();
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = "Soak";
    link.PortName = pty.Path();
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Open(link);
    if (!w.IsPortOpen()) {
        std::printf("cannot open %s\n", pty.Path().c_str());
        return 1;
    }
    w.findChild<QToolButton *>(QStringLiteral("btnStartAutoSend"))->click();
    if (o.captureMB > 0) {
        ST_CaptureChoice capture;
        capture.pattern = QString::fromStdString(AppFilePath("soak-{seq}.log"));
        capture.options.newFile = ST_CaptureOptions::NewFile::AtSize;
        capture.options.sizeBytes = static_cast<int64_t>(o.captureMB * 1e6);
        capture.options.compress = true;
        if (w.findChild<TCaptureCommands *>(QString(), Qt::FindDirectChildrenOnly)
                ->Capture()
                .Begin(capture, QString(), true) != 0) {
            std::printf("cannot start the capture\n");
            return 1;
        }
    }
    QCoreApplication::processEvents();

    const long startKb = ResidentKb();
    std::printf("soak: %s at %.1f MB/s, millisecond stamps, scrollback %zu MiB, answering \"%s\"; "
                "resident at start %.1f MB\n",
                o.data.c_str(), kRate / 1e6, o.scrollbackMiB, kQuestion, startKb / 1024.0);
    std::printf("%6s %10s %10s %8s %9s %10s %12s %10s %10s %9s %9s\n", "minute", "rss MB", "+start MB",
                "cpu %", "cpu s/MB", "stall ms", "log lines", "log MB", "list MB", "questions", "answers");
    std::fflush(stdout);

    std::atomic<bool> stop{false};
    std::atomic<int64_t> questions{0}, answerBytes{0};
    const std::string pattern = Pattern(o.data);
    std::thread feeder(Feed, pty.Master(), std::cref(pattern), std::ref(stop), std::ref(questions));
    std::thread drainer(Drain, pty.Master(), std::ref(stop), std::ref(answerBytes));

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.elapsed();
    qint64 longestStall = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick - tick.interval());
        lastTick = now;
    });
    tick.start(10);

    int period = 0;
    double cpuBefore = CpuSeconds();
    int64_t receivedBefore = w.Session().RecBytes();
    qint64 periodStart = clock.elapsed();
    QTimer report;
    report.setTimerType(Qt::PreciseTimer);
    QObject::connect(&report, &QTimer::timeout, [&] {
        ++period;
        const double cpu = CpuSeconds();
        const qint64 now = clock.elapsed();
        const long kb = ResidentKb();
        const double minute = o.smoke ? period / 60.0 : period;
        const double received = static_cast<double>(w.Session().RecBytes() - receivedBefore) / 1e6;
        std::printf("%6.2f %10.1f %10.1f %8.1f %9.3f %10lld %12d %10.1f %10.1f %9lld %9lld\n", minute,
                    kb / 1024.0, (kb - startKb) / 1024.0,
                    100.0 * (cpu - cpuBefore) / ((now - periodStart) / 1000.0),
                    received > 0 ? (cpu - cpuBefore) / received : 0.0, static_cast<long long>(longestStall),
                    log->LineCount(), log->MemoryBytes() / 1048576.0,
                    list->Entries().MemoryBytes() / 1048576.0, static_cast<long long>(questions.load()),
                    static_cast<long long>(answerBytes.load() / (sizeof kAnswer - 1)));
        std::fflush(stdout);
        cpuBefore = cpu;
        receivedBefore = w.Session().RecBytes();
        periodStart = now;
        longestStall = 0;
        if (static_cast<qint64>(period) * reportMs >= runMs)
            app.quit();
    });
    report.start(reportMs);
    app.exec();

    stop = true;
    feeder.join();
    w.findChild<QToolButton *>(QStringLiteral("btnStopAutoSend"))->click();
    w.findChild<TPortCommands *>(QString(), Qt::FindDirectChildrenOnly)->Close();
    // The drain thread is still in a read; a last byte from the slave side wakes it.
    if (write(pty.Slave(), "", 1) < 0)
        std::printf("cannot wake the reader\n");
    drainer.join();
    if (o.captureMB > 0) {
        w.findChild<TCaptureCommands *>(QString(), Qt::FindDirectChildrenOnly)->Capture().Stop();
        const ST_CaptureSum sum = SumCapture(AppFolder());
        std::printf("soak: the capture, a new file at each %.1f MB: %d files (%d compressed), %.1f MB "
                    "decompressed\n",
                    o.captureMB, sum.files, sum.compressed, sum.bytes / 1e6);
    }
    const int64_t answers = answerBytes.load() / static_cast<int64_t>(sizeof kAnswer - 1);
    std::printf("soak: %lld questions, %lld answers, %lld bytes received\n",
                static_cast<long long>(questions.load()), static_cast<long long>(answers),
                static_cast<long long>(w.Session().RecBytes()));
    return w.Session().RecBytes() > 0 && answers > 0 ? 0 : 1;
}
