#include "decode/modbus.h"

#include "data/commdata.h"
#include "demo/modbusframe.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex(const uint8_t *data, size_t size)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", data[i]);
        text += pair;
    }
    return text;
}

const char *FunctionName(uint8_t function)
{
    switch (function) {
    case 1:
        return "read coils";
    case 2:
        return "read discrete inputs";
    case 3:
        return "read holding registers";
    case 4:
        return "read input registers";
    case 5:
        return "write single coil";
    case 6:
        return "write single register";
    case 15:
        return "write multiple coils";
    case 16:
        return "write multiple registers";
    case 22:
        return "mask write register";
    case 23:
        return "read/write multiple registers";
    case 43:
        return "encapsulated interface";
    default:
        return nullptr;
    }
}

const char *DeviceObjectName(uint8_t id)
{
    static const char *const names[] = {"VendorName",  "ProductCode", "MajorMinorRevision", "VendorUrl",
                                        "ProductName", "ModelName",   "UserApplicationName"};
    return id < sizeof names / sizeof names[0] ? names[id] : nullptr;
}

// Reads the data of one frame front to back; a read past the end marks the frame short and gives
// nothing, so every later field is left out rather than made up.
class CReader
{
public:
    CReader(const std::vector<uint8_t> &pdu, ST_Decoded &out) : m_pdu(pdu), m_out(out) {}
    size_t Left() const { return m_pdu.size() - m_at; }
    std::optional<uint8_t> U8()
    {
        if (Left() < 1)
            return Ran();
        return m_pdu[m_at++];
    }
    std::optional<uint16_t> U16()
    {
        if (Left() < 2) {
            m_at = m_pdu.size();
            Ran();
            return std::nullopt;
        }
        const uint16_t v = uint16_t(m_pdu[m_at] << 8 | m_pdu[m_at + 1]);
        m_at += 2;
        return v;
    }
    const uint8_t *Here() const { return m_pdu.data() + m_at; }
    void Skip(size_t n) { m_at += n; }
    // Nothing may follow what the frame says it holds.
    void End()
    {
        if (Left() > 0)
            m_out.Long = true;
    }

private:
    std::nullopt_t Ran()
    {
        m_out.Short = true;
        return std::nullopt;
    }
    const std::vector<uint8_t> &m_pdu;
    ST_Decoded &m_out;
    size_t m_at = 2;
};

// Made for every value of every frame: no formatting by the C library, and the part before the
// number made once per frame.
std::string RegisterPrefix(uint32_t unit, EModbusTable table)
{
    static const char *const kinds[] = {".co", ".di", ".ir", ".hr"};
    static const char prefixes[] = {'0', '1', '3', '4'};
    const int t = static_cast<int>(table);
    return "unit" + std::to_string(unit) + kinds[t] + prefixes[t];
}

void AppendRegisterNumber(std::string &name, uint32_t address)
{
    char digits[24];
    uint64_t number = uint64_t(address) + 1;
    size_t at = sizeof digits;
    do {
        digits[--at] = char('0' + number % 10);
        number /= 10;
    } while (number);
    const size_t width = address + 1 < 10000 ? 4 : 5;
    if (sizeof digits - at < width)
        name.append(width - (sizeof digits - at), '0');
    name.append(digits + at, sizeof digits - at);
}

struct ST_Range
{
    uint16_t Address = 0;
    uint16_t Count = 0;
};

void AddNumber(ST_Decoded &out, const std::string &name, double value)
{
    out.Fields.push_back({name, value, DecodedNumber(value), {}});
}

void Append(std::string &summary, const std::string &more)
{
    if (!summary.empty())
        summary += ' ';
    summary += more;
}

EModbusTable BitTable(uint8_t function)
{
    return function == 2 ? EModbusTable::DiscreteInputs : EModbusTable::Coils;
}

EModbusTable WordTable(uint8_t function)
{
    return function == 4 ? EModbusTable::InputRegisters : EModbusTable::HoldingRegisters;
}

// The address and count a request asked for, read from its data (six bytes at least).
ST_Range AskedRange(const uint8_t *pdu)
{
    return ST_Range{uint16_t(pdu[2] << 8 | pdu[3]), uint16_t(pdu[4] << 8 | pdu[5])};
}

