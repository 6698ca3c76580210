#include "transfer/zmodemframe.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zmodem {

namespace {

constexpr uint8_t XON = 0x11;
constexpr uint8_t XOFF = 0x13;
constexpr uint8_t ZRUB0 = 'l'; // 0x7F escaped
constexpr uint8_t ZRUB1 = 'm'; // 0xFF escaped

constexpr std::array<uint16_t, 256> MakeCrc16Table()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}

// Eight tables: the CRC takes eight bytes a step (slicing by eight).
using Crc32Tables = std::array<std::array<uint32_t, 256>, 8>;
constexpr Crc32Tables MakeCrc32Tables()
{
    Crc32Tables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][i] = crc;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr std::array<uint16_t, 256> kCrc16 = MakeCrc16Table();
constexpr Crc32Tables kCrc32 = MakeCrc32Tables();

bool FlowControl(uint8_t byte)
{
    return (byte & 0x7F) == XON || (byte & 0x7F) == XOFF;
}

bool CarriesData(uint8_t type)
{
    return type == ZSINIT || type == ZFILE || type == ZDATA || type == ZCOMMAND;
}

} // namespace

int HexValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

ST_Header PositionHeader(uint8_t type, uint32_t position)
{
    ST_Header header;
    header.Type = type;
    for (int i = 0; i < 4; ++i)
        header.Bytes[i] = static_cast<uint8_t>(position >> (8 * i));
    return header;
}

ST_Header FlagsHeader(uint8_t type, uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3)
{
    ST_Header header;
    header.Type = type;
    header.Bytes[0] = f3;
    header.Bytes[1] = f2;
    header.Bytes[2] = f1;
    header.Bytes[3] = f0;
    return header;
}

