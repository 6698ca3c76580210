#pragma once
// Captures in the pcapng format, which the protocol analyser reads: a section header, one
// interface per port (its name and the line's settings, such as "ttyUSB0 9600 8N1", in the
// interface's description, times in microseconds) and one enhanced packet block per block or
// frame, with its direction in the packet's flags and notes of the program's own (a port lost,
// a capture started) as the comment of an empty packet.
//
// Every interface carries exported PDUs (link type 252): each packet names the dissector that
// takes its payload, so the file decodes as it is opened. A Modbus RTU frame goes to "mbrtu";
// that dissector tells a query from a response by the packet's ports (a query comes from a
// port that is not the dissector's, 0 unless the user set one, and goes to it; a response the
// other way), so those are set from what the frame is. Anything else goes to "data".
//
// What the line did besides data (modem-line changes, breaks, line errors) goes on an interface
// of the analyser's serial-line events (link type 250), which shows each event's kind and the
// state of every modem line in its packet list; a comment on the event says it in words.
//
// The reader takes back what any writer of pcapng wrote (either byte order, several sections,
// other link types as bytes) and refuses a damaged file with an EPcapngError saying where; what
// it keeps is bounded by the input.
#include "platform/errors.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The link type of exported PDUs.
constexpr uint16_t kPcapngExportedPdu = 252;
// The link type of serial-line events: a 12-byte header (its own time, the event's kind, the
// modem lines, a footer) before the bytes, if any.
constexpr uint16_t kPcapngSerialEvents = 250;

// The kinds of serial-line events the analyser names.
enum class ESerialEvent : uint8_t {
    StatusChange = 0x00,
    TxData = 0x01,
    RxData = 0x02,
    FramingError = 0x07,
    ParityError = 0x08,
    Break = 0x09,
    Overflow = 0x0A,
};

// Inbound: read from the port; outbound: sent to it (the packet flags' two lowest bits).
enum class EPcapngDirection : uint8_t { Unknown = 0, Inbound = 1, Outbound = 2 };
enum class EPcapngPayload : uint8_t { Data, ModbusRtuQuery, ModbusRtuResponse };

struct ST_PcapngInterface
{
    std::string Name;
    std::string Description;
    uint16_t LinkType = kPcapngExportedPdu; // as read; written: serial-line events, else exported PDUs
};

struct ST_PcapngPacket
{
    uint32_t Interface = 0;
    int64_t WallMicros = 0; // since the epoch
    EPcapngDirection Direction = EPcapngDirection::Unknown;
    EPcapngPayload Payload = EPcapngPayload::Data;
    const uint8_t *Bytes = nullptr;
    size_t Length = 0;
    std::string Comment; // empty: none
};

// The section header and the interfaces, numbered from 0 as given: the start of every file.
std::string PcapngHeader(const std::vector<ST_PcapngInterface> &interfaces);
// Appends the packet's block to `out`.
void AppendPcapngPacket(std::string &out, const ST_PcapngPacket &packet);
// The same block written in place: its size, and the block put at `out`, which has that many bytes.
size_t PcapngPacketSize(const ST_PcapngPacket &packet);
void PutPcapngPacket(char *out, const ST_PcapngPacket &packet);

// An event without data on an interface of serial-line events: `lines` as the analyser's bits
// (CTS 0x01, DCD 0x02, DSR 0x04, RTS 0x08, DTR 0x10, RI 0x20).
struct ST_PcapngSerialEvent
{
    uint32_t Interface = 0;
    int64_t WallMicros = 0;
    ESerialEvent Kind = ESerialEvent::StatusChange;
    uint8_t Lines = 0;
    std::string Comment;
};
void AppendPcapngSerialEvent(std::string &out, const ST_PcapngSerialEvent &event);

class EPcapngError : public EKestrumError
{
public:
    using EKestrumError::EKestrumError;
};

struct ST_PcapngRecord
{
    uint32_t Interface = 0; // counted over the file's sections, in the order they came
    int64_t WallMicros = 0;
    EPcapngDirection Direction = EPcapngDirection::Unknown;
    std::string Protocol;       // the exported PDU's dissector; empty for other link types
    std::vector<uint8_t> Bytes; // of a serial-line event: those after its header
    std::string Comment;
    // A packet of a serial-line events interface: its kind and modem lines. Data events carry
    // their direction here when the packet's flags do not.
    bool SerialEvent = false;
    ESerialEvent Kind = ESerialEvent::StatusChange;
    uint8_t Lines = 0;
};

struct ST_PcapngContent
{
    std::vector<ST_PcapngInterface> Interfaces;
    std::vector<ST_PcapngRecord> Records;
};

// Throws EPcapngError.
ST_PcapngContent ParsePcapng(const uint8_t *data, size_t size);
// A file, gzip-compressed or not, of at most `limit` bytes once uncompressed. Throws EFOpenError
// or EPcapngError.
ST_PcapngContent ReadPcapngFile(const std::string &path, size_t limit = size_t{1} << 30);
