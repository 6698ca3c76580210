#include "decode/answertimer.h"
#include "decode/decoders.h"
#include "decode/layout.h"
#include "decode/modbus.h"
#include "decode/nmea.h"
#include "frame/frameprofilefile.h"
#include "frame/frameprofiles.h"
#include "ptypair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <numeric>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto kRx = EFrameDirection::Received;
constexpr auto kTx = EFrameDirection::Sent;

// The frame the built-in framing cuts from these bytes, its check judged as the window's is.
ST_Frame Framed(const std::string &profile, EFrameDirection dir, const Bytes &bytes)
{
    CFrameProfile framing(profile, ST_LineTiming{9600, 8, false, 1});
    std::vector<ST_Frame> frames;
    framing.Feed(dir, bytes.data(), bytes.size(), 0us, frames);
    framing.Flush(frames);
    EXPECT_EQ(frames.size(), 1u) << profile;
    return frames.empty() ? ST_Frame{} : frames[0];
}

Bytes WithCrc(Bytes pdu)
{
    return CChecksum(FrameCheckByName("CRC-16/MODBUS").Sum).Append(pdu);
}

ST_Frame Rtu(EFrameDirection dir, const Bytes &pdu)
{
    return Framed("Modbus RTU", dir, WithCrc(pdu));
}

Bytes Ascii(const Bytes &pdu)
{
    const Bytes binary =
        CChecksum(ST_ChecksumSpec{EChecksumKind::Lrc8, {}, EByteOrder::BigEndian}).Append(pdu);
    std::string text = ":";
    char pair[3];
    for (uint8_t b : binary) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    text += "\r\n";
    return {text.begin(), text.end()};
}

Bytes Sentence(const std::string &body, char lead = '$')
{
    uint8_t sum = 0;
    for (char c : body)
        sum ^= uint8_t(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    const std::string text = lead + body + tail;
    return {text.begin(), text.end()};
}

double ValueOf(const ST_Decoded &d, const std::string &name)
{
    const ST_Field *f = d.Find(name);
    EXPECT_TRUE(f && f->Value) << name << " in " << d.Summary;
    return f && f->Value ? *f->Value : -1e300;
}

std::string TextOf(const ST_Decoded &d, const std::string &name)
{
    const ST_Field *f = d.Find(name);
    EXPECT_TRUE(f) << name << " in " << d.Summary;
    return f ? f->Text : "";
}

std::string Str(const std::string &s, uint8_t length)
{
    return std::string(1, char(length)) + s;
}

} // namespace

