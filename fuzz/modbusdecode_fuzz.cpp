#include "decode/answertimer.h"
#include "decode/modbus.h"

#include <cstdlib>

namespace {

ST_Frame FrameOf(const uint8_t *data, size_t size, EFrameDirection dir, int64_t at)
{
    ST_Frame f;
    f.Direction = dir;
    f.Start = FrameTime(at);
    f.End = FrameTime(at + 1000);
    f.Bytes.assign(data, data + size);
    return f;
}

} // namespace

// Two frames, a request and what answers it, in RTU or ASCII, with the side of the requests known
// or not: read as far as they go, whatever their counts say, and paired by the timer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t mode = data[0];
    const size_t cut = std::min<size_t>(data[1], size - 2);
    const uint8_t *rest = data + 2;
    const std::optional<EFrameDirection> side =
        mode & 2 ? std::optional<EFrameDirection>(EFrameDirection::Sent) : std::nullopt;
    const CModbusDecoder decoder((mode & 1) != 0, side);
    const ST_Frame request = FrameOf(rest, cut, EFrameDirection::Sent, 0),
                   answer =
                       FrameOf(rest + cut, size - 2 - cut, EFrameDirection::Received, (mode >> 2) * 1000);
    const ST_Decoded asked = decoder.Decode(request);
    const ST_Decoded told = decoder.Decode(answer, mode & 4 ? &request : nullptr);
    for (const ST_Decoded *d : {&asked, &told})
        if (d->Exception && d->Role != EDecodedRole::Answer && !d->Malformed)
            std::abort();

    CAnswerTimer timer(EFrameDirection::Sent, std::chrono::milliseconds(20));
    std::vector<ST_AnswerEvent> events;
    timer.Feed(request, &asked, events);
    timer.Feed(answer, &told, events);
    timer.Tick(FrameTime(1000000), events);
    for (const ST_AnswerStats &s : timer.Stats())
        if (s.Answered + s.Missing > s.Requests || s.Exceptions > s.Answered || s.Times.size() != s.Timed)
            std::abort();
    AnswerStatsCsv(timer.Stats());
    return 0;
}
