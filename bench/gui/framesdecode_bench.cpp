// What the decoding adds to the frames view at line rate: one second of Modbus RTU at 1 MB/s
// (requests to read ten holding registers and their 25-byte answers, about 61,000 frames) fed to a
// session's frames and into a frames model, first straight from the frames, then through the
// session's decoding with no decoder (what every view pays now), then paired by the
// Modbus decoder with the answer times panel listening too. Last, what reading out a page of 40
// rows costs as the view draws it (the summary is decoded only there). The best of a few passes;
// prints figures, not a test.
#include "../benchsupport.h"
#include "data/checksum.h"
#include "frame/frameprofiles.h"
#include "frame/gui/TFramesModel.h"
#include "session/sessiondecoding.h"
#include "session/sessionframes.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

struct ST_Read
{
    EFrameDirection Dir;
    Bytes Data;
    int64_t Time;
};

enum class EPass { Frames, Decoding, Paired };

double Pass(const std::vector<ST_Read> &reads, EPass pass, size_t &frames, double &pageMs)
{
    CSessionFrames sessionFrames;
    CSessionDecoding decoding(sessionFrames);
    TFramesModel model;
    const ST_LineTiming timing{921600, 8, false, 1};
    // The same cut each pass; only the last reads the frames out.
    ST_FramingProfile profile = CFrameProfile::BuiltIn("Modbus RTU");
    if (pass != EPass::Paired)
        profile.Decoder = "none";
    sessionFrames.SetProfile(profile, timing);
    if (pass == EPass::Frames) {
        sessionFrames.SetObserver("view", [&model](const ST_Frame &f) { model.Add(f); });
    } else {
        decoding.SetObserver("view",
                             [&model](const ST_Frame &f, const ST_FrameReading &r) { model.Add(f, r); });
        model.SetDecode(
            [&decoding](const ST_Frame &f, const ST_Frame *request) { return decoding.Decode(f, request); });
    }
    size_t changes = 0;
    if (pass == EPass::Paired) {
        decoding.WantStatistics(true);
        decoding.SetObserver("panel", [&changes](const ST_Frame &, const ST_FrameReading &r) {
            changes += !r.Settled.empty() || r.Asks;
        });
    }
    const double start = CpuSeconds();
    for (const ST_Read &r : reads)
        sessionFrames.Feed(r.Dir, r.Data.data(), r.Data.size(), FrameTime(r.Time));
    sessionFrames.Flush();
    model.Publish();
    const double seconds = CpuSeconds() - start;
    frames = model.Store().Count();
    // A page at the end, drawn once: every cell of 40 rows, as a repaint asks for them.
    const int rows = model.rowCount();
    const auto page = std::chrono::steady_clock::now();
    for (int row = std::max(0, rows - 40); row < rows; ++row)
        for (int c = 0; c < TFramesModel::Columns; ++c)
            (void)model.data(model.index(row, c));
    pageMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - page).count();
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int passes = smoke ? 1 : 5;
    const size_t bytes = smoke ? 100000 : 1000000;
    const CChecksum crc({EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    std::vector<ST_Read> reads;
    size_t total = 0;
    int64_t now = 0;
    for (uint16_t i = 0; total < bytes; ++i) {
        const Bytes request = crc.Append({1, 3, uint8_t(i >> 8), uint8_t(i), 0, 10});
        Bytes answer{1, 3, 20};
        for (int r = 0; r < 10; ++r)
            answer.insert(answer.end(), {uint8_t(i >> 8), uint8_t(i + r)});
        answer = crc.Append(answer);
        reads.push_back({EFrameDirection::Sent, request, now});
        now += 200;
        reads.push_back({EFrameDirection::Received, answer, now});
        now += 300;
        total += request.size() + answer.size();
    }
    double best[3] = {1e9, 1e9, 1e9};
    double page[3] = {0, 0, 0};
    size_t frames[3] = {0, 0, 0};
    for (int pass = 0; pass < passes; ++pass)
        for (int p = 0; p < 3; ++p) {
            double ms = 0;
            best[p] = std::min(best[p], Pass(reads, static_cast<EPass>(p), frames[p], ms));
            page[p] = pass == 0 ? ms : std::min(page[p], ms);
        }
    std::printf("%zu bytes of Modbus RTU a second of line\n", total);
    const char *names[3] = {"frames to the view          ", "through the decoding, none  ",
                            "paired by Modbus, and panel "};
    for (int p = 0; p < 3; ++p)
        std::printf("%s %8.2f ms CPU, %zu frames (%.2f x straight); a page of 40 rows %.3f ms\n", names[p],
                    best[p] * 1e3, frames[p], best[p] / best[0], page[p]);
    return 0;
}
