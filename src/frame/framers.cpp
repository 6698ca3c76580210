#include "frame/framers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint8_t kSlipEnd = 0xC0;
constexpr uint8_t kSlipEsc = 0xDB;
constexpr uint8_t kSlipEscEnd = 0xDC;
constexpr uint8_t kSlipEscEsc = 0xDD;

} // namespace

CSilenceFramer::CSilenceFramer(const ST_SilenceSettings &set, const ST_LineTiming &timing,
                               const ST_FramerLimits &limits)
    : CFramer(limits, timing)
{
    const double wanted = std::max(0.0, set.Chars) * timing.CharMicros();
    const FrameTime asked(static_cast<int64_t>(std::ceil(wanted)));
    m_atFloor = set.Floor > asked;
    // Without a baud rate or a floor every read is a frame of its own.
    m_gap = std::max({asked, set.Floor, FrameTime(1)});
}

CDelimiterFramer::CDelimiterFramer(const ST_DelimiterSettings &set, const ST_FramerLimits &limits,
                                   const ST_LineTiming &timing)
    : CFramer(limits, timing), m_set(set)
{
    if ((set.Mode != EDelimiterMode::Start && set.End.empty()) ||
        (set.Mode != EDelimiterMode::End && set.Start.empty()))
        throw std::invalid_argument("empty delimiter");
}

void CDelimiterFramer::Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out)
{
    const size_t start = m_set.Start.size();
    const size_t end = m_set.End.size();
    switch (m_set.Mode) {
    case EDelimiterMode::End:
        if (EndsWith(lane.Bytes, m_set.End))
            Emit(lane, dir, lane.Bytes.size(), 0, out, 0, m_set.Keep ? 0 : end);
        break;
    case EDelimiterMode::StartEnd:
        if (lane.InFrame) {
            if (EndsWith(lane.Bytes, m_set.End, start)) {
                // One flag between two frames ends the first and starts the next, and flags in a
                // row are the idle line's fill, not empty frames.
                const bool shared = m_set.Start == m_set.End;
                if (!shared || lane.Bytes.size() > start + end)
                    Emit(lane, dir, lane.Bytes.size(), 0, out, m_set.Keep ? 0 : start, m_set.Keep ? 0 : end);
                if (shared)
                    Reopen(lane);
            }
        } else if (EndsWith(lane.Bytes, m_set.Start)) {
            if (lane.Bytes.size() > start)
                Emit(lane, dir, lane.Bytes.size() - start, FRAME_STRAY, out);
            lane.InFrame = true;
        }
        break;
    case EDelimiterMode::Start:
        // A start delimiter that is the frame's own does not start the next one.
        if (EndsWith(lane.Bytes, m_set.Start, lane.InFrame ? start : 0)) {
            if (lane.Bytes.size() > start)
                Emit(lane, dir, lane.Bytes.size() - start, lane.InFrame ? 0 : FRAME_STRAY, out,
                     lane.InFrame && !m_set.Keep ? start : 0);
            lane.InFrame = true;
        }
        break;
    }
}

// The lane holds only the flag that ended the frame before, as the start of the next.
void CDelimiterFramer::Reopen(ST_Lane &lane) const
{
    const FrameTime time = *lane.Last;
    lane.Bytes.assign(m_set.Start.begin(), m_set.Start.end());
    lane.Runs.assign(1, ST_Run{0, time, FrameTime(0)});
    lane.InFrame = true;
}

bool CDelimiterFramer::Idle(const ST_Lane &lane) const
{
    return m_set.Mode == EDelimiterMode::StartEnd && m_set.Start == m_set.End && lane.InFrame &&
           lane.Bytes.size() == m_set.Start.size();
}

// Take acts only on a byte that ends the delimiter it looks for now.
size_t CDelimiterFramer::Skippable(const ST_Lane &lane, const uint8_t *data, size_t size) const
{
    const bool wantsEnd =
        m_set.Mode == EDelimiterMode::End || (m_set.Mode == EDelimiterMode::StartEnd && lane.InFrame);
    const std::vector<uint8_t> &delimiter = wantsEnd ? m_set.End : m_set.Start;
    if (delimiter.empty())
        return 0;
    const void *at = std::memchr(data, delimiter.back(), size);
    return at ? static_cast<size_t>(static_cast<const uint8_t *>(at) - data) : size;
}

// Only where the frame ends at its first end delimiter: a frame from the start of the bytes to the
// first byte that ends one. Anything else (a delimiter's last byte with other bytes before it, the
// start modes) goes byte by byte.
CFramer::ST_Whole CDelimiterFramer::Whole(const uint8_t *data, size_t size) const
{
    if (m_set.Mode != EDelimiterMode::End)
        return {};
    const size_t end = m_set.End.size();
    const void *at = std::memchr(data, m_set.End.back(), size);
    if (!at)
        return {};
    const size_t count = static_cast<size_t>(static_cast<const uint8_t *>(at) - data) + 1;
    if (count < end || std::memcmp(data + count - end, m_set.End.data(), end) != 0)
        return {};
    return {count, 0, m_set.Keep ? 0 : end};
}

