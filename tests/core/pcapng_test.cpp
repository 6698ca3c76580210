#include "data/checksum.h"
#include "fakerfc2217.h"
#include "log/capturefile.h"
#include "log/logpcapng.h"
#include "log/pcapng.h"
#include "log/pcapngrecorder.h"
#include "ptypair.h"
#include "script/headless.h"
#include "tempdir.h"
#include "tsharkfields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <thread>

namespace {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame)
{
    const CChecksum crc(ST_ChecksumSpec{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    const uint32_t value = crc.Compute(frame);
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
    frame.push_back(static_cast<uint8_t>(value >> 8));
    return frame;
}

ST_PcapngPacket Packet(uint32_t interface, int64_t micros, EPcapngDirection dir, EPcapngPayload payload,
                       const std::vector<uint8_t> &bytes, std::string comment = {})
{
    ST_PcapngPacket packet;
    packet.Interface = interface;
    packet.WallMicros = micros;
    packet.Direction = dir;
    packet.Payload = payload;
    packet.Bytes = bytes.data();
    packet.Length = bytes.size();
    packet.Comment = std::move(comment);
    return packet;
}

// Read holding registers 0x006B..0x006C of unit 17, answered 0x022B, 0x0001.
const std::vector<uint8_t> kQuery = WithCrc({0x11, 0x03, 0x00, 0x6B, 0x00, 0x02});
const std::vector<uint8_t> kAnswer = WithCrc({0x11, 0x03, 0x04, 0x02, 0x2B, 0x00, 0x01});
const std::vector<uint8_t> kText = {'o', 'k', '\r', '\n'};
constexpr int64_t kT0 = 1797000000123456; // a wall time in microseconds

std::string Capture()
{
    std::string file = PcapngHeader({{"ttyUSB0", "ttyUSB0 9600 8N1"}, {"ttyS1", "ttyS1 115200 8E1"}});
    AppendPcapngPacket(file,
                       Packet(0, kT0, EPcapngDirection::Outbound, EPcapngPayload::ModbusRtuQuery, kQuery));
    AppendPcapngPacket(
        file, Packet(0, kT0 + 12001, EPcapngDirection::Inbound, EPcapngPayload::ModbusRtuResponse, kAnswer));
    AppendPcapngPacket(file, Packet(1, kT0 + 20000, EPcapngDirection::Inbound, EPcapngPayload::Data, kText));
    AppendPcapngPacket(file,
                       Packet(1, kT0 + 30000, EPcapngDirection::Unknown, EPcapngPayload::Data, {}, "Break"));
    return file;
}

} // namespace

// What the analyser makes of a capture is the point of the format: every field it shows is the
// one written, and Modbus frames decode without being told what they are.
TEST(Pcapng, TheAnalyserDecodesWhatWasWritten)
{
    TempDir dir;
    const std::string path = dir.File("c.pcapng");
    WriteRaw(path, Capture());
    const auto rows =
        TsharkFields(path, {"frame.time_epoch", "frame.interface_description", "frame.packet_flags_direction",
                            "_ws.col.Info", "mbrtu.unit_id", "modbus.func_code", "modbus.reference_num",
                            "modbus.regval_uint16", "data.data", "frame.comment"});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], "1797000000.123456000");
    EXPECT_EQ(rows[0][1], "ttyUSB0 9600 8N1");
    EXPECT_EQ(rows[0][2], "0x00000002"); // outbound
    EXPECT_NE(rows[0][3].find("Query"), std::string::npos) << rows[0][3];
    EXPECT_EQ(rows[0][4], "17");
    EXPECT_EQ(rows[0][5], "3");
    EXPECT_EQ(rows[0][6], "107");
    EXPECT_EQ(rows[1][0], "1797000000.135457000");
    EXPECT_EQ(rows[1][2], "0x00000001"); // inbound
    EXPECT_NE(rows[1][3].find("Response"), std::string::npos) << rows[1][3];
    EXPECT_EQ(rows[1][7], "555,1");
    EXPECT_EQ(rows[2][1], "ttyS1 115200 8E1");
    EXPECT_EQ(rows[2][8], "6f6b0d0a");
    EXPECT_EQ(rows[3][9], "Break");
}

