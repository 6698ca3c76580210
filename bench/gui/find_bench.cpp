// Figures for the log's find bar: a search that finds nothing (so it reads every line) over a log
// of 1,000,000 lines, in text and in hex bytes, and the longest the window's event loop had to
// wait for it meanwhile. Then the same over long lines: 500 blocks of 16,000 bytes shown in hex
// (48,000 characters a line), looked for without letter case by a text whose first letter the
// lines hold often in the other case. Run offscreen, in a release build; `--smoke` uses 20,000
// short and 20 long lines.
#include "log/gui/TFindBar.h"
#include "log/gui/TTrafficLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Runs one search to its end and prints its time and the longest the event loop was kept from a
// timer due every millisecond, in wall time and in the GUI thread's own time (the first also
// counts any time a loaded machine gave to other programs).
void Search(TFindBar &bar, const char *text, bool hex, const char *what)
{
    bar.findChild<QCheckBox *>(QStringLiteral("chkFindMatchCase"))->setChecked(false);
    bar.findChild<QCheckBox *>(QStringLiteral("chkFindHex"))->setChecked(hex);
    bar.findChild<QLineEdit *>(QStringLiteral("edFind"))->setText(QString::fromLatin1(text));
    QElapsedTimer sinceTick;
    double cpuAtTick = ThreadCpuMs();
    double longestGapMs = 0;
    double longestCpuMs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
        const double cpu = ThreadCpuMs();
        longestCpuMs = std::max(longestCpuMs, cpu - cpuAtTick);
        cpuAtTick = cpu;
    });
    bool done = false;
    QObject::connect(&bar, &TFindBar::Finished, [&done] { done = true; });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    cpuAtTick = ThreadCpuMs();
    tick.start();
    bar.FindNext();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    QObject::disconnect(&bar, &TFindBar::Finished, nullptr, nullptr);
    std::printf("%s, no match: %.0f ms (event loop waited at most %.1f ms, %.1f ms of it running)\n", what,
                clock.nsecsElapsed() / 1e6, longestGapMs, longestCpuMs);
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    QApplication app(argc, argv);
    QWidget window;
    TTrafficLog log(&window);
    TFindBar bar(&window, &log);
    log.SetDisplayType(1);
    const int lines = smoke ? 20'000 : 1'000'000;
    Bytes bytes(16);
    for (int i = 0; i < lines; ++i) {
        for (size_t b = 0; b < bytes.size(); ++b)
            bytes[b] = static_cast<uint8_t>('a' + (i + b) % 26);
        log.LogRecData(CCommData(bytes));
    }
    log.FlushView();
    bar.Open();
    const std::string count = std::to_string(lines);
    Search(bar, "not in the log", false, ("text search over " + count + " lines").c_str());
    Search(bar, "00 01 02", true, ("hex search over " + count + " blocks").c_str());

    log.Clear();
    const int longLines = smoke ? 20 : 500;
    Bytes block(16'000);
    for (int i = 0; i < longLines; ++i) {
        // Every byte value in turn: "FE" is always followed by "FF", and 'F' is on every eighth byte.
        for (size_t b = 0; b < block.size(); ++b)
            block[b] = static_cast<uint8_t>(i + b);
        log.LogRecData(CCommData(block));
    }
    log.FlushView();
    Search(bar, "fe ed", false,
           ("text search without case over " + std::to_string(longLines) + " lines of 48,000 characters")
               .c_str());
    return 0;
}
