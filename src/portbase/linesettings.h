#pragma once
// The line settings a port holds, in the form the rest of the program speaks: baud rate, byte size,
// parity and stop-bit codes, the six flow-control fields and the read time-outs. A device on
// termios and a port on another machine both take them, so they stand below both.
#include <cstdint>

enum : uint8_t { DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2 };
enum : uint8_t { RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2 };
enum : uint8_t { NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4 };
enum : uint8_t { ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2 };

struct ST_Dcb
{
    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = DTR_CONTROL_ENABLE;
    uint8_t fRtsControl = RTS_CONTROL_ENABLE;
    bool fOutX = false;
    bool fInX = false;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char EvtChar = 0;
};

// Milliseconds. Interval all ones with both totals 0 means "return at once with what is there";
// all zero means "wait for the full count".
struct ST_CommTimeouts
{
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};
