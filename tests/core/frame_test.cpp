#include "frame/delimiter.h"
#include "frame/framecsv.h"
#include "frame/frameprofilefile.h"
#include "frame/frameprofiles.h"
#include "frame/framers.h"
#include "frame/latencytimer.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <tuple>

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<uint8_t>;
using Frames = std::vector<ST_Frame>;

constexpr auto kRx = EFrameDirection::Received;
constexpr auto kTx = EFrameDirection::Sent;

// The encoders as RFC 1055 and the COBS paper describe them, written apart from the decoders.
Bytes Slip(const Bytes &payload)
{
    Bytes out{0xC0};
    for (uint8_t b : payload) {
        if (b == 0xC0)
            out.insert(out.end(), {0xDB, 0xDC});
        else if (b == 0xDB)
            out.insert(out.end(), {0xDB, 0xDD});
        else
            out.push_back(b);
    }
    out.push_back(0xC0);
    return out;
}

Bytes Cobs(const Bytes &payload)
{
    Bytes out{0};
    size_t code = 0;
    for (size_t i = 0; i < payload.size(); ++i) {
        const uint8_t b = payload[i];
        if (b == 0) {
            out[code] = static_cast<uint8_t>(out.size() - code);
            code = out.size();
            out.push_back(0);
            continue;
        }
        out.push_back(b);
        if (out.size() - code == 0xFF && i + 1 < payload.size()) {
            out[code] = 0xFF;
            code = out.size();
            out.push_back(0);
        }
    }
    out[code] = static_cast<uint8_t>(out.size() - code);
    out.push_back(0);
    return out;
}

Bytes Cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Random(std::mt19937 &rng, size_t size)
{
    Bytes out(size);
    for (uint8_t &b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

Frames FeedAll(CFramer &framer, const Bytes &data, FrameTime time = 0us, EFrameDirection dir = kRx)
{
    Frames out;
    framer.Feed(dir, data.data(), data.size(), time, out);
    return out;
}

// Fed in random pieces, all at one time: no gap can be seen, so the cut must not matter. Each
// piece's frames are handed back once copied, as a session does, so that the next frames are
// made in buffers earlier ones had.
Frames FeedSplit(CFramer &framer, const Bytes &data, std::mt19937 &rng)
{
    Frames out, piece;
    for (size_t at = 0; at < data.size();) {
        const size_t size = std::min<size_t>(data.size() - at, 1 + rng() % 9);
        framer.Feed(kRx, data.data() + at, size, 0us, piece);
        out.insert(out.end(), piece.begin(), piece.end());
        framer.Recycle(piece);
        at += size;
    }
    return out;
}

void ExpectSame(const Frames &a, const Frames &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].Bytes, b[i].Bytes) << i;
        EXPECT_EQ(a[i].Decoded, b[i].Decoded) << i;
        EXPECT_EQ(a[i].Marks, b[i].Marks) << i;
        EXPECT_EQ(a[i].Check, b[i].Check) << i;
        EXPECT_EQ(a[i].Gap, b[i].Gap) << i;
    }
}

} // namespace

