#pragma once
// Result codes of the serial device, and the one place that turns them into words.
//
// Two code spaces are kept apart. Our own codes keep the numbers the program has always reported
// (below 0x10000, plus E_INVALIDARG). A failing system call is reported as SystemError(errno):
// the errno moved above kSystemErrorBase, because raw errno values collide with our own codes
// (ENXIO is 6, which is also "not open"; EPERM is 1, also "opened without time-outs").
#include <string>

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_INVALID_FUNCTION = 1;       // a time-out given to a device opened without one
constexpr long ERROR_INVALID_HANDLE = 6;         // the device is not open
constexpr long ERROR_NOT_SUPPORTED = 50;         // the driver did not take a setting it was given
constexpr long ERROR_ALREADY_INITIALIZED = 1247; // Open on an open device
constexpr long ERROR_TIMEOUT = 1460;             // a finite wait expired; the operation was abandoned
constexpr long E_INVALIDARG = 0x80070057L;       // unknown handshaking or read time-out mode

constexpr long kSystemErrorBase = 0x20000000L;

// The code for a failed system call.
constexpr long SystemError(int errnoValue)
{
    return kSystemErrorBase + errnoValue;
}
// The errno a code carries, or 0 for our own codes.
int ErrnoOf(long code);
// The device behind the port went away (EIO, ENXIO, ENODEV): unplugged, or its driver unbound.
bool IsPortGone(long code);

// The reason in words, for a message to the user ("Can not Open ttyUSB0" + ": " + this).
// `forOpen` is no longer needed (the codes do not collide) and kept for existing callers.
std::string SerialErrorText(long code, bool forOpen = true);