// The examples of the application protocol's own description, unit 17, each request with its
// answer; the answer's values named from the request it answers.
TEST(ModbusDecode, EveryFunctionAsTheStandardShowsIt)
{
    const std::string vendor = "Company identification", product = "Product code XX", revision = "V2.11";
    std::string ident = std::string("\x2B\x0E\x01\x01\x00\x00\x03", 7) + '\0' +
                        Str(vendor, uint8_t(vendor.size())) + '\x01' + Str(product, uint8_t(product.size())) +
                        '\x02' + Str(revision, 5);
    Bytes identAnswer{0x11};
    identAnswer.insert(identAnswer.end(), ident.begin(), ident.end());
    const struct
    {
        Bytes Request, Answer;
        std::vector<std::pair<std::string, double>> Values;
    } cases[] = {
        {{0x11, 0x01, 0x00, 0x13, 0x00, 0x13},
         {0x11, 0x01, 0x03, 0xCD, 0x6B, 0x05},
         {{"unit17.co00020", 1}, {"unit17.co00021", 0}, {"unit17.co00027", 1}, {"unit17.co00038", 1}}},
        {{0x11, 0x02, 0x00, 0xC4, 0x00, 0x16},
         {0x11, 0x02, 0x03, 0xAC, 0xDB, 0x35},
         {{"unit17.di10197", 0}, {"unit17.di10199", 1}, {"unit17.di10218", 1}}},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03},
         {0x11, 0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64},
         {{"unit17.hr40108", 555}, {"unit17.hr40109", 0}, {"unit17.hr40110", 100}}},
        {{0x11, 0x04, 0x00, 0x08, 0x00, 0x01}, {0x11, 0x04, 0x02, 0x00, 0x0A}, {{"unit17.ir30009", 10}}},
        {{0x11, 0x05, 0x00, 0xAC, 0xFF, 0x00}, {0x11, 0x05, 0x00, 0xAC, 0xFF, 0x00}, {{"unit17.co00173", 1}}},
        {{0x11, 0x06, 0x00, 0x01, 0x00, 0x03}, {0x11, 0x06, 0x00, 0x01, 0x00, 0x03}, {{"unit17.hr40002", 3}}},
        {{0x11, 0x0F, 0x00, 0x13, 0x00, 0x0A, 0x02, 0xCD, 0x01},
         {0x11, 0x0F, 0x00, 0x13, 0x00, 0x0A},
         {{"address", 19}, {"quantity", 10}}},
        {{0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02},
         {0x11, 0x10, 0x00, 0x01, 0x00, 0x02},
         {{"address", 1}, {"quantity", 2}}},
        {{0x11, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25},
         {0x11, 0x16, 0x00, 0x04, 0x00, 0xF2, 0x00, 0x25},
         {{"and_mask", 0xF2}, {"or_mask", 0x25}}},
        {{0x11, 0x17, 0x00, 0x03, 0x00, 0x06, 0x00, 0x0E, 0x00, 0x03, 0x06, 0x00, 0xFF, 0x00, 0xFF, 0x00,
          0xFF},
         {0x11, 0x17, 0x0C, 0x00, 0xFE, 0x0A, 0xCD, 0x00, 0x01, 0x00, 0x03, 0x00, 0x0D, 0x00, 0xFF},
         {{"unit17.hr40004", 0xFE}, {"unit17.hr40009", 0xFF}}},
        {{0x11, 0x2B, 0x0E, 0x01, 0x00}, identAnswer, {{"conformity", 1}}},
    };
    CModbusDecoder decoder(false);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Request[1]);
        const ST_Frame request = Rtu(kTx, c.Request), answer = Rtu(kRx, c.Answer);
        const ST_Decoded asked = decoder.Decode(request);
        EXPECT_EQ(asked.Role, EDecodedRole::Request);
        EXPECT_EQ(asked.Unit, 17u);
        EXPECT_EQ(asked.Function, c.Request[1]);
        EXPECT_EQ(asked.Check, EFrameCheck::Ok);
        EXPECT_FALSE(asked.Short || asked.Long || asked.Malformed) << asked.Summary;
        const ST_Decoded told = decoder.Decode(answer, &request);
        EXPECT_EQ(told.Role, EDecodedRole::Answer);
        EXPECT_EQ(told.Function, c.Request[1]);
        EXPECT_FALSE(told.Short || told.Long || told.Malformed) << told.Summary;
        for (const auto &[name, value] : c.Values)
            EXPECT_EQ(ValueOf(told, name), value);
    }
    // The values a request writes are named as the registers they go to.
    const ST_Decoded written = decoder.Decode(Rtu(kTx, cases[7].Request));
    EXPECT_EQ(ValueOf(written, "unit17.hr40003"), 0x0102);
    const ST_Decoded ident17 = decoder.Decode(Rtu(kRx, identAnswer));
    EXPECT_EQ(TextOf(ident17, "unit17.id.VendorName"), vendor);
    EXPECT_EQ(TextOf(ident17, "unit17.id.MajorMinorRevision"), revision);
}