// The reader gives back every record as written, and a file of two sections (a capture appended
// to) numbers the second one's interfaces after the first's.
TEST(Pcapng, ReadsBackWhatWasWritten)
{
    const std::string one = Capture();
    const std::string two = one + Capture();
    const ST_PcapngContent content = ParsePcapng(reinterpret_cast<const uint8_t *>(two.data()), two.size());
    ASSERT_EQ(content.Interfaces.size(), 4u);
    EXPECT_EQ(content.Interfaces[3].Description, "ttyS1 115200 8E1");
    ASSERT_EQ(content.Records.size(), 8u);
    const ST_PcapngRecord &answer = content.Records[5];
    EXPECT_EQ(answer.Interface, 2u);
    EXPECT_EQ(answer.WallMicros, kT0 + 12001);
    EXPECT_EQ(answer.Direction, EPcapngDirection::Inbound);
    EXPECT_EQ(answer.Protocol, "mbrtu");
    EXPECT_EQ(answer.Bytes, kAnswer);
    EXPECT_EQ(content.Records[7].Comment, "Break");
    EXPECT_EQ(content.Records[7].Interface, 3u);

    // Cut anywhere inside a block, or with a length that lies, the file is refused.
    for (size_t cut : {size_t{5}, one.size() - 3, one.size() - 40}) {
        EXPECT_THROW(ParsePcapng(reinterpret_cast<const uint8_t *>(one.data()), cut), EPcapngError) << cut;
    }
    std::string lying = one;
    lying[lying.size() - 4] ^= 0x40; // the last block's trailing length
    EXPECT_THROW(ParsePcapng(reinterpret_cast<const uint8_t *>(lying.data()), lying.size()), EPcapngError);
}

// A headless run's --pcapng file holds a Modbus request, then its answer, each stamped within
// the run, and the analyser reads the same bytes, directions and times, and decodes both frames,
// whether the run writes blocks or the session's frames.
TEST(Pcapng, AHeadlessRunWritesBothDirections)
{
    // Blocks as read and written, and the session's frames.
    for (const char *framing : {"", "modbus rtu"}) {
        CTempHome home;
        TempDir dir;
        CTestPty pty;
        ST_HeadlessOptions o;
        o.Framing = framing;
        o.Port = pty.Path();
        o.Baud = "9600";
        o.PcapngPath = dir.File("run.pcapng");
        o.Script = dir.File("t.lua");
        const auto lua = [](const std::vector<uint8_t> &bytes) {
            std::string text;
            for (uint8_t b : bytes)
                text += "\\" + std::to_string(b);
            return "'" + text + "'";
        };
        WriteRaw(o.Script, "write(" + lua(kQuery) + ") assert(read(" + std::to_string(kAnswer.size()) +
                               ", 10000) == " + lua(kAnswer) + ")");
        std::thread device([&] {
            if (pty.Receive(kQuery.size(), 10000) == kQuery)
                pty.Send(kAnswer);
        });
        const int64_t before = WallNowMicros();
        std::FILE *out = std::tmpfile();
        EXPECT_EQ(RunHeadless(o, out), 0);
        std::fclose(out);
        device.join();
        const int64_t after = WallNowMicros();

        const ST_PcapngContent content = ReadPcapngFile(o.PcapngPath);
        ASSERT_EQ(content.Interfaces.size(), 6u);
        EXPECT_EQ(content.Interfaces[0].Description, pty.Path().substr(5) + " 9600 8N1");
        ASSERT_EQ(content.Records.size(), 2u) << framing;
        for (const ST_PcapngRecord &r : content.Records) {
            EXPECT_GE(r.WallMicros, before);
            EXPECT_LE(r.WallMicros, after);
        }
        EXPECT_EQ(content.Records[0].Direction, EPcapngDirection::Outbound);
        EXPECT_EQ(content.Records[0].Bytes, kQuery);
        EXPECT_EQ(content.Records[1].Direction, EPcapngDirection::Inbound);
        EXPECT_EQ(content.Records[1].Bytes, kAnswer);
        EXPECT_LE(content.Records[0].WallMicros, content.Records[1].WallMicros);

        const auto rows =
            TsharkFields(o.PcapngPath, {"frame.time_epoch", "frame.packet_flags_direction", "_ws.col.Info",
                                        "modbus.regval_uint16", "exported_pdu.src_port"});
        ASSERT_EQ(rows.size(), 2u);
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string &t = rows[i][0];
            const int64_t micros =
                std::stoll(t.substr(0, t.find('.'))) * 1000000 + std::stoll(t.substr(t.find('.') + 1, 6));
            EXPECT_EQ(micros, content.Records[i].WallMicros) << i;
        }
        EXPECT_EQ(rows[0][1], "0x00000002");
        EXPECT_NE(rows[0][2].find("Query: Unit:  17, Func:   3"), std::string::npos) << rows[0][2];
        EXPECT_EQ(rows[1][1], "0x00000001");
        EXPECT_NE(rows[1][2].find("Response: Unit:  17, Func:   3"), std::string::npos) << rows[1][2];
        EXPECT_EQ(rows[1][3], "555,1");
        // Which is which as the file says it, apart from the dissector's own guess from the shape.
        EXPECT_EQ(rows[0][4], "1");
        EXPECT_EQ(rows[1][4], "0");
    }
}