TEST(Framing, CobsDecodesThePapersExamplesAndRandomPayloads)
{
    Bytes upTo254(254), from0(255), upTo255(255);
    for (int i = 0; i < 255; ++i) {
        from0[i] = static_cast<uint8_t>(i);
        upTo255[i] = static_cast<uint8_t>(i + 1);
        if (i < 254)
            upTo254[i] = static_cast<uint8_t>(i + 1);
    }
    Bytes enc254{0xFF};
    enc254.insert(enc254.end(), upTo254.begin(), upTo254.end());
    enc254.push_back(0);
    Bytes enc255{0xFF};
    enc255.insert(enc255.end(), upTo254.begin(), upTo254.end());
    enc255.insert(enc255.end(), {0x02, 0xFF, 0x00});
    const std::vector<std::pair<Bytes, Bytes>> examples = {
        {{0x00}, {0x01, 0x01, 0x00}},
        {{0x00, 0x00}, {0x01, 0x01, 0x01, 0x00}},
        {{0x11, 0x22, 0x00, 0x33}, {0x03, 0x11, 0x22, 0x02, 0x33, 0x00}},
        {{0x11, 0x22, 0x33, 0x44}, {0x05, 0x11, 0x22, 0x33, 0x44, 0x00}},
        {{0x11, 0x00, 0x00, 0x00}, {0x02, 0x11, 0x01, 0x01, 0x01, 0x00}},
        {upTo254, enc254},
        {upTo255, enc255},
    };
    std::mt19937 rng(7);
    Bytes stream;
    std::vector<Bytes> payloads;
    for (const auto &[payload, encoded] : examples) {
        EXPECT_EQ(Cobs(payload), encoded) << "the test's own encoder";
        CCobsFramer framer;
        const Frames frames = FeedAll(framer, encoded);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].Decoded, payload);
        EXPECT_EQ(frames[0].Bytes, encoded);
        EXPECT_EQ(frames[0].Marks, 0);
    }
    for (int i = 0; i < 200; ++i) {
        payloads.push_back(Random(rng, rng() % 600));
        for (uint8_t &b : payloads.back())
            b = rng() % 4 ? b : 0;
        const Bytes enc = Cobs(payloads.back());
        stream.insert(stream.end(), enc.begin(), enc.end());
    }
    CCobsFramer whole, split;
    const Frames frames = FeedAll(whole, stream);
    ASSERT_EQ(frames.size(), payloads.size()) << "an empty payload is a frame (01 00) too";
    for (size_t i = 0; i < payloads.size(); ++i)
        EXPECT_EQ(frames[i].Decoded, payloads[i]);
    ExpectSame(frames, FeedSplit(split, stream, rng));

    // A zero inside a group ends the frame there, marked; the next frame is read as usual.
    CCobsFramer bad;
    const Frames cut = FeedAll(bad, {0x04, 0x11, 0x00, 0x02, 0x22, 0x00});
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].Marks, FRAME_BAD_ENCODING);
    EXPECT_EQ(cut[1].Decoded, Bytes{0x22});
    EXPECT_EQ(cut[1].Marks, 0);
}

TEST(Framing, SlipDecodesRandomPayloadsAndMarksBadEscapes)
{
    std::mt19937 rng(11);
    Bytes stream{0xC0, 0xC0}; // a sender's flush of line noise before the first frame
    std::vector<Bytes> payloads;
    for (int i = 0; i < 200; ++i) {
        payloads.push_back(Random(rng, 1 + rng() % 300));
        for (uint8_t &b : payloads.back())
            b = rng() % 3 ? b : (rng() % 2 ? 0xC0 : 0xDB);
        const Bytes enc = Slip(payloads.back());
        stream.insert(stream.end(), enc.begin(), enc.end());
    }
    CSlipFramer whole, split;
    const Frames frames = FeedAll(whole, stream);
    ASSERT_EQ(frames.size(), payloads.size());
    for (size_t i = 0; i < payloads.size(); ++i) {
        EXPECT_EQ(frames[i].Decoded, payloads[i]);
        EXPECT_EQ(frames[i].Marks, 0);
    }
    EXPECT_EQ(frames[0].Bytes, Cat({0xC0, 0xC0}, Slip(payloads[0]))) << "the flush stays in the log";
    ExpectSame(frames, FeedSplit(split, stream, rng));

    CSlipFramer bad;
    const Frames marked =
        FeedAll(bad, {0xC0, 0x41, 0xDB, 0x42, 0xC0, 0xC0, 0x43, 0xDB, 0xC0, 0xC0, 0x44, 0xC0});
    ASSERT_EQ(marked.size(), 3u);
    EXPECT_EQ(marked[0].Decoded, (Bytes{0x41, 0x42})) << "the byte after a bad escape is kept";
    EXPECT_EQ(marked[0].Marks, FRAME_BAD_ENCODING);
    EXPECT_EQ(marked[1].Marks, FRAME_BAD_ENCODING) << "an escape before END";
    EXPECT_EQ(marked[2].Decoded, Bytes{0x44});
    EXPECT_EQ(marked[2].Marks, 0);
}