TEST(ModbusDecode, ExceptionsBadChecksAndFramesThatDoNotHoldWhatTheySay)
{
    CModbusDecoder decoder(false);
    const ST_Decoded exception = decoder.Decode(Rtu(kRx, {0x0A, 0x81, 0x02}));
    EXPECT_EQ(exception.Role, EDecodedRole::Answer);
    EXPECT_EQ(exception.Function, 1u);
    EXPECT_EQ(exception.Exception, 2);
    EXPECT_EQ(TextOf(exception, "exception"), "Illegal Data Address");
    EXPECT_EQ(std::string(ModbusExceptionName(11)), "Gateway Target Device Failed to Respond");

    Bytes corrupt = WithCrc({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03});
    corrupt[3] ^= 1;
    EXPECT_EQ(decoder.Decode(Framed("Modbus RTU", kTx, corrupt)).Check, EFrameCheck::Bad);

    const ST_Frame request = Rtu(kTx, {0x11, 0x03, 0x00, 0x00, 0x00, 0x03});
    // The count says six bytes, two are there: the register they hold is read, the frame marked.
    const ST_Decoded cut = decoder.Decode(Rtu(kRx, {0x11, 0x03, 0x06, 0x00, 0x07}), &request);
    EXPECT_TRUE(cut.Short);
    EXPECT_EQ(ValueOf(cut, "unit17.hr40001"), 7);
    EXPECT_FALSE(cut.Find("unit17.hr40002"));
    // A count of 255 in a frame of five bytes reads nothing past the frame's end.
    EXPECT_TRUE(decoder.Decode(Rtu(kRx, {0x11, 0x03, 0xFF, 0x00, 0x07})).Short);
    EXPECT_TRUE(decoder.Decode(Rtu(kTx, {0x11, 0x03, 0x00, 0x00, 0x00, 0x01, 0x55})).Long);
    EXPECT_TRUE(decoder.Decode(Rtu(kTx, {0x11, 0x05, 0x00, 0x01, 0x12, 0x34})).Malformed);
    const ST_Decoded tiny = decoder.Decode(Framed("Modbus RTU", kRx, {0x11}));
    EXPECT_TRUE(tiny.Short);
    EXPECT_EQ(tiny.Unit, 17u);

    // Where the side is not known the length tells a request from an answer.
    CModbusDecoder unsided(false, std::nullopt);
    EXPECT_EQ(unsided.Decode(Rtu(kRx, {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03})).Role, EDecodedRole::Request);
    EXPECT_EQ(unsided.Decode(Rtu(kRx, {0x11, 0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64})).Role,
              EDecodedRole::Answer);
}

TEST(ModbusDecode, AsciiReadsItsHexPairsAndJudgesTheLrc)
{
    CModbusDecoder decoder(true);
    const ST_Frame request = Framed("Modbus ASCII", kTx, Ascii({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}));
    const ST_Decoded read = decoder.Decode(request);
    EXPECT_EQ(read.Check, EFrameCheck::Ok);
    EXPECT_EQ(read.Function, 3u);
    EXPECT_EQ(ValueOf(read, "quantity"), 3);
    const ST_Decoded answer = decoder.Decode(
        Framed("Modbus ASCII", kRx, Ascii({0x11, 0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64})), &request);
    EXPECT_EQ(ValueOf(answer, "unit17.hr40110"), 100);
    EXPECT_FALSE(answer.Short || answer.Long || answer.Malformed);

    Bytes bad = Ascii({0x11, 0x06, 0x00, 0x01, 0x00, 0x03});
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    EXPECT_EQ(decoder.Decode(Framed("Modbus ASCII", kTx, bad)).Check, EFrameCheck::Bad);
    Bytes notHex = Ascii({0x11, 0x06, 0x00, 0x01, 0x00, 0x03});
    notHex[5] = 'G';
    const ST_Decoded broken = decoder.Decode(Framed("Modbus ASCII", kTx, notHex));
    EXPECT_TRUE(broken.Malformed);
    EXPECT_EQ(broken.Unit, 17u);
}

// The answer timer pairs every frame from the cheap reading alone: it must tell what the full one
// tells, whatever the frame.
TEST(ModbusDecode, PairingReadsTheSameRoleUnitFunctionAndException)
{
    const std::vector<Bytes> pdus = {{1, 3, 0, 0, 0, 2},
                                     {1, 3, 4, 0, 1, 0, 2},
                                     {7, 0x83, 2},
                                     {7, 0x83},
                                     {9, 16, 0, 1, 0, 1, 2, 0, 5},
                                     {9},
                                     {},
                                     {1, 43, 14, 1, 0}};
    for (const bool ascii : {false, true}) {
        for (const auto side : {std::optional<EFrameDirection>(kTx), std::optional<EFrameDirection>()}) {
            const CModbusDecoder decoder(ascii, side);
            for (const Bytes &pdu : pdus) {
                for (const bool withCrc : {true, false}) {
                    ST_Frame frame;
                    frame.Direction = pdu.size() % 2 ? kRx : kTx;
                    frame.Check = withCrc ? EFrameCheck::Ok : EFrameCheck::Bad;
                    frame.Bytes = ascii     ? (withCrc ? Ascii(pdu) : Bytes(pdu.begin(), pdu.end()))
                                  : withCrc ? WithCrc(pdu)
                                            : pdu;
                    for (const ST_Frame *request :
                         {static_cast<const ST_Frame *>(nullptr), static_cast<const ST_Frame *>(&frame)}) {
                        const ST_Decoded full = decoder.Decode(frame, request),
                                         fast = decoder.Pairing(frame, request);
                        EXPECT_EQ(std::tie(fast.Role, fast.Unit, fast.Function, fast.Exception, fast.Check),
                                  std::tie(full.Role, full.Unit, full.Function, full.Exception, full.Check))
                            << ascii << " " << pdu.size() << " " << withCrc << " " << full.Summary;
                    }
                }
            }
        }
    }
}

