#include "filesend/zmodemstart.h"

#include <algorithm>

namespace {

constexpr uint8_t kZdle = 0x18;
// "**" ZDLE "B0", then '0' (ZRQINIT) or '1' (ZRINIT).
constexpr uint8_t kLead[] = {'*', '*', kZdle, 'B', '0'};
constexpr size_t kLeadSize = sizeof kLead;
constexpr size_t kHeaderSize = kLeadSize + 1;

EZmodemStart TypeOf(uint8_t digit)
{
    return digit == '0'   ? EZmodemStart::SenderStarts
           : digit == '1' ? EZmodemStart::ReceiverWaits
                          : EZmodemStart::None;
}

// Whether the bytes from `at` to the end are too few for a header but agree with its start.
bool MayBeginHeader(const std::vector<uint8_t> &bytes, size_t at)
{
    const size_t left = bytes.size() - at;
    return left < kHeaderSize &&
           std::equal(kLead, kLead + left, bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace

EZmodemStart CZmodemStartScanner::Feed(const uint8_t *data, size_t size, std::vector<uint8_t> *shown,
                                       std::vector<uint8_t> *transfer)
{
    std::vector<uint8_t> bytes;
    bytes.swap(m_kept);
    bytes.insert(bytes.end(), data, data + size);
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] != '*')
            continue;
        const size_t left = bytes.size() - at;
        if (left >= kHeaderSize &&
            std::equal(kLead, kLead + kLeadSize, bytes.begin() + static_cast<std::ptrdiff_t>(at))) {
            const EZmodemStart type = TypeOf(bytes[at + kLeadSize]);
            if (type != EZmodemStart::None) {
                shown->insert(shown->end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
                transfer->insert(transfer->end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                 bytes.end());
                return type;
            }
        }
        if (MayBeginHeader(bytes, at)) {
            shown->insert(shown->end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
            m_kept.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
            return EZmodemStart::None;
        }
    }
    shown->insert(shown->end(), bytes.begin(), bytes.end());
    return EZmodemStart::None;
}

std::vector<uint8_t> CZmodemStartScanner::TakeKept()
{
    std::vector<uint8_t> kept;
    kept.swap(m_kept);
    return kept;
}
