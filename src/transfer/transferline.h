#pragma once
// What the block protocols' engines share on the line: the control bytes of XMODEM and YMODEM
// (CAN and BS are ZMODEM's too), their block sizes, and waits that count down to a deadline.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace transferline {

constexpr uint8_t SOH = 0x01;
constexpr uint8_t STX = 0x02;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t BS = 0x08;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t CAN = 0x18;
constexpr uint8_t SUB = 0x1A;
constexpr uint8_t CRC_REQUEST = 'C';

// What ends a transfer at the other end, whatever the protocol: CANs (two end XMODEM and YMODEM,
// five ZMODEM) and backspaces that erase them where a shell took them.
inline std::vector<uint8_t> AbortBytes(size_t backspaces = 8)
{
    std::vector<uint8_t> bytes(8, CAN);
    bytes.resize(8 + backspaces, BS);
    return bytes;
}

constexpr size_t kShortBlock = 128;
constexpr size_t kLongBlock = 1024;

using Clock = std::chrono::steady_clock;

// What is left of the wait until `deadline`, 0 once it has passed.
inline uint32_t MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}

inline Clock::time_point After(uint32_t ms)
{
    return Clock::now() + std::chrono::milliseconds(ms);
}

} // namespace transferline