// A pseudo-terminal reports no break and no line error (its driver keeps no counts, and a break
// sent on its master never reaches the slave), so the line's events come from a network port whose
// server tells them, through the same listener and session. They stand between the data in the
// order the line brought them, as serial-line events the analyser names, with their words.
TEST(Pcapng, LineEventsStandBetweenTheDataTheyCameWith)
{
    CTempHome home;
    TempDir dir;
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    ST_HeadlessOptions o;
    o.Port = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    o.PcapngPath = dir.File("events.pcapng");
    o.Script = dir.File("t.lua");
    WriteRaw(o.Script, "assert(read(2, 10000) == 'ab') write('1') assert(read(2, 10000) == 'cd')");
    std::thread device([&] {
        // The listener has read 'ab' once the script answers it.
        if (server.WaitForConnection() && server.SendData({'a', 'b'}) && server.WaitForData(1)) {
            server.SendComPort(telnet::kServerCode + telnet::NotifyLineState,
                               {telnet::LineBreak | telnet::LineFraming});
            server.SendData({'c', 'd'});
        }
    });
    std::FILE *out = std::tmpfile();
    EXPECT_EQ(RunHeadless(o, out), 0);
    std::fclose(out);
    device.join();

    const auto rows = TsharkFields(o.PcapngPath, {"frame.time_epoch", "frame.interface_id",
                                                  "rtacser.eventtype", "frame.comment", "data.data"});
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0][4], "6162");
    EXPECT_EQ(rows[1][4], "31");
    EXPECT_EQ(rows[2][1], "3");
    EXPECT_EQ(rows[2][2], "0x09");
    EXPECT_EQ(rows[2][3], "Break");
    EXPECT_EQ(rows[3][2], "0x07");
    EXPECT_EQ(rows[3][3], "Framing error");
    EXPECT_EQ(rows[4][4], "6364");
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(std::stod(rows[i - 1][0]), std::stod(rows[i][0])) << i;
    // The reader takes the events back as what they are.
    const ST_PcapngContent content = ReadPcapngFile(o.PcapngPath);
    ASSERT_EQ(content.Records.size(), 5u);
    EXPECT_TRUE(content.Records[2].SerialEvent);
    EXPECT_EQ(content.Records[2].Kind, ESerialEvent::Break);
    EXPECT_TRUE(content.Records[2].Bytes.empty());
    EXPECT_FALSE(content.Records[4].SerialEvent);
}

// With a capture, a headless run looks at the modem lines as a window does (a pseudo-terminal has
// none, so a server tells them): a change goes between the data, stamped at the look that saw
// it, and the last look is made as the run ends, however soon after the change that is.
TEST(Pcapng, AHeadlessRunRecordsTheModemLinesAsTheyChange)
{
    CTempHome home;
    TempDir dir;
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    ST_HeadlessOptions o;
    o.Port = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    o.PcapngPath = dir.File("lines.pcapng");
    o.Script = dir.File("t.lua");
    WriteRaw(o.Script, "assert(read(2, 10000) == 'ab') write('1') assert(read(2, 10000) == 'cd')");
    std::thread device([&] {
        if (server.WaitForConnection() && server.SendData({'a', 'b'}) && server.WaitForData(1)) {
            server.SendComPort(telnet::kServerCode + telnet::NotifyModemState, {0x10 | 0x01}); // CTS on
            server.SendData({'c', 'd'});
        }
    });
    std::FILE *out = std::tmpfile();
    EXPECT_EQ(RunHeadless(o, out), 0);
    std::fclose(out);
    device.join();

    const auto rows = TsharkFields(o.PcapngPath,
                                   {"frame.time_epoch", "data.data", "frame.interface_id",
                                    "rtacser.eventtype", "rtacser.cts", "frame.comment"},
                                   "data.data or rtacser");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][1], "6162");
    EXPECT_EQ(rows[1][1], "31");
    // Whether the look came before 'cd' was read is the line's timing; the file keeps the order.
    const size_t event = rows[2][1].empty() ? 2 : 3;
    EXPECT_EQ(rows[5 - event][1], "6364");
    EXPECT_EQ(std::vector<std::string>(rows[event].begin() + 2, rows[event].end()),
              (std::vector<std::string>{"3", "0x00", "1", "CTS on"}));
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(std::stod(rows[i - 1][0]), std::stod(rows[i][0])) << i;
}

