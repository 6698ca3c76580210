#include "data/checksum.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

const std::string kCheck = "123456789";

uint32_t CheckValue(const ST_ChecksumSpec &spec)
{
    return CChecksum(spec).Compute(reinterpret_cast<const uint8_t *>(kCheck.data()), kCheck.size());
}

ST_ChecksumSpec Preset(EChecksumKind kind)
{
    ST_ChecksumSpec spec;
    spec.Kind = kind;
    spec.Order = DefaultByteOrder(kind);
    return spec;
}

ST_ChecksumSpec Custom(uint8_t width, uint32_t poly, uint32_t init, bool refIn, bool refOut, uint32_t xorOut)
{
    ST_ChecksumSpec spec;
    spec.Kind = EChecksumKind::Custom;
    spec.Custom = {width, poly, init, refIn, refOut, xorOut};
    return spec;
}

} // namespace

TEST(Checksum, PresetsGiveTheStandardCheckValues)
{
    const std::pair<EChecksumKind, uint32_t> expected[] = {
        {EChecksumKind::Sum8, 0xDD},          {EChecksumKind::Xor8, 0x31},
        {EChecksumKind::Lrc8, 0x23},          {EChecksumKind::Crc8, 0xF4},
        {EChecksumKind::Crc16Modbus, 0x4B37}, {EChecksumKind::Crc16CcittFalse, 0x29B1},
        {EChecksumKind::Crc16Xmodem, 0x31C3}, {EChecksumKind::Crc16Kermit, 0x2189},
        {EChecksumKind::Crc32, 0xCBF43926},   {EChecksumKind::Crc32c, 0xE3069283},
    };
    for (const auto &[kind, value] : expected)
        EXPECT_EQ(CheckValue(Preset(kind)), value) << ChecksumName(kind);
    EXPECT_EQ(CChecksum(Preset(EChecksumKind::Crc32)).Compute(nullptr, 0), 0u);
}

TEST(Checksum, CustomParameterSets)
{
    EXPECT_EQ(CheckValue(Custom(16, 0x8005, 0, true, true, 0)), 0xBB3Du);                             // ARC
    EXPECT_EQ(CheckValue(Custom(16, 0x1021, 0xFFFF, true, true, 0xFFFF)), 0x906Eu);
    EXPECT_EQ(CheckValue(Custom(8, 0x31, 0, true, true, 0)), 0xA1u);                                  // MAXIM
    EXPECT_EQ(CheckValue(Custom(32, 0x04C11DB7, 0xFFFFFFFF, false, false, 0xFFFFFFFF)), 0xFC891918u); // BZIP2
    // Reflected output only: the register's bits come out the other way round.
    EXPECT_EQ(CheckValue(Custom(16, 0x1021, 0, false, true, 0)), 0xC38Cu);
}

TEST(Checksum, ModbusRequestCarriesItsCrcLowByteFirst)
{
    const CChecksum crc(Preset(EChecksumKind::Crc16Modbus));
    const std::vector<uint8_t> frame = crc.Append({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A});
    EXPECT_EQ(frame, (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_TRUE(crc.Verify(frame));
}

TEST(Checksum, AppendAndVerifyInBothOrders)
{
    const std::vector<uint8_t> data = {0x10, 0x20, 0xFF, 0x00, 0x7E};
    for (EChecksumKind kind : {EChecksumKind::Lrc8, EChecksumKind::Crc16CcittFalse, EChecksumKind::Crc32c}) {
        for (EByteOrder order : {EByteOrder::BigEndian, EByteOrder::LittleEndian}) {
            ST_ChecksumSpec spec = Preset(kind);
            spec.Order = order;
            const CChecksum sum(spec);
            std::vector<uint8_t> frame = sum.Append(data);
            ASSERT_EQ(frame.size(), data.size() + sum.Size());
            EXPECT_TRUE(sum.Verify(frame)) << ChecksumName(kind);
            frame[1] ^= 0x04;
            EXPECT_FALSE(sum.Verify(frame)) << ChecksumName(kind);
            EXPECT_FALSE(sum.Verify(frame.data(), sum.Size())) << ChecksumName(kind);
        }
    }
    ST_ChecksumSpec big = Preset(EChecksumKind::Crc32);
    big.Order = EByteOrder::BigEndian;
    EXPECT_EQ(CChecksum(big).Encode(0xCBF43926), (std::vector<uint8_t>{0xCB, 0xF4, 0x39, 0x26}));
    EXPECT_EQ(CChecksum(Preset(EChecksumKind::Crc32)).Encode(0xCBF43926),
              (std::vector<uint8_t>{0x26, 0x39, 0xF4, 0xCB}));
}

TEST(Checksum, NoneAddsNothingAndVerifiesNothing)
{
    const CChecksum none(ST_ChecksumSpec{});
    EXPECT_EQ(none.Size(), 0u);
    EXPECT_EQ(none.Append({1, 2, 3}), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(none.Verify({1, 2, 3}));
}

TEST(Checksum, InvalidCustomParametersThrow)
{
    EXPECT_THROW(CChecksum(Custom(12, 0x80F, 0, false, false, 0)), std::invalid_argument);
    EXPECT_THROW(CChecksum(Custom(8, 0x107, 0, false, false, 0)), std::invalid_argument);
    EXPECT_THROW(CChecksum(Custom(16, 0x1021, 0x10000, false, false, 0)), std::invalid_argument);
    EXPECT_THROW(CChecksum(Custom(16, 0x1021, 0, false, false, 0x1FFFF)), std::invalid_argument);
    ST_ChecksumSpec unknown;
    unknown.Kind = static_cast<EChecksumKind>(kChecksumKindCount);
    EXPECT_THROW(CChecksum{unknown}, std::invalid_argument);
}