// Frames of random payloads behind a length field wherever it sits, however wide, in either order
// and counting any of the ways.
TEST(Framing, LengthFieldAtEveryOffsetSizeAndOrder)
{
    std::mt19937 rng(3);
    for (size_t offset = 0; offset < 4; ++offset)
        for (uint8_t size : {1, 2, 4})
            for (EByteOrder order : {EByteOrder::BigEndian, EByteOrder::LittleEndian})
                for (ELengthCounts counts :
                     {ELengthCounts::WholeFrame, ELengthCounts::AfterField, ELengthCounts::FromOffset}) {
                    const ST_LengthField field{offset, size, order, -2, counts};
                    std::vector<Bytes> sent;
                    Bytes stream;
                    for (int i = 0; i < 20; ++i) {
                        Bytes frame = Random(rng, offset + size + rng() % 40);
                        size_t counted = frame.size() - (counts == ELengthCounts::AfterField   ? offset + size
                                                         : counts == ELengthCounts::FromOffset ? offset
                                                                                               : 0);
                        const uint64_t value = counted + 2; // the field's value less the constant
                        for (size_t b = 0; b < size; ++b) {
                            const size_t shift = 8 * (order == EByteOrder::BigEndian ? size - 1 - b : b);
                            frame[offset + b] = static_cast<uint8_t>(value >> shift);
                        }
                        sent.push_back(frame);
                        stream = Cat(stream, frame);
                    }
                    CLengthFramer framer(field), split(field);
                    const Frames frames = FeedAll(framer, stream);
                    ASSERT_EQ(frames.size(), sent.size()) << offset << size;
                    for (size_t i = 0; i < sent.size(); ++i) {
                        EXPECT_EQ(frames[i].Bytes, sent[i]);
                        EXPECT_EQ(frames[i].Marks, 0);
                    }
                    ExpectSame(frames, FeedSplit(split, stream, rng));
                }

    // A length shorter than the header cannot say where the next frame starts.
    CLengthFramer framer({1, 1, EByteOrder::BigEndian, 0, ELengthCounts::WholeFrame});
    const Frames frames = FeedAll(framer, {0xAA, 0x01, 0xAA, 0x03, 0x55});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Marks, FRAME_BAD_ENCODING);
    EXPECT_EQ(frames[1].Bytes, (Bytes{0xAA, 0x03, 0x55}));
}

TEST(Framing, DelimitersCutWhereverTheRunsEnd)
{
    std::mt19937 rng(5);
    const Bytes crlf{'\r', '\n'};
    Bytes stream = {'x', 'y'}; // stray before the first start
    std::vector<Bytes> bodies;
    for (int i = 0; i < 100; ++i) {
        // Some empty: a frame of delimiters only, whose bytes are none once they are dropped.
        bodies.push_back(Random(rng, i % 10 == 3 ? 0 : rng() % 30));
        // No delimiter inside, but a lone CR or LF: half an end delimiter is a frame's content.
        Bytes &body = bodies.back();
        for (uint8_t &b : body)
            b = b % 40 == 0 ? '\n' : b % 40 == 1 ? '\r' : 'a' + b % 26;
        for (size_t k = 1; k < body.size(); ++k)
            if (body[k - 1] == '\r' && body[k] == '\n')
                body[k] = 'n';
        stream = Cat(Cat(Cat(stream, {'>'}), bodies.back()), crlf);
    }
    for (EDelimiterMode mode : {EDelimiterMode::End, EDelimiterMode::StartEnd, EDelimiterMode::Start})
        for (bool keep : {true, false}) {
            const ST_DelimiterSettings set{mode, {'>'}, crlf, keep};
            CDelimiterFramer whole(set), split(set);
            Frames frames = FeedAll(whole, stream);
            ExpectSame(frames, FeedSplit(split, stream, rng));
            whole.Flush(frames);
            ASSERT_EQ(frames.size(), bodies.size() + (mode == EDelimiterMode::End ? 0 : 1));
            size_t at = 0;
            if (mode != EDelimiterMode::End) {
                EXPECT_EQ(frames[at].Bytes, (Bytes{'x', 'y'}));
                EXPECT_EQ(frames[at++].Marks, FRAME_STRAY);
            }
            for (size_t i = 0; i < bodies.size(); ++i, ++at) {
                Bytes expected = bodies[i];
                if (mode == EDelimiterMode::End && keep)
                    expected = Cat(expected, crlf);
                if (mode == EDelimiterMode::End)
                    expected = Cat(i == 0 ? Bytes{'x', 'y', '>'} : Bytes{'>'}, expected);
                else if (mode == EDelimiterMode::Start)
                    expected = Cat(keep ? Bytes{'>'} : Bytes{}, Cat(expected, crlf));
                else if (keep)
                    expected = Cat(Cat({'>'}, expected), crlf);
                EXPECT_EQ(frames[at].Bytes, expected) << static_cast<int>(mode) << keep << i;
                EXPECT_EQ(frames[at].Marks,
                          mode == EDelimiterMode::Start && i + 1 == bodies.size() ? FRAME_TIMED_OUT : 0);
            }
        }
}

