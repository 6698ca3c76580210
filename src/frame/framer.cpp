#include "frame/framer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace {

// A frame cut short or outside the protocol has no check value where the check looks for one.
constexpr uint8_t kUncheckedMarks = FRAME_TIMED_OUT | FRAME_MAX_LENGTH | FRAME_BAD_ENCODING | FRAME_STRAY;

// Buffers kept for the next frames: enough for the frames of a few reads of a flood of short
// frames (where a heap block each costs the most), never the room of long ones.
constexpr size_t kMostSpareBuffers = 1024;
constexpr size_t kMostSpareRoom = 512;

} // namespace

double ST_LineTiming::CharMicros() const
{
    if (Baud == 0)
        return 0;
    return (1.0 + DataBits + (Parity ? 1 : 0) + StopBits) * 1e6 / Baud;
}

ST_FrameCheck FrameCheckByName(const std::string &name, size_t skip, size_t trail)
{
    for (int k = 0; k < kChecksumKindCount; ++k) {
        const auto kind = static_cast<EChecksumKind>(k);
        const std::string known = ChecksumName(kind);
        if (kind != EChecksumKind::Custom && known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return {{kind, {}, DefaultByteOrder(kind)}, skip, trail};
    }
    throw std::invalid_argument("no checksum is called \"" + name + "\"");
}

CFramer::CFramer(const ST_FramerLimits &limits, const ST_LineTiming &timing)
    : m_limits(limits), m_timing(timing), m_charMicros(timing.CharMicros())
{
    // A frame needs room for at least one byte, or every byte would be cut on its own forever.
    m_limits.MaxLength = std::max<size_t>(m_limits.MaxLength, 1);
}

void CFramer::SetCheck(const std::optional<ST_FrameCheck> &check)
{
    m_checksum.reset();
    if (check && check->Sum.Kind != EChecksumKind::None)
        m_checksum.emplace(check->Sum);
    m_check = check;
}

void CFramer::Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time,
                   std::vector<ST_Frame> &out)
{
    ST_Lane &lane = m_lanes[static_cast<size_t>(dir) % kFrameDirections];
    ++m_feeds;
    Tick(time, out);
    for (size_t i = 0; i < size;) {
        if (lane.Bytes.empty() || lane.Feed != m_feeds) {
            // Plain values, not an optional: one made on the stack and copied into the frame was
            // read back whole before its halves had left the store buffer, a stall per frame.
            const bool hasGap = lane.Last.has_value();
            const FrameTime gap = !hasGap || lane.Feed == m_feeds ? FrameTime(0) : time - *lane.Last;
            lane.Last = time;
            lane.Feed = m_feeds;
            const ST_Whole whole = lane.Bytes.empty() ? Whole(data + i, size - i) : ST_Whole{};
            if (whole.Count > 0 && whole.Count <= m_limits.MaxLength) {
                ST_Frame &frame = NewFrame(dir, 0, out);
                frame.Start = frame.End = time;
                if (hasGap)
                    SetGap(frame, gap);
                if (whole.DropFront + whole.DropBack < whole.Count)
                    frame.Bytes.assign(data + i + whole.DropFront, data + i + whole.Count - whole.DropBack);
                Judge(frame);
                i += whole.Count;
                continue;
            }
            lane.Runs.push_back(
                {lane.Bytes.size(), time, hasGap ? std::optional<FrameTime>(gap) : std::nullopt});
        }
        // A frame's body in one piece, short of the byte that reaches the maximum length.
        size_t body = std::min(Skippable(lane, data + i, size - i), size - i);
        body = std::min(body, m_limits.MaxLength - 1 - std::min(lane.Bytes.size(), m_limits.MaxLength - 1));
        if (body > 0) {
            lane.Bytes.insert(lane.Bytes.end(), data + i, data + i + body);
            i += body;
            continue;
        }
        lane.Bytes.push_back(data[i++]);
        Take(lane, dir, out);
        if (lane.Bytes.size() >= m_limits.MaxLength)
            Emit(lane, dir, lane.Bytes.size(), FRAME_MAX_LENGTH | PendingMarks(lane), out, PendingDrop(lane));
    }
}

void CFramer::Tick(FrameTime now, std::vector<ST_Frame> &out)
{
    // In the order the line ended them, whatever their direction.
    std::array<std::pair<FrameTime, size_t>, kFrameDirections> due;
    size_t count = 0;
    const FrameTime limit = QuietLimit();
    for (size_t d = 0; d < kFrameDirections; ++d) {
        const ST_Lane &lane = m_lanes[d];
        if (!lane.Bytes.empty() && limit > FrameTime(0) && now - *lane.Last >= limit)
            due[count++] = {*lane.Last, d};
    }
    // Four at most: an insertion sort, which also keeps GCC's bounds analysis of std::sort on a
    // short array from seeing reads past its end.
    for (size_t i = 1; i < count; ++i)
        for (size_t j = i; j > 0 && due[j] < due[j - 1]; --j)
            std::swap(due[j], due[j - 1]);
    for (size_t i = 0; i < count; ++i)
        EndQuiet(m_lanes[due[i].second], static_cast<EFrameDirection>(due[i].second), now, out);
}

void CFramer::Flush(std::vector<ST_Frame> &out)
{
    for (size_t d = 0; d < kFrameDirections; ++d) {
        ST_Lane &lane = m_lanes[d];
        if (Idle(lane))
            Clear(lane);
        else if (!lane.Bytes.empty())
            Emit(lane, static_cast<EFrameDirection>(d), lane.Bytes.size(), FlushMark() | PendingMarks(lane),
                 out, PendingDrop(lane));
    }
}