TEST(NmeaDecode, NamedSentencesAisAndTheRest)
{
    CNmeaDecoder decoder;
    const ST_Decoded gga = decoder.Decode(Framed(
        "NMEA 0183", kRx, Sentence("GPGGA,123519.00,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,")));
    EXPECT_EQ(gga.Check, EFrameCheck::Ok);
    EXPECT_EQ(TextOf(gga, "talker"), "GP");
    EXPECT_DOUBLE_EQ(ValueOf(gga, "GGA.alt"), 545.4);
    EXPECT_DOUBLE_EQ(ValueOf(gga, "GGA.lat"), -(48 + 7.038 / 60));
    EXPECT_DOUBLE_EQ(ValueOf(gga, "GGA.lon"), -(11 + 31.0 / 60));
    EXPECT_DOUBLE_EQ(ValueOf(gga, "GGA.time"), 12 * 3600 + 35 * 60 + 19);
    EXPECT_EQ(ValueOf(gga, "GGA.sats"), 8);
    EXPECT_FALSE(gga.Short || gga.Long || gga.Malformed) << gga.Summary;

    const ST_Decoded rmc = decoder.Decode(Framed(
        "NMEA 0183", kRx, Sentence("GNRMC,225446.00,A,4916.45,N,12311.12,E,000.5,054.7,191194,020.3,E,A")));
    EXPECT_DOUBLE_EQ(ValueOf(rmc, "RMC.speed"), 0.5);
    EXPECT_EQ(TextOf(rmc, "RMC.status"), "A");
    EXPECT_FALSE(rmc.Short || rmc.Long || rmc.Malformed) << rmc.Summary;

    Bytes bad = Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A");
    bad[7] = '9';
    const ST_Decoded vtg = decoder.Decode(Framed("NMEA 0183", kRx, bad));
    EXPECT_EQ(vtg.Check, EFrameCheck::Bad);
    EXPECT_DOUBLE_EQ(ValueOf(vtg, "VTG.speed_kmh"), 10.2);

    EXPECT_TRUE(decoder.Decode(Framed("NMEA 0183", kRx, Sentence("GPGLL,4916.45,N"))).Short);
    for (const auto &[body, name, value] :
         {std::tuple<const char *, const char *, double>{"GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1",
                                                         "GSA.vdop", 2.1},
          {"GPZDA,201530.00,04,07,2002,00,00", "ZDA.year", 2002},
          {"GPGLL,4916.45,N,12311.12,W,225444,A,A", "GLL.lon", -(123 + 11.12 / 60)}}) {
        const ST_Decoded d = decoder.Decode(Framed("NMEA 0183", kRx, Sentence(body)));
        EXPECT_DOUBLE_EQ(ValueOf(d, name), value);
        EXPECT_FALSE(d.Short || d.Long || d.Malformed) << d.Summary;
    }
    const ST_Decoded gsv = decoder.Decode(Framed(
        "NMEA 0183", kRx, Sentence("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45")));
    EXPECT_EQ(ValueOf(gsv, "GSV.sat4.snr"), 45);
    EXPECT_FALSE(gsv.Short || gsv.Long) << gsv.Summary;

    const ST_Decoded ais = decoder.Decode(
        Framed("NMEA 0183", kRx,
               Sentence("AIVDM,2,1,3,B,55P5TL01VIaAL@7WKO@mBplU@<PDhh000000001S;AJ::4A80?4i@E53,0", '!')));
    EXPECT_EQ(TextOf(ais, "VDM.payload"), "55P5TL01VIaAL@7WKO@mBplU@<PDhh000000001S;AJ::4A80?4i@E53");
    EXPECT_EQ(ValueOf(ais, "VDM.fragments"), 2);
    EXPECT_EQ(TextOf(ais, "VDM.channel"), "B");
    EXPECT_FALSE(ais.Malformed);

    const ST_Decoded other = decoder.Decode(Framed("NMEA 0183", kRx, Sentence("HCHDG,98.3,0.0,E,12.6,W")));
    EXPECT_DOUBLE_EQ(ValueOf(other, "HDG.1"), 98.3);
    EXPECT_EQ(TextOf(other, "HDG.5"), "W");
}

