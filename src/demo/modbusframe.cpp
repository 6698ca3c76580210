#include "demo/modbusframe.h"

#include "data/checksum.h"

namespace demo {

namespace {

const CChecksum &Crc()
{
    static const CChecksum crc([] {
        ST_ChecksumSpec modbus;
        modbus.Kind = EChecksumKind::Crc16Modbus;
        modbus.Order = EByteOrder::LittleEndian;
        return modbus;
    }());
    return crc;
}

// A length told by a count byte at `at`: `fixed` bytes before the counted ones, then the CRC.
long CountedLength(const uint8_t *data, size_t size, size_t at, size_t fixed)
{
    if (size <= at)
        return kModbusNeedMore;
    return long(fixed + data[at] + 2);
}

} // namespace

long ModbusRequestLength(const uint8_t *data, size_t size)
{
    if (size < 2)
        return kModbusNeedMore;
    switch (data[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
        return 8;
    case 7:
    case 11:
    case 12:
    case 17:
        return 4;
    case 15:
    case 16:
        return CountedLength(data, size, 6, 7);
    case 20:
    case 21:
        return CountedLength(data, size, 2, 3);
    case 22:
        return 10;
    case 23:
        return CountedLength(data, size, 10, 11);
    case 24:
        return 6;
    case 43:
        if (size < 3)
            return kModbusNeedMore;
        return data[2] == 0x0E ? 7 : kModbusUnknown;
    default:
        return kModbusUnknown;
    }
}

long ModbusResponseLength(const uint8_t *data, size_t size)
{
    if (size < 2)
        return kModbusNeedMore;
    if (data[1] & 0x80)
        return 5;
    switch (data[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 12:
    case 17:
    case 20:
    case 21:
    case 23:
        return CountedLength(data, size, 2, 3);
    case 5:
    case 6:
    case 8:
    case 11:
    case 15:
    case 16:
        return 8;
    case 7:
        return 5;
    case 22:
        return 10;
    case 24:
        if (size < 4)
            return kModbusNeedMore;
        return long(4 + ((size_t(data[2]) << 8) | data[3]) + 2);
    case 43: {
        if (size < 3)
            return kModbusNeedMore;
        if (data[2] != 0x0E)
            return kModbusUnknown;
        // Address, function, MEI type, code, conformity, more, next id, object count; then each
        // object as its id, its length and its bytes.
        if (size < 8)
            return kModbusNeedMore;
        size_t at = 8;
        for (unsigned i = 0; i < data[7]; ++i) {
            if (size < at + 2)
                return kModbusNeedMore;
            at += 2 + data[at + 1];
            if (at + 2 > kModbusMaxFrame)
                return kModbusUnknown;
        }
        return long(at + 2);
    }
    default:
        return kModbusUnknown;
    }
}

uint16_t ModbusCrc(const uint8_t *data, size_t size)
{
    return uint16_t(Crc().Compute(data, size));
}

bool ModbusCrcOk(const uint8_t *frame, size_t size)
{
    if (size < kModbusMinFrame)
        return false;
    const uint16_t crc = ModbusCrc(frame, size - 2);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

void AppendModbusCrc(std::vector<uint8_t> &frame)
{
    const uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
}

} // namespace demo
