#include "recdata/checksumcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using Verdicts = std::vector<std::pair<EFrameVerdict, size_t>>;

// Feeds `size` bytes in pieces of `step`; every verdict lies inside its piece.
Verdicts FeedInSteps(CChecksumCheck &check, const uint8_t *data, size_t size, size_t step)
{
    Verdicts out;
    for (size_t at = 0; at < size; at += step) {
        const size_t piece = std::min(step, size - at);
        for (const ST_FrameVerdict &v : check.Feed(data + at, piece)) {
            if (v.At >= piece)
                std::abort();
            out.emplace_back(v.Verdict, at + v.At);
        }
    }
    return out;
}

} // namespace

// Lines are judged alike however the stream is cut into blocks, and a tight bound on the
// unfinished line only ever gives lines up.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const auto kind = static_cast<EChecksumKind>(1 + data[0] % (kChecksumKindCount - 2));
    const size_t step = data[1] % 13 + 1;
    data += 2;
    size -= 2;
    const ST_ChecksumSpec spec{kind, {}, DefaultByteOrder(kind)};
    CChecksumCheck whole(spec, ECheckCover::Lines, size + 1);
    CChecksumCheck cut(spec, ECheckCover::Lines, size + 1);
    if (FeedInSteps(whole, data, size, size + 1) != FeedInSteps(cut, data, size, step))
        std::abort();
    if (whole.Good() != cut.Good() || whole.Bad() != cut.Bad())
        std::abort();
    CChecksumCheck tight(spec, ECheckCover::Lines, 16);
    FeedInSteps(tight, data, size, step);
    if (tight.Good() + tight.Bad() > whole.Good() + whole.Bad())
        std::abort();
    return 0;
}