// HDLC-like lines share one flag between two frames and fill the idle line with flags.
TEST(Framing, AFlagBetweenTwoFramesEndsOneAndStartsTheNext)
{
    std::mt19937 rng(9);
    const Bytes stream{0x7E, 0x7E, 'a', 0x7E, 'b', 'c', 0x7E, 0x7E, 0x7E, 'd', 0x7E};
    for (bool keep : {true, false}) {
        const ST_DelimiterSettings set{EDelimiterMode::StartEnd, {0x7E}, {0x7E}, keep};
        CDelimiterFramer whole(set, {64 * 1024, 50ms}), split(set);
        Frames frames = FeedAll(whole, stream);
        ExpectSame(frames, FeedSplit(split, stream, rng));
        const std::vector<Bytes> bodies{{'a'}, {'b', 'c'}, {'d'}};
        ASSERT_EQ(frames.size(), bodies.size());
        for (size_t i = 0; i < bodies.size(); ++i) {
            EXPECT_EQ(frames[i].Bytes, keep ? Cat(Cat({0x7E}, bodies[i]), {0x7E}) : bodies[i]);
            EXPECT_EQ(frames[i].Marks, 0) << i;
        }
        // The last flag waits for a frame: the quiet line and a close leave no frame of it.
        EXPECT_EQ(whole.NextDeadline(), std::nullopt);
        whole.Tick(1s, frames);
        whole.Flush(frames);
        EXPECT_EQ(frames.size(), bodies.size());
    }
}

// Modbus RTU at 9600 8E1: 3.5 characters are 4.01 ms. The request goes the other way meanwhile.
TEST(Framing, SilenceCutsModbusFramesAndTheCheckFindsABadCrc)
{
    const ST_LineTiming line{9600, 8, true, 1};
    CSilenceFramer framer({3.5, 0us}, line);
    framer.SetCheck(FrameCheckByName("crc-16/modbus"));
    EXPECT_THROW(FrameCheckByName("CRC-16/MODBUS2"), std::invalid_argument);
    EXPECT_FALSE(framer.AtFloor());
    const Bytes good{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    const Bytes bad{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE};
    Frames out;
    framer.Feed(kRx, good.data(), 3, 0us, out);
    framer.Feed(kTx, good.data(), good.size(), 1ms, out);
    framer.Feed(kRx, good.data() + 3, 5, 3ms, out);
    EXPECT_TRUE(out.empty());
    framer.Feed(kRx, bad.data(), bad.size(), 10ms, out);
    ASSERT_EQ(out.size(), 2u) << "the request ended by its own silence, the response by the next";
    EXPECT_EQ(out[0].Direction, kTx);
    EXPECT_EQ(out[1].Bytes, good);
    EXPECT_EQ(out[1].Check, EFrameCheck::Ok);
    EXPECT_EQ(out[1].Start, 0us);
    EXPECT_EQ(out[1].End, 3ms);
    EXPECT_FALSE(out[1].Gap.has_value());

    ASSERT_EQ(framer.NextDeadline(), FrameTime(10000 + 4011));
    framer.Tick(FrameTime(10000 + 4010), out);
    EXPECT_EQ(out.size(), 2u);
    framer.Tick(FrameTime(10000 + 4011), out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].Bytes, bad);
    EXPECT_EQ(out[2].Check, EFrameCheck::Bad);
    EXPECT_EQ(out[2].Marks, 0);
    EXPECT_EQ(out[2].Gap, 7ms);
    EXPECT_NEAR(out[2].GapChars, 7000 / line.CharMicros(), 1e-9);
    EXPECT_FALSE(framer.NextDeadline().has_value());
}