// The layouts are read as the profile file holds them, and each value packed here is read back.
TEST(LayoutDecode, EveryTypeInBothByteOrdersChosenByAMessageId)
{
    const auto profiles =
        ParseFrameProfiles("# Kestrum framing profiles 1\n[Sensor]\nmode = fixed\nlength = 1\n"
                           "layout.big.when = 0:A1\n"
                           "layout.big.field.1 = u8,1,u8\nlayout.big.field.2 = i8,2,i8\n"
                           "layout.big.field.3 = u16,3,u16\nlayout.big.field.4 = i16,5,i16be\n"
                           "layout.big.field.5 = u32,7,u32\nlayout.big.field.6 = i32,11,i32\n"
                           "layout.big.field.7 = f32,15,f32\nlayout.big.field.8 = f64,19,f64\n"
                           "layout.big.field.9 = temp,3,u16,0.1,-40,degC\n"
                           "layout.big.field.10 = flags,1,u8:5:3\n"
                           "layout.big.request = 7\n"
                           "layout.little.when = 0:02/0F\n"
                           "layout.little.field.2 = i16,3,i16le\nlayout.little.field.1 = u16,1,u16le\n"
                           "layout.little.field.3 = u32,5,u32le\nlayout.little.field.4 = i32,9,i32le\n"
                           "layout.little.field.5 = f32,13,f32le\nlayout.little.field.6 = f64,17,f64le\n"
                           "layout.little.field.7 = name,25,str6\n"
                           "layout.little.field.8 = arr,31,u16le[3]\n"
                           "layout.little.answers = 7\nlayout.little.length = 37\n");
    const auto decoder = MakeDecoder(profiles.at(0));
    ASSERT_TRUE(decoder);
    const auto put = [](Bytes &b, uint64_t v, size_t width, bool little) {
        for (size_t i = 0; i < width; ++i)
            b.push_back(uint8_t(v >> (8 * (little ? i : width - 1 - i))));
    };
    const float f = -3.25e7f;
    const double d = 6.02214076e23;
    uint32_t fbits;
    uint64_t dbits;
    std::memcpy(&fbits, &f, 4);
    std::memcpy(&dbits, &d, 8);
    for (const bool little : {false, true}) {
        SCOPED_TRACE(little);
        const std::string id = little ? "little." : "big.";
        Bytes b{uint8_t(little ? 0x72 : 0xA1)};
        if (!little)
            b.insert(b.end(), {0xE4, 0x85});
        put(b, 0xBEEF, 2, little);
        put(b, uint16_t(-12345), 2, little);
        put(b, 0xDEADBEEF, 4, little);
        put(b, uint32_t(-2000000000), 4, little);
        put(b, fbits, 4, little);
        put(b, dbits, 8, little);
        if (little)
            b.insert(b.end(), {'P', 'u', 'm', 'p', 0, 0, 1, 0, 2, 0, 0xFF, 0xFF});
        ST_Frame frame;
        frame.Bytes = b;
        const ST_Decoded out = decoder->Decode(frame);
        EXPECT_FALSE(out.Short || out.Long) << out.Summary;
        EXPECT_EQ(ValueOf(out, id + "u16"), 0xBEEF);
        EXPECT_EQ(ValueOf(out, id + "i16"), -12345);
        EXPECT_EQ(ValueOf(out, id + "u32"), 0xDEADBEEF);
        EXPECT_EQ(ValueOf(out, id + "i32"), -2000000000);
        EXPECT_EQ(ValueOf(out, id + "f32"), double(f));
        EXPECT_EQ(ValueOf(out, id + "f64"), d);
        EXPECT_EQ(out.Function, 7u);
        if (little) {
            EXPECT_EQ(out.Role, EDecodedRole::Answer);
            EXPECT_EQ(TextOf(out, "little.name"), "Pump");
            EXPECT_EQ(ValueOf(out, "little.arr.2"), 0xFFFF);
            EXPECT_EQ(out.Fields[0].Name, "little.u16");
            frame.Bytes.pop_back();
            const ST_Decoded cut = decoder->Decode(frame);
            EXPECT_TRUE(cut.Short);
            EXPECT_TRUE(cut.Find("little.arr.1") && !cut.Find("little.arr.2"));
        } else {
            EXPECT_EQ(out.Role, EDecodedRole::Request);
            EXPECT_EQ(ValueOf(out, "big.u8"), 0xE4);
            EXPECT_EQ(ValueOf(out, "big.i8"), -123);
            EXPECT_DOUBLE_EQ(ValueOf(out, "big.temp"), 0xBEEF * 0.1 - 40);
            EXPECT_EQ(ValueOf(out, "big.flags"), 0xE4 >> 5);
        }
    }
    auto named = profiles.at(0);
    named.Decoder = "morse";
    EXPECT_THROW(MakeDecoder(named), std::invalid_argument);
    EXPECT_TRUE(dynamic_cast<CModbusDecoder *>(MakeDecoder(CFrameProfile::BuiltIn("Modbus ASCII")).get()));
    ST_Frame unknown;
    unknown.Bytes = {0x55, 1, 2};
    EXPECT_TRUE(decoder->Decode(unknown).Fields.empty());

    for (const char *bad : {"a,0,u24", "a,0,u8:6:3", "a,x,u8", "a,0,f32:0:1", "a.b,0,u8", "a,0,u16[0]"}) {
        try {
            ParseLayouts({{"layout.x.field.1", bad}});
            ADD_FAILURE() << bad;
        } catch (const ELayoutError &e) {
            EXPECT_NE(std::string(e.what()).find("layout.x.field.1"), std::string::npos);
        }
    }
}

