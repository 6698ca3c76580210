// Figures for the captures made for the protocol analyser: an export of a million blocks (kept
// as packets, a line event among every thousand, then written), an export of a million frames
// from a frames view's store, and what a pcapng capture costs against a raw one while a port
// delivers 1 MB/s in 64-byte blocks, the two
// by turns and their medians shown. `--smoke` runs a fraction of it, for CI; `--capture` only the
// captures.
#include "frame/framestore.h"
#include "log/capturefile.h"
#include "log/logpcapng.h"
#include "log/pcapngrecorder.h"
#include "platform/textfile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds a capture took while 64-byte blocks came at 1 MB/s for `seconds`: 16 blocks a
// millisecond, each read stamped once, as the traffic path stamps a read.
double CaptureCpu(const std::string &path, bool pcapng, double seconds)
{
    CCaptureFile capture;
    ST_CaptureOptions options;
    if (pcapng)
        options.fileHeader = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 921600 8N1"));
    if (capture.Start(path, options) != 0)
        return -1;
    const std::vector<uint8_t> block(64, 'x');
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    for (int tick = 0; Since(start) < seconds; ++tick) {
        const int64_t wall = WallNowMicros();
        for (int i = 0; i < 16; ++i) {
            if (pcapng) {
                AppendLogPcapng(capture, LogDirection::Received, block.data(), block.size(), wall);
            } else {
                capture.Append(reinterpret_cast<const char *>(block.data()), block.size());
            }
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(tick + 1));
    }
    capture.Stop();
    return CpuSeconds() - cpu;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void RunExports(const std::string &dir, bool smoke)
{
    const int blocks = smoke ? 20000 : 1000000;
    CPcapngRecorder recorder(size_t{1} << 30);
    const std::vector<uint8_t> request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    const std::vector<uint8_t> answer(25, 0x2A);
    const auto kept = Clock::now();
    for (int i = 0; i < blocks; ++i) {
        const std::vector<uint8_t> &bytes = i % 2 ? answer : request;
        recorder.Add(i % 2 ? LogDirection::Received : LogDirection::Sent, bytes.data(), bytes.size(),
                     1797000000000000 + i * 1000);
        if (i % 1000 == 999) {
            ST_LineEvent event;
            event.Kind = i % 2000 == 999 ? ELineEvent::ModemLines : ELineEvent::Framing;
            event.After = kLineCts | kLineDsr;
            recorder.AddEvent(event, 1797000000000000 + i * 1000 + 500);
        }
    }
    const double keepSeconds = Since(kept);
    const auto exported = Clock::now();
    const CPcapngRecorder::Snapshot packets = recorder.Take();
    const double takeSeconds = Since(exported);
    size_t next = 0;
    bool header = true;
    WriteFileAtomic(dir + "/export.pcapng", [&](std::string &piece) {
        if (header) {
            header = false;
            piece = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 9600 8N1"));
            return true;
        }
        if (next == packets.size())
            return false;
        piece = packets[next++]->Text();
        return true;
    });
    const double writeSeconds = Since(exported);
    std::printf("export of %d blocks: kept as packets %.3f s (on the window's thread as they come), "
                "snapshot %.4f s, written %.3f s; total %.3f s\n",
                blocks, keepSeconds, takeSeconds, writeSeconds, keepSeconds + writeSeconds);

    // The frames export: each frame of the store made a packet on the window's thread, then written.
    CFrameStore store;
    store.SetByteLimit(size_t{1} << 30);
    ST_Frame frame;
    for (int i = 0; i < blocks; ++i) {
        frame.Direction = i % 2 ? EFrameDirection::Received : EFrameDirection::Sent;
        frame.Start = frame.End = FrameTime(int64_t{i} * 1000);
        frame.Bytes = i % 2 ? answer : request;
        store.Append(frame);
    }
    const auto framesStart = Clock::now();
    CPcapngRecorder frames(size_t{1} << 40);
    std::string packet;
    for (size_t row = 0; row < store.Count(); ++row) {
        const ST_Frame kept = store.At(row);
        packet.clear();
        AppendLogPcapng(packet,
                        kept.Direction == EFrameDirection::Sent ? LogDirection::Sent : LogDirection::Received,
                        kept.Bytes.data(), kept.Bytes.size(), 1797000000000000 + kept.Start.count());
        frames.AddPacket(packet);
    }
    const CPcapngRecorder::Snapshot framePackets = frames.Take();
    const double framesMade = Since(framesStart);
    next = 0;
    header = true;
    WriteFileAtomic(dir + "/frames.pcapng", [&](std::string &piece) {
        if (header) {
            header = false;
            piece = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 9600 8N1"));
            return true;
        }
        if (next == framePackets.size())
            return false;
        piece = framePackets[next++]->Text();
        return true;
    });
    std::printf(
        "export of %zu frames: packets made %.3f s (on the window's thread), total with the file %.3f s\n",
        store.Count(), framesMade, Since(framesStart));
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const bool exports = !(argc > 1 && std::strcmp(argv[1], "--capture") == 0);
    char folder[] = "/tmp/pcapng_bench.XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string dir = folder;

    if (exports)
        RunExports(dir, smoke);

    // Raw and pcapng by turns, so that whatever else the machine does falls on both alike.
    const double seconds = smoke ? 0.2 : 2.0;
    const int rounds = smoke ? 1 : 7;
    std::vector<double> raw, pcap;
    for (int round = 0; round < rounds; ++round) {
        raw.push_back(CaptureCpu(dir + "/raw.bin", false, seconds));
        pcap.push_back(CaptureCpu(dir + "/capture.pcapng", true, seconds));
        std::remove((dir + "/raw.bin").c_str());
        std::remove((dir + "/capture.pcapng").c_str());
    }
    const double rawMedian = Median(raw), pcapMedian = Median(pcap);
    std::printf("capture at 1 MB/s in 64-byte blocks, %d rounds of %.1f s each: median CPU raw %.1f ms, "
                "pcapng %.1f ms (%+.1f %%)\n",
                rounds, seconds, rawMedian * 1000, pcapMedian * 1000,
                rawMedian > 0 ? (pcapMedian / rawMedian - 1) * 100 : 0.0);
    return std::system(("rm -rf " + dir).c_str()) == 0 ? 0 : 1;
}