TEST(Framing, SilenceBelowTheFloorWaitsForTheFloorAndMarksItsFrames)
{
    CSilenceFramer framer({3.5, 16ms}, {115200, 8, false, 1});
    EXPECT_TRUE(framer.AtFloor());
    const Bytes a{1, 2}, b{3};
    Frames out;
    framer.Feed(kRx, a.data(), a.size(), 0ms, out);
    framer.Feed(kRx, b.data(), b.size(), 10ms, out);
    framer.Feed(kRx, a.data(), a.size(), 30ms, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Bytes, (Bytes{1, 2, 3}));
    EXPECT_EQ(out[0].Marks, FRAME_SILENCE_FLOOR);
    framer.Flush(out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].Marks, 0) << "a frame the port's close ends is not split at the floor";
}

TEST(Framing, GarbageIsCutAtTheMaximumAndUnfinishedFramesTimeOut)
{
    CDelimiterFramer framer({EDelimiterMode::End, {}, {'\n'}, true}, {100, 50ms});
    framer.SetCheck(ST_FrameCheck{{EChecksumKind::Sum8, {}, EByteOrder::BigEndian}, 1, 1});
    const Bytes junk(1000, 'a');
    Frames out = FeedAll(framer, junk);
    ASSERT_EQ(out.size(), 10u);
    for (const ST_Frame &frame : out) {
        EXPECT_EQ(frame.Bytes.size(), 100u);
        EXPECT_EQ(frame.Marks, FRAME_MAX_LENGTH);
        EXPECT_EQ(frame.Check, EFrameCheck::None);
    }
    out = FeedAll(framer, {'a', 'b'}, 1s);
    framer.Tick(1s + 49ms, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(framer.NextDeadline(), 1s + 50ms);
    framer.Tick(1s + 50ms, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Marks, FRAME_TIMED_OUT);
    EXPECT_EQ(out[0].Check, EFrameCheck::None);

    // No Tick in between: the next read ends the stale frame before it is taken.
    out = FeedAll(framer, {'x'}, 2s);
    const Frames next = FeedAll(framer, {'y', 'a', 'a', '\n'}, 3s);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[0].Bytes, Bytes{'x'});
    EXPECT_EQ(next[0].Marks, FRAME_TIMED_OUT);
    EXPECT_EQ(next[1].Check, EFrameCheck::Ok) << "'a' is the sum of 'a', the 'y' before it not covered";
}

TEST(Framing, DelimitersParseFromTextAndHex)
{
    EXPECT_EQ(DelimiterFromText("\\r\\n"), (Bytes{'\r', '\n'}));
    EXPECT_EQ(DelimiterFromText("a\\\\\\x7e\\0"), (Bytes{'a', '\\', 0x7E, 0}));
    EXPECT_EQ(DelimiterFromHex("0D 0a"), (Bytes{0x0D, 0x0A}));
    EXPECT_EQ(DelimiterFromHex("0x7E,0x7e"), (Bytes{0x7E, 0x7E}));
    for (const char *text : {"", "\\", "\\q", "\\x7"})
        EXPECT_THROW(DelimiterFromText(text), std::invalid_argument) << text;
    for (const char *text : {"", " ", "0D0", "zz", "0x"})
        EXPECT_THROW(DelimiterFromHex(text), std::invalid_argument) << text;
}

