#include "demo/modbusframe.h"
#include "log/logpcapng.h"
#include "log/pcapng.h"
#include "ptypair.h"
#include "replay/recording.h"
#include "replay/replaydevice.h"
#include "replay/replayports.h"
#include "script/headless.h"
#include "tempdir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using demo::Clock;

namespace {

std::vector<uint8_t> Bytes(const std::string &text)
{
    return {text.begin(), text.end()};
}

ST_ReplayRecord Record(int64_t ms, EReplaySide side, const std::string &text)
{
    return {ms * 1000, side, Bytes(text)};
}

// Takes what the device writes with the time it was written at; the line as a pty's default.
class CTakenOutput : public demo::IDemoOutput
{
public:
    void Write(const uint8_t *data, size_t size) override
    {
        Taken.emplace_back(At, std::string(data, data + size));
    }
    using demo::IDemoOutput::Write;
    demo::ST_DemoLine Line() const override { return {9600, 8, false, 1}; }

    Clock::time_point At{};
    std::vector<std::pair<Clock::time_point, std::string>> Taken;
};

// Runs the device's ticks as the runner would, each at the time it asked for, until it asks for
// none before `until`.
void RunTicks(CReplayDevice &device, CTakenOutput &out, Clock::time_point until)
{
    for (Clock::time_point next = device.NextTick(); next <= until; next = device.NextTick()) {
        out.At = std::max(out.At, next);
        device.Tick(out, out.At);
    }
}

ST_Recording Paced()
{
    ST_Recording r;
    r.Timed = true;
    r.Records = {Record(0, EReplaySide::Device, "AB"), Record(0, EReplaySide::Device, "CD"),
                 Record(10, EReplaySide::Program, "xx"), Record(50, EReplaySide::Device, "EF"),
                 Record(250, EReplaySide::Device, "GH")};
    return r;
}

std::string PcapngOf(const ST_Recording &recording, int64_t t0)
{
    std::string file = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 9600 8N1"));
    for (const ST_ReplayRecord &r : recording.Records) {
        ST_PcapngPacket packet;
        packet.WallMicros = t0 + r.Micros;
        packet.Direction =
            r.Side == EReplaySide::Device ? EPcapngDirection::Inbound : EPcapngDirection::Outbound;
        packet.Bytes = r.Bytes.data();
        packet.Length = r.Bytes.size();
        AppendPcapngPacket(file, packet);
    }
    return file;
}

// Reads from `fd` until `count` bytes came, each with the time of the read that brought it.
std::vector<std::pair<Clock::time_point, uint8_t>> ReadStamped(int fd, size_t count)
{
    std::vector<std::pair<Clock::time_point, uint8_t>> got;
    const auto deadline = Clock::now() + 20s;
    while (got.size() < count && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        uint8_t buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i)
            got.emplace_back(now, buffer[i]);
    }
    return got;
}

} // namespace

// The device's records go out at the recorded times divided by the speed, the recording's own
// sends never; as fast as possible is as fast as the line carries them; a step lets one go.
TEST(Replay, ThePacerKeepsTheRecordedGapsAtEachSpeed)
{
    const auto gapsAt = [](ST_ReplayOptions options) {
        auto control = std::make_shared<CReplayControl>();
        CReplayDevice device(Paced(), options, control);
        CTakenOutput out;
        const Clock::time_point t0 = Clock::now();
        out.At = t0;
        device.Start(out, t0);
        RunTicks(device, out, t0 + 10s);
        std::string bytes;
        std::vector<Clock::duration> at;
        for (const auto &[when, text] : out.Taken) {
            bytes += text;
            at.push_back(when - t0);
        }
        EXPECT_EQ(bytes, "ABCDEFGH");
        EXPECT_TRUE(control->Finished());
        EXPECT_EQ(control->Played(), 4u);
        return at;
    };
    // Two characters at 9600 baud 8N1 take 2 ms and some: the line's pace where the recording's
    // is faster.
    const Clock::duration two = demo::ST_DemoLine{9600, 8, false, 1}.CharTime() * 2;
    const std::vector<Clock::duration> recorded{0ms, two, 50ms, 250ms};
    EXPECT_EQ(gapsAt({1, false, false}), recorded);
    const std::vector<Clock::duration> tenTimes{0ms, two, 5ms, 25ms};
    EXPECT_EQ(gapsAt({10, false, false}), tenTimes);
    const std::vector<Clock::duration> lineRate{0ms, two, 2 * two, 3 * two};
    EXPECT_EQ(gapsAt({0, false, false}), lineRate);

    auto control = std::make_shared<CReplayControl>();
    CReplayDevice device(Paced(), {1, true, false}, control);
    CTakenOutput out;
    out.At = Clock::now();
    device.Start(out, out.At);
    RunTicks(device, out, out.At + 1h);
    EXPECT_TRUE(out.Taken.empty());
    control->Step();
    control->Step();
    RunTicks(device, out, out.At + 1h);
    ASSERT_EQ(out.Taken.size(), 2u);
    EXPECT_EQ(out.Taken[1].second, "CD");
    EXPECT_FALSE(control->Finished());
}

