// Figures for the traffic log: append cost near the start and deep into a long capture, memory
// per logged block, and the time to save and copy a long log. Run offscreen, in a release build.
#include "log/gui/TTrafficLog.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

CCommData Block(unsigned seed)
{
    Bytes bytes(16);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(seed * 31 + i * 7);
    return CCommData(bytes);
}

// The program's event loop runs between blocks; here the queued work the scroll area posts on
// every range change is delivered the same way, or it would pile up and count as log memory.
void LogOne(TTrafficLog &log, unsigned seed)
{
    log.LogSendData(Block(seed));
    QCoreApplication::sendPostedEvents();
}

void Fill(TTrafficLog &log, int lines)
{
    for (int i = log.LineCount(); i < lines; ++i)
        LogOne(log, static_cast<unsigned>(i));
}

// Median ns per line over several batches; `paint` brings the view up to date every 16 lines, as
// the view does at most once a frame while a fast port floods it.
double AppendCost(TTrafficLog &log, bool paint)
{
    constexpr int kBatch = 500;
    std::vector<double> samples;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            LogOne(log, static_cast<unsigned>(i));
            if (paint && i % 16 == 0) {
                // What the frame timer does; the next LogOne delivers the paint it asks for.
                log.FlushView();
            }
        }
        samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kBatch);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void Show(TTrafficLog &log)
{
    log.show();
    if (!QTest::qWaitForWindowExposed(&log))
        std::printf("window not exposed; repaint figures mean nothing\n");
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --smoke: a short run that only shows the bench still works.
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int kLong = smoke ? 3000 : 300000;

    // Sent lines in hex with a time stamp: three colour runs per line.
    for (bool paint : {false, true}) {
        TTrafficLog shortLog;
        shortLog.resize(800, 600);
        shortLog.SetDisplayType(1);
        shortLog.SetShowTime(true);
        Fill(shortLog, 1000);
        Show(shortLog);
        const double atShort = AppendCost(shortLog, paint);

        TTrafficLog longLog;
        longLog.resize(800, 600);
        longLog.SetDisplayType(1);
        longLog.SetShowTime(true);
        Fill(longLog, kLong);
        Show(longLog);
        const double atLong = AppendCost(longLog, paint);
        std::printf("append one line%s: %.0f ns at 1,000 lines, %.0f ns at 300,000 lines (ratio %.2f)\n",
                    paint ? " with the view updated every 16 lines" : "", atShort, atLong, atLong / atShort);
    }

    {
        TTrafficLog view;
        view.resize(800, 600);
        view.SetDisplayType(1);
        view.SetShowTime(true);
        Fill(view, kLong);
        Show(view);
        constexpr int kPaints = 200;
        const auto start = Clock::now();
        for (int i = 0; i < kPaints; ++i)
            view.viewport()->repaint();
        std::printf("paint a full 800x600 view (%d lines): %.0f us\n", view.verticalScrollBar()->pageStep(),
                    Seconds(start) * 1e6 / kPaints);
    }

    TTrafficLog log;
    log.SetDisplayType(1);
    log.SetShowTime(true);
    log.LogSendData(Block(0));
    const size_t before = HeapInUse();
    Fill(log, kLong + 1);
    const size_t after = HeapInUse();
    std::printf("memory per logged 16-byte block in hex: %.1f bytes\n",
                static_cast<double>(after - before) / kLong);

    QTemporaryDir dir;
    auto start = Clock::now();
    log.SaveToFile(dir.filePath("bench.log").toStdString());
    std::printf("save 300,000 lines: %.3f s\n", Seconds(start));
    start = Clock::now();
    log.CopyToClipboard();
    std::printf("copy 300,000 lines: %.3f s (%lld characters on the clipboard)\n", Seconds(start),
                static_cast<long long>(QGuiApplication::clipboard()->text().size()));
    start = Clock::now();
    log.SelectAll();
    log.CopySelection();
    std::printf("copy a selection of 300,000 lines: %.3f s\n", Seconds(start));
    return 0;
}