TEST(Framing, LatencyTimerGivesTheSilenceFloor)
{
    TempDir sys;
    auto put = [&](const std::string &dir, const std::string &text) {
        std::filesystem::create_directories(sys.path + dir);
        WriteRaw(sys.path + dir + "/latency_timer", text);
    };
    put("/class/tty/ttyUSB0/device", "16\n");
    put("/bus/usb-serial/devices/ttyUSB1", "1\n");
    put("/class/tty/ttyUSB2/device", "fast\n");
    std::filesystem::create_directories(sys.path + "/class/tty/ttyS0/device");
    EXPECT_EQ(LatencyFloorMs("/dev/ttyUSB0", sys.path), 16);
    EXPECT_EQ(LatencyFloorMs("ttyUSB1", sys.path), 1);
    EXPECT_FALSE(LatencyFloorMs("/dev/ttyUSB2", sys.path).has_value());
    EXPECT_FALSE(LatencyFloorMs("/dev/ttyS0", sys.path).has_value());
    EXPECT_FALSE(LatencyFloorMs("/dev/", sys.path).has_value());
}

TEST(Framing, FramesCarryTheTimesOfTheirReads)
{
    CFixedFramer framer(3, {}, {9600, 8, false, 1});
    Frames out = FeedAll(framer, {'a', 'b'}, 0ms);
    for (const auto &[text, time] :
         {std::pair<std::string, FrameTime>{"cdefg", 5ms}, {"hi", 9ms}, {"jkl", 20ms}})
        framer.Feed(kRx, reinterpret_cast<const uint8_t *>(text.data()), text.size(), time, out);
    ASSERT_EQ(out.size(), 4u);
    const std::vector<std::tuple<std::string, FrameTime, FrameTime, std::optional<FrameTime>>> expected = {
        {"abc", 0ms, 5ms, std::nullopt},
        {"def", 5ms, 5ms, 0ms},
        {"ghi", 5ms, 9ms, 0ms},
        {"jkl", 20ms, 20ms, 11ms}};
    for (size_t i = 0; i < out.size(); ++i) {
        const auto &[text, start, end, gap] = expected[i];
        EXPECT_EQ(std::string(out[i].Bytes.begin(), out[i].Bytes.end()), text);
        EXPECT_EQ(out[i].Start, start) << i;
        EXPECT_EQ(out[i].End, end) << i;
        EXPECT_EQ(out[i].Gap, gap) << i;
    }
    EXPECT_NEAR(out[3].GapChars, 11000 / (10 * 1e6 / 9600), 1e-9);

    // A start delimiter ends the frame before it: what follows may be in the same read or not.
    CDelimiterFramer starts({EDelimiterMode::Start, {'<', '<'}, {}, true});
    out.clear();
    for (const auto &[text, time] :
         {std::pair<std::string, FrameTime>{"<<a", 0ms}, {"<<b<", 5ms}, {"<c", 6ms}, {"d", 7ms}})
        starts.Feed(kRx, reinterpret_cast<const uint8_t *>(text.data()), text.size(), time, out);
    starts.Flush(out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].Bytes, (Bytes{'<', '<', 'b'}));
    EXPECT_EQ(out[1].Start, 5ms);
    EXPECT_EQ(out[1].Gap, 5ms);
    EXPECT_EQ(out[1].End, 5ms);
    EXPECT_EQ(out[2].Bytes, (Bytes{'<', '<', 'c', 'd'}));
    EXPECT_EQ(out[2].Start, 5ms) << "its delimiter began in the read before";
    EXPECT_EQ(out[2].End, 7ms);
    EXPECT_EQ(out[2].Gap, 0ms);

    std::mt19937 rng(9);
    const Bytes stream = Random(rng, 5000);
    CFixedFramer whole(7), split(7);
    const Frames frames = FeedAll(whole, stream);
    EXPECT_EQ(frames.size(), stream.size() / 7);
    ExpectSame(frames, FeedSplit(split, stream, rng));
}

