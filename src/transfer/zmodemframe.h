#pragma once
// ZMODEM on the wire: headers (hex, or binary with a 16- or 32-bit CRC), data subpackets and the
// ZDLE escaping both use. The encoder writes what we send; the decoder takes the peer's bytes as
// they come, in pieces of any size, and says when a header or a subpacket is complete.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zmodem {

constexpr uint8_t ZPAD = '*';
constexpr uint8_t ZDLE = 0x18; // also CAN: five in a row cancel
constexpr uint8_t ZBIN = 'A';
constexpr uint8_t ZHEX = 'B';
constexpr uint8_t ZBIN32 = 'C';

enum EFrame : uint8_t {
    ZRQINIT = 0,
    ZRINIT,
    ZSINIT,
    ZACK,
    ZFILE,
    ZSKIP,
    ZNAK,
    ZABORT,
    ZFIN,
    ZRPOS,
    ZDATA,
    ZEOF,
    ZFERR,
    ZCRC,
    ZCHALLENGE,
    ZCOMPL,
    ZCAN,
    ZFREECNT,
    ZCOMMAND,
    ZSTDERR,
};

// How a subpacket ends: ZCRCG streams on, ZCRCQ asks for a ZACK and streams on, ZCRCW waits for
// the ZACK, ZCRCE ends the frame.
constexpr uint8_t ZCRCE = 'h';
constexpr uint8_t ZCRCG = 'i';
constexpr uint8_t ZCRCQ = 'j';
constexpr uint8_t ZCRCW = 'k';

// ZRINIT's capabilities (ZF0).
constexpr uint8_t CANFDX = 0x01;
constexpr uint8_t CANOVIO = 0x02;
constexpr uint8_t CANFC32 = 0x20;
constexpr uint8_t ESCCTL = 0x40;
// ZSINIT's ZF0: the sender wants every control character escaped.
constexpr uint8_t TESCCTL = 0x40;
// ZFILE's conversion option (ZF0).
constexpr uint8_t ZCBIN = 1;
constexpr uint8_t ZCRESUM = 3;

// The four bytes after the type are a position (ZP0 first, least significant) or flags (ZF0 is
// the last byte, ZF3 the first).
struct ST_Header
{
    uint8_t Type = 0;
    uint8_t Bytes[4] = {};
    bool Crc32 = false; // how it came: its data subpackets carry the same CRC

    uint32_t Position() const
    {
        return Bytes[0] | (uint32_t(Bytes[1]) << 8) | (uint32_t(Bytes[2]) << 16) | (uint32_t(Bytes[3]) << 24);
    }
    uint8_t Flag(int index) const { return Bytes[3 - index]; }
};

ST_Header PositionHeader(uint8_t type, uint32_t position);
ST_Header FlagsHeader(uint8_t type, uint8_t f0, uint8_t f1 = 0, uint8_t f2 = 0, uint8_t f3 = 0);

// A hex digit's value in either case, -1 for any other byte.
int HexValue(uint8_t c);

uint16_t Crc16(uint16_t crc, const uint8_t *data, size_t size);
// Continues `crc` as kept between calls (start with 0xFFFFFFFF; the value sent is its complement).
uint32_t Crc32Update(uint32_t crc, const uint8_t *data, size_t size);

class CEncoder
{
public:
    CEncoder() { SetEscapeAll(false); }
    // Every control character escaped, for lines that eat some of them.
    void SetEscapeAll(bool all);
    bool EscapeAll() const { return m_all; }

    void HexHeader(std::vector<uint8_t> &out, const ST_Header &header);
    void BinaryHeader(std::vector<uint8_t> &out, const ST_Header &header, bool crc32);
    void Subpacket(std::vector<uint8_t> &out, const uint8_t *data, size_t size, uint8_t end, bool crc32);

private:
    void Escaped(std::vector<uint8_t> &out, const uint8_t *data, size_t size);

    enum EEscape : uint8_t { Plain, Always, AfterAt };
    EEscape m_escape[256] = {};
    bool m_all = false;
    uint8_t m_last = 0;
};

class CDecoder
{
public:
    enum class EEvent : uint8_t { None, Header, Data, BadHeader, BadData, Cancel };
    static constexpr size_t kMaxData = 8192;
    CDecoder() { SetIgnoreControls(false); }

    // Takes bytes until an event or their end; returns how many it took. After a Header of a
    // frame that carries data (ZSINIT, ZFILE, ZDATA, ZCOMMAND) it reads subpackets until one ends
    // the frame or is bad; HuntHeader leaves them for the next header.
    size_t Feed(const uint8_t *data, size_t size, EEvent *event);
    void HuntHeader();
    // Unescaped control characters are line noise (we asked for every one escaped).
    void SetIgnoreControls(bool ignore);

    const ST_Header &Header() const { return m_header; }
    // The last subpacket's bytes and how it ended.
    const uint8_t *Data() const { return m_data; }
    size_t DataSize() const { return m_dataSize; }
    uint8_t DataEnd() const { return m_dataEnd; }

private:
    enum class EState : uint8_t { Hunt, Pad, PadDle, Hex, Binary, Data, DataCrc };
    // The byte unescaped: its value, or -1 for nothing yet (a ZDLE, or an ignored control).
    // A ZDLE followed by a subpacket end gives 0x100 + the end; anything else invalid gives -2.
    int Unescape(uint8_t byte);
    EEvent HeaderDone();
    EEvent DataDone();

    EState m_state = EState::Hunt;
    bool m_ignoreControls = false;
    bool m_special[256] = {}; // a subpacket's bytes that need more than a copy
    bool m_escaped = false;
    int m_cans = 0;
    bool m_crc32 = false;
    uint8_t m_raw[10] = {}; // a header's type, four bytes and CRC; a subpacket's CRC
    size_t m_rawCount = 0;
    size_t m_rawWant = 0;
    ST_Header m_header;
    uint8_t m_data[kMaxData];
    size_t m_dataSize = 0;
    uint8_t m_dataEnd = 0;
    bool m_dataPending = false; // the last Data event's subpacket is still in m_data
    // A hex header ends in CR LF, which are not the data behind it: 2 before the CR, 1 before the LF.
    int m_hexTail = 0;
};

} // namespace zmodem
