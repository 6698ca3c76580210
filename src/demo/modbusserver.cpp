#include "demo/modbusserver.h"

#include "demo/modbusframe.h"

#include <algorithm>

namespace demo {

namespace {

enum : uint8_t {
    kIllegalFunction = 1,
    kIllegalAddress = 2,
    kIllegalValue = 3,
};

enum : size_t {
    kCounter = 0,
    kTemperature = 1,
    kSetpoint = 2,
};

constexpr int16_t kRoomTemperature = 180;

uint16_t Be16(const uint8_t *p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

void PutBe16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value & 0xFF));
}

std::vector<uint8_t> Exception(uint8_t function, uint8_t code)
{
    return {uint8_t(function | 0x80), code};
}

bool InRange(size_t address, size_t count, size_t size)
{
    return address < size && count <= size - address;
}

} // namespace

Clock::duration CModbusServer::Silence(const ST_DemoLine &line)
{
    // Above 19200 baud masters use a fixed 1.75 ms: the character time is too short to time by.
    if (line.Baud > 19200)
        return std::chrono::microseconds(1750);
    return line.CharTime() * 7 / 2;
}

void CModbusServer::Start(IDemoOutput &out, Clock::time_point now)
{
    m_line = out.Line();
    m_started = now;
    m_nextSecond = now + std::chrono::seconds(1);
    m_coils[0] = true;
    m_holding[kTemperature] = 198;
    m_holding[kSetpoint] = 215;
    for (size_t i = 3; i < kHoldingRegisters; ++i)
        m_holding[i] = uint16_t(i * 10);
    for (size_t i = 0; i < kInputRegisters; ++i)
        m_inputRegisters[i] = uint16_t(0x1000 + i);
    for (size_t i = 2; i < kDiscreteInputs; ++i)
        m_inputs[i] = i % 3 == 0;
    Advance(now);
}

void CModbusServer::Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now)
{
    m_line = out.Line();
    // Bytes after a silence start a new frame, even when the tick that would have ended the last
    // one came late.
    if (!m_rx.empty() && now - m_lastRx >= Silence(m_line))
        Scan(true, m_lastRx);
    m_lastRx = now;
    while (size > 0) {
        const size_t take = std::min(size, 2 * kModbusMaxFrame - m_rx.size());
        m_rx.insert(m_rx.end(), data, data + take);
        data += take;
        size -= take;
        Scan(false, now);
    }
    SendDue(out, now);
}

void CModbusServer::Scan(bool silence, Clock::time_point now)
{
    while (m_rx.size() >= kModbusMinFrame) {
        const size_t have = m_rx.size();
        const long length = ModbusRequestLength(m_rx.data(), have);
        if (length > 0 && size_t(length) <= have && size_t(length) <= kModbusMaxFrame) {
            if (ModbusCrcOk(m_rx.data(), size_t(length))) {
                Take(m_rx.data(), size_t(length), now);
                m_rx.erase(m_rx.begin(), m_rx.begin() + length);
                continue;
            }
        } else if (length == kModbusUnknown && silence) {
            if (have <= kModbusMaxFrame && ModbusCrcOk(m_rx.data(), have)) {
                Take(m_rx.data(), have, now);
                m_rx.clear();
                break;
            }
        } else if (!silence && have < kModbusMaxFrame && length <= long(kModbusMaxFrame)) {
            // The rest of the frame is still to come.
            break;
        }
        // No frame starts here: a byte was lost or garbled, so look for one starting later.
        m_rx.erase(m_rx.begin());
    }
    // What silence leaves is too short for a frame.
    if (silence)
        m_rx.clear();
}

void CModbusServer::Take(const uint8_t *frame, size_t size, Clock::time_point now)
{
    const uint8_t unit = frame[0];
    if (unit != kUnit && unit != 0)
        return;
    Advance(now);
    std::vector<uint8_t> answer = Execute(frame + 1, size - 3);
    // A broadcast is carried out and never answered.
    if (unit == 0 || answer.empty())
        return;
    answer.insert(answer.begin(), unit);
    AppendModbusCrc(answer);
    if (m_answers.size() == kMaxPendingAnswers)
        m_answers.pop_front();
    m_answers.push_back(std::move(answer));
}