namespace {

Bytes Text(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(FrameProfiles, ChecksOfTheProtocolsFindGoodAndBadFrames)
{
    const auto verdicts = [](const std::string &profile, const std::vector<Bytes> &frames) {
        CFrameProfile framing(profile, {9600, 8, false, 1});
        Frames out;
        FrameTime time{0};
        for (const Bytes &frame : frames) {
            framing.Feed(kRx, frame.data(), frame.size(), time, out);
            time += 100ms;
        }
        framing.Flush(out);
        std::vector<EFrameCheck> checks;
        for (const ST_Frame &frame : out)
            checks.push_back(frame.Check);
        return checks;
    };
    using C = std::vector<EFrameCheck>;
    constexpr auto ok = EFrameCheck::Ok, bad = EFrameCheck::Bad, none = EFrameCheck::None;
    EXPECT_EQ(verdicts("modbus rtu", {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD},
                                      {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xCD, 0xC5}}),
              (C{ok, bad}));
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*";
    EXPECT_EQ(verdicts("NMEA 0183", {Text(gga + "47\r\n"), Text(gga + "46\r\n"), Text("$GPGSV,1,1,00\r\n"),
                                     Text(gga + "4\r\n")}),
              (C{ok, bad, none, bad}));
    EXPECT_EQ(verdicts("Modbus ASCII", {Text(":010300000001FB\r\n"), Text(":010300000001fc\r\n"),
                                        Text(":0103000000G1FB\r\n")}),
              (C{ok, bad, bad}));
    EXPECT_EQ(verdicts("Lines", {Text("a\r\n")}), (C{none}));
    try {
        CFrameProfile("Modbus", {});
        ADD_FAILURE() << "an unknown name was taken";
    } catch (const std::invalid_argument &e) {
        for (const std::string &name : CFrameProfile::Names())
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << name;
    }
}

TEST(FrameProfiles, TheUsersFileRoundTripsEveryModeAndKeepsUnknownKeys)
{
    const std::string text = "# Kestrum framing profiles 3\n"
                             "[ Sensor ]\nMode = delimiter\ndelimiter = start-end\nstart = 02\n"
                             "end = 0d0A\nkeep = no\ncheck = CRC-16/MODBUS\ncheck.trail = 2\n"
                             "length = 9\nfuture.key = a = b\n"
                             "[Quiet]\nmode = silence\nchars = 2.25\nfloor.ms = 16\ntimeout.ms = 0\n"
                             "; comment\n\n"
                             "[Header]\nmode = length\nfield.offset = 2\nfield.size = 2\n"
                             "field.order = little\nfield.add = -3\nfield.counts = frame\n"
                             "[Block]\nmode = fixed\nlength = 8\ncheck = crc-16/modbus\n"
                             "[C]\nmode = cobs\nmax-length = 16777216\ndecoder = later\n"
                             "[S]\nmode = SLIP\ncheck = none\ncheck.skip = 1\n";
    const auto profiles = ParseFrameProfiles(text);
    ASSERT_EQ(profiles.size(), 6u);
    const ST_FramingProfile &d = profiles[0];
    EXPECT_EQ(d.Name, "Sensor");
    EXPECT_EQ(d.Delimiter.Mode, EDelimiterMode::StartEnd);
    EXPECT_EQ(d.Delimiter.Start, (Bytes{0x02}));
    EXPECT_EQ(d.Delimiter.End, (Bytes{0x0D, 0x0A}));
    EXPECT_FALSE(d.Delimiter.Keep);
    EXPECT_EQ(d.CheckTrail, 2u);
    // Another mode's key and a later version's are kept, not taken.
    using Keys = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(d.FixedLength, 1u);
    EXPECT_EQ(d.Unknown, (Keys{{"length", "9"}, {"future.key", "a = b"}}));
    EXPECT_EQ(profiles[1].Silence.Chars, 2.25);
    EXPECT_EQ(profiles[1].Silence.Floor, 16ms);
    EXPECT_EQ(profiles[1].Limits.TimeOut, 0ms);
    EXPECT_EQ(profiles[2].Length.Order, EByteOrder::LittleEndian);
    EXPECT_EQ(profiles[2].Length.Add, -3);
    EXPECT_EQ(profiles[2].Length.Counts, ELengthCounts::WholeFrame);
    EXPECT_EQ(profiles[4].Limits.MaxLength, size_t{16} * 1024 * 1024);
    EXPECT_EQ(profiles[4].Decoder, "later");
    EXPECT_EQ(profiles[5].Unknown, (Keys{{"check.skip", "1"}}));

    TempDir dir;
    const std::string path = dir.File("Framing.kfp");
    WriteFrameProfilesFile(path, profiles);
    EXPECT_EQ(ReadFrameProfilesFile(path), profiles);
    EXPECT_TRUE(ReadFrameProfilesFile(dir.File("none.kfp")).empty());

    // A user's profile frames as a built-in does.
    CFrameProfile block(profiles[3], {9600, 8, false, 1});
    Frames out;
    const Bytes good{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    block.Feed(kRx, good.data(), good.size(), FrameTime(0), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Check, EFrameCheck::Ok);
}

TEST(FrameProfiles, ABadFileIsRefusedWithTheLineAtFault)
{
    const auto line = [](const std::string &text) -> size_t {
        try {
            ParseFrameProfiles("# Kestrum framing profiles 1\n" + text);
        } catch (const EFrameProfilesError &e) {
            return e.Line();
        }
        return 0;
    };
    EXPECT_EQ(line("[A]\nmode = delimiter\nend = 0D 0\n"), 4u);
    EXPECT_EQ(line("[A]\nmode = cobs\n\n[a]\nmode = slip\n"), 5u);
    EXPECT_EQ(line("[A]\nmode = fixed\nmax-length = 16777217\n"), 4u);
    // What only the framer can tell is laid at the profile's name.
    EXPECT_EQ(line("# x\n[A]\nmode = delimiter\ndelimiter = start\n"), 3u);
    EXPECT_EQ(line("[A]\nmode = fixed\ncheck = CRC-17\n"), 4u);
    // Nor is a profile written that would read back as another.
    ST_FramingProfile broken = CFrameProfile::BuiltIn("lines");
    broken.Decoder = "a\n[b]";
    EXPECT_THROW(FrameProfilesText({broken}), std::invalid_argument);
}

TEST(FrameCsv, ALineHoldsTheFramesFieldsAndQuotesWhatNeedsIt)
{
    // 2026-12-11T05:01:02Z, with the steady clock's times a day in.
    const int64_t offset = 1796965262LL * 1000000 - 86400LL * 1000000;
    ST_Frame frame;
    frame.Direction = kTx;
    frame.Start = FrameTime(86400LL * 1000000 + 123456);
    frame.Gap = FrameTime(4012);
    frame.GapChars = 3.6999;
    frame.Bytes = {0x01, 0xAB, 0x0F};
    frame.Check = EFrameCheck::Bad;
    EXPECT_EQ(CFrameCsv(offset, true).Line(frame, "say \"hi\", twice"),
              "2026-12-11T05:01:02.123456Z,4.012,3.7,tx,3,01 AB 0F,bad,\"say \"\"hi\"\", twice\"\n");
    frame.Gap.reset();
    frame.Direction = EFrameDirection::MonitorBtoA;
    EXPECT_EQ(CFrameCsv(offset - 1000000, true).Line(frame),
              "2026-12-11T05:01:01.123456Z,,,b>a,3,01 AB 0F,bad,\n");
    EXPECT_EQ(CsvField("a\nb"), "\"a\nb\"");
    EXPECT_EQ(CsvField("plain"), "plain");
}
