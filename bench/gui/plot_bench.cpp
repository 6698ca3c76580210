// Figures for the plot: what reading a received line of 8 values costs (parser alone, and parser
// and store as the plot window takes a block), and how long the canvas takes to draw 1,000,000
// stored points: their reduction to min/max per pixel column alone, then whole pictures rendered
// offscreen into an image at two sizes. Run offscreen, in a release build;
// `--smoke` uses 100,000 points and fewer rounds.
#include "plot/gui/TPlotCanvas.h"
#include "plot/gui/TfrmPlot.h"
#include "plot/plotparser.h"
#include "plot/plotstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// `count` lines of 8 values as a board prints them, plain columns or name:value pairs.
std::string Lines(int count, bool named)
{
    static const char *const names[8] = {"temp", "hum", "press", "ax", "ay", "az", "volt", "amp"};
    std::string text;
    char value[32];
    for (int i = 0; i < count; ++i) {
        for (int v = 0; v < 8; ++v) {
            std::snprintf(value, sizeof value, "%.2f", std::sin(i * 0.01 + v) * 100 + v * 10);
            if (v)
                text += ',';
            if (named)
                text += std::string(names[v]) + ':';
            text += value;
        }
        text += "\r\n";
    }
    return text;
}

// Blocks of 256 bytes, cut anywhere, as a fast port hands them over.
template <typename F> double NsPerLine(const std::string &text, int lines, int rounds, F feed)
{
    QElapsedTimer clock;
    clock.start();
    for (int r = 0; r < rounds; ++r)
        for (size_t pos = 0; pos < text.size(); pos += 256)
            feed(reinterpret_cast<const uint8_t *>(text.data()) + pos,
                 std::min<size_t>(256, text.size() - pos));
    return static_cast<double>(clock.nsecsElapsed()) / (static_cast<double>(lines) * rounds);
}

void ParserFigures(int lines, int rounds)
{
    for (bool named : {false, true}) {
        const std::string text = Lines(lines, named);
        CPlotParser parser;
        std::vector<ST_PlotValue> values;
        std::vector<size_t> ends;
        const double ns = NsPerLine(text, lines, rounds, [&](const uint8_t *data, size_t size) {
            values.clear();
            ends.clear();
            parser.Feed(data, size, values, ends);
        });
        std::printf("parser, 8 %s a line (%zu bytes): %.0f ns a line\n",
                    named ? "name:value pairs" : "columns", text.size() / static_cast<size_t>(lines), ns);
    }
    // What the window does for each received block: read it and store its lines.
    const std::string text = Lines(lines, true);
    TfrmPlot plot(nullptr);
    Bytes block;
    const double ns = NsPerLine(text, lines, rounds, [&](const uint8_t *data, size_t size) {
        block.assign(data, data + size);
        plot.Feed(block);
    });
    std::printf("plot window, read and store, 8 pairs a line: %.0f ns a line; 1,000 lines a second take "
                "%.2f%% of the GUI thread\n",
                ns, ns * 1000 / 1e9 * 100);
}

void DrawFigures(size_t points, int frames)
{
    CPlotStore store(points);
    std::vector<std::string> names;
    for (int s = 0; s < 8; ++s)
        names.push_back("s" + std::to_string(s + 1));
    // 8 series over five minutes, the newest at 300 s.
    const size_t lines = points / 8;
    ST_PlotValue values[8];
    for (size_t i = 0; i < lines; ++i) {
        for (int s = 0; s < 8; ++s)
            values[s] = {s, std::sin(static_cast<double>(i) * 0.001 * (s + 1)) * 50 + s * 20};
        store.AddLine(static_cast<int64_t>(i * 300'000 / lines), values, 8);
    }
    QElapsedTimer decimation;
    decimation.start();
    for (int f = 0; f < frames; ++f)
        for (int s = 0; s < 8; ++s)
            store.Decimate(s, 0, 300'000, 800);
    std::printf("reduce %zu points to 800 columns: %.2f ms\n", store.Points(),
                decimation.nsecsElapsed() / 1e6 / frames);
    TPlotCanvas canvas(store, names);
    canvas.SetView(0, 300'000, 0);
    for (const QSize size : {QSize(800, 400), QSize(1920, 1000)}) {
        canvas.resize(size);
        QImage image(size, QImage::Format_RGB32);
        QElapsedTimer clock;
        clock.start();
        for (int f = 0; f < frames; ++f) {
            QPainter painter(&image);
            canvas.Render(painter, image.rect());
        }
        std::printf("draw %zu points (8 series, all in view) at %dx%d: %.2f ms a frame\n", store.Points(),
                    size.width(), size.height(), clock.nsecsElapsed() / 1e6 / frames);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ParserFigures(smoke ? 2'000 : 20'000, smoke ? 1 : 10);
    DrawFigures(smoke ? 100'000 : 1'000'000, smoke ? 2 : 20);
    return 0;
}
