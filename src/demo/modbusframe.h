#pragma once
// Modbus RTU frames as they cross a serial line: where a frame ends, told from its first bytes, and
// its CRC. A frame is the unit address, the function code, its data and the CRC-16/MODBUS, low byte
// first. The length alone cannot be trusted to find frames in a stream (a lost byte shifts every
// length after it), so readers combine it with the CRC and with the line's silence.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo {

// No RTU frame is longer: address, 253 bytes of function and data, CRC.
constexpr size_t kModbusMaxFrame = 256;
// Address, function and CRC: the shortest frame there is.
constexpr size_t kModbusMinFrame = 4;

// What a frame's first bytes tell of its length: the whole frame's size with the CRC, or one of
// these when they cannot tell it.
constexpr long kModbusNeedMore = 0; // more bytes are needed to know
constexpr long kModbusUnknown = -1; // a function whose length the bytes never tell; only silence ends it

// A request from the master (client) and an answer from a server differ in length for the same
// function, so the direction must be known.
long ModbusRequestLength(const uint8_t *data, size_t size);
long ModbusResponseLength(const uint8_t *data, size_t size);

uint16_t ModbusCrc(const uint8_t *data, size_t size);
// The last two bytes of `frame` are the CRC of the bytes before them; false for a frame shorter
// than kModbusMinFrame.
bool ModbusCrcOk(const uint8_t *frame, size_t size);
inline bool ModbusCrcOk(const std::vector<uint8_t> &frame)
{
    return ModbusCrcOk(frame.data(), frame.size());
}
// Appends the CRC of `frame` to it.
void AppendModbusCrc(std::vector<uint8_t> &frame);

} // namespace demo
