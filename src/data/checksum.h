#pragma once
// Checksums that frames carry at their end: simple sums, and CRCs by the usual parameters (width,
// polynomial, initial value, reflection of input and output, final XOR). Table-driven: one table
// per parameter set, made when the checksum is made.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class EChecksumKind : uint8_t {
    None = 0,
    Sum8,            // the bytes added, modulo 256
    Xor8,            // the bytes XORed
    Lrc8,            // two's complement of Sum8: the frame and it add up to zero
    Crc8,            // poly 0x07, init 0
    Crc16Modbus,     // poly 0x8005 reflected, init 0xFFFF
    Crc16CcittFalse, // poly 0x1021, init 0xFFFF
    Crc16Xmodem,     // poly 0x1021, init 0
    Crc16Kermit,     // poly 0x1021 reflected, init 0
    Crc32,           // poly 0x04C11DB7 reflected, init and final XOR 0xFFFFFFFF
    Crc32c,          // poly 0x1EDC6F41 reflected, init and final XOR 0xFFFFFFFF
    Custom,          // ST_CrcParams
};
constexpr int kChecksumKindCount = static_cast<int>(EChecksumKind::Custom) + 1;

struct ST_CrcParams
{
    uint8_t Width = 16; // 8, 16 or 32
    uint32_t Poly = 0x1021;
    uint32_t Init = 0;
    bool RefIn = false;
    bool RefOut = false;
    uint32_t XorOut = 0;
};

// In which order a checksum wider than a byte is appended.
enum class EByteOrder : uint8_t { BigEndian = 0, LittleEndian = 1 };

struct ST_ChecksumSpec
{
    EChecksumKind Kind = EChecksumKind::None;
    ST_CrcParams Custom;                      // used by Custom only
    EByteOrder Order = EByteOrder::BigEndian; // see DefaultByteOrder
};

// The name lists and messages use: "None", "Sum-8", "XOR-8", "LRC", "CRC-8", "CRC-16/MODBUS",
// "CRC-16/CCITT-FALSE", "CRC-16/XMODEM", "CRC-16/KERMIT", "CRC-32", "CRC-32C", "Custom CRC".
const char *ChecksumName(EChecksumKind kind);
// The order the protocols that use it send it in: low byte first for the reflected CRCs
// (MODBUS, KERMIT, CRC-32, CRC-32C), high byte first for the others.
EByteOrder DefaultByteOrder(EChecksumKind kind);

class CChecksum
{
public:
    // Throws std::invalid_argument for a custom width other than 8, 16 or 32, or a polynomial or
    // value wider than the width.
    explicit CChecksum(const ST_ChecksumSpec &spec);

    const ST_ChecksumSpec &Spec() const { return m_spec; }
    // Bytes the checksum takes at the end of a frame: 0 for None, else 1, 2 or 4.
    size_t Size() const { return m_size; }
    uint32_t Compute(const uint8_t *data, size_t size) const;
    uint32_t Compute(const std::vector<uint8_t> &data) const { return Compute(data.data(), data.size()); }
    // `value` as the bytes that go on the line, in the spec's order.
    std::vector<uint8_t> Encode(uint32_t value) const;
    // `frame` followed by its checksum.
    std::vector<uint8_t> Append(const std::vector<uint8_t> &frame) const;
    // The last Size() bytes of `frame` are the checksum of the bytes before them. False for a
    // frame no longer than the checksum itself, and always for None.
    bool Verify(const uint8_t *frame, size_t size) const;
    bool Verify(const std::vector<uint8_t> &frame) const { return Verify(frame.data(), frame.size()); }

private:
    ST_ChecksumSpec m_spec;
    ST_CrcParams m_crc; // the parameters in force (a preset's or the custom ones)
    size_t m_size = 0;
    uint32_t m_start = 0; // the register's value before the first byte
    std::array<uint32_t, 256> m_table{};
};
