#pragma once
// The log's blocks as packets for the protocol analyser: a capture in pcapng and the export of
// the log write them alike. Interface 0 is the window's port; the two-port monitor's sides are
// interfaces 1 (port A) and 2 (port B), each block inbound on the side that read it. Notes go as
// the comment of an empty packet on interface 0; the window's line events (modem lines, breaks,
// line errors) go to interface 3, of serial-line events, each with its words as its comment, and
// those of the monitor's sides to interfaces 4 (port A) and 5 (port B), added after every
// interface that files written before had, so those keep their numbers. A block that is
// a whole Modbus RTU frame goes to the analyser's RTU dissector, a query when the window sent it (or port B,
// the program's side of a monitor, read it), a response otherwise.
#include "log/logrender.h"
#include "log/pcapng.h"
#include "portbase/lineevent.h"

#include <string>
#include <vector>

class CCaptureFile;
struct COM_PORT_SETTING;

// "ttyUSB0" for /dev/ttyUSB0; other names (a network port's address) as they are.
std::string PcapngPortName(const std::string &port);
// "ttyUSB0 9600 8N1": the port and its line as the analyser's interface description shows them.
std::string PcapngLinkDescription(const COM_PORT_SETTING &link);
constexpr uint32_t kLogPcapngEvents = 3;
constexpr uint32_t kLogPcapngEventsA = 4;
constexpr uint32_t kLogPcapngEventsB = 5;
// The file's interfaces, `port` and `description` the window's (either may be empty).
std::vector<ST_PcapngInterface> LogPcapngInterfaces(const std::string &port, const std::string &description);
// A whole Modbus RTU frame: an address (0 to 247), a function the protocol knows and its CRC-16
// at the end, which a block of other bytes has by chance once in 65536.
bool IsModbusRtuFrame(const uint8_t *bytes, size_t length);
// The wall clock in microseconds since the epoch.
int64_t WallNowMicros();
// Appends the block's packet, stamped `wallMicros` since the epoch.
void AppendLogPcapng(std::string &out, LogDirection direction, const uint8_t *bytes, size_t length,
                     int64_t wallMicros);
// The same packet appended to a capture as one record, made in the capture's buffer.
void AppendLogPcapng(CCaptureFile &file, LogDirection direction, const uint8_t *bytes, size_t length,
                     int64_t wallMicros);
// Appends the line event's packet on the interface of its port, stamped `wallMicros` since the epoch.
void AppendLogPcapngEvent(std::string &out, const ST_LineEvent &event, int64_t wallMicros);