namespace {

ST_Frame At(EFrameDirection dir, int64_t startUs, int64_t endUs)
{
    ST_Frame f;
    f.Direction = dir;
    f.Start = FrameTime(startUs);
    f.End = FrameTime(endUs);
    return f;
}

ST_Decoded Modbus(EDecodedRole role, uint32_t unit, uint32_t function, std::optional<uint8_t> exception = {})
{
    ST_Decoded d;
    d.Role = role;
    d.Unit = unit;
    d.Function = function;
    d.Exception = exception;
    return d;
}

} // namespace

TEST(AnswerTimer, PairsByUnitAndFunctionAndTellsWhatWentWrong)
{
    CAnswerTimer timer(kTx, 100ms);
    std::vector<ST_AnswerEvent> events;
    const auto ask = Modbus(EDecodedRole::Request, 1, 3);
    timer.Feed(At(kTx, 0, 1000), &ask, events);
    const auto other = Modbus(EDecodedRole::Answer, 2, 3), answer = Modbus(EDecodedRole::Answer, 1, 3);
    timer.Feed(At(kRx, 3000, 4000), &other, events);
    timer.Feed(At(kRx, 6000, 9500), &answer, events);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Outcome, EAnswerOutcome::WrongUnit);
    EXPECT_EQ(events[1].Outcome, EAnswerOutcome::Answered);
    EXPECT_EQ(events[1].Request, 0u);
    EXPECT_EQ(events[1].Answer, 2u);
    EXPECT_DOUBLE_EQ(*events[1].ToFirstMs, 5.0);
    EXPECT_DOUBLE_EQ(*events[1].ToEndMs, 8.5);

    // No answer to the first; the second has one too late; the third an exception.
    events.clear();
    timer.Feed(At(kTx, 10000, 11000), &ask, events);
    timer.Feed(At(kTx, 20000, 21000), &ask, events);
    timer.Tick(FrameTime(121001), events);
    timer.Feed(At(kRx, 150000, 151000), &answer, events);
    const auto write = Modbus(EDecodedRole::Request, 1, 16);
    const auto refused = Modbus(EDecodedRole::Answer, 1, 16, 2);
    timer.Feed(At(kTx, 200000, 201000), &write, events);
    timer.Feed(At(kRx, 202000, 203000), &answer, events);
    timer.Feed(At(kRx, 204000, 205000), &refused, events);
    std::vector<EAnswerOutcome> outcomes;
    for (const auto &e : events)
        outcomes.push_back(e.Outcome);
    EXPECT_EQ(outcomes, (std::vector<EAnswerOutcome>{EAnswerOutcome::NoAnswer, EAnswerOutcome::NoAnswer,
                                                     EAnswerOutcome::Late, EAnswerOutcome::WrongFunction,
                                                     EAnswerOutcome::Exception}));
    EXPECT_DOUBLE_EQ(*events[2].ToFirstMs, 129.0);

    const std::string csv = AnswerStatsCsv(timer.Stats());
    EXPECT_EQ(csv, "unit,function,requests,answered,missing,exceptions,min_ms,median_ms,p99_ms,max_ms\n"
                   "1,3,3,1,2,0,5.000,5.000,5.000,5.000\n"
                   "1,16,1,1,0,1,3.000,3.000,3.000,3.000\n");

    // Figures started again while a request waits hold no answer without its request.
    timer.Feed(At(kTx, 300000, 301000), &ask, events);
    timer.Reset();
    timer.Feed(At(kRx, 302000, 303000), &answer, events);
    EXPECT_EQ(events.back().Outcome, EAnswerOutcome::Unasked);
    EXPECT_TRUE(timer.Stats().empty());

    // By the next frame from the other side, without a decoder.
    CAnswerTimer any(EFrameDirection::MonitorAtoB, 50ms, EPairing::NextFrame);
    events.clear();
    any.Feed(At(EFrameDirection::MonitorBtoA, 0, 10), nullptr, events);
    any.Feed(At(EFrameDirection::MonitorAtoB, 100, 200), nullptr, events);
    any.Feed(At(EFrameDirection::MonitorBtoA, 1200, 1300), nullptr, events);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Outcome, EAnswerOutcome::Unasked);
    EXPECT_DOUBLE_EQ(*events[1].ToFirstMs, 1.0);
    // Without a time-out a request waits as long as it takes.
    CAnswerTimer patient(kTx, 0ms, EPairing::NextFrame);
    patient.Feed(At(kTx, 0, 10), nullptr, events);
    patient.Feed(At(kRx, 60000000, 60000010), nullptr, events);
    EXPECT_EQ(events.back().Outcome, EAnswerOutcome::Answered);
}

