// What reading Modbus frames out costs beside cutting them: one second of a line at 1 MB/s
// (requests to read ten holding registers and their answers, 8 and 25 bytes, each side in reads
// of its whole frame, a gap between them), cut by the Modbus RTU framing alone, then cut, decoded
// (each answer named from its request) and paired by the answer timer, and last cut and paired
// with only what pairing needs read out, as a view that reads out only the rows it shows does.
// Then the same through the session's own frames (CSessionFrames, its observers and queue) with
// and without its decoding pairing every frame for the statistics, as a window or a --stats run
// has them. The best of a few passes (one pass over a tenth with --smoke, a short run that only
// shows the bench still works). Prints figures; not a test.
#include "decode/answertimer.h"
#include "decode/modbus.h"
#include "frame/frameprofiles.h"
#include "session/sessiondecoding.h"
#include "session/sessionframes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

struct ST_Read
{
    EFrameDirection Dir;
    Bytes Data;
    int64_t Time;
};

enum class EPass { Cut, Decoded, Paired };

double Pass(const std::vector<ST_Read> &reads, EPass pass, size_t &frames, size_t &answered)
{
    CFrameProfile framing("Modbus RTU", ST_LineTiming{921600, 8, false, 1});
    const CModbusDecoder decoder(false);
    CAnswerTimer timer(EFrameDirection::Sent, std::chrono::milliseconds(100));
    std::vector<ST_Frame> out;
    std::vector<ST_AnswerEvent> events;
    frames = answered = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const ST_Read &r : reads) {
        out.clear();
        framing.Feed(r.Dir, r.Data.data(), r.Data.size(), FrameTime(r.Time), out);
        frames += out.size();
        if (pass == EPass::Cut)
            continue;
        for (const ST_Frame &f : out) {
            const ST_Frame *request = timer.RequestOf(f);
            const ST_Decoded d =
                pass == EPass::Decoded ? decoder.Decode(f, request) : decoder.Pairing(f, request);
            timer.Feed(f, &d, events);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const ST_AnswerEvent &e : events)
        answered += e.Outcome == EAnswerOutcome::Answered;
    return seconds;
}

// Through the session's frames, with its decoding pairing them or not.
double SessionPass(const std::vector<ST_Read> &reads, bool pairing, size_t &frames, size_t &answered)
{
    CSessionFrames session;
    CSessionDecoding decoding(session);
    session.SetProfile(CFrameProfile::BuiltIn("Modbus RTU"), ST_LineTiming{921600, 8, false, 1});
    frames = answered = 0;
    session.SetObserver("bench", [&frames](const ST_Frame &) { ++frames; });
    decoding.WantStatistics(pairing);
    const auto start = std::chrono::steady_clock::now();
    for (const ST_Read &r : reads)
        session.Feed(r.Dir, r.Data.data(), r.Data.size(), FrameTime(r.Time));
    session.Flush();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const ST_AnswerStats &s : decoding.Statistics())
        answered += s.Answered;
    session.SetObserver("bench", nullptr);
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
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
    double cut = 1e9, decoded = 1e9, paired = 1e9, sessionCut = 1e9, sessionPaired = 1e9;
    size_t frames = 0, answered = 0, sessionFrames = 0, sessionAnswered = 0;
    for (int pass = 0; pass < passes; ++pass) {
        cut = std::min(cut, Pass(reads, EPass::Cut, frames, answered));
        decoded = std::min(decoded, Pass(reads, EPass::Decoded, frames, answered));
        paired = std::min(paired, Pass(reads, EPass::Paired, frames, answered));
        sessionCut = std::min(sessionCut, SessionPass(reads, false, sessionFrames, sessionAnswered));
        sessionPaired = std::min(sessionPaired, SessionPass(reads, true, sessionFrames, sessionAnswered));
    }
    std::printf("%zu bytes, %zu frames, %zu answers paired\n", total, frames, answered);
    std::printf("cut only              %8.2f ms  (%.1f MB/s)\n", cut * 1e3, double(total) / cut / 1e6);
    std::printf("cut, decoded, paired  %8.2f ms  (%.1f MB/s, %.2f x the cut alone)\n", decoded * 1e3,
                double(total) / decoded / 1e6, decoded / cut);
    std::printf("cut, paired           %8.2f ms  (%.1f MB/s, %.2f x the cut alone)\n", paired * 1e3,
                double(total) / paired / 1e6, paired / cut);
    std::printf("session's frames      %8.2f ms  (%.1f MB/s), %zu frames\n", sessionCut * 1e3,
                double(total) / sessionCut / 1e6, sessionFrames);
    std::printf("and its decoding      %8.2f ms  (%.1f MB/s, %.2f x its frames alone), %zu answers paired\n",
                sessionPaired * 1e3, double(total) / sessionPaired / 1e6, sessionPaired / sessionCut,
                sessionAnswered);
    return 0;
}
