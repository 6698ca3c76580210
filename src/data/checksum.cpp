#include "data/checksum.h"

#include <stdexcept>

namespace {

struct ST_Preset
{
    const char *Name;
    ST_CrcParams Params;
    EByteOrder Order;
};

// Indexed by EChecksumKind. The sums carry width 8 only for their size; they use no table.
const ST_Preset kPresets[kChecksumKindCount] = {
    {"None", {8, 0, 0, false, false, 0}, EByteOrder::BigEndian},
    {"Sum-8", {8, 0, 0, false, false, 0}, EByteOrder::BigEndian},
    {"XOR-8", {8, 0, 0, false, false, 0}, EByteOrder::BigEndian},
    {"LRC", {8, 0, 0, false, false, 0}, EByteOrder::BigEndian},
    {"CRC-8", {8, 0x07, 0, false, false, 0}, EByteOrder::BigEndian},
    {"CRC-16/MODBUS", {16, 0x8005, 0xFFFF, true, true, 0}, EByteOrder::LittleEndian},
    {"CRC-16/CCITT-FALSE", {16, 0x1021, 0xFFFF, false, false, 0}, EByteOrder::BigEndian},
    {"CRC-16/XMODEM", {16, 0x1021, 0, false, false, 0}, EByteOrder::BigEndian},
    {"CRC-16/KERMIT", {16, 0x1021, 0, true, true, 0}, EByteOrder::LittleEndian},
    {"CRC-32", {32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF}, EByteOrder::LittleEndian},
    {"CRC-32C", {32, 0x1EDC6F41, 0xFFFFFFFF, true, true, 0xFFFFFFFF}, EByteOrder::LittleEndian},
    {"Custom CRC", {16, 0x1021, 0, false, false, 0}, EByteOrder::BigEndian},
};

bool KnownKind(EChecksumKind kind)
{
    return static_cast<int>(kind) < kChecksumKindCount;
}

bool IsCrc(EChecksumKind kind)
{
    return kind >= EChecksumKind::Crc8;
}

uint32_t Mask(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

uint32_t Reflect(uint32_t value, int width)
{
    uint32_t out = 0;
    for (int i = 0; i < width; ++i, value >>= 1)
        out = (out << 1) | (value & 1);
    return out;
}

} // namespace

const char *ChecksumName(EChecksumKind kind)
{
    return KnownKind(kind) ? kPresets[static_cast<int>(kind)].Name : "None";
}

EByteOrder DefaultByteOrder(EChecksumKind kind)
{
    return KnownKind(kind) ? kPresets[static_cast<int>(kind)].Order : EByteOrder::BigEndian;
}

CChecksum::CChecksum(const ST_ChecksumSpec &spec) : m_spec(spec)
{
    if (!KnownKind(spec.Kind))
        throw std::invalid_argument("unknown checksum kind");
    m_crc = spec.Kind == EChecksumKind::Custom ? spec.Custom : kPresets[static_cast<int>(spec.Kind)].Params;
    const int width = m_crc.Width;
    if (width != 8 && width != 16 && width != 32)
        throw std::invalid_argument("a CRC is 8, 16 or 32 bits wide");
    const uint32_t mask = Mask(width);
    if ((m_crc.Poly & ~mask) || (m_crc.Init & ~mask) || (m_crc.XorOut & ~mask))
        throw std::invalid_argument("a CRC parameter is wider than the CRC");
    m_size = spec.Kind == EChecksumKind::None ? 0 : static_cast<size_t>(width / 8);
    if (!IsCrc(spec.Kind))
        return;
    // A reflected CRC runs its register reflected, so that each byte enters at the low end and
    // the table is indexed without shifting it into place.
    // The register's start, reflected once here: a framer checks every frame at line rate.
    m_start = m_crc.RefIn ? Reflect(m_crc.Init, width) : m_crc.Init;
    if (m_crc.RefIn) {
        const uint32_t poly = Reflect(m_crc.Poly, width);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
            m_table[i] = r;
        }
    } else {
        const uint32_t top = 1u << (width - 1);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << (width - 8);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & top) ? (r << 1) ^ m_crc.Poly : r << 1;
            m_table[i] = r & mask;
        }
    }
}

uint32_t CChecksum::Compute(const uint8_t *data, size_t size) const
{
    switch (m_spec.Kind) {
    case EChecksumKind::None:
        return 0;
    case EChecksumKind::Sum8:
    case EChecksumKind::Lrc8: {
        uint8_t sum = 0;
        for (size_t i = 0; i < size; ++i)
            sum = static_cast<uint8_t>(sum + data[i]);
        return m_spec.Kind == EChecksumKind::Sum8 ? sum : static_cast<uint8_t>(-sum);
    }
    case EChecksumKind::Xor8: {
        uint8_t x = 0;
        for (size_t i = 0; i < size; ++i)
            x ^= data[i];
        return x;
    }
    default:
        break;
    }
    const int width = m_crc.Width;
    const uint32_t mask = Mask(width);
    uint32_t r;
    if (m_crc.RefIn) {
        r = m_start;
        for (size_t i = 0; i < size; ++i)
            r = (r >> 8) ^ m_table[(r ^ data[i]) & 0xFF];
    } else {
        const int shift = width - 8;
        r = m_start;
        for (size_t i = 0; i < size; ++i)
            r = ((r << 8) ^ m_table[((r >> shift) ^ data[i]) & 0xFF]) & mask;
    }
    if (m_crc.RefIn != m_crc.RefOut)
        r = Reflect(r, width);
    return (r ^ m_crc.XorOut) & mask;
}

std::vector<uint8_t> CChecksum::Encode(uint32_t value) const
{
    std::vector<uint8_t> out(m_size);
    for (size_t i = 0; i < m_size; ++i) {
        const size_t shift = m_spec.Order == EByteOrder::LittleEndian ? i : m_size - 1 - i;
        out[i] = static_cast<uint8_t>(value >> (8 * shift));
    }
    return out;
}

std::vector<uint8_t> CChecksum::Append(const std::vector<uint8_t> &frame) const
{
    std::vector<uint8_t> out = frame;
    const std::vector<uint8_t> tail = Encode(Compute(frame));
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

bool CChecksum::Verify(const uint8_t *frame, size_t size) const
{
    if (m_size == 0 || size <= m_size)
        return false;
    // Compared in place: a framer checks every frame at line rate, and a heap block per frame
    // cost more than the sum.
    const uint32_t value = Compute(frame, size - m_size);
    const uint8_t *tail = frame + size - m_size;
    for (size_t i = 0; i < m_size; ++i) {
        const size_t shift = m_spec.Order == EByteOrder::LittleEndian ? i : m_size - 1 - i;
        if (tail[i] != static_cast<uint8_t>(value >> (8 * shift)))
            return false;
    }
    return true;
}
