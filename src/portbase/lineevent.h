#pragma once
// What the line did besides carrying bytes: a modem-line input changed, a break came, or bytes
// were lost to a framing, parity or overrun error. Each is stamped in microseconds of the steady
// clock when it was seen: a break or a line error by the listener, with the read that brought it
// (the driver counts them as the bytes come), a modem-line change at the look that found it.
#include <cstdint>
#include <string>

enum class ELineEvent : uint8_t { ModemLines, Break, Framing, Parity, Overrun };

// The lines as bits, in the order the protocol analyser's serial-line events carry them, so a
// state goes into a capture as it is.
constexpr uint8_t kLineCts = 0x01;
constexpr uint8_t kLineDcd = 0x02;
constexpr uint8_t kLineDsr = 0x04;
constexpr uint8_t kLineRts = 0x08;
constexpr uint8_t kLineDtr = 0x10;
constexpr uint8_t kLineRi = 0x20;

// Whose line it was: the window's own port, or a side of the two-port monitor.
enum class ELinePort : uint8_t { Window, MonitorA, MonitorB };

struct ST_LineEvent
{
    int64_t SteadyMicros = 0;
    ELinePort Port = ELinePort::Window;
    ELineEvent Kind = ELineEvent::ModemLines;
    // The lines before and after a change; for the others both are the lines as last seen.
    uint8_t Before = 0;
    uint8_t After = 0;
    // How many the driver counted (1 where it tells only that there were some).
    int64_t Count = 1;
};

// "CTS on", "DSR off, DCD on", "Break", "3 framing errors": the words a capture's comment and a
// note carry.
std::string LineEventText(const ST_LineEvent &event);
