#include "Serial/serialerror.h"

#include <cerrno>
#include <cstring>

std::string SerialErrorText(long code, bool forOpen)
{
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_ALREADY_INITIALIZED:
        return "the port is already open";
    case ERROR_TIMEOUT:
        return "the operation timed out";
    case E_INVALIDARG:
        return "invalid argument";
    default:
        break;
    }
    if (!forOpen && code == ERROR_INVALID_FUNCTION)
        return "the port was opened without time-outs";
    if (!forOpen && code == ERROR_INVALID_HANDLE)
        return "the port is not open";
    switch (code) {
    case EACCES:
    case EPERM:
        return "permission denied (is the user in the dialout group?)";
    case EBUSY:
    case EWOULDBLOCK:
        return "the port is in use by another program";
    case ENOENT:
        return "no such port";
    case ENXIO:
    case ENODEV:
        return "no device behind this port";
    case EIO:
        return "the device stopped answering (was it unplugged?)";
    case ENOTTY:
        return "not a serial port";
    case EINVAL:
        return "the port cannot take these settings";
    default:
        break;
    }
    if (code > 0 && code < 4096)
        return std::strerror(static_cast<int>(code));
    return "error " + std::to_string(code);
}
