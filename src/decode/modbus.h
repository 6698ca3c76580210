#pragma once
// Modbus RTU and ASCII frames read out: the unit, the function, the addresses and counts a request
// asks for and the values an answer gives, exceptions by name. A serial capture has no direction
// of its own, but ours does: the side that sends requests is named, and only a frame whose side is
// not known is told a request or an answer by its length.
#include "decode/decoder.h"

#include <optional>

// The standard's name of an exception code; nullptr for a code it does not name.
const char *ModbusExceptionName(uint8_t code);

// A register's name for the plot: the unit, the table (coils 0xxxx, discrete inputs 1xxxx, input
// registers 3xxxx, holding registers 4xxxx) and its number from 1, five digits while they hold it
// ("unit1.hr40001"), six past that ("unit1.hr410000").
enum class EModbusTable : uint8_t { Coils, DiscreteInputs, InputRegisters, HoldingRegisters };
std::string ModbusRegisterName(uint32_t unit, EModbusTable table, uint32_t address);

class CModbusDecoder : public IDecoder
{
public:
    // `requestSide`: the direction the master's requests take (the window's sends, or the side of
    // the monitor marked master); none when it is not known.
    explicit CModbusDecoder(bool ascii, std::optional<EFrameDirection> requestSide = EFrameDirection::Sent);
    ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr) const override;
    ST_Decoded Pairing(const ST_Frame &frame, const ST_Frame *request = nullptr) const override;

private:
    EDecodedRole RoleOf(const ST_Frame &frame, const uint8_t *pdu, size_t size, bool answering) const;
    // The unit, function and data without the CRC or LRC (ASCII's hex pairs read); marks `out`.
    std::vector<uint8_t> Unwrap(const ST_Frame &frame, ST_Decoded &out) const;

    bool m_ascii;
    std::optional<EFrameDirection> m_requestSide;
};
