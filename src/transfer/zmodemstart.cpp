#include "transfer/zmodemstart.h"

#include "transfer/zmodemframe.h"

#include <cstring>

namespace {

constexpr uint8_t kZdle = 0x18;
constexpr uint8_t kLead[] = {'*', '*', kZdle, 'B'};
constexpr size_t kLeadSize = sizeof kLead;
constexpr size_t kHexSize = CZmodemStartScanner::kHeaderSize - kLeadSize;

// Whether byte `i` of a header may be `c`.
bool Fits(size_t i, uint8_t c)
{
    return i < kLeadSize ? c == kLead[i] : zmodem::HexValue(c) >= 0;
}

// The start the whole header at `p` asks for: None for another type or a wrong CRC.
EZmodemStart Decode(const uint8_t *p)
{
    uint8_t value[kHexSize / 2];
    for (size_t i = 0; i < sizeof value; ++i)
        value[i] = static_cast<uint8_t>(zmodem::HexValue(p[kLeadSize + 2 * i]) << 4 |
                                        zmodem::HexValue(p[kLeadSize + 2 * i + 1]));
    const uint16_t crc = zmodem::Crc16(0, value, 5);
    if (crc != (value[5] << 8 | value[6]))
        return EZmodemStart::None;
    return value[0] == 0   ? EZmodemStart::SenderStarts
           : value[0] == 1 ? EZmodemStart::ReceiverWaits
                           : EZmodemStart::None;
}

} // namespace

EZmodemStart CZmodemStartScanner::Feed(const uint8_t *data, size_t size, std::vector<uint8_t> *shown,
                                       std::vector<uint8_t> *transfer)
{
    std::vector<uint8_t> bytes;
    bytes.swap(m_held);
    bytes.insert(bytes.end(), data, data + size);
    const auto from = [&bytes](size_t at) { return bytes.begin() + static_cast<std::ptrdiff_t>(at); };
    for (size_t at = 0; at < bytes.size(); ++at) {
        // A header starts only at a '*'; most data has few.
        const void *star = std::memchr(&bytes[at], '*', bytes.size() - at);
        if (star == nullptr)
            break;
        at = static_cast<size_t>(static_cast<const uint8_t *>(star) - bytes.data());
        size_t fit = 0;
        while (fit < kHeaderSize && at + fit < bytes.size() && Fits(fit, bytes[at + fit]))
            ++fit;
        if (fit == kHeaderSize) {
            const EZmodemStart type = Decode(&bytes[at]);
            if (type == EZmodemStart::None)
                continue;
            shown->insert(shown->end(), bytes.begin(), from(at));
            transfer->insert(transfer->end(), from(at), bytes.end());
            return type;
        }
        if (at + fit == bytes.size()) {
            shown->insert(shown->end(), bytes.begin(), from(at));
            m_held.assign(from(at), bytes.end());
            return EZmodemStart::None;
        }
    }
    shown->insert(shown->end(), bytes.begin(), bytes.end());
    return EZmodemStart::None;
}

bool CZmodemStartScanner::PassesWhole(const uint8_t *data, size_t size) const
{
    return size > 0 && m_held.empty() && std::memchr(data, '*', size) == nullptr;
}

void CZmodemStartScanner::Release(std::vector<uint8_t> *shown)
{
    shown->insert(shown->end(), m_held.begin(), m_held.end());
    m_held.clear();
}