TEST(AnswerTimer, PercentilesAreThoseOfTheSortedTimes)
{
    std::mt19937 random(52);
    std::uniform_int_distribution<int> delay(0, 50000);
    CAnswerTimer timer(kTx, 1s, EPairing::NextFrame);
    std::vector<double> times;
    std::vector<ST_AnswerEvent> events;
    int64_t now = 0;
    for (int i = 0; i < 1001; ++i) {
        timer.Feed(At(kTx, now, now + 100), nullptr, events);
        const int us = delay(random);
        times.push_back(us / 1000.0);
        timer.Feed(At(kRx, now + 100 + us, now + 200 + us), nullptr, events);
        now += 200000;
    }
    std::sort(times.begin(), times.end());
    const ST_AnswerStats stats = timer.Stats().at(0);
    EXPECT_EQ(stats.Answered, 1001u);
    EXPECT_DOUBLE_EQ(stats.MinMs, times.front());
    EXPECT_DOUBLE_EQ(stats.MaxMs, times.back());
    EXPECT_DOUBLE_EQ(*stats.Percentile(0.5), times[500]);
    EXPECT_DOUBLE_EQ(*stats.Percentile(0.99), times[990]);
    const auto bins = stats.Histogram(10);
    EXPECT_EQ(std::accumulate(bins.begin(), bins.end(), uint64_t(0)), 1001u);
    EXPECT_EQ(bins[9], uint64_t(std::count_if(times.begin(), times.end(), [&](double t) {
                  return t >= times.front() + (times.back() - times.front()) * 0.9;
              })));
}