void Bits(CReader &r, ST_Decoded &out, uint32_t unit, EModbusTable table, std::optional<ST_Range> range,
          size_t bytes)
{
    const size_t have = std::min(bytes, r.Left());
    if (have < bytes)
        out.Short = true;
    const size_t bits = range ? std::min<size_t>(range->Count, have * 8) : have * 8;
    if (range && size_t(range->Count) > bytes * 8)
        out.Short = true;
    std::string values;
    values.reserve(bits);
    out.Fields.reserve(out.Fields.size() + bits);
    const std::string prefix = range ? RegisterPrefix(unit, table) : "unit" + std::to_string(unit) + ".bit";
    for (size_t i = 0; i < bits; ++i) {
        const int bit = r.Here()[i / 8] >> (i % 8) & 1;
        values += char('0' + bit);
        std::string name = prefix;
        if (range)
            AppendRegisterNumber(name, range->Address + uint32_t(i));
        else
            name += std::to_string(i);
        out.Fields.push_back({std::move(name), double(bit), bit ? "1" : "0", {}});
    }
    r.Skip(have);
    Append(out.Summary, values.empty() ? "no bits" : values);
}

void Words(CReader &r, ST_Decoded &out, uint32_t unit, EModbusTable table, std::optional<ST_Range> range,
           size_t bytes)
{
    if (bytes % 2)
        out.Malformed = true;
    const size_t have = std::min(bytes, r.Left());
    if (have < bytes)
        out.Short = true;
    if (range && size_t(range->Count) * 2 != bytes)
        (size_t(range->Count) * 2 > bytes ? out.Short : out.Long) = true;
    if (have < 2)
        Append(out.Summary, "no values");
    out.Fields.reserve(out.Fields.size() + have / 2);
    out.Summary.reserve(out.Summary.size() + have / 2 * 14);
    const std::string prefix = range ? RegisterPrefix(unit, table) : "unit" + std::to_string(unit) + ".word";
    for (size_t i = 0; i + 1 < have; i += 2) {
        const uint16_t v = uint16_t(r.Here()[i] << 8 | r.Here()[i + 1]);
        std::string name = prefix;
        if (range)
            AppendRegisterNumber(name, range->Address + uint32_t(i / 2));
        else
            name += std::to_string(i / 2);
        std::string text = std::to_string(v);
        out.Summary.append(" ").append(name, name.find('.') + 1, std::string::npos).append("=").append(text);
        out.Fields.push_back({std::move(name), double(v), std::move(text), {}});
    }
    r.Skip(have);
}

void Ranged(CReader &r, ST_Decoded &out, const char *what, ST_Range *range = nullptr)
{
    const auto address = r.U16();
    const auto count = r.U16();
    if (address)
        AddNumber(out, "address", *address);
    if (count)
        AddNumber(out, what, *count);
    if (address && count) {
        Append(out.Summary, "at " + std::to_string(*address) + " " + what + " " + std::to_string(*count));
        if (range)
            *range = {*address, *count};
    }
}

void DecodeRequest(CReader &r, ST_Decoded &out, uint32_t unit, uint8_t fc)
{
    switch (fc) {
    case 1:
    case 2:
    case 3:
    case 4:
        Ranged(r, out, "quantity");
        break;
    case 5:
    case 6: {
        const auto address = r.U16();
        const auto value = r.U16();
        if (!address || !value)
            break;
        if (fc == 5 && *value != 0xFF00 && *value != 0)
            out.Malformed = true;
        const double v = fc == 5 ? (*value == 0xFF00) : *value;
        AddNumber(out,
                  ModbusRegisterName(unit, fc == 5 ? EModbusTable::Coils : EModbusTable::HoldingRegisters,
                                     *address),
                  v);
        Append(out.Summary, "at " + std::to_string(*address) + " = " + DecodedNumber(v));
        break;
    }
    case 15:
    case 16: {
        ST_Range range;
        Ranged(r, out, "quantity", &range);
        const auto bytes = r.U8();
        if (!bytes)
            break;
        if (fc == 15)
            Bits(r, out, unit, EModbusTable::Coils, range, *bytes);
        else
            Words(r, out, unit, EModbusTable::HoldingRegisters, range, *bytes);
        break;
    }
    case 22: {
        const auto address = r.U16(), andMask = r.U16(), orMask = r.U16();
        if (address)
            AddNumber(out, "address", *address);
        if (andMask)
            AddNumber(out, "and_mask", *andMask);
        if (orMask)
            AddNumber(out, "or_mask", *orMask);
        if (orMask)
            Append(out.Summary, "at " + std::to_string(*address) + " and " + std::to_string(*andMask) +
                                    " or " + std::to_string(*orMask));
        break;
    }
    case 23: {
        Ranged(r, out, "read_quantity");
        ST_Range write;
        const auto address = r.U16(), count = r.U16();
        if (!address || !count)
            break;
        write = {*address, *count};
        AddNumber(out, "write_address", *address);
        AddNumber(out, "write_quantity", *count);
        const auto bytes = r.U8();
        if (bytes)
            Words(r, out, unit, EModbusTable::HoldingRegisters, write, *bytes);
        break;
    }
    case 43: {
        const auto mei = r.U8();
        if (mei && *mei == 14) {
            const auto code = r.U8(), object = r.U8();
            if (code)
                AddNumber(out, "read_code", *code);
            if (object)
                AddNumber(out, "object_id", *object);
            if (object)
                Append(out.Summary, "read device identification code " + std::to_string(*code) +
                                        " from object " + std::to_string(*object));
            break;
        }
        if (mei)
            Append(out.Summary, "MEI type " + std::to_string(*mei));
        [[fallthrough]];
    }
    default:
        if (r.Left())
            Append(out.Summary, "data " + Hex(r.Here(), r.Left()));
        r.Skip(r.Left());
    }
}

