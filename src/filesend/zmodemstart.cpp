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
    // The tail of the last block was shown already; it is scanned again only to complete a header.
    std::vector<uint8_t> bytes;
    bytes.swap(m_tail);
    const size_t seen = bytes.size();
    bytes.insert(bytes.end(), data, data + size);
    const auto from = [&bytes](size_t at) { return bytes.begin() + static_cast<std::ptrdiff_t>(at); };
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] != '*')
            continue;
        const size_t left = bytes.size() - at;
        if (left >= kHeaderSize && std::equal(kLead, kLead + kLeadSize, from(at))) {
            const EZmodemStart type = TypeOf(bytes[at + kLeadSize]);
            if (type != EZmodemStart::None) {
                if (at > seen)
                    shown->insert(shown->end(), from(seen), from(at));
                transfer->insert(transfer->end(), from(at), bytes.end());
                return type;
            }
        }
        if (MayBeginHeader(bytes, at)) {
            m_tail.assign(from(at), bytes.end());
            break;
        }
    }
    shown->insert(shown->end(), from(seen), bytes.end());
    return EZmodemStart::None;
}
