#include "log/pcapng.h"

#include "log/gzipfile.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterface = 1;
constexpr uint32_t kSimplePacket = 3;
constexpr uint32_t kEnhancedPacket = 6;
constexpr uint32_t kByteOrder = 0x1A2B3C4D;

// Option codes.
constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kOptUserApplication = 4; // section header
constexpr uint16_t kOptIfName = 2;
constexpr uint16_t kOptIfDescription = 3;
constexpr uint16_t kOptIfTsresol = 9;
constexpr uint16_t kOptEpbFlags = 2;

// Exported PDU tags (big-endian, each padded to four bytes).
constexpr uint16_t kTagEnd = 0;
constexpr uint16_t kTagProtoName = 12;
constexpr uint16_t kTagPortType = 24;
constexpr uint16_t kTagSrcPort = 25;
constexpr uint16_t kTagDstPort = 26;
constexpr uint32_t kPortTypeTcp = 2;
// Any port but the RTU dissector's own (0 unless the user set one) stands for the master's.
constexpr uint32_t kMasterPort = 1;

// A block or PDU larger than this is taken for damage, not data: no serial frame comes near it.
constexpr uint32_t kMostBlock = 16u << 20;

void Put16(std::string &out, uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string &out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}
void Store32(uint8_t *at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}
void Pad(std::string &out)
{
    out.append((4 - out.size() % 4) % 4, '\0');
}
void PutOption(std::string &out, uint16_t code, const void *value, size_t length)
{
    Put16(out, code);
    Put16(out, static_cast<uint16_t>(length));
    out.append(static_cast<const char *>(value), length);
    Pad(out);
}
void PutText(std::string &out, uint16_t code, const std::string &text)
{
    if (!text.empty())
        PutOption(out, code, text.data(), std::min<size_t>(text.size(), 0xFFFC));
}
// The analyser reads a tag's length with its padding counted (a name is padded with NULs).
void PutTagBE(std::string &out, uint16_t tag, const void *value, size_t length)
{
    const size_t padded = (length + 3) / 4 * 4;
    const uint8_t head[4] = {static_cast<uint8_t>(tag >> 8), static_cast<uint8_t>(tag),
                             static_cast<uint8_t>(padded >> 8), static_cast<uint8_t>(padded)};
    out.append(reinterpret_cast<const char *>(head), 4);
    out.append(static_cast<const char *>(value), length);
    Pad(out);
}
void PutTag32BE(std::string &out, uint16_t tag, uint32_t v)
{
    const uint8_t value[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    PutTagBE(out, tag, value, 4);
}
// Begins a block at the end of `out`; Close fills in its length.
size_t Open(std::string &out, uint32_t type)
{
    const size_t at = out.size();
    Put32(out, type);
    Put32(out, 0);
    return at;
}
void Close(std::string &out, size_t at)
{
    const uint32_t length = static_cast<uint32_t>(out.size() - at + 4);
    Put32(out, length);
    for (int i = 0; i < 4; ++i)
        out[at + 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

class CCursor
{
public:
    CCursor(const uint8_t *data, size_t size, bool swap) : m_data(data), m_size(size), m_swap(swap) {}
    size_t Left() const { return m_size - m_at; }
    size_t At() const { return m_at; }
    const uint8_t *Here() const { return m_data + m_at; }
    void Skip(size_t n) { m_at += n; }
    uint16_t U16()
    {
        const uint8_t *p = m_data + m_at;
        m_at += 2;
        return m_swap ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
    }
    uint32_t U32()
    {
        const uint8_t *p = m_data + m_at;
        m_at += 4;
        return m_swap ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                      : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    bool m_swap;
    size_t m_at = 0;
};

[[noreturn]] void Bad(size_t offset, const std::string &what)
{
    throw EPcapngError("Not a readable pcapng capture at byte " + std::to_string(offset) + ": " + what);
}

struct ST_Option
{
    uint16_t Code;
    const uint8_t *Value;
    uint16_t Length;
};

// The options from the cursor to the block's end (`left` bytes).
std::vector<ST_Option> Options(CCursor cursor, size_t left, size_t base)
{
    std::vector<ST_Option> options;
    const size_t end = cursor.At() + left;
    while (end - cursor.At() >= 4) {
        const uint16_t code = cursor.U16();
        const uint16_t length = cursor.U16();
        if (code == kOptEnd)
            break;
        const size_t padded = (size_t{length} + 3) / 4 * 4;
        if (padded > end - cursor.At())
            Bad(base + cursor.At(), "an option runs past its block");
        options.push_back({code, cursor.Here(), length});
        cursor.Skip(padded);
    }
    return options;
}

std::string Text(const ST_Option &option)
{
    return std::string(reinterpret_cast<const char *>(option.Value), option.Length);
}

struct ST_Section
{
    bool Swap = false;
    size_t FirstInterface = 0;
    std::vector<int64_t> UnitsPerSecond; // each interface's
};

int64_t UnitsOf(const ST_Option &option, size_t offset)
{
    if (option.Length < 1)
        Bad(offset, "an empty time resolution");
    const uint8_t v = option.Value[0];
    const unsigned exponent = v & 0x7F;
    if ((v & 0x80) ? exponent > 62 : exponent > 18)
        Bad(offset, "a time resolution beyond a nanosecond's");
    int64_t units = 1;
    for (unsigned i = 0; i < exponent; ++i)
        units *= (v & 0x80) ? 2 : 10;
    return units;
}

int64_t Micros(uint64_t stamp, int64_t unitsPerSecond, size_t offset)
{
    const uint64_t units = static_cast<uint64_t>(unitsPerSecond);
    const uint64_t seconds = stamp / units;
    const uint64_t rest = stamp % units;
    if (seconds > static_cast<uint64_t>(INT64_MAX / 1000000 - 1))
        Bad(offset, "a time beyond any clock's");
    return static_cast<int64_t>(seconds * 1000000 + rest * 1000000 / units);
}

// The payload of an exported PDU after its tags, and the dissector they name.
void TakeExportedPdu(const uint8_t *data, size_t size, size_t offset, ST_PcapngRecord &record)
{
    size_t at = 0;
    for (;;) {
        if (size - at < 4)
            Bad(offset + at, "exported PDU tags without their end");
        const uint16_t tag = static_cast<uint16_t>(data[at] << 8 | data[at + 1]);
        const uint16_t length = static_cast<uint16_t>(data[at + 2] << 8 | data[at + 3]);
        at += 4;
        if (tag == kTagEnd)
            break;
        const size_t padded = (size_t{length} + 3) / 4 * 4;
        if (padded > size - at)
            Bad(offset + at, "an exported PDU tag runs past its packet");
        if (tag == kTagProtoName)
            record.Protocol.assign(reinterpret_cast<const char *>(data + at),
                                   strnlen(reinterpret_cast<const char *>(data + at), length));
        at += padded;
    }
    record.Bytes.assign(data + at, data + size);
}

constexpr size_t kSerialEventHeader = 12;

void TakeSerialEvent(const uint8_t *data, size_t size, size_t offset, ST_PcapngRecord &record)
{
    if (size < kSerialEventHeader)
        Bad(offset, "a serial-line event without its header");
    record.SerialEvent = true;
    record.Kind = static_cast<ESerialEvent>(data[8]);
    record.Lines = data[9];
    record.Bytes.assign(data + kSerialEventHeader, data + size);
}

} // namespace

std::string PcapngHeader(const std::vector<ST_PcapngInterface> &interfaces)
{
    std::string out;
    const size_t shb = Open(out, kSectionHeader);
    Put32(out, kByteOrder);
    Put16(out, 1);
    Put16(out, 0);
    Put32(out, 0xFFFFFFFF); // the section's length is not known
    Put32(out, 0xFFFFFFFF);
    PutText(out, kOptUserApplication, "Kestrum");
    PutOption(out, kOptEnd, nullptr, 0);
    Close(out, shb);
    for (const ST_PcapngInterface &interface : interfaces) {
        const size_t idb = Open(out, kInterface);
        // Only the two kinds this writer makes: packets of any other link type are written as
        // exported PDUs.
        Put16(out, interface.LinkType == kPcapngSerialEvents ? kPcapngSerialEvents : kPcapngExportedPdu);
        Put16(out, 0);
        Put32(out, 0); // no snapshot limit
        PutText(out, kOptIfName, interface.Name);
        PutText(out, kOptIfDescription, interface.Description);
        const uint8_t micros = 6;
        PutOption(out, kOptIfTsresol, &micros, 1);
        PutOption(out, kOptEnd, nullptr, 0);
        Close(out, idb);
    }
    return out;
}

// The exported PDU's tags before the payload: the same for every packet of a kind.
const std::string &TagsOf(EPcapngPayload payload)
{
    static const std::array<std::string, 3> tags = [] {
        std::array<std::string, 3> made;
        for (int kind = 0; kind < 3; ++kind) {
            std::string &t = made[static_cast<size_t>(kind)];
            const bool rtu = kind != static_cast<int>(EPcapngPayload::Data);
            const std::string proto = rtu ? "mbrtu" : "data";
            PutTagBE(t, kTagProtoName, proto.data(), proto.size());
            if (rtu) {
                const bool query = kind == static_cast<int>(EPcapngPayload::ModbusRtuQuery);
                PutTag32BE(t, kTagPortType, kPortTypeTcp);
                PutTag32BE(t, kTagSrcPort, query ? kMasterPort : 0);
                PutTag32BE(t, kTagDstPort, query ? 0 : kMasterPort);
            }
            PutTagBE(t, kTagEnd, nullptr, 0);
        }
        return made;
    }();
    return tags[static_cast<size_t>(payload)];
}

size_t PcapngPacketSize(const ST_PcapngPacket &packet)
{
    const size_t captured = TagsOf(packet.Payload).size() + std::min<size_t>(packet.Length, kMostBlock);
    const size_t comment = std::min<size_t>(packet.Comment.size(), 0xFFFC);
    const bool flags = packet.Direction != EPcapngDirection::Unknown;
    return 28 + (captured + 3) / 4 * 4 + (flags ? 8 : 0) + (comment ? 4 + (comment + 3) / 4 * 4 : 0) +
           (flags || comment ? 4 : 0) + 4;
}

void PutPcapngPacket(char *out, const ST_PcapngPacket &packet)
{
    const std::string &tags = TagsOf(packet.Payload);
    const size_t length = std::min<size_t>(packet.Length, kMostBlock);
    const uint32_t captured = static_cast<uint32_t>(tags.size() + length);
    const size_t comment = std::min<size_t>(packet.Comment.size(), 0xFFFC);
    const bool flags = packet.Direction != EPcapngDirection::Unknown;
    const uint32_t total = static_cast<uint32_t>(PcapngPacketSize(packet));
    const uint64_t stamp = static_cast<uint64_t>(std::max<int64_t>(0, packet.WallMicros));
    uint8_t *at = reinterpret_cast<uint8_t *>(out);
    const uint32_t fields[7] = {kEnhancedPacket,
                                total,
                                packet.Interface,
                                static_cast<uint32_t>(stamp >> 32),
                                static_cast<uint32_t>(stamp),
                                captured,
                                captured};
    for (const uint32_t field : fields) {
        Store32(at, field);
        at += 4;
    }
    std::memcpy(at, tags.data(), tags.size());
    at += tags.size();
    if (length > 0)
        std::memcpy(at, packet.Bytes, length);
    at += length;
    const size_t pad = (4 - captured % 4) % 4;
    std::memset(at, 0, pad);
    at += pad;
    if (flags) {
        // The direction's flags option.
        const uint8_t option[8] = {kOptEpbFlags, 0, 4, 0, static_cast<uint8_t>(packet.Direction), 0, 0, 0};
        std::memcpy(at, option, sizeof option);
        at += sizeof option;
    }
    if (comment) {
        Store32(at, kOptComment | static_cast<uint32_t>(comment) << 16);
        std::memcpy(at + 4, packet.Comment.data(), comment);
        const size_t padded = (comment + 3) / 4 * 4;
        std::memset(at + 4 + comment, 0, padded - comment);
        at += 4 + padded;
    }
    if (flags || comment) {
        Store32(at, kOptEnd);
        at += 4;
    }
    Store32(at, total);
}

void AppendPcapngPacket(std::string &out, const ST_PcapngPacket &packet)
{
    const size_t at = out.size();
    out.resize(at + PcapngPacketSize(packet));
    PutPcapngPacket(&out[at], packet);
}

void AppendPcapngSerialEvent(std::string &out, const ST_PcapngSerialEvent &event)
{
    const uint64_t stamp = static_cast<uint64_t>(std::max<int64_t>(0, event.WallMicros));
    const size_t comment = std::min<size_t>(event.Comment.size(), 0xFFFC);
    const uint32_t total =
        static_cast<uint32_t>(28 + kSerialEventHeader + (comment ? 4 + (comment + 3) / 4 * 4 + 4 : 0) + 4);
    const uint32_t head[7] = {kEnhancedPacket,
                              total,
                              event.Interface,
                              static_cast<uint32_t>(stamp >> 32),
                              static_cast<uint32_t>(stamp),
                              kSerialEventHeader,
                              kSerialEventHeader};
    for (const uint32_t v : head)
        Put32(out, v);
    // The header's own time, big-endian seconds and microseconds, is the one the analyser shows.
    const uint32_t seconds = static_cast<uint32_t>(stamp / 1000000);
    const uint32_t micros = static_cast<uint32_t>(stamp % 1000000);
    const uint8_t header[kSerialEventHeader] = {static_cast<uint8_t>(seconds >> 24),
                                                static_cast<uint8_t>(seconds >> 16),
                                                static_cast<uint8_t>(seconds >> 8),
                                                static_cast<uint8_t>(seconds),
                                                static_cast<uint8_t>(micros >> 24),
                                                static_cast<uint8_t>(micros >> 16),
                                                static_cast<uint8_t>(micros >> 8),
                                                static_cast<uint8_t>(micros),
                                                static_cast<uint8_t>(event.Kind),
                                                event.Lines,
                                                0,
                                                0};
    out.append(reinterpret_cast<const char *>(header), sizeof header);
    if (comment) {
        PutText(out, kOptComment, event.Comment);
        PutOption(out, kOptEnd, nullptr, 0);
    }
    Put32(out, total);
}

ST_PcapngContent ParsePcapng(const uint8_t *data, size_t size)
{
    ST_PcapngContent content;
    ST_Section section;
    bool inSection = false;
    size_t at = 0;
    while (at < size) {
        if (size - at < 12)
            Bad(at, "a block cut short");
        uint32_t type = 0;
        std::memcpy(&type, data + at, 4);
        if (type == kSectionHeader) {
            if (size - at < 28)
                Bad(at, "a section header cut short");
            uint32_t order = 0;
            std::memcpy(&order, data + at + 8, 4);
            if (order == kByteOrder)
                section.Swap = false;
            else if (order == __builtin_bswap32(kByteOrder))
                section.Swap = true;
            else
                Bad(at, "no byte-order mark in the section header");
            section.FirstInterface = content.Interfaces.size();
            section.UnitsPerSecond.clear();
            inSection = true;
        } else if (!inSection) {
            Bad(at, "no section header first");
        }
        CCursor head(data + at, size - at, section.Swap);
        type = head.U32();
        const uint32_t length = head.U32();
        if (length < 12 || length % 4 != 0 || length > size - at || length > kMostBlock)
            Bad(at, "a block length of " + std::to_string(length));
        CCursor trailer(data + at + length - 4, 4, section.Swap);
        if (trailer.U32() != length)
            Bad(at, "a block whose two lengths differ");
        CCursor body(data + at + 8, length - 12, section.Swap);
        const size_t bodyAt = at + 8;
        if (type == kSectionHeader) {
            const uint16_t major = (body.Skip(4), body.U16());
            if (major != 1)
                Bad(at, "section version " + std::to_string(major));
        } else if (type == kInterface) {
            if (body.Left() < 8)
                Bad(at, "an interface block cut short");
            ST_PcapngInterface interface;
            interface.LinkType = body.U16();
            body.Skip(6);
            int64_t units = 1000000;
            for (const ST_Option &option : Options(body, body.Left(), bodyAt)) {
                if (option.Code == kOptIfName)
                    interface.Name = Text(option);
                else if (option.Code == kOptIfDescription)
                    interface.Description = Text(option);
                else if (option.Code == kOptIfTsresol)
                    units = UnitsOf(option, bodyAt);
            }
            content.Interfaces.push_back(std::move(interface));
            section.UnitsPerSecond.push_back(units);
        } else if (type == kEnhancedPacket || type == kSimplePacket) {
            ST_PcapngRecord record;
            uint32_t local = 0;
            uint32_t captured = 0;
            if (type == kEnhancedPacket) {
                if (body.Left() < 20)
                    Bad(at, "a packet block cut short");
                local = body.U32();
                const uint64_t high = body.U32();
                const uint64_t low = body.U32();
                captured = body.U32();
                body.Skip(4);
                if (local >= section.UnitsPerSecond.size())
                    Bad(at, "a packet of interface " + std::to_string(local) + ", which has none");
                record.WallMicros = Micros(high << 32 | low, section.UnitsPerSecond[local], at);
            } else {
                if (body.Left() < 4 || section.UnitsPerSecond.empty())
                    Bad(at, "a simple packet without its interface");
                captured = std::min<uint32_t>(body.U32(), static_cast<uint32_t>(body.Left()));
            }
            const size_t padded = (size_t{captured} + 3) / 4 * 4;
            if (padded > body.Left())
                Bad(at, "a packet longer than its block");
            record.Interface = static_cast<uint32_t>(section.FirstInterface + local);
            const uint8_t *payload = body.Here();
            const uint16_t linkType = content.Interfaces[record.Interface].LinkType;
            if (linkType == kPcapngExportedPdu)
                TakeExportedPdu(payload, captured, bodyAt + body.At(), record);
            else if (linkType == kPcapngSerialEvents)
                TakeSerialEvent(payload, captured, bodyAt + body.At(), record);
            else
                record.Bytes.assign(payload, payload + captured);
            body.Skip(padded);
            if (type == kEnhancedPacket) {
                for (const ST_Option &option : Options(body, body.Left(), bodyAt)) {
                    if (option.Code == kOptComment)
                        record.Comment = Text(option);
                    else if (option.Code == kOptEpbFlags && option.Length == 4) {
                        CCursor flags(option.Value, 4, section.Swap);
                        record.Direction = static_cast<EPcapngDirection>(flags.U32() & 3);
                        if (record.Direction != EPcapngDirection::Inbound &&
                            record.Direction != EPcapngDirection::Outbound)
                            record.Direction = EPcapngDirection::Unknown;
                    }
                }
            }
            if (record.SerialEvent && record.Direction == EPcapngDirection::Unknown)
                record.Direction = record.Kind == ESerialEvent::RxData   ? EPcapngDirection::Inbound
                                   : record.Kind == ESerialEvent::TxData ? EPcapngDirection::Outbound
                                                                         : EPcapngDirection::Unknown;
            content.Records.push_back(std::move(record));
        }
        // Other blocks (statistics, name resolution, custom) say nothing a record needs.
        at += length;
    }
    if (!inSection)
        Bad(0, "an empty file");
    return content;
}

ST_PcapngContent ReadPcapngFile(const std::string &path, size_t limit)
{
    const std::vector<uint8_t> bytes = ReadCaptureFile(path, limit);
    return ParsePcapng(bytes.data(), bytes.size());
}