uint8_t CDelimiterFramer::PendingMarks(const ST_Lane &lane) const
{
    return m_set.Mode != EDelimiterMode::End && !lane.InFrame ? FRAME_STRAY : 0;
}

size_t CDelimiterFramer::PendingDrop(const ST_Lane &lane) const
{
    return m_set.Mode != EDelimiterMode::End && lane.InFrame && !m_set.Keep ? m_set.Start.size() : 0;
}

CLengthFramer::CLengthFramer(const ST_LengthField &set, const ST_FramerLimits &limits,
                             const ST_LineTiming &timing)
    : CFramer(limits, timing), m_set(set)
{
    if (set.Size != 1 && set.Size != 2 && set.Size != 4)
        throw std::invalid_argument("length field of " + std::to_string(set.Size) + " bytes");
}

void CLengthFramer::Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out)
{
    const size_t header = m_set.Offset + m_set.Size;
    const size_t size = lane.Bytes.size();
    if (size == header) {
        uint64_t value = 0;
        for (size_t i = 0; i < m_set.Size; ++i) {
            const size_t at = m_set.Order == EByteOrder::BigEndian ? i : m_set.Size - 1 - i;
            value = value << 8 | lane.Bytes[m_set.Offset + at];
        }
        int64_t total = static_cast<int64_t>(value) + m_set.Add;
        if (m_set.Counts == ELengthCounts::AfterField)
            total += static_cast<int64_t>(header);
        else if (m_set.Counts == ELengthCounts::FromOffset)
            total += static_cast<int64_t>(m_set.Offset);
        if (total < static_cast<int64_t>(header))
            Emit(lane, dir, size, FRAME_BAD_ENCODING, out);
        else if (total == static_cast<int64_t>(header))
            Emit(lane, dir, size, 0, out);
        else
            lane.Need = static_cast<size_t>(total);
    } else if (size > header && size == lane.Need) {
        Emit(lane, dir, size, 0, out);
    }
}

CFixedFramer::CFixedFramer(size_t length, const ST_FramerLimits &limits, const ST_LineTiming &timing)
    : CFramer(limits, timing), m_length(length)
{
    if (length == 0)
        throw std::invalid_argument("frames of no bytes");
}

void CFixedFramer::Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out)
{
    if (lane.Bytes.size() == m_length)
        Emit(lane, dir, m_length, 0, out);
}

// Take acts only on the byte that completes the frame.
size_t CFixedFramer::Skippable(const ST_Lane &lane, const uint8_t *, size_t) const
{
    return m_length - 1 - std::min(lane.Bytes.size(), m_length - 1);
}

CFramer::ST_Whole CFixedFramer::Whole(const uint8_t *, size_t size) const
{
    return size >= m_length ? ST_Whole{m_length, 0, 0} : ST_Whole{};
}

CCobsFramer::CCobsFramer(const ST_FramerLimits &limits, const ST_LineTiming &timing) : CFramer(limits, timing)
{
}

// Need: the data bytes left in the group; Flag: the group was shorter than 254 bytes, so a zero
// comes before the next one.
void CCobsFramer::Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out)
{
    const uint8_t b = lane.Bytes.back();
    if (b == 0) {
        if (lane.Content)
            Emit(lane, dir, lane.Bytes.size(), lane.Need != 0 ? FRAME_BAD_ENCODING : 0, out);
        return;
    }
    lane.Content = true;
    if (lane.Need == 0) {
        if (lane.Flag)
            lane.Decoded.push_back(0);
        lane.Flag = b != 0xFF;
        lane.Need = b - 1u;
    } else {
        lane.Decoded.push_back(b);
        --lane.Need;
    }
}

CSlipFramer::CSlipFramer(const ST_FramerLimits &limits, const ST_LineTiming &timing) : CFramer(limits, timing)
{
}

// Flag: the last byte was an escape.
void CSlipFramer::Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out)
{
    const uint8_t b = lane.Bytes.back();
    if (lane.Flag) {
        lane.Flag = false;
        if (b == kSlipEscEnd || b == kSlipEscEsc) {
            lane.Decoded.push_back(b == kSlipEscEnd ? kSlipEnd : kSlipEsc);
            return;
        }
        lane.Bad = true;
        if (b != kSlipEnd) {
            lane.Decoded.push_back(b);
            return;
        }
    }
    if (b == kSlipEnd) {
        if (lane.Content)
            Emit(lane, dir, lane.Bytes.size(), lane.Bad ? FRAME_BAD_ENCODING : 0, out);
        return;
    }
    lane.Content = true;
    if (b == kSlipEsc)
        lane.Flag = true;
    else
        lane.Decoded.push_back(b);
}
