#pragma once
// A Modbus RTU server at unit 1 behind the demo port: a small thermostat. Holding register 0
// counts the seconds, register 1 is the temperature in tenths of a degree, drifting towards the
// setpoint in register 2 while coil 0 (the heater) is on and towards the room's while it is off.
// Discrete input 0 is on while it heats, input 1 blinks with the seconds; input register 0 is the
// temperature again, 1 and 2 the seconds since the start (high word first). The other registers
// and coils are plain storage, each holding register n starting at 10 n.
//
// Frames end where their length and CRC say, or at 3.5 characters of silence for a function
// whose length the bytes never tell; an answer waits the same silence after its request and
// after the answer before it, so masters that time the line see a well-behaved server.
#include "demo/demodevice.h"

#include <array>
#include <deque>

namespace demo {

class CModbusServer : public IDemoDevice
{
public:
    static constexpr uint8_t kUnit = 1;
    static constexpr size_t kCoils = 32;
    static constexpr size_t kDiscreteInputs = 32;
    static constexpr size_t kHoldingRegisters = 32;
    static constexpr size_t kInputRegisters = 32;
    // Answers not yet sent when more requests come: a master that keeps sending without reading
    // loses the oldest ones beyond this, as it would on a busy line.
    static constexpr size_t kMaxPendingAnswers = 8;

    void Start(IDemoOutput &out, Clock::time_point now) override;
    void Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now) override;
    Clock::time_point NextTick() const override;
    void Tick(IDemoOutput &out, Clock::time_point now) override;

    // The quiet time that ends a frame and comes before an answer at this line's speed.
    static Clock::duration Silence(const ST_DemoLine &line);
    // Bytes held towards a frame not yet complete; bounded whatever comes in.
    size_t Buffered() const { return m_rx.size(); }

private:
    void Scan(bool silence, Clock::time_point now);
    void Take(const uint8_t *frame, size_t size, Clock::time_point now);
    std::vector<uint8_t> Execute(const uint8_t *pdu, size_t size);
    std::vector<uint8_t> ReadBits(uint8_t function, const uint8_t *pdu, size_t size);
    std::vector<uint8_t> ReadRegisters(uint8_t function, const uint8_t *pdu, size_t size);
    std::vector<uint8_t> WriteBits(const uint8_t *pdu, size_t size);
    std::vector<uint8_t> WriteRegisters(const uint8_t *pdu, size_t size);
    std::vector<uint8_t> Identify(const uint8_t *pdu, size_t size);
    void Advance(Clock::time_point now);
    void SendDue(IDemoOutput &out, Clock::time_point now);
    Clock::time_point AnswerDue() const;

    ST_DemoLine m_line;
    std::vector<uint8_t> m_rx;
    Clock::time_point m_lastRx{};
    std::deque<std::vector<uint8_t>> m_answers;
    // When the last answer's last byte left, as the line's speed has it.
    Clock::time_point m_lineFree{};
    Clock::time_point m_started{};
    Clock::time_point m_nextSecond = Clock::time_point::max();
    uint32_t m_wobble = 1;

    std::array<bool, kCoils> m_coils{};
    std::array<bool, kDiscreteInputs> m_inputs{};
    std::array<uint16_t, kHoldingRegisters> m_holding{};
    std::array<uint16_t, kInputRegisters> m_inputRegisters{};
};

} // namespace demo