// A recording with the requests answers each as the device did: the request whole however it is
// cut, with garbage before it, not taken for a shorter one it ends with, the same request twice
// with its two answers in turn, a Modbus
// request for other values by its unit, function and address, and nothing for what was never
// asked.
TEST(Replay, TheReplayedDeviceAnswersEachRequestWithItsRecordedAnswer)
{
    const auto rtu = [](std::vector<uint8_t> frame) {
        demo::AppendModbusCrc(frame);
        return std::string(frame.begin(), frame.end());
    };
    const std::string readTwo = rtu({1, 3, 0, 10, 0, 2});
    const std::string answerTwo = rtu({1, 3, 4, 0, 7, 0, 8});
    ST_Recording r;
    r.Timed = true;
    r.Records = {Record(0, EReplaySide::Device, "hello"),    Record(50, EReplaySide::Program, "p"),
                 Record(55, EReplaySide::Device, "P"),       Record(100, EReplaySide::Program, "get"),
                 Record(101, EReplaySide::Program, "temp"),  Record(120, EReplaySide::Device, "21.5"),
                 Record(130, EReplaySide::Device, " C"),     Record(200, EReplaySide::Program, "gettemp"),
                 Record(205, EReplaySide::Device, "22.0 C"), Record(300, EReplaySide::Program, readTwo),
                 Record(303, EReplaySide::Device, answerTwo)};
    auto control = std::make_shared<CReplayControl>();
    CReplayDevice device(r, {1, false, true}, control);
    CTakenOutput out;
    const Clock::time_point t0 = Clock::now();
    out.At = t0;
    device.Start(out, t0);
    RunTicks(device, out, t0 + 1s);
    ASSERT_EQ(out.Taken.size(), 1u);
    EXPECT_EQ(out.Taken[0].second, "hello");

    const auto ask = [&](const std::string &request, Clock::duration after) {
        out.Taken.clear();
        const Clock::time_point asked = out.At + after;
        out.At = asked;
        for (char c : request) {
            const auto b = static_cast<uint8_t>(c);
            device.Received(out, &b, 1, asked);
        }
        RunTicks(device, out, asked + 1s);
        std::vector<std::pair<Clock::duration, std::string>> answer;
        for (const auto &[when, text] : out.Taken)
            answer.emplace_back(when - asked, text);
        return answer;
    };
    using Answer = std::vector<std::pair<Clock::duration, std::string>>;
    EXPECT_EQ(ask("noise gettemp", 1s), (Answer{{19ms, "21.5"}, {29ms, " C"}}));
    EXPECT_EQ(ask("gettemp", 1s), (Answer{{5ms, "22.0 C"}}));
    EXPECT_EQ(ask("gettemp", 1s), (Answer{{19ms, "21.5"}, {29ms, " C"}}));
    EXPECT_EQ(ask(rtu({1, 3, 0, 10, 0, 5}), 1s), (Answer{{3ms, answerTwo}}));
    EXPECT_TRUE(ask(rtu({1, 4, 0, 10, 0, 2}), 1s).empty());
    EXPECT_TRUE(ask(rtu({1, 3, 0, 11, 0, 2}), 1s).empty());
    EXPECT_EQ(ask(readTwo, 1s), (Answer{{3ms, answerTwo}}));
    EXPECT_EQ(ask("p", 1s), (Answer{{5ms, "P"}}));
    EXPECT_EQ(control->Answered(), 6u);
    EXPECT_EQ(control->Unanswered(), 2u);
}

