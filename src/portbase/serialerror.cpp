#include "portbase/serialerror.h"
#include "platform/trnoop.h"

#include <cerrno>
#include <cstring>

int ErrnoOf(long code)
{
    if (code > kSystemErrorBase && code < kSystemErrorBase + 0x10000)
        return static_cast<int>(code - kSystemErrorBase);
    return 0;
}

bool IsPortGone(long code)
{
    const int e = ErrnoOf(code);
    return e == EIO || e == ENXIO || e == ENODEV;
}

std::string SerialErrorText(long code, bool /*forOpen*/)
{
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_INVALID_FUNCTION:
        return KESTRUM_TR_NOOP("core", "the port was opened without time-outs");
    case ERROR_INVALID_HANDLE:
        return KESTRUM_TR_NOOP("core", "the port is not open");
    case ERROR_NOT_SUPPORTED:
        return KESTRUM_TR_NOOP("core", "the driver does not support these settings");
    case ERROR_ALREADY_INITIALIZED:
        return KESTRUM_TR_NOOP("core", "the port is already open");
    case ERROR_TIMEOUT:
        return KESTRUM_TR_NOOP("core", "the operation timed out");
    case E_INVALIDARG:
        return KESTRUM_TR_NOOP("core", "invalid argument");
    default:
        break;
    }
    const int e = ErrnoOf(code);
    switch (e) {
    case 0:
        return "error " + std::to_string(code);
    case EACCES:
    case EPERM:
        return KESTRUM_TR_NOOP("core", "permission denied (is the user in the dialout group?)");
    case EBUSY:
#if EWOULDBLOCK != EBUSY
    case EWOULDBLOCK:
#endif
        return KESTRUM_TR_NOOP("core", "the port is in use by another program");
    case ENOENT:
        return KESTRUM_TR_NOOP("core", "no such port");
    case ENXIO:
    case ENODEV:
        return KESTRUM_TR_NOOP("core", "no device behind this port");
    case EIO:
        return KESTRUM_TR_NOOP("core", "the device stopped answering (was it unplugged?)");
    case ENOTTY:
        return KESTRUM_TR_NOOP("core", "not a serial port");
    case EINVAL:
        return KESTRUM_TR_NOOP("core", "the port cannot take these settings");
    default:
        return std::strerror(e);
    }
}
