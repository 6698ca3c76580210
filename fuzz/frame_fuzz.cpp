#include "frame/framers.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<CFramer> MakeFramer(uint8_t kind, uint8_t param, const ST_FramerLimits &limits)
{
    const ST_LineTiming line{9600, 8, (param & 1) != 0, 1};
    switch (kind % 6) {
    case 0:
        return std::make_unique<CSilenceFramer>(ST_SilenceSettings{3.5, FrameTime(param * 100)}, line,
                                                limits);
    case 1: {
        const auto mode = static_cast<EDelimiterMode>(param % 3);
        const std::vector<uint8_t> start{0x02},
            end = param & 8 ? std::vector<uint8_t>{'\r', '\n'} : std::vector<uint8_t>{0x03};
        return std::make_unique<CDelimiterFramer>(ST_DelimiterSettings{mode, start, end, (param & 4) != 0},
                                                  limits, line);
    }
    case 2: {
        const uint8_t sizes[] = {1, 2, 4};
        const ST_LengthField field{param % 5u, sizes[(param >> 3) % 3],
                                   param & 32 ? EByteOrder::LittleEndian : EByteOrder::BigEndian,
                                   static_cast<int64_t>(param % 7) - 3,
                                   static_cast<ELengthCounts>((param >> 6) % 3)};
        return std::make_unique<CLengthFramer>(field, limits, line);
    }
    case 3:
        return std::make_unique<CFixedFramer>(1 + param % 40, limits, line);
    case 4:
        return std::make_unique<CCobsFramer>(limits, line);
    default:
        return std::make_unique<CSlipFramer>(limits, line);
    }
}

bool Same(const std::vector<ST_Frame> &a, const std::vector<ST_Frame> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Bytes != b[i].Bytes || a[i].Decoded != b[i].Decoded || a[i].Marks != b[i].Marks ||
            a[i].Check != b[i].Check)
            return false;
    return true;
}

} // namespace

// However the line is cut into reads, the frames are the same; with the delimiters kept no byte is
// lost or made up; no frame outgrows the maximum, and the times in each frame never go back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t kind = data[0], param = data[1], step = data[2] % 17 + 1;
    const ST_FramerLimits limits{static_cast<size_t>(data[3]) * 4 + 1, FrameTime(5000)};
    data += 4;
    size -= 4;
    const auto whole = MakeFramer(kind, param, limits), cut = MakeFramer(kind, param, limits);
    const ST_FrameCheck check{{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian}, param % 3u, 0};
    whole->SetCheck(check);
    cut->SetCheck(check);
    std::vector<ST_Frame> a, b;
    whole->Feed(EFrameDirection::Received, data, size, FrameTime(0), a);
    for (size_t at = 0; at < size; at += step)
        cut->Feed(EFrameDirection::Received, data + at, std::min<size_t>(step, size - at), FrameTime(0), b);
    whole->Flush(a);
    cut->Flush(b);
    if (!Same(a, b))
        std::abort();

    // The gaps now come from the bytes themselves: a byte of 0xFF before each read.
    const auto timed = MakeFramer(kind, param | 4, limits);
    std::vector<ST_Frame> c;
    int64_t now = 0;
    std::vector<uint8_t> seen;
    for (size_t at = 0; at < size; at += step) {
        const size_t piece = std::min<size_t>(step, size - at);
        now += data[at] == 0xFF ? 20000 : data[at] * 10;
        timed->Feed(static_cast<EFrameDirection>(data[at] & 1), data + at, piece, FrameTime(now), c);
        if (data[at] & 2) {
            now += data[at] * 40;
            timed->Tick(FrameTime(now), c);
        }
    }
    timed->Flush(c);
    if (timed->NextDeadline())
        std::abort();
    size_t total = 0;
    for (const ST_Frame &frame : c) {
        if (frame.Bytes.size() > limits.MaxLength || frame.End < frame.Start)
            std::abort();
        total += frame.Bytes.size();
    }
    if (total != size)
        std::abort();
    return 0;
}
