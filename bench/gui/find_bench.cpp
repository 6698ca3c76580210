// Figures for the log's find bar: a search that finds nothing (so it reads every line) over a log
// of 1,000,000 lines, in text and in hex bytes, and the longest the window's event loop had to
// wait for it meanwhile. Run offscreen, in a release build; `--smoke` uses 20,000 lines.
#include "app/FindBar.h"
#include "app/TrafficLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double Search(TFindBar &bar, const char *text, bool hex, double &longestGapMs)
{
    bar.findChild<QCheckBox *>(QStringLiteral("chkFindHex"))->setChecked(hex);
    bar.findChild<QLineEdit *>(QStringLiteral("edFind"))->setText(QString::fromLatin1(text));
    // A timer that would fire every millisecond shows how long the loop was kept from it.
    QElapsedTimer sinceTick;
    longestGapMs = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    bool done = false;
    QObject::connect(&bar, &TFindBar::Finished, [&done] { done = true; });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    tick.start();
    bar.FindNext();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    QObject::disconnect(&bar, &TFindBar::Finished, nullptr, nullptr);
    return clock.nsecsElapsed() / 1e6;
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
    double gap = 0;
    const double text = Search(bar, "not in the log", false, gap);
    std::printf("text search over %d lines, no match: %.0f ms (event loop waited at most %.1f ms)\n", lines,
                text, gap);
    const double hex = Search(bar, "00 01 02", true, gap);
    std::printf("hex search over %d blocks, no match: %.0f ms (event loop waited at most %.1f ms)\n", lines,
                hex, gap);
    return 0;
}