std::vector<uint8_t> CModbusServer::Execute(const uint8_t *pdu, size_t size)
{
    const uint8_t function = pdu[0];
    switch (function) {
    case 1:
    case 2:
        return ReadBits(function, pdu, size);
    case 3:
    case 4:
        return ReadRegisters(function, pdu, size);
    case 5:
    case 15:
        return WriteBits(pdu, size);
    case 6:
    case 16:
        return WriteRegisters(pdu, size);
    case 43:
        return Identify(pdu, size);
    default:
        return Exception(function, kIllegalFunction);
    }
}

std::vector<uint8_t> CModbusServer::ReadBits(uint8_t function, const uint8_t *pdu, size_t size)
{
    if (size != 5)
        return Exception(function, kIllegalValue);
    const uint16_t address = Be16(pdu + 1), count = Be16(pdu + 3);
    if (count < 1 || count > 2000)
        return Exception(function, kIllegalValue);
    const bool coils = function == 1;
    if (!InRange(address, count, coils ? kCoils : kDiscreteInputs))
        return Exception(function, kIllegalAddress);
    std::vector<uint8_t> answer{function, uint8_t((count + 7) / 8)};
    answer.resize(2 + answer[1]);
    for (size_t i = 0; i < count; ++i)
        if (coils ? m_coils[address + i] : m_inputs[address + i])
            answer[2 + i / 8] |= uint8_t(1u << (i % 8));
    return answer;
}

std::vector<uint8_t> CModbusServer::ReadRegisters(uint8_t function, const uint8_t *pdu, size_t size)
{
    if (size != 5)
        return Exception(function, kIllegalValue);
    const uint16_t address = Be16(pdu + 1), count = Be16(pdu + 3);
    if (count < 1 || count > 125)
        return Exception(function, kIllegalValue);
    const bool holding = function == 3;
    if (!InRange(address, count, holding ? kHoldingRegisters : kInputRegisters))
        return Exception(function, kIllegalAddress);
    std::vector<uint8_t> answer{function, uint8_t(2 * count)};
    for (size_t i = 0; i < count; ++i)
        PutBe16(answer, holding ? m_holding[address + i] : m_inputRegisters[address + i]);
    return answer;
}

std::vector<uint8_t> CModbusServer::WriteBits(const uint8_t *pdu, size_t size)
{
    const uint8_t function = pdu[0];
    if (size < 5)
        return Exception(function, kIllegalValue);
    const uint16_t address = Be16(pdu + 1);
    if (function == 5) {
        const uint16_t value = Be16(pdu + 3);
        if (size != 5 || (value != 0 && value != 0xFF00))
            return Exception(function, kIllegalValue);
        if (!InRange(address, 1, kCoils))
            return Exception(function, kIllegalAddress);
        m_coils[address] = value != 0;
        return {pdu, pdu + size};
    }
    const uint16_t count = Be16(pdu + 3);
    if (size < 6 || count < 1 || count > 1968 || pdu[5] != (count + 7) / 8 || size != 6u + pdu[5])
        return Exception(function, kIllegalValue);
    if (!InRange(address, count, kCoils))
        return Exception(function, kIllegalAddress);
    for (size_t i = 0; i < count; ++i)
        m_coils[address + i] = (pdu[6 + i / 8] >> (i % 8)) & 1;
    return {pdu, pdu + 5};
}

std::vector<uint8_t> CModbusServer::WriteRegisters(const uint8_t *pdu, size_t size)
{
    const uint8_t function = pdu[0];
    if (size < 5)
        return Exception(function, kIllegalValue);
    const uint16_t address = Be16(pdu + 1);
    if (function == 6) {
        if (size != 5)
            return Exception(function, kIllegalValue);
        if (!InRange(address, 1, kHoldingRegisters))
            return Exception(function, kIllegalAddress);
        m_holding[address] = Be16(pdu + 3);
        return {pdu, pdu + size};
    }
    const uint16_t count = Be16(pdu + 3);
    if (size < 6 || count < 1 || count > 123 || pdu[5] != 2 * count || size != 6u + pdu[5])
        return Exception(function, kIllegalValue);
    if (!InRange(address, count, kHoldingRegisters))
        return Exception(function, kIllegalAddress);
    for (size_t i = 0; i < count; ++i)
        m_holding[address + i] = Be16(pdu + 6 + 2 * i);
    return {pdu, pdu + 5};
}