void DecodeAnswer(CReader &r, ST_Decoded &out, uint32_t unit, uint8_t fc, std::optional<ST_Range> asked)
{
    switch (fc) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 23: {
        const auto bytes = r.U8();
        if (!bytes)
            break;
        AddNumber(out, "byte_count", *bytes);
        if (fc <= 2)
            Bits(r, out, unit, BitTable(fc), asked, *bytes);
        else
            Words(r, out, unit, WordTable(fc), asked, *bytes);
        break;
    }
    case 5:
    case 6:
    case 22:
        DecodeRequest(r, out, unit, fc);
        break;
    case 15:
    case 16:
        Ranged(r, out, "quantity");
        break;
    case 43: {
        const auto mei = r.U8();
        if (!mei || *mei != 14) {
            if (mei)
                Append(out.Summary, "MEI type " + std::to_string(*mei));
            DecodeRequest(r, out, unit, 0);
            break;
        }
        const auto code = r.U8(), conformity = r.U8(), more = r.U8(), next = r.U8(), objects = r.U8();
        if (!objects)
            break;
        AddNumber(out, "read_code", *code);
        AddNumber(out, "conformity", *conformity);
        AddNumber(out, "more_follows", *more);
        AddNumber(out, "next_object_id", *next);
        Append(out.Summary, "device identification");
        for (unsigned i = 0; i < *objects; ++i) {
            const auto id = r.U8(), length = r.U8();
            if (!length)
                break;
            const size_t have = std::min<size_t>(*length, r.Left());
            if (have < *length)
                out.Short = true;
            const std::string value(reinterpret_cast<const char *>(r.Here()), have);
            r.Skip(have);
            const char *known = DeviceObjectName(*id);
            const std::string name = known ? known : "object" + std::to_string(*id);
            out.Fields.push_back({"unit" + std::to_string(unit) + ".id." + name, std::nullopt, value, {}});
            Append(out.Summary, name + "=\"" + value + "\"");
        }
        break;
    }
    default:
        DecodeRequest(r, out, unit, fc);
    }
}

} // namespace

const char *ModbusExceptionName(uint8_t code)
{
    switch (code) {
    case 1:
        return "Illegal Function";
    case 2:
        return "Illegal Data Address";
    case 3:
        return "Illegal Data Value";
    case 4:
        return "Server Device Failure";
    case 5:
        return "Acknowledge";
    case 6:
        return "Server Device Busy";
    case 8:
        return "Memory Parity Error";
    case 10:
        return "Gateway Path Unavailable";
    case 11:
        return "Gateway Target Device Failed to Respond";
    default:
        return nullptr;
    }
}

std::string ModbusRegisterName(uint32_t unit, EModbusTable table, uint32_t address)
{
    std::string name = RegisterPrefix(unit, table);
    AppendRegisterNumber(name, address);
    return name;
}

CModbusDecoder::CModbusDecoder(bool ascii, std::optional<EFrameDirection> requestSide)
    : m_ascii(ascii), m_requestSide(requestSide)
{
}

std::vector<uint8_t> CModbusDecoder::Unwrap(const ST_Frame &frame, ST_Decoded &out) const
{
    const std::vector<uint8_t> &bytes = frame.Payload();
    std::vector<uint8_t> pdu;
    if (!m_ascii) {
        if (bytes.size() < demo::kModbusMinFrame) {
            // Too short for a CRC: the unit and function are all that can be told.
            out.Short = true;
            return {bytes.begin(), bytes.begin() + long(std::min<size_t>(bytes.size(), 2))};
        }
        return {bytes.begin(), bytes.end() - 2};
    }
    size_t end = bytes.size();
    if (end >= 2 && bytes[end - 2] == '\r' && bytes[end - 1] == '\n')
        end -= 2;
    else
        out.Short = true;
    size_t at = 0;
    if (at < end && bytes[at] == ':')
        ++at;
    else
        out.Malformed = true;
    for (; at + 1 < end; at += 2) {
        const int high = HexValue(static_cast<char>(bytes[at])),
                  low = HexValue(static_cast<char>(bytes[at + 1]));
        if (high < 0 || low < 0) {
            out.Malformed = true;
            break;
        }
        pdu.push_back(uint8_t(high << 4 | low));
    }
    if (at + 1 == end)
        out.Malformed = true;
    // Unit, function and the LRC at least.
    if (pdu.size() < 3) {
        out.Short = true;
        return pdu;
    }
    pdu.pop_back();
    return pdu;
}

