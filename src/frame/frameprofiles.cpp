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

CFrameProfile::CFrameProfile(const std::string &name, const ST_LineTiming &timing)
{
    const auto &names = Names();
    const auto it =
        std::find_if(names.begin(), names.end(), [&](const std::string &n) { return SameName(n, name); });
    if (it == names.end()) {
        std::string known;
        for (const std::string &n : names)
            known += (known.empty() ? "" : ", ") + n;
        throw std::invalid_argument("no framing is called \"" + name + "\" (there are " + known + ")");
    }
    m_name = *it;
    const ST_FramerLimits limits;
    switch (it - names.begin()) {
    case 0:
        m_framer = std::make_unique<CSilenceFramer>(ST_SilenceSettings{}, timing, limits);
        m_framer->SetCheck(FrameCheckByName("CRC-16/MODBUS"));
        break;
    case 1:
        m_framer = std::make_unique<CDelimiterFramer>(
            ST_DelimiterSettings{EDelimiterMode::StartEnd, {':'}, kCrLf, true}, limits, timing);
        m_judge = JudgeModbusAscii;
        break;
    case 2:
        m_framer = std::make_unique<CDelimiterFramer>(
            ST_DelimiterSettings{EDelimiterMode::End, {}, kCrLf, true}, limits, timing);
        m_judge = JudgeNmea;
        break;
    case 3:
        m_framer = std::make_unique<CDelimiterFramer>(
            ST_DelimiterSettings{EDelimiterMode::End, {}, kCrLf, true}, limits, timing);
        break;
    case 4:
        m_framer = std::make_unique<CSlipFramer>(limits, timing);
        break;
    default:
        m_framer = std::make_unique<CCobsFramer>(limits, timing);
        break;
    }
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