// A capture cut into files at a size and compressed: each file begins a section of its own, and
// the analyser reads every one in full, the packets in order across them.
TEST(Pcapng, ARotatedCompressedCaptureReadsBackInFull)
{
    TempDir dir;
    CCaptureFile capture;
    ST_CaptureOptions options;
    options.newFile = ST_CaptureOptions::NewFile::AtSize;
    options.sizeBytes = 4096;
    options.compress = true;
    options.fileHeader = PcapngHeader(LogPcapngInterfaces("ttyUSB0", "ttyUSB0 9600 8N1"));
    ASSERT_EQ(capture.Start(dir.File("cap-{seq}.pcapng"), options), 0);
    constexpr int kPackets = 400;
    std::string packet;
    for (int i = 0; i < kPackets; ++i) {
        const std::vector<uint8_t> bytes = {static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 'x', 'y',
                                            'z'};
        packet.clear();
        AppendLogPcapng(packet, i % 2 ? LogDirection::Received : LogDirection::Sent, bytes.data(),
                        bytes.size(), kT0 + i);
        capture.Append(packet);
    }
    ASSERT_EQ(capture.Stop(), 0);
    capture.WaitHousekeeping();

    std::vector<std::string> files;
    DIR *folder = opendir(dir.path.c_str());
    ASSERT_NE(folder, nullptr);
    while (const dirent *entry = readdir(folder))
        if (std::string(entry->d_name).rfind("cap-", 0) == 0)
            files.push_back(entry->d_name);
    closedir(folder);
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 2u);
    int next = 0;
    for (const std::string &name : files) {
        EXPECT_TRUE(name == files.back() || (name.size() > 3 && name.substr(name.size() - 3) == ".gz"))
            << name;
        for (const auto &row : TsharkFields(dir.File(name), {"data.data", "frame.packet_flags_direction"})) {
            char expected[16];
            std::snprintf(expected, sizeof expected, "%04x78797a", next);
            EXPECT_EQ(row[0], expected) << name;
            EXPECT_EQ(row[1], next % 2 ? "0x00000001" : "0x00000002");
            ++next;
        }
    }
    EXPECT_EQ(next, kPackets);
}

// The packets of a range of the traffic's numbers come with what was kept between them and
// nothing else, whole, however the recorder's chunks cut them.
TEST(Pcapng, TheRecorderGivesTheTrafficOfARangeOfNumbers)
{
    CPcapngRecorder recorder;
    std::vector<uint8_t> bytes(200);
    const uint32_t count = 20000; // several chunks' worth, a millisecond apart: the full ones packed
    for (uint32_t seq = 1; seq <= count; ++seq) {
        std::memcpy(bytes.data(), &seq, sizeof seq);
        recorder.AddTraffic(seq, LogDirection::Received, bytes.data(), bytes.size(), kT0 + seq * 1000);
        if (seq == 7000) {
            ST_LineEvent event;
            event.Kind = ELineEvent::Break;
            recorder.AddEvent(event, kT0 + seq * 1000);
        }
    }
    EXPECT_LT(recorder.HeldBytes(), size_t{count} * bytes.size() / 2) << "the full chunks are packed";
    for (const auto &[first, last] : std::vector<std::pair<uint32_t, uint32_t>>{{5, 5}, {3000, 15000}}) {
        size_t packets = 0;
        std::string file = PcapngHeader(LogPcapngInterfaces("ttyUSB0", ""));
        for (const auto &piece : recorder.TakeTraffic(first, last, packets))
            file += piece->Text();
        EXPECT_EQ(packets, last - first + 1);
        const ST_PcapngContent content =
            ParsePcapng(reinterpret_cast<const uint8_t *>(file.data()), file.size());
        std::vector<uint32_t> seqs;
        size_t events = 0;
        for (const ST_PcapngRecord &r : content.Records) {
            if (r.SerialEvent) {
                ++events;
                continue;
            }
            uint32_t seq = 0;
            ASSERT_EQ(r.Bytes.size(), bytes.size());
            std::memcpy(&seq, r.Bytes.data(), sizeof seq);
            seqs.push_back(seq);
        }
        ASSERT_EQ(seqs.size(), packets);
        EXPECT_EQ(seqs.front(), first);
        EXPECT_EQ(seqs.back(), last);
        EXPECT_EQ(events, first <= 7000 && 7000 < last ? 1u : 0u);
    }
    size_t none = 0;
    EXPECT_TRUE(recorder.TakeTraffic(count + 1, count + 5, none).empty());
    EXPECT_EQ(none, 0u);
}