std::optional<FrameTime> CFramer::NextDeadline() const
{
    const FrameTime limit = QuietLimit();
    std::optional<FrameTime> next;
    if (limit <= FrameTime(0))
        return next;
    for (const ST_Lane &lane : m_lanes)
        if (!lane.Bytes.empty() && !Idle(lane) && (!next || *lane.Last + limit < *next))
            next = *lane.Last + limit;
    return next;
}

void CFramer::Recycle(std::vector<ST_Frame> &frames)
{
    for (ST_Frame &frame : frames)
        for (std::vector<uint8_t> *bytes : {&frame.Bytes, &frame.Decoded})
            if (m_spareBytes.size() < kMostSpareBuffers && bytes->capacity() > 0 &&
                bytes->capacity() <= kMostSpareRoom) {
                bytes->clear();
                m_spareBytes.push_back(std::move(*bytes));
            }
    frames.clear();
}

void CFramer::EndQuiet(ST_Lane &lane, EFrameDirection dir, FrameTime now, std::vector<ST_Frame> &out)
{
    const FrameTime limit = QuietLimit();
    if (lane.Bytes.empty() || limit <= FrameTime(0) || now - *lane.Last < limit)
        return;
    if (Idle(lane)) {
        Clear(lane);
        return;
    }
    Emit(lane, dir, lane.Bytes.size(), QuietMark() | PendingMarks(lane), out, PendingDrop(lane));
}

void CFramer::Emit(ST_Lane &lane, EFrameDirection dir, size_t count, uint8_t marks,
                   std::vector<ST_Frame> &out, size_t dropFront, size_t dropBack)
{
    count = std::min(count, lane.Bytes.size());
    ST_Frame &frame = NewFrame(dir, marks, out);
    frame.Start = lane.Runs.front().Time;
    if (const std::optional<FrameTime> &gap = lane.Runs.front().Gap)
        SetGap(frame, *gap);
    // The run that holds the last byte, and the one the bytes left over start in.
    size_t keep = 0;
    while (keep + 1 < lane.Runs.size() && lane.Runs[keep + 1].At < count)
        ++keep;
    frame.End = lane.Runs[keep].Time;
    if (dropFront + dropBack < count)
        frame.Bytes.assign(lane.Bytes.begin() + static_cast<std::ptrdiff_t>(dropFront),
                           lane.Bytes.begin() + static_cast<std::ptrdiff_t>(count - dropBack));
    if (frame.IsEncoded)
        frame.Decoded.swap(lane.Decoded);
    Judge(frame);

    lane.Bytes.erase(lane.Bytes.begin(), lane.Bytes.begin() + static_cast<std::ptrdiff_t>(count));
    if (lane.Bytes.empty()) {
        lane.Runs.clear();
    } else {
        if (keep + 1 < lane.Runs.size() && lane.Runs[keep + 1].At == count)
            ++keep;
        else
            lane.Runs[keep].Gap = FrameTime(0); // the rest came in the same read as the frame's end
        lane.Runs.erase(lane.Runs.begin(), lane.Runs.begin() + static_cast<std::ptrdiff_t>(keep));
        for (ST_Run &run : lane.Runs)
            run.At = run.At > count ? run.At - count : 0;
    }
    lane.Decoded.clear();
    lane.InFrame = lane.Content = lane.Flag = lane.Bad = false;
    lane.Need = 0;
}

ST_Frame &CFramer::NewFrame(EFrameDirection dir, uint8_t marks, std::vector<ST_Frame> &out)
{
    // Made where it is handed out (a frame moved there costs a flood of short ones as much as its
    // bytes), with its buffer moved in as it is made: one swapped in afterwards was read back
    // before the new frame's empty fields had left the store buffer, a stall per frame.
    if (m_spareBytes.empty()) {
        out.emplace_back();
    } else {
        out.emplace_back(std::move(m_spareBytes.back()));
        m_spareBytes.pop_back();
    }
    ST_Frame &frame = out.back();
    frame.Direction = dir;
    frame.Marks = marks;
    frame.IsEncoded = Encoded();
    // The lane decodes the next frame into a spare buffer, not into a new block.
    if (frame.IsEncoded)
        Spare(frame.Decoded);
    return frame;
}

void CFramer::SetGap(ST_Frame &frame, FrameTime gap) const
{
    frame.Gap = gap;
    if (m_charMicros > 0)
        frame.GapChars = static_cast<double>(gap.count()) / m_charMicros;
}

void CFramer::Spare(std::vector<uint8_t> &into)
{
    if (!m_spareBytes.empty()) {
        into.swap(m_spareBytes.back());
        m_spareBytes.pop_back();
    }
}

void CFramer::Clear(ST_Lane &lane)
{
    lane.Bytes.clear();
    lane.Runs.clear();
    lane.Decoded.clear();
    lane.InFrame = lane.Content = lane.Flag = lane.Bad = false;
    lane.Need = 0;
}

void CFramer::Judge(ST_Frame &frame) const
{
    if (!m_checksum || (frame.Marks & kUncheckedMarks))
        return;
    const std::vector<uint8_t> &payload = frame.Payload();
    const size_t around = m_check->Skip + m_check->Trail;
    if (payload.size() <= around) {
        frame.Check = EFrameCheck::Bad;
        return;
    }
    frame.Check = m_checksum->Verify(payload.data() + m_check->Skip, payload.size() - around)
                      ? EFrameCheck::Ok
                      : EFrameCheck::Bad;
}

bool CFramer::EndsWith(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &tail, size_t from)
{
    return !tail.empty() && bytes.size() >= from + tail.size() && bytes.back() == tail.back() &&
           std::memcmp(bytes.data() + bytes.size() - tail.size(), tail.data(), tail.size()) == 0;
}
