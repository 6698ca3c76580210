#pragma once
// The line settings' translation into the kernel's terminal settings. The translation is pure so it
// can be checked without a device.
#include "portbase/linesettings.h"

#include <cstdint>
#include <string>

// Same layout as the kernel's struct termios2; flag values are those of <termios.h>.
struct KTermios
{
    uint32_t c_iflag = 0;
    uint32_t c_oflag = 0;
    uint32_t c_cflag = 0;
    uint32_t c_lflag = 0;
    uint8_t c_line = 0;
    uint8_t c_cc[19] = {};
    uint32_t c_ispeed = 0;
    uint32_t c_ospeed = 0;
};

// Why a set of line settings cannot be put on a line: empty when it can.
std::string CheckDcb(const ST_Dcb &dcb);

// `base` turned into a raw 8-bit line carrying `dcb`: no echo, no line editing, no character
// translation, reads that return what is there (the device does its own waiting).
// Standard rates use their fixed codes, every other rate the arbitrary-rate code. The result is
// only meaningful when CheckDcb(dcb) is empty.
KTermios MapDcbToTermios(const ST_Dcb &dcb, const KTermios &base);

// The first setting of `want` that `got` (read back from the driver after `want` was applied)
// lacks: "data bits", "parity", "stop bits", "RTS/CTS flow control", "XON/XOFF output flow
// control", "XON/XOFF input flow control" or "baud rate"; empty when the driver took them all.
// A rate within 3% counts as taken (a driver rounds to what its clock can divide). A
// pseudo-terminal forces 8 data bits and no parity whatever it is given, so `pseudoTerminal`
// leaves those two out.
std::string UntakenSetting(const KTermios &want, const KTermios &got, bool pseudoTerminal);

// The terminal behind `fd` is the far end of a pseudo-terminal pair.
bool IsPseudoTerminal(int fd);

// Kernel calls on an open descriptor; false with errno set on failure.
bool GetKernelTermios(int fd, KTermios *out);
bool SetKernelTermios(int fd, const KTermios &settings);
