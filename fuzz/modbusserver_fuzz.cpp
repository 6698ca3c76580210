#include "demo/modbusframe.h"
#include "demo/modbusserver.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

using demo::Clock;

namespace {

struct ST_Answer
{
    Clock::time_point At;
    std::vector<uint8_t> Bytes;
    bool operator==(const ST_Answer &o) const { return At == o.At && Bytes == o.Bytes; }
};

class CCheckedOutput : public demo::IDemoOutput
{
public:
    // Every answer is one whole frame from the server's unit, after the silence the line asks for.
    void Write(const uint8_t *data, size_t size) override
    {
        if (!demo::ModbusCrcOk(data, size) || data[0] != demo::CModbusServer::kUnit ||
            demo::ModbusResponseLength(data, size) != long(size))
            std::abort();
        const Clock::duration silence = demo::CModbusServer::Silence(Settings);
        if (*Now - LastReceived < silence || *Now - LineFree < silence)
            std::abort();
        LineFree = *Now + Settings.CharTime() * int(size);
        Answers.push_back({*Now, {data, data + size}});
    }
    demo::ST_DemoLine Line() const override { return Settings; }

    const Clock::time_point *Now = nullptr;
    demo::ST_DemoLine Settings;
    Clock::time_point LastReceived{};
    Clock::time_point LineFree{};
    std::vector<ST_Answer> Answers;
};

// One server on its own clock; reads cut into pieces of `step` bytes, all at the same moment.
struct ST_Run
{
    explicit ST_Run(uint32_t baud, size_t step) : Step(step)
    {
        Out.Now = &Now;
        Out.Settings.Baud = baud;
        Server.Start(Out, Now);
    }
    void Wait(Clock::duration gap)
    {
        const Clock::time_point end = Now + gap;
        for (int ticks = 0; Server.NextTick() <= end; ++ticks) {
            // Each tick moves the device on; a device that keeps asking for the same moment spins.
            if (ticks > 100000)
                std::abort();
            Now = std::max(Now, Server.NextTick());
            Server.Tick(Out, Now);
        }
        Now = end;
    }
    void Feed(const uint8_t *data, size_t size)
    {
        for (size_t at = 0; at < size; at += Step) {
            Out.LastReceived = Now;
            Server.Received(Out, data + at, std::min(Step, size - at), Now);
            if (Server.Buffered() > 2 * demo::kModbusMaxFrame)
                std::abort();
        }
    }

    size_t Step;
    Clock::time_point Now = Clock::time_point{} + std::chrono::hours(1);
    CCheckedOutput Out;
    demo::CModbusServer Server;
};

} // namespace

// The input: the line's speed, a piece size, then reads as [length][gap before it, in quarter
// characters][bytes]. However a read is cut, the server answers the same at the same moments.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const uint32_t kBauds[] = {1200, 9600, 19200, 115200};
    if (size < 2)
        return 0;
    const uint32_t baud = kBauds[data[0] % 4];
    ST_Run whole(baud, SIZE_MAX), cut(baud, data[1] % 16 + 1);
    const Clock::duration quarter = whole.Out.Settings.CharTime() / 4;
    size_t at = 2;
    while (at + 2 <= size) {
        const size_t length = std::min<size_t>(data[at], size - at - 2);
        const Clock::duration gap = quarter * data[at + 1];
        at += 2;
        for (ST_Run *run : {&whole, &cut}) {
            run->Wait(gap);
            run->Feed(data + at, length);
        }
        at += length;
    }
    for (ST_Run *run : {&whole, &cut})
        run->Wait(std::chrono::seconds(2));
    if (whole.Out.Answers != cut.Out.Answers)
        std::abort();
    // The frame reader's lengths, on the raw bytes in both directions.
    for (size_t i = 0; i < size; ++i) {
        const long request = demo::ModbusRequestLength(data + i, size - i);
        const long response = demo::ModbusResponseLength(data + i, size - i);
        if (request < demo::kModbusUnknown || response < demo::kModbusUnknown)
            std::abort();
        if ((request > 0 && request < long(demo::kModbusMinFrame)) ||
            (response > 0 && response < long(demo::kModbusMinFrame)))
            std::abort();
    }
    return 0;
}