// A server and a client of someone else's on two pseudo-terminals, the bytes carried between them
// as the monitor's bridge does, each read stamped and cut into frames with its side: every value
// the client saw is in the frames read out, every request is paired and timed.
TEST(ModbusDecode, BetweenAClientAndAServerOfSomeoneElses)
{
    CTestPty server, client;
    ASSERT_TRUE(server.Ok() && client.Ok());
    const std::string command = std::string("/usr/bin/python3 ") + MODBUS_PEERS + " " + server.Path() + " " +
                                client.Path() + " 19200";
    std::atomic<bool> done{false};
    std::string said;
    std::thread peers([&] {
        if (FILE *out = popen(command.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, out))
                said += line;
            pclose(out);
        }
        done = true;
    });
    const auto now = [] {
        return std::chrono::duration_cast<FrameTime>(std::chrono::steady_clock::now().time_since_epoch());
    };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    CFrameProfile framing("Modbus RTU", ST_LineTiming{19200, 8, false, 1});
    std::vector<ST_Frame> frames;
    while (!done && std::chrono::steady_clock::now() < deadline) {
        pollfd ends[2] = {{server.Master(), POLLIN, 0}, {client.Master(), POLLIN, 0}};
        poll(ends, 2, 20);
        for (int i = 0; i < 2; ++i) {
            uint8_t buffer[512];
            const ssize_t n = ends[i].revents & POLLIN ? read(ends[i].fd, buffer, sizeof buffer) : 0;
            if (n <= 0)
                continue;
            framing.Feed(i == 0 ? EFrameDirection::MonitorAtoB : EFrameDirection::MonitorBtoA, buffer,
                         size_t(n), now(), frames);
            ASSERT_EQ(write(ends[1 - i].fd, buffer, size_t(n)), n);
        }
        framing.Tick(now(), frames);
    }
    ASSERT_TRUE(done) << "the peers did not end";
    peers.join();
    framing.Flush(frames);
    std::stable_sort(frames.begin(), frames.end(),
                     [](const ST_Frame &a, const ST_Frame &b) { return a.Start < b.Start; });

    // The client's side is the master's.
    const CModbusDecoder decoder(false, EFrameDirection::MonitorBtoA);
    CAnswerTimer timer(EFrameDirection::MonitorBtoA, 2s);
    std::vector<ST_Decoded> read;
    std::vector<ST_AnswerEvent> events;
    for (const ST_Frame &f : frames) {
        read.push_back(decoder.Decode(f, timer.RequestOf(f)));
        EXPECT_EQ(read.back().Check, EFrameCheck::Ok) << read.back().Summary;
        timer.Feed(f, &read.back(), events);
    }
    const auto has = [&](const std::string &name, double value) {
        return std::any_of(read.begin(), read.end(), [&](const ST_Decoded &d) {
            const ST_Field *f = d.Find(name);
            return f && f->Value == value;
        });
    };
    // Each line: "hr 3 2 = 40 50", the table, the first address and the values the client saw.
    std::istringstream lines(said);
    std::string line;
    size_t checked = 0;
    const std::map<std::string, EModbusTable> tables{{"co", EModbusTable::Coils},
                                                     {"di", EModbusTable::DiscreteInputs},
                                                     {"ir", EModbusTable::InputRegisters},
                                                     {"hr", EModbusTable::HoldingRegisters}};
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string table, equals;
        uint32_t address = 0, count = 0;
        if (!(words >> table >> address) || !tables.count(table))
            continue;
        words >> count >> equals;
        for (uint32_t i = 0; i < count; ++i) {
            double value = -1;
            words >> value;
            EXPECT_TRUE(has(ModbusRegisterName(1, tables.at(table), address + i), value)) << line;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 8u) << said;
    EXPECT_NE(said.find("exception 2"), std::string::npos) << said;
    EXPECT_TRUE(std::any_of(read.begin(), read.end(), [](const ST_Decoded &d) {
        const ST_Field *f = d.Find("exception");
        return d.Exception == 2 && f && f->Text == "Illegal Data Address";
    }));
    size_t answered = 0, exceptions = 0;
    for (const ST_AnswerEvent &e : events) {
        answered += e.Outcome == EAnswerOutcome::Answered;
        exceptions += e.Outcome == EAnswerOutcome::Exception;
        EXPECT_TRUE(e.ToFirstMs && *e.ToFirstMs >= 0 && *e.ToEndMs >= *e.ToFirstMs);
    }
    EXPECT_EQ(answered, 8u);
    EXPECT_EQ(exceptions, 1u);
    EXPECT_EQ(events.size(), 9u);
}