EDecodedRole CModbusDecoder::RoleOf(const ST_Frame &frame, const uint8_t *pdu, size_t size,
                                    bool answering) const
{
    if (m_requestSide)
        return frame.Direction == *m_requestSide ? EDecodedRole::Request : EDecodedRole::Answer;
    if (pdu[1] & 0x80 || answering)
        return EDecodedRole::Answer;
    // Lengths as the RTU form counts them: the data and a CRC's two bytes.
    std::vector<uint8_t> rtu(pdu, pdu + size);
    rtu.resize(size + 2);
    const long length = long(size + 2);
    const bool asRequest = demo::ModbusRequestLength(rtu.data(), rtu.size()) == length;
    const bool asAnswer = demo::ModbusResponseLength(rtu.data(), rtu.size()) == length;
    return asAnswer && !asRequest ? EDecodedRole::Answer : EDecodedRole::Request;
}

ST_Decoded CModbusDecoder::Pairing(const ST_Frame &frame, const ST_Frame *request) const
{
    ST_Decoded out;
    out.Check = frame.Check;
    // The RTU form's data is the frame less its CRC, read where it lies; ASCII's is unwrapped.
    std::vector<uint8_t> unwrapped;
    const std::vector<uint8_t> &bytes = frame.Payload();
    const uint8_t *pdu = bytes.data();
    size_t size = bytes.size() < demo::kModbusMinFrame ? std::min<size_t>(bytes.size(), 2) : bytes.size() - 2;
    if (m_ascii) {
        unwrapped = Unwrap(frame, out);
        pdu = unwrapped.data();
        size = unwrapped.size();
    }
    if (size == 0)
        return out;
    out.Unit = pdu[0];
    if (size < 2)
        return out;
    out.Function = pdu[1] & 0x7F;
    out.Role = RoleOf(frame, pdu, size, request != nullptr);
    if (pdu[1] & 0x80 && size > 2)
        out.Exception = pdu[2];
    return out;
}

ST_Decoded CModbusDecoder::Decode(const ST_Frame &frame, const ST_Frame *request) const
{
    ST_Decoded out;
    out.Check = frame.Check;
    out.Summary.reserve(64);
    const std::vector<uint8_t> pdu = Unwrap(frame, out);
    if (pdu.empty()) {
        out.Short = true;
        out.Summary = "empty frame";
        return out;
    }
    const uint32_t unit = pdu[0];
    out.Unit = unit;
    out.Summary = "unit " + std::to_string(unit);
    if (pdu.size() < 2) {
        out.Short = true;
        return out;
    }
    const uint8_t code = pdu[1];
    const uint8_t fc = code & 0x7F;
    out.Function = fc;

    out.Role = RoleOf(frame, pdu.data(), pdu.size(), request != nullptr);
    const bool answer = out.Role == EDecodedRole::Answer;

    const char *name = FunctionName(fc);
    Append(out.Summary, name ? name : "function " + std::to_string(fc));
    Append(out.Summary, answer ? "answer:" : "request:");
    CReader r(pdu, out);
    if (code & 0x80) {
        if (!answer)
            out.Malformed = true;
        const auto exception = r.U8();
        if (exception) {
            out.Exception = *exception;
            const char *why = ModbusExceptionName(*exception);
            out.Fields.push_back(
                {"exception", double(*exception), why ? why : "exception " + std::to_string(*exception), {}});
            Append(out.Summary, std::string("exception ") + std::to_string(*exception) + (why ? " " : "") +
                                    (why ? why : ""));
        }
    } else if (answer) {
        std::optional<ST_Range> asked;
        if (request && !m_ascii) {
            // The request's data where it lies: the RTU form needs no unwrapping.
            const std::vector<uint8_t> &asking = request->Payload();
            if (asking.size() >= 6 + 2 && asking[0] == pdu[0] && asking[1] == code)
                asked = AskedRange(asking.data());
        } else if (request) {
            ST_Decoded ignored;
            const std::vector<uint8_t> asking = Unwrap(*request, ignored);
            if (asking.size() >= 6 && asking[0] == pdu[0] && asking[1] == code)
                asked = AskedRange(asking.data());
        }
        DecodeAnswer(r, out, unit, fc, asked);
    } else {
        DecodeRequest(r, out, unit, fc);
    }
    r.End();
    return out;
}
