// How far the answer time measured from the read times is from the delay a device really took:
// a feeder on the master end of a pseudo-terminal reads each Modbus request and answers after a
// known delay, timed on its own side; the measuring side writes on the slave end, stamps each read
// as the listener does, cuts the frames with the Modbus RTU framing, decodes and pairs them. The
// error is the measured time to the first byte less the delay the feeder took (the line's own
// latency, both ways). 200 exchanges a delay (20 with --smoke). Prints figures; not a test.
#include "decode/answertimer.h"
#include "decode/modbus.h"
#include "frame/frameprofiles.h"
#include "rawpty.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

FrameTime Now()
{
    return std::chrono::duration_cast<FrameTime>(Clock::now().time_since_epoch());
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int exchanges = smoke ? 20 : 200;
    const CChecksum crc({EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    const Bytes request = crc.Append({1, 3, 0, 0, 0, 10});
    Bytes answer{1, 3, 20};
    answer.resize(23, 0x5A);
    answer = crc.Append(answer);

    for (const int delayMs : {2, 5, 20}) {
        Pair pty = MakePair();
        std::vector<double> took; // by the feeder, ms
        std::thread feeder([&] {
            for (int i = 0; i < exchanges; ++i) {
                size_t got = 0;
                uint8_t buffer[64];
                while (got < request.size()) {
                    const ssize_t n = read(pty.master, buffer, sizeof buffer);
                    if (n <= 0)
                        return;
                    got += size_t(n);
                }
                const auto complete = Clock::now();
                std::this_thread::sleep_until(complete + std::chrono::milliseconds(delayMs));
                const auto sent = Clock::now();
                if (write(pty.master, answer.data(), answer.size()) != ssize_t(answer.size()))
                    return;
                took.push_back(std::chrono::duration<double, std::milli>(sent - complete).count());
            }
        });
        CFrameProfile framing("Modbus RTU", ST_LineTiming{115200, 8, false, 1});
        const CModbusDecoder decoder(false);
        CAnswerTimer timer(EFrameDirection::Sent, std::chrono::milliseconds(1000));
        std::vector<ST_Frame> frames;
        std::vector<ST_AnswerEvent> events;
        for (int i = 0; i < exchanges; ++i) {
            if (write(pty.slave, request.data(), request.size()) != ssize_t(request.size()))
                break;
            framing.Feed(EFrameDirection::Sent, request.data(), request.size(), Now(), frames);
            framing.Flush(frames);
            size_t got = 0;
            uint8_t buffer[64];
            while (got < answer.size()) {
                pollfd p{pty.slave, POLLIN, 0};
                if (poll(&p, 1, 5000) <= 0)
                    break;
                const ssize_t n = read(pty.slave, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                framing.Feed(EFrameDirection::Received, buffer, size_t(n), Now(), frames);
                got += size_t(n);
            }
            framing.Flush(frames);
            for (const ST_Frame &f : frames) {
                const ST_Decoded d = decoder.Decode(f, timer.RequestOf(f));
                timer.Feed(f, &d, events);
            }
            frames.clear();
        }
        feeder.join();
        close(pty.master);
        close(pty.slave);
        std::vector<double> errors;
        size_t k = 0;
        for (const ST_AnswerEvent &e : events)
            if (e.Outcome == EAnswerOutcome::Answered && k < took.size())
                errors.push_back(*e.ToFirstMs - took[k++]);
        if (errors.empty()) {
            std::printf("delay %2d ms: no answers paired\n", delayMs);
            continue;
        }
        std::sort(errors.begin(), errors.end());
        const auto largest = std::max(std::fabs(errors.front()), std::fabs(errors.back()));
        std::printf("delay %2d ms: %zu answers, error median %.3f ms, largest %.3f ms\n", delayMs,
                    errors.size(), errors[errors.size() / 2], largest);
    }
    return 0;
}
