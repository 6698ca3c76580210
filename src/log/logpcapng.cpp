#include "log/logpcapng.h"

#include "data/checksum.h"
#include "link/linksetting.h"
#include "log/capturefile.h"

#include <array>
#include <chrono>

int64_t WallNowMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string PcapngPortName(const std::string &port)
{
    return port.compare(0, 5, "/dev/") == 0 ? port.substr(5) : port;
}

std::string PcapngLinkDescription(const COM_PORT_SETTING &link)
{
    std::string text = PcapngPortName(link.PortName);
    if (link.Baud > 0) {
        const std::string parity = ParityLabel(link.ParityCode);
        text += " " + std::to_string(link.Baud) + " " + std::to_string(link.DataBits) +
                (parity.empty() ? std::string("?") : parity.substr(0, 1)) + StopBitsLabel(link.StopBitsCode);
    }
    return text;
}

std::vector<ST_PcapngInterface> LogPcapngInterfaces(const std::string &port, const std::string &description)
{
    const std::string name = port.empty() ? std::string("port") : port;
    std::vector<ST_PcapngInterface> interfaces = {
        {name, description}, {"monitor A", "the monitor's port A"}, {"monitor B", "the monitor's port B"}};
    // Last, so the data interfaces keep the numbers files written before had.
    interfaces.push_back(
        {name + " lines", (description.empty() ? name : description) + ", line events", kPcapngSerialEvents});
    interfaces.push_back({"monitor A lines", "the monitor's port A, line events", kPcapngSerialEvents});
    interfaces.push_back({"monitor B lines", "the monitor's port B, line events", kPcapngSerialEvents});
    return interfaces;
}

bool IsModbusRtuFrame(const uint8_t *bytes, size_t length)
{
    static const CChecksum crc(ST_ChecksumSpec{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
    // The functions the protocol defines (and the ranges it leaves to the user), an exception's
    // too: a block of other bytes is told apart before its CRC is computed, as a capture looks
    // at every block.
    static const std::array<bool, 128> known = [] {
        std::array<bool, 128> codes{};
        for (const int code : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 15, 16, 17, 20, 21, 22, 23, 24, 43})
            codes[static_cast<size_t>(code)] = true;
        for (int code = 65; code <= 72; ++code)
            codes[static_cast<size_t>(code)] = true;
        for (int code = 100; code <= 110; ++code)
            codes[static_cast<size_t>(code)] = true;
        return codes;
    }();
    if (length < 4 || length > 256 || bytes[0] > 247 || !known[bytes[1] & 0x7F])
        return false;
    const uint32_t value = crc.Compute(bytes, length - 2);
    return bytes[length - 2] == (value & 0xFF) && bytes[length - 1] == (value >> 8);
}

namespace {

// The block's packet; a note's words are copied into its comment, a block's bytes are not.
void MakeLogPcapng(ST_PcapngPacket &packet, LogDirection direction, const uint8_t *bytes, size_t length,
                   int64_t wallMicros)
{
    packet.WallMicros = wallMicros;
    switch (direction) {
    case LogDirection::Received:
        packet.Direction = EPcapngDirection::Inbound;
        break;
    case LogDirection::Sent:
        packet.Direction = EPcapngDirection::Outbound;
        break;
    case LogDirection::Note:
        packet.Comment.assign(reinterpret_cast<const char *>(bytes), length);
        return;
    case LogDirection::PortA:
    case LogDirection::AtoB:
        packet.Interface = 1;
        packet.Direction = EPcapngDirection::Inbound;
        break;
    case LogDirection::PortB:
    case LogDirection::BtoA:
        packet.Interface = 2;
        packet.Direction = EPcapngDirection::Inbound;
        break;
    }
    packet.Bytes = bytes;
    packet.Length = length;
    // The window is the master: what it sends asks, what it reads answers. In the monitor port A
    // is the device's side, as the bridge is usually set up.
    if (IsModbusRtuFrame(bytes, length)) {
        const bool query = direction == LogDirection::Sent || packet.Interface == 2;
        packet.Payload = query ? EPcapngPayload::ModbusRtuQuery : EPcapngPayload::ModbusRtuResponse;
    }
}

} // namespace

void AppendLogPcapng(std::string &out, LogDirection direction, const uint8_t *bytes, size_t length,
                     int64_t wallMicros)
{
    ST_PcapngPacket packet;
    MakeLogPcapng(packet, direction, bytes, length, wallMicros);
    AppendPcapngPacket(out, packet);
}

void AppendLogPcapng(CCaptureFile &file, LogDirection direction, const uint8_t *bytes, size_t length,
                     int64_t wallMicros)
{
    ST_PcapngPacket packet;
    MakeLogPcapng(packet, direction, bytes, length, wallMicros);
    file.AppendWith(PcapngPacketSize(packet), [&packet](char *at) { PutPcapngPacket(at, packet); });
}

void AppendLogPcapngEvent(std::string &out, const ST_LineEvent &event, int64_t wallMicros)
{
    ST_PcapngSerialEvent packet;
    packet.Interface = event.Port == ELinePort::MonitorA   ? kLogPcapngEventsA
                       : event.Port == ELinePort::MonitorB ? kLogPcapngEventsB
                                                           : kLogPcapngEvents;
    packet.WallMicros = wallMicros;
    switch (event.Kind) {
    case ELineEvent::ModemLines:
        packet.Kind = ESerialEvent::StatusChange;
        break;
    case ELineEvent::Break:
        packet.Kind = ESerialEvent::Break;
        break;
    case ELineEvent::Framing:
        packet.Kind = ESerialEvent::FramingError;
        break;
    case ELineEvent::Parity:
        packet.Kind = ESerialEvent::ParityError;
        break;
    case ELineEvent::Overrun:
        packet.Kind = ESerialEvent::Overflow;
        break;
    }
    packet.Lines = event.After;
    packet.Comment = LineEventText(event);
    AppendPcapngSerialEvent(out, packet);
}
