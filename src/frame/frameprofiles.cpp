#include "frame/frameprofiles.h"
#include "data/commdata.h"
#include "frame/framers.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

// What the framer leaves unchecked has no check value where a profile looks for one either.
constexpr uint8_t kUncheckedMarks = FRAME_TIMED_OUT | FRAME_MAX_LENGTH | FRAME_BAD_ENCODING | FRAME_STRAY;

const std::vector<uint8_t> kCrLf{'\r', '\n'};

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool EndsWithCrLf(const std::vector<uint8_t> &frame)
{
    return frame.size() >= 2 && frame[frame.size() - 2] == '\r' && frame.back() == '\n';
}

EFrameCheck JudgeModbusAscii(const ST_Frame &frame)
{
    return ModbusAsciiCheck(frame.Bytes);
}

EFrameCheck JudgeNmea(const ST_Frame &frame)
{
    return NmeaCheck(frame.Bytes);
}

} // namespace

EFrameCheck ModbusAsciiCheck(const std::vector<uint8_t> &frame)
{
    if (frame.empty() || frame.front() != ':' || !EndsWithCrLf(frame))
        return EFrameCheck::Bad;
    const size_t digits = frame.size() - 3;
    // An address and the LRC at least.
    if (digits < 4 || digits % 2 != 0)
        return EFrameCheck::Bad;
    std::vector<uint8_t> bytes;
    bytes.reserve(digits / 2);
    for (size_t i = 1; i + 2 < frame.size(); i += 2) {
        const int high = HexValue(static_cast<char>(frame[i])),
                  low = HexValue(static_cast<char>(frame[i + 1]));
        if (high < 0 || low < 0)
            return EFrameCheck::Bad;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    static const CChecksum lrc(ST_ChecksumSpec{EChecksumKind::Lrc8, {}, EByteOrder::BigEndian});
    return lrc.Verify(bytes) ? EFrameCheck::Ok : EFrameCheck::Bad;
}

EFrameCheck NmeaCheck(const std::vector<uint8_t> &frame)
{
    if (frame.empty() || (frame.front() != '$' && frame.front() != '!'))
        return EFrameCheck::None;
    const auto star = std::find(frame.begin(), frame.end(), '*');
    if (star == frame.end())
        return EFrameCheck::None;
    const size_t at = static_cast<size_t>(star - frame.begin());
    // Two digits and the CR LF, nothing else, follow the star.
    if (!EndsWithCrLf(frame) || frame.size() != at + 5)
        return EFrameCheck::Bad;
    const int high = HexValue(static_cast<char>(frame[at + 1])),
              low = HexValue(static_cast<char>(frame[at + 2]));
    if (high < 0 || low < 0)
        return EFrameCheck::Bad;
    static const CChecksum xorSum(ST_ChecksumSpec{EChecksumKind::Xor8, {}, EByteOrder::BigEndian});
    return xorSum.Compute(frame.data() + 1, at - 1) == static_cast<uint32_t>(high << 4 | low)
               ? EFrameCheck::Ok
               : EFrameCheck::Bad;
}

const std::vector<std::string> &CFrameProfile::Names()
{
    static const std::vector<std::string> names{"Modbus RTU", "Modbus ASCII", "NMEA 0183",
                                                "Lines",      "SLIP",         "COBS"};
    return names;
}

bool ST_FramingProfile::operator==(const ST_FramingProfile &o) const
{
    const auto &l = Length, &r = o.Length;
    return Name == o.Name && Mode == o.Mode && Silence.Chars == o.Silence.Chars &&
           Silence.Floor == o.Silence.Floor && Delimiter.Mode == o.Delimiter.Mode &&
           Delimiter.Start == o.Delimiter.Start && Delimiter.End == o.Delimiter.End &&
           Delimiter.Keep == o.Delimiter.Keep && l.Offset == r.Offset && l.Size == r.Size &&
           l.Order == r.Order && l.Add == r.Add && l.Counts == r.Counts && FixedLength == o.FixedLength &&
           Check == o.Check && CheckSkip == o.CheckSkip && CheckTrail == o.CheckTrail &&
           Limits.MaxLength == o.Limits.MaxLength && Limits.TimeOut == o.Limits.TimeOut &&
           Decoder == o.Decoder && Unknown == o.Unknown;
}

std::unique_ptr<CFramer> MakeFramer(const ST_FramingProfile &p, const ST_LineTiming &timing)
{
    std::unique_ptr<CFramer> framer;
    switch (p.Mode) {
    case EFramingMode::Silence:
        framer = std::make_unique<CSilenceFramer>(p.Silence, timing, p.Limits);
        break;
    case EFramingMode::Delimiter:
        framer = std::make_unique<CDelimiterFramer>(p.Delimiter, p.Limits, timing);
        break;
    case EFramingMode::Length:
        framer = std::make_unique<CLengthFramer>(p.Length, p.Limits, timing);
        break;
    case EFramingMode::Fixed:
        framer = std::make_unique<CFixedFramer>(p.FixedLength, p.Limits, timing);
        break;
    case EFramingMode::Cobs:
        framer = std::make_unique<CCobsFramer>(p.Limits, timing);
        break;
    case EFramingMode::Slip:
        framer = std::make_unique<CSlipFramer>(p.Limits, timing);
        break;
    }
    if (!p.Check.empty())
        framer->SetCheck(FrameCheckByName(p.Check, p.CheckSkip, p.CheckTrail));
    return framer;
}

namespace {

size_t BuiltInIndex(const std::string &name)
{
    const auto &names = CFrameProfile::Names();
    const auto it =
        std::find_if(names.begin(), names.end(), [&](const std::string &n) { return SameName(n, name); });
    if (it == names.end()) {
        std::string known;
        for (const std::string &n : names)
            known += (known.empty() ? "" : ", ") + n;
        throw std::invalid_argument("no framing is called \"" + name + "\" (there are " + known + ")");
    }
    return static_cast<size_t>(it - names.begin());
}

} // namespace

ST_FramingProfile CFrameProfile::BuiltIn(const std::string &name)
{
    const size_t index = BuiltInIndex(name);
    ST_FramingProfile p;
    p.Name = Names()[index];
    switch (index) {
    case 0:
        p.Mode = EFramingMode::Silence;
        p.Check = "CRC-16/MODBUS";
        break;
    case 1:
        p.Delimiter = ST_DelimiterSettings{EDelimiterMode::StartEnd, {':'}, kCrLf, true};
        break;
    case 2:
    case 3:
        break;
    case 4:
        p.Mode = EFramingMode::Slip;
        break;
    default:
        p.Mode = EFramingMode::Cobs;
        break;
    }
    return p;
}

CFrameProfile::CFrameProfile(const std::string &name, const ST_LineTiming &timing)
    : CFrameProfile(BuiltIn(name), timing)
{
}

CFrameProfile::CFrameProfile(const ST_FramingProfile &profile, const ST_LineTiming &timing)
    : m_name(profile.Name), m_framer(MakeFramer(profile, timing))
{
    // A built-in framing handed over as its value (a session's, a link's choice, or its section of
    // the profiles file with the keys that name its links) judges its frames as by its name: the
    // checks carried as text are not in the value.
    const auto &names = Names();
    const auto it = std::find_if(names.begin(), names.end(),
                                 [&](const std::string &n) { return SameName(n, profile.Name); });
    ST_FramingProfile settings = profile;
    settings.Unknown.clear();
    if (it == names.end() || BuiltIn(*it) != settings)
        return;
    const auto index = it - names.begin();
    if (index == 1)
        m_judge = JudgeModbusAscii;
    else if (index == 2)
        m_judge = JudgeNmea;
}

void CFrameProfile::Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time,
                         std::vector<ST_Frame> &out)
{
    const size_t from = out.size();
    m_framer->Feed(dir, data, size, time, out);
    Judge(out, from);
}

void CFrameProfile::Tick(FrameTime now, std::vector<ST_Frame> &out)
{
    const size_t from = out.size();
    m_framer->Tick(now, out);
    Judge(out, from);
}

void CFrameProfile::Flush(std::vector<ST_Frame> &out)
{
    const size_t from = out.size();
    m_framer->Flush(out);
    Judge(out, from);
}

void CFrameProfile::Judge(std::vector<ST_Frame> &out, size_t from) const
{
    if (!m_judge)
        return;
    for (size_t i = from; i < out.size(); ++i)
        if (!(out[i].Marks & kUncheckedMarks))
            out[i].Check = m_judge(out[i]);
}