std::vector<uint8_t> CModbusServer::Identify(const uint8_t *pdu, size_t size)
{
    static const char *const kObjects[] = {"Kestrum", "Demo thermostat", "1.0"};
    constexpr uint8_t kObjectCount = 3;
    if (size < 2 || pdu[1] != 0x0E)
        return Exception(pdu[0], kIllegalFunction);
    if (size != 4 || pdu[2] < 1 || pdu[2] > 4)
        return Exception(pdu[0], kIllegalValue);
    const uint8_t code = pdu[2];
    uint8_t first = pdu[3];
    if (first >= kObjectCount) {
        // Asked for one object by its id, it must exist; a stream restarts at the first object.
        if (code == 4)
            return Exception(pdu[0], kIllegalAddress);
        first = 0;
    }
    const uint8_t last = code == 4 ? first : kObjectCount - 1;
    // Basic objects only, by stream and one by one.
    std::vector<uint8_t> answer{pdu[0], 0x0E, code, 0x81, 0x00, 0x00, uint8_t(last - first + 1)};
    for (uint8_t id = first; id <= last; ++id) {
        const std::string text = kObjects[id];
        answer.push_back(id);
        answer.push_back(uint8_t(text.size()));
        answer.insert(answer.end(), text.begin(), text.end());
    }
    return answer;
}

void CModbusServer::Advance(Clock::time_point now)
{
    const auto behind = now < m_nextSecond ? 0 : (now - m_nextSecond) / std::chrono::seconds(1) + 1;
    m_nextSecond += std::chrono::seconds(behind);
    m_holding[kCounter] = uint16_t(m_holding[kCounter] + behind);
    // The temperature needs no more than an hour of steps to settle wherever it goes.
    for (auto step = std::min<decltype(behind)>(behind, 3600); step > 0; --step) {
        const int16_t current = int16_t(m_holding[kTemperature]);
        const int16_t target = m_coils[0] ? int16_t(m_holding[kSetpoint]) : kRoomTemperature;
        m_wobble = m_wobble * 1103515245u + 12345u;
        const int wobble = int((m_wobble >> 16) % 3) - 1;
        const int pull = std::clamp(target - current, -2, 2);
        m_holding[kTemperature] = uint16_t(int16_t(std::clamp(current + pull + wobble, -32768, 32767)));
    }
    const int16_t temperature = int16_t(m_holding[kTemperature]);
    m_inputs[0] = m_coils[0] && temperature < int16_t(m_holding[kSetpoint]);
    m_inputs[1] = m_holding[kCounter] & 1;
    m_inputRegisters[0] = m_holding[kTemperature];
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - m_started).count();
    m_inputRegisters[1] = uint16_t(seconds >> 16);
    m_inputRegisters[2] = uint16_t(seconds & 0xFFFF);
}

Clock::time_point CModbusServer::AnswerDue() const
{
    const Clock::duration silence = Silence(m_line);
    return std::max(m_lastRx + silence, m_lineFree + silence);
}

void CModbusServer::SendDue(IDemoOutput &out, Clock::time_point now)
{
    while (!m_answers.empty() && now >= AnswerDue()) {
        const std::vector<uint8_t> answer = std::move(m_answers.front());
        m_answers.pop_front();
        out.Write(answer);
        m_lineFree = now + m_line.CharTime() * int(answer.size());
    }
}

Clock::time_point CModbusServer::NextTick() const
{
    Clock::time_point next = m_nextSecond;
    if (!m_rx.empty())
        next = std::min(next, m_lastRx + Silence(m_line));
    if (!m_answers.empty())
        next = std::min(next, AnswerDue());
    return next;
}

void CModbusServer::Tick(IDemoOutput &out, Clock::time_point now)
{
    m_line = out.Line();
    if (!m_rx.empty() && now - m_lastRx >= Silence(m_line))
        Scan(true, m_lastRx);
    Advance(now);
    SendDue(out, now);
}

} // namespace demo