// Each file gives back what it keeps: a pcapng its times and sides (the monitor's two ports
// too), notes left out; a text capture its stamps, its view's bytes and its heads; a raw one its
// bytes, paced by the rate given.
TEST(Replay, RecordingsReadBackFromEachKindOfFile)
{
    constexpr int64_t t0 = 1797000000123456;
    std::string pcap = PcapngOf(Paced(), t0);
    const std::vector<uint8_t> fromA = Bytes("a"), fromB = Bytes("b");
    ST_PcapngPacket packet;
    packet.Interface = 2;
    packet.WallMicros = t0 + 300000;
    packet.Direction = EPcapngDirection::Inbound;
    packet.Bytes = fromB.data();
    packet.Length = 1;
    AppendPcapngPacket(pcap, packet);
    packet.Interface = 1;
    packet.WallMicros = t0 + 300500;
    packet.Bytes = fromA.data();
    AppendPcapngPacket(pcap, packet);
    packet.Length = 0;
    packet.Comment = "Break";
    AppendPcapngPacket(pcap, packet);
    const ST_Recording p = ParseRecording(reinterpret_cast<const uint8_t *>(pcap.data()), pcap.size(), 0);
    EXPECT_EQ(p.Kind, ST_Recording::EKind::Pcapng);
    ASSERT_EQ(p.Records.size(), 7u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(p.Records[i].Micros, Paced().Records[i].Micros);
        EXPECT_EQ(p.Records[i].Side, Paced().Records[i].Side);
        EXPECT_EQ(p.Records[i].Bytes, Paced().Records[i].Bytes);
    }
    EXPECT_EQ(p.Records[5].Side, EReplaySide::Program);
    EXPECT_EQ(p.Records[6].Side, EReplaySide::Device);
    EXPECT_EQ(p.Records[6].Micros, 300500);

    const ST_Recording text = RecordingOfText("Note :(2026-12-11 23:59:59.900)Capture started\r\n"
                                              "Rec  :(2026-12-11 23:59:59.950)line one\r\n"
                                              "and two\r\n"
                                              "Send :(2026-12-12 00:00:00.010)ask [checksum bad]\r\n"
                                              "A>B :(2026-12-12 00:00:01.000)x\r\n",
                                              0);
    EXPECT_TRUE(text.Timed);
    ASSERT_EQ(text.Records.size(), 3u);
    EXPECT_EQ(text.Records[0].Bytes, Bytes("line one\r\nand two\r\n"));
    EXPECT_EQ(text.Records[1].Bytes, Bytes("ask\r\n"));
    EXPECT_EQ(text.Records[1].Side, EReplaySide::Program);
    EXPECT_EQ(text.Records[1].Micros, 60000);
    EXPECT_EQ(text.Records[2].Micros, 1050000);

    // A window's stamps: the time of day alone, past midnight, and the time since the line before.
    const ST_Recording hex = RecordingOfText("Rec  :(23:59:59)41 0D \r\nRec  :(00:00:01 +2.000)01 [cut]\r\n"
                                             "Send :(+0.250)FF \r\n",
                                             0);
    ASSERT_EQ(hex.Records.size(), 3u);
    EXPECT_EQ(hex.Records[0].Bytes, (std::vector<uint8_t>{0x41, 0x0D}));
    EXPECT_EQ(hex.Records[1].Bytes, (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(hex.Records[1].Micros, 2000000);
    EXPECT_EQ(hex.Records[2].Micros, 2250000);

    // Digits past a clock's two are no time of day (they overflowed its microseconds once).
    const ST_Recording odd = RecordingOfText("Rec  :(10:00:00)a\r\nRec  :(10:999999999999:00)b\r\n", 0);
    ASSERT_EQ(odd.Records.size(), 2u);
    EXPECT_EQ(odd.Records[1].Bytes, Bytes("b\r\n"));

    const ST_Recording untimed = RecordingOfText("Rec  :65 66 \r\nRec  :255 \r\n", 0);
    EXPECT_FALSE(untimed.Timed);
    ASSERT_EQ(untimed.Records.size(), 2u);
    EXPECT_EQ(untimed.Records[1].Bytes, (std::vector<uint8_t>{255}));

    const std::string raw(1000, 'r');
    const ST_Recording paced =
        ParseRecording(reinterpret_cast<const uint8_t *>(raw.data()), raw.size(), 1000);
    EXPECT_EQ(paced.Kind, ST_Recording::EKind::Raw);
    ASSERT_EQ(paced.Records.size(), 100u);
    EXPECT_EQ(paced.Records[50].Micros, 500000);
}

// Played out of a pseudo-terminal, the recording reaches the program on it in order, byte for
// byte, with the recorded gaps as the pty's timing keeps them.
TEST(Replay, AProgramOnTheVirtualPortReadsTheRecordedGaps)
{
    std::string error;
    ST_Recording recording = Paced();
    const std::string pcap = PcapngOf(recording, 1797000000000000);
    recording = ParseRecording(reinterpret_cast<const uint8_t *>(pcap.data()), pcap.size(), 0);
    auto outlet = CReplayOutlet::Make(recording, {1, false, false}, &error);
    ASSERT_TRUE(outlet) << error;
    const int fd = open(outlet->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const auto got = ReadStamped(fd, 8);
    close(fd);
    std::string bytes;
    for (const auto &entry : got)
        bytes.push_back(static_cast<char>(entry.second));
    ASSERT_EQ(bytes, "ABCDEFGH");
    const auto gap = [&](size_t from, size_t to) { return got[to].first - got[from].first; };
    // The reader may be late for the earlier byte and on time for the later, so a gap may look
    // shorter than it was by a loaded machine's wake-up; played as fast as possible, both would
    // be near nothing. Late by no more than such a machine makes a thread.
    EXPECT_GE(gap(2, 4), 30ms);
    EXPECT_LE(gap(2, 4), 50ms + 500ms);
    EXPECT_GE(gap(4, 6), 120ms);
    EXPECT_LE(gap(4, 6), 200ms + 500ms);
}

// A Modbus session between a client and a server of someone else's, recorded on the line between
// them, replayed as the device: the same client reads and writes the same and sees the same.
TEST(Replay, AReplayedModbusServerAnswersTheClient)
{
    CTestPty server, client;
    ASSERT_TRUE(server.Ok() && client.Ok());
    const auto run = [](const std::string &command, std::atomic<bool> &done, std::string &said) {
        return std::thread([command, &done, &said] {
            if (FILE *out = popen(command.c_str(), "r")) {
                char line[256];
                while (std::fgets(line, sizeof line, out))
                    said += line;
                pclose(out);
            }
            done = true;
        });
    };
    std::atomic<bool> done{false};
    std::string recordedSaid;
    std::thread peers = run(std::string("/usr/bin/python3 ") + MODBUS_PEERS + " " + server.Path() + " " +
                                client.Path() + " 19200",
                            done, recordedSaid);
    std::string pcap = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 19200 8N1"));
    const auto deadline = Clock::now() + 60s;
    while (!done && Clock::now() < deadline) {
        pollfd ends[2] = {{server.Master(), POLLIN, 0}, {client.Master(), POLLIN, 0}};
        poll(ends, 2, 20);
        for (int i = 0; i < 2; ++i) {
            uint8_t buffer[512];
            const ssize_t n = ends[i].revents & POLLIN ? read(ends[i].fd, buffer, sizeof buffer) : 0;
            if (n <= 0)
                continue;
            ST_PcapngPacket packet;
            packet.WallMicros = WallNowMicros();
            packet.Direction = i == 0 ? EPcapngDirection::Inbound : EPcapngDirection::Outbound;
            packet.Bytes = buffer;
            packet.Length = static_cast<size_t>(n);
            AppendPcapngPacket(pcap, packet);
            ASSERT_EQ(write(ends[1 - i].fd, buffer, size_t(n)), n);
        }
    }
    ASSERT_TRUE(done) << "the peers did not end";
    peers.join();
    ASSERT_NE(recordedSaid.find("exception"), std::string::npos) << recordedSaid;

    TempDir dir;
    WriteRaw(dir.File("modbus.pcapng"), pcap);
    std::string error;
    auto outlet =
        CReplayOutlet::Make(ReadRecordingFile(dir.File("modbus.pcapng"), 0), {1, false, true}, &error);
    ASSERT_TRUE(outlet) << error;
    done = false;
    std::string replayedSaid;
    std::thread again =
        run(std::string("/usr/bin/python3 ") + REPLAY_MODBUS_CLIENT + " " + outlet->SlavePath() + " 19200",
            done, replayedSaid);
    again.join();
    EXPECT_EQ(replayedSaid, recordedSaid);
    EXPECT_EQ(outlet->Control()->Answered(), 9u);
}

// A headless run plays the recording as the device out of its port: the device's greeting at
// once, the recorded answer to the request the program on the other end sends.
TEST(Replay, AHeadlessRunAnswersOutOfItsPort)
{
    CTempHome home;
    TempDir dir;
    CTestPty pty;
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.Script = dir.File("t.lua");
    o.ReplayPath = dir.File("device.log");
    o.ReplaySpeed = 0;
    o.ReplayAnswer = true;
    WriteRaw(o.Script, "expect('bye', 20000)");
    WriteRaw(o.ReplayPath, "Rec  :(2026-12-11 10:00:00.000)hello\r\nSend :(2026-12-11 10:00:00.100)ask\r\n"
                           "Rec  :(2026-12-11 10:00:00.300)world\r\n");
    std::string greeting, answer;
    std::thread program([&] {
        greeting = pty.ReceiveText(7, 10000);
        pty.Send("ask\r\n");
        answer = pty.ReceiveText(7, 10000);
        pty.Send("bye");
    });
    std::FILE *out = std::tmpfile();
    EXPECT_EQ(RunHeadless(o, out), 0);
    std::fclose(out);
    program.join();
    EXPECT_EQ(greeting, "hello\r\n");
    EXPECT_EQ(answer, "world\r\n");
}
