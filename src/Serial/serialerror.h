#pragma once
// Result codes of the serial device. 0 is success; the named values below keep the numbers and
// meanings the program has always reported; every other value is the errno of the system call
// that failed (EACCES: no permission to use the port, EBUSY or EWOULDBLOCK: another program
// holds it, ENOENT: no such port, EIO/ENXIO/ENODEV: the device went away).
#include <string>

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_INVALID_FUNCTION = 1;       // a time-out given to a device opened without one
constexpr long ERROR_INVALID_HANDLE = 6;         // the device is not open
constexpr long ERROR_ALREADY_INITIALIZED = 1247; // Open on an open device
constexpr long ERROR_TIMEOUT = 1460;             // a finite wait expired; the operation was abandoned
constexpr long E_INVALIDARG = 0x80070057L;       // unknown handshaking or read time-out mode

// The reason in words, for a message to the user ("Can not Open ttyUSB0" + ": " + this).
// Open never returns 1 or 6 by itself, so for an Open result (forOpen true) every code other
// than 1247 is read as an errno; otherwise the named codes above come first.
std::string SerialErrorText(long code, bool forOpen = true);