uint16_t Crc16(uint16_t crc, const uint8_t *data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kCrc16[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

uint32_t Crc32Update(uint32_t crc, const uint8_t *data, size_t size)
{
    const auto &t = kCrc32;
    for (; size >= 8; data += 8, size -= 8) {
        const uint32_t one = crc ^ (data[0] | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) |
                                    (uint32_t(data[3]) << 24));
        const uint32_t two =
            data[4] | (uint32_t(data[5]) << 8) | (uint32_t(data[6]) << 16) | (uint32_t(data[7]) << 24);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
              t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    for (size_t i = 0; i < size; ++i)
        crc = (crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF];
    return crc;
}

// ---- Encoder ----

void CEncoder::SetEscapeAll(bool all)
{
    m_all = all;
    for (int c = 0; c < 256; ++c)
        m_escape[c] = all && (c & 0x60) == 0 ? Always : Plain;
    for (const uint8_t c : {ZDLE, uint8_t(0x10), XON, XOFF, uint8_t(0x90), uint8_t(0x91), uint8_t(0x93)})
        m_escape[c] = Always;
    // Telnet and modems take "@ CR" as a command.
    for (const uint8_t c : {uint8_t(0x0D), uint8_t(0x8D)})
        if (m_escape[c] == Plain)
            m_escape[c] = AfterAt;
}

void CEncoder::Escaped(std::vector<uint8_t> &out, const uint8_t *data, size_t size)
{
    const size_t at = out.size();
    out.resize(at + 2 * size);
    uint8_t *p = out.data() + at;
    uint8_t last = m_last;
    for (size_t i = 0; i < size; ++i) {
        // A run of bytes that go as they are.
        size_t run = i;
        while (run < size && m_escape[data[run]] == Plain)
            ++run;
        if (run > i) {
            std::memcpy(p, data + i, run - i);
            p += run - i;
            last = data[run - 1];
            i = run;
            if (i == size)
                break;
        }
        const uint8_t c = data[i];
        const EEscape how = m_escape[c];
        if (how == Plain || (how == AfterAt && (last & 0x7F) != '@')) {
            *p++ = c;
            last = c;
        } else {
            *p++ = ZDLE;
            *p++ = last = static_cast<uint8_t>(c ^ 0x40);
        }
    }
    m_last = last;
    out.resize(static_cast<size_t>(p - out.data()));
}

void CEncoder::HexHeader(std::vector<uint8_t> &out, const ST_Header &header)
{
    static const char digits[] = "0123456789abcdef";
    uint8_t raw[7] = {header.Type, header.Bytes[0], header.Bytes[1], header.Bytes[2], header.Bytes[3]};
    const uint16_t crc = Crc16(0, raw, 5);
    raw[5] = static_cast<uint8_t>(crc >> 8);
    raw[6] = static_cast<uint8_t>(crc);
    out.insert(out.end(), {ZPAD, ZPAD, ZDLE, ZHEX});
    for (const uint8_t byte : raw) {
        out.push_back(static_cast<uint8_t>(digits[byte >> 4]));
        out.push_back(static_cast<uint8_t>(digits[byte & 15]));
    }
    out.push_back('\r');
    out.push_back(0x8A);
    m_last = 0x8A;
    // The XON restarts a line that an XOFF in the noise stopped; not after the last words.
    if (header.Type != ZFIN && header.Type != ZACK) {
        out.push_back(XON);
        m_last = XON;
    }
}

void CEncoder::BinaryHeader(std::vector<uint8_t> &out, const ST_Header &header, bool crc32)
{
    const uint8_t raw[5] = {header.Type, header.Bytes[0], header.Bytes[1], header.Bytes[2], header.Bytes[3]};
    out.insert(out.end(), {ZPAD, ZDLE, crc32 ? ZBIN32 : ZBIN});
    m_last = crc32 ? ZBIN32 : ZBIN;
    Escaped(out, raw, 5);
    if (crc32) {
        const uint32_t crc = ~Crc32Update(0xFFFFFFFFu, raw, 5);
        const uint8_t sum[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
        Escaped(out, sum, 4);
    } else {
        const uint16_t crc = Crc16(0, raw, 5);
        const uint8_t sum[2] = {uint8_t(crc >> 8), uint8_t(crc)};
        Escaped(out, sum, 2);
    }
}

void CEncoder::Subpacket(std::vector<uint8_t> &out, const uint8_t *data, size_t size, uint8_t end, bool crc32)
{
    Escaped(out, data, size);
    out.push_back(ZDLE);
    out.push_back(end);
    m_last = end;
    if (crc32) {
        const uint32_t crc = ~Crc32Update(Crc32Update(0xFFFFFFFFu, data, size), &end, 1);
        const uint8_t sum[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
        Escaped(out, sum, 4);
    } else {
        const uint16_t crc = Crc16(Crc16(0, data, size), &end, 1);
        const uint8_t sum[2] = {uint8_t(crc >> 8), uint8_t(crc)};
        Escaped(out, sum, 2);
    }
}

// ---- Decoder ----

void CDecoder::SetIgnoreControls(bool ignore)
{
    m_ignoreControls = ignore;
    for (int c = 0; c < 256; ++c)
        m_special[c] = c == ZDLE || FlowControl(static_cast<uint8_t>(c)) || (ignore && (c & 0x60) == 0);
}

void CDecoder::HuntHeader()
{
    m_state = EState::Hunt;
    m_escaped = false;
}

int CDecoder::Unescape(uint8_t byte)
{
    if (m_escaped) {
        m_escaped = false;
        if (byte >= ZCRCE && byte <= ZCRCW)
            return 0x100 + byte;
        if (byte == ZRUB0)
            return 0x7F;
        if (byte == ZRUB1)
            return 0xFF;
        if ((byte & 0x60) == 0x40)
            return byte ^ 0x40;
        return -2;
    }
    if (byte == ZDLE) {
        m_escaped = true;
        return -1;
    }
    if (FlowControl(byte) || (m_ignoreControls && (byte & 0x60) == 0))
        return -1;
    return byte;
}

CDecoder::EEvent CDecoder::HeaderDone()
{
    bool good = false;
    if (m_crc32) {
        const uint32_t crc = ~Crc32Update(0xFFFFFFFFu, m_raw, 5);
        good = crc == (m_raw[5] | (uint32_t(m_raw[6]) << 8) | (uint32_t(m_raw[7]) << 16) |
                       (uint32_t(m_raw[8]) << 24));
    } else {
        good = Crc16(0, m_raw, 5) == ((m_raw[5] << 8) | m_raw[6]);
    }
    m_state = EState::Hunt;
    if (!good)
        return EEvent::BadHeader;
    m_header.Type = m_raw[0];
    for (int i = 0; i < 4; ++i)
        m_header.Bytes[i] = m_raw[1 + i];
    m_header.Crc32 = m_crc32;
    if (CarriesData(m_header.Type)) {
        m_state = EState::Data;
        m_dataSize = 0;
        m_escaped = false;
        m_hexTail = m_rawWant == 14 ? 2 : 0; // it came in hex
    }
    return EEvent::Header;
}

CDecoder::EEvent CDecoder::DataDone()
{
    bool good = false;
    if (m_crc32) {
        const uint32_t crc = ~Crc32Update(Crc32Update(0xFFFFFFFFu, m_data, m_dataSize), &m_dataEnd, 1);
        good = crc == (m_raw[0] | (uint32_t(m_raw[1]) << 8) | (uint32_t(m_raw[2]) << 16) |
                       (uint32_t(m_raw[3]) << 24));
    } else {
        const uint16_t crc = Crc16(Crc16(0, m_data, m_dataSize), &m_dataEnd, 1);
        good = crc == ((m_raw[0] << 8) | m_raw[1]);
    }
    if (!good) {
        HuntHeader();
        return EEvent::BadData;
    }
    m_state = m_dataEnd == ZCRCG || m_dataEnd == ZCRCQ ? EState::Data : EState::Hunt;
    m_dataPending = true;
    return EEvent::Data;
}

size_t CDecoder::Feed(const uint8_t *data, size_t size, EEvent *event)
{
    *event = EEvent::None;
    if (m_dataPending) {
        m_dataPending = false;
        m_dataSize = 0;
    }
    size_t i = 0;
    while (i < size) {
        if (m_state == EState::Data && m_hexTail == 0 && !m_escaped) {
            // A run of bytes that are taken as they are.
            const size_t end = i + std::min(size - i, kMaxData - m_dataSize);
            size_t j = i;
            while (j < end && !m_special[data[j]])
                ++j;
            if (j > i) {
                std::memcpy(m_data + m_dataSize, data + i, j - i);
                m_dataSize += j - i;
                m_cans = 0;
                i = j;
                continue;
            }
        }
        const uint8_t byte = data[i++];
        if (byte != ZDLE) {
            m_cans = 0;
        } else if (++m_cans == 5) {
            m_cans = 0;
            HuntHeader();
            *event = EEvent::Cancel;
            return i;
        }
        switch (m_state) {
        case EState::Hunt:
            if ((byte & 0x7F) == ZPAD)
                m_state = EState::Pad;
            break;
        case EState::Pad:
            if (byte == ZDLE)
                m_state = EState::PadDle;
            else if ((byte & 0x7F) != ZPAD && !FlowControl(byte))
                m_state = EState::Hunt;
            break;
        case EState::PadDle:
            m_rawCount = 0;
            m_escaped = false;
            if (byte == ZHEX) {
                m_state = EState::Hex;
                m_crc32 = false;
                m_rawWant = 14; // hex digits
            } else if (byte == ZBIN || byte == ZBIN32) {
                m_state = EState::Binary;
                m_crc32 = byte == ZBIN32;
                m_rawWant = m_crc32 ? 9 : 7;
            } else {
                m_state = (byte & 0x7F) == ZPAD ? EState::Pad : EState::Hunt;
            }
            break;
        case EState::Hex: {
            const uint8_t c = byte & 0x7F;
            if (FlowControl(c))
                break;
            const int value = HexValue(c);
            if (value < 0) {
                m_state = c == ZPAD ? EState::Pad : EState::Hunt;
                *event = EEvent::BadHeader;
                return i;
            }
            const size_t at = m_rawCount / 2;
            m_raw[at] = static_cast<uint8_t>(m_rawCount % 2 == 0 ? value << 4 : m_raw[at] | value);
            if (++m_rawCount == m_rawWant) {
                *event = HeaderDone();
                return i;
            }
            break;
        }
        case EState::Binary: {
            const int value = Unescape(byte);
            if (value == -1)
                break;
            if (value < 0 || value > 0xFF) {
                HuntHeader();
                *event = EEvent::BadHeader;
                return i;
            }
            m_raw[m_rawCount++] = static_cast<uint8_t>(value);
            if (m_rawCount == m_rawWant) {
                *event = HeaderDone();
                return i;
            }
            break;
        }
        case EState::Data: {
            if (m_hexTail == 2 && (byte & 0x7F) == '\r') {
                m_hexTail = 1;
                break;
            }
            if (m_hexTail == 1 && (byte & 0x7F) == '\n') {
                m_hexTail = 0;
                break;
            }
            m_hexTail = 0;
            const int value = Unescape(byte);
            if (value == -1)
                break;
            if (value > 0xFF) {
                m_dataEnd = static_cast<uint8_t>(value - 0x100);
                m_state = EState::DataCrc;
                m_rawCount = 0;
                m_rawWant = m_crc32 ? 4 : 2;
                break;
            }
            if (value < 0 || m_dataSize == kMaxData) {
                HuntHeader();
                *event = EEvent::BadData;
                return i;
            }
            m_data[m_dataSize++] = static_cast<uint8_t>(value);
            break;
        }
        case EState::DataCrc: {
            const int value = Unescape(byte);
            if (value == -1)
                break;
            if (value < 0 || value > 0xFF) {
                HuntHeader();
                *event = EEvent::BadData;
                return i;
            }
            m_raw[m_rawCount++] = static_cast<uint8_t>(value);
            if (m_rawCount == m_rawWant) {
                *event = DataDone();
                return i;
            }
            break;
        }
        }
    }
    return i;
}

} // namespace zmodem
