#include "Serial/Serial.h"

#include "platform/diaglog.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr uint32_t kShortTimeout = 10;

void CloseFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

CSerial::CSerial() = default;

CSerial::~CSerial()
{
    if (IsOpen())
        CSerial::Close();
}

std::string CSerial::DevicePath(const std::string &port)
{
    std::string name = port;
    if (name.rfind("\\\\.\\", 0) == 0)
        name = name.substr(4);
    if (name.find('/') != std::string::npos)
        return name;
    return "/dev/" + name;
}

void CSerial::Log(const char *cls, const char *op, const char *text, bool lineBreak)
{
    std::string line = std::string(cls) + "::" + op + " - " + text;
    if (lineBreak)
        line += '\n';
    AppendLogLine(DiagLogPath(), line);
}

long CSerial::Fail(const char *op, const char *text, long code)
{
    SetLastError(code);
    Log("CSerial", op, text);
    return code;
}

long CSerial::Open(const std::string &port, long inQueue, long outQueue, bool overlapped)
{
    SetLastError(0);
    if (IsOpen())
        return SetLastError(ERROR_ALREADY_INITIALIZED);
    {
        const std::unique_lock<std::shared_mutex> life(lifeLock_);
        if (IsOpen())
            return SetLastError(ERROR_ALREADY_INITIALIZED);
        const std::string path = DevicePath(port);
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Fail("Open", "Unable to open port", SystemError(errno));
        // flock keeps out other programs that ask, root included; TIOCEXCL keeps out those that
        // don't (except root). A device that is not a terminal is no port.
        KTermios current;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !GetKernelTermios(fd, &current) ||
            ioctl(fd, TIOCEXCL) != 0) {
            const int e = errno;
            CloseFd(fd);
            return Fail("Open", "Unable to open port", SystemError(e));
        }
        maskWakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        int closeWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (maskWakeFd_ < 0 || closeWake < 0) {
            const int e = errno;
            ioctl(fd, TIOCNXCL);
            CloseFd(fd);
            CloseFd(maskWakeFd_);
            CloseFd(closeWake);
            return SetLastError(SystemError(e));
        }
        closeWakeFd_.store(closeWake);
        saved_ = current;
        haveSaved_ = true;
        pseudoTerminal_ = IsPseudoTerminal(fd);
        overlapped_ = overlapped;
        closing_.store(false);
        pendingEvent_.store(0);
        {
            const std::lock_guard<std::mutex> guard(settingsLock_);
            dcb_ = ST_Dcb{};
            timeouts_ = ST_CommTimeouts{};
            lineErrors_ = 0;
            lineErrorCounts_ = ST_LineCounters();
            haveModem_ = false;
            modemMissingLogged_ = false;
        }
        {
            const std::lock_guard<std::mutex> guard(rxLock_);
            rxBuffer_.clear();
            rxHead_ = 0;
        }
        eventCharSeen_.store(false);
        txPending_.store(false);
        tcflush(fd, TCIOFLUSH);
        fd_.store(fd);
    }

    if (inQueue != 0 || outQueue != 0) {
        // The kernel sizes its own queues; only a size no driver could take is refused.
        if (inQueue < 0 || outQueue < 0) {
            Log("CSerial", "Open", "Unable to setup the COM-port");
            Close();
            return SetLastError(SystemError(EINVAL));
        }
    }
    SetMask(DefaultMask);
    SetupReadTimeouts(ShortReadTimeout);

    {
        const std::shared_lock<std::shared_mutex> life(lifeLock_);
        const int fd = fd_.load();
        KTermios base;
        if (fd < 0 || !GetKernelTermios(fd, &base)) {
            Log("CSerial", "Open", "Unable to obtain default communication configuration.");
        } else {
            const ST_Dcb defaults;
            if (!SetKernelTermios(fd, MapDcbToTermios(defaults, base)))
                Log("CSerial", "Open", "Unable to set default communication configuration.");
            else
                ApplyModemLines(defaults);
        }
        uint32_t ignored = 0;
        CollectLineErrors(&ignored);
        const std::lock_guard<std::mutex> guard(settingsLock_);
        lineErrors_ = 0;
    }
    return GetLastError();
}

namespace {

// Waits while the output queue keeps shrinking: at most kDrainMs in all, and no longer than
// kStallMs once the line stops taking bytes.
void DrainOutputBriefly(int fd)
{
    constexpr int kDrainMs = 500, kStallMs = 50, kLookMs = 5;
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0)
        return;
    int stalledMs = 0;
    for (int waited = 0; queued > 0 && waited < kDrainMs && stalledMs < kStallMs; waited += kLookMs) {
        usleep(kLookMs * 1000);
        int now = 0;
        if (ioctl(fd, TIOCOUTQ, &now) != 0)
            return;
        stalledMs = now < queued ? 0 : stalledMs + kLookMs;
        queued = now;
    }
}

} // namespace

long CSerial::Close()
{
    SetLastError(0);
    if (!IsOpen())
        return 0;
    {
        // Under the shared lock, so the descriptor cannot be closed by a concurrent Close meanwhile.
        const std::shared_lock<std::shared_mutex> life(lifeLock_);
        closing_.store(true);
        const int wake = closeWakeFd_.load();
        if (wake >= 0)
            eventfd_write(wake, 1);
    }
    const std::unique_lock<std::shared_mutex> life(lifeLock_);
    int fd = fd_.exchange(-1);
    if (fd < 0)
        return 0;
    // Output still queued goes out while the line takes it, for a short while; what a held line
    // (XOFF, CTS, a device that stopped reading) cannot take is dropped: the kernel's close would
    // wait for it up to the port's closing time, 30 s by default. Input is dropped too, as nobody
    // is left to read it.
    // A pseudo-terminal's close never waits for its far end, and flushing it would throw away
    // what the far end has not read yet.
    if (pseudoTerminal_) {
        tcflush(fd, TCIFLUSH);
    } else {
        DrainOutputBriefly(fd);
        tcflush(fd, TCIOFLUSH);
    }
    if (haveSaved_)
        SetKernelTermios(fd, saved_);
    haveSaved_ = false;
    haveCounters_ = false;
    ioctl(fd, TIOCNXCL);
    CloseFd(fd);
    CloseFd(maskWakeFd_);
    int closeWake = closeWakeFd_.exchange(-1);
    CloseFd(closeWake);
    overlapped_ = false;
    closing_.store(false);
    return 0;
}

ST_Dcb CSerial::GetDcb() const
{
    const std::lock_guard<std::mutex> guard(settingsLock_);
    return dcb_;
}

ST_CommTimeouts CSerial::GetTimeouts() const
{
    const std::lock_guard<std::mutex> guard(settingsLock_);
    return timeouts_;
}

void CSerial::ApplyModemLines(const ST_Dcb &dcb)
{
    // Drivers without modem lines (a pseudo-terminal) refuse these; the line settings still hold.
    const int fd = fd_.load();
    int on = 0;
    int off = 0;
    (dcb.fDtrControl == DTR_CONTROL_DISABLE ? off : on) |= TIOCM_DTR;
    (dcb.fRtsControl == RTS_CONTROL_DISABLE ? off : on) |= TIOCM_RTS;
    if (on)
        ioctl(fd, TIOCMBIS, &on);
    if (off)
        ioctl(fd, TIOCMBIC, &off);
}

// The caller holds lifeLock_ shared and has checked that the port is open.
long CSerial::ApplyDcb(const char *op, const ST_Dcb &dcb)
{
    const int fd = fd_.load();
    KTermios base;
    if (!GetKernelTermios(fd, &base))
        return Fail(op, "Unable to obtain DCB information", SystemError(errno));
    if (!CheckDcb(dcb).empty())
        return Fail(op, "Unable to set DCB information", SystemError(EINVAL));
    const KTermios want = MapDcbToTermios(dcb, base);
    if (!SetKernelTermios(fd, want))
        return Fail(op, "Unable to set DCB information", SystemError(errno));
    // A driver may ignore what its hardware cannot do and still answer success: only what reads
    // back counts.
    KTermios got;
    if (!GetKernelTermios(fd, &got)) {
        const int e = errno;
        SetKernelTermios(fd, base);
        return Fail(op, "Unable to obtain DCB information", SystemError(e));
    }
    const std::string untaken = UntakenSetting(want, got, pseudoTerminal_);
    if (!untaken.empty()) {
        SetKernelTermios(fd, base);
        Log("CSerial", op, ("The driver did not take the " + untaken).c_str());
        return Fail(op, "Unable to set DCB information", ERROR_NOT_SUPPORTED);
    }
    ApplyModemLines(dcb);
    const std::lock_guard<std::mutex> guard(settingsLock_);
    dcb_ = dcb;
    return 0;
}

long CSerial::Setup(uint32_t baudrate, uint8_t dataBits, uint8_t parity, uint8_t stopBits)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    if (!IsOpen())
        return Fail("Setup", "Device is not opened", ERROR_INVALID_HANDLE);
    ST_Dcb dcb = GetDcb();
    dcb.BaudRate = baudrate;
    dcb.ByteSize = dataBits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fParity = parity != NOPARITY;
    return ApplyDcb("Setup", dcb);
}

long CSerial::SetEventChar(uint8_t eventChar, bool adjustMask)
{
    SetLastError(0);
    if (!IsOpen())
        return Fail("SetEventChar", "Device is not opened", ERROR_INVALID_HANDLE);
    if (adjustMask)
        SetMask(GetEventMask() | EV_RXFLAG);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    if (!IsOpen())
        return Fail("SetEventChar", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> guard(settingsLock_);
    dcb_.EvtChar = static_cast<char>(eventChar);
    return GetLastError();
}

long CSerial::SetupHandshaking(uint8_t handshake)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    if (!IsOpen())
        return Fail("SetupHandshaking", "Device is not opened", ERROR_INVALID_HANDLE);
    ST_Dcb dcb = GetDcb();
    switch (handshake) {
    case NoHandshake:
        dcb.fOutxCtsFlow = false;
        dcb.fOutxDsrFlow = false;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fOutX = false;
        dcb.fInX = false;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        break;
    case HardwareHandshake:
        // termios knows RTS/CTS only: no DSR output flow control, no DTR handshaking. DTR stays on
        // so a device that waits for it still sees the port ready.
        Log("CSerial", "SetupHandshaking",
            "DSR output flow control and DTR handshaking are not available; RTS/CTS only");
        dcb.fOutxCtsFlow = true;
        dcb.fOutxDsrFlow = false;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fOutX = false;
        dcb.fInX = false;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        break;
    case XonXoffHandshake:
        dcb.fOutxCtsFlow = false;
        dcb.fOutxDsrFlow = false;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fOutX = true;
        dcb.fInX = true;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        break;
    default:
        return SetLastError(E_INVALIDARG);
    }
    return ApplyDcb("SetupHandshaking", dcb);
}

long CSerial::SetupReadTimeouts(uint8_t readTimeout)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    if (!IsOpen())
        return Fail("SetupReadTimeouts", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> guard(settingsLock_);
    switch (readTimeout) {
    case ShortReadTimeout:
        timeouts_.ReadIntervalTimeout = kShortTimeout;
        timeouts_.ReadTotalTimeoutMultiplier = 0;
        timeouts_.ReadTotalTimeoutConstant = kShortTimeout;
        break;
    case BlockingRead:
        timeouts_.ReadIntervalTimeout = 0;
        timeouts_.ReadTotalTimeoutMultiplier = 0;
        timeouts_.ReadTotalTimeoutConstant = 0;
        break;
    default:
        return SetLastError(E_INVALIDARG);
    }
    return 0;
}

long CSerial::SetMask(uint32_t mask)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    if (!IsOpen())
        return Fail("SetMask", "Device is not opened", ERROR_INVALID_HANDLE);
    // Modem-line changes count from the mask that asks for them, not from the open.
    if (mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING))
        TakeModemSnapshot();
    eventMask_.store(mask);
    maskGeneration_.fetch_add(1);
    if (eventfd_write(maskWakeFd_, 1) != 0)
        return Fail("SetMask", "Unable to set event mask", SystemError(errno));
    return 0;
}

uint32_t CSerial::GetEventMask()
{
    SetLastError(0);
    if (!IsOpen()) {
        Fail("GetEventMask", "Device is not opened", ERROR_INVALID_HANDLE);
        return 0;
    }
    return eventMask_.load();
}

#define KESTRUM_DCB_GETTER(NAME, FAIL, EXPR)                                                                 \
    long CSerial::NAME()                                                                                     \
    {                                                                                                        \
        SetLastError(0);                                                                                     \
        if (!IsOpen()) {                                                                                     \
            Fail(#NAME, "Device is not opened", ERROR_INVALID_HANDLE);                                       \
            return FAIL;                                                                                     \
        }                                                                                                    \
        const ST_Dcb dcb = GetDcb();                                                                         \
        return EXPR;                                                                                         \
    }

KESTRUM_DCB_GETTER(GetBaudrate, -1, static_cast<long>(dcb.BaudRate))
KESTRUM_DCB_GETTER(GetDataBits, -1, static_cast<long>(dcb.ByteSize))
KESTRUM_DCB_GETTER(GetParity, -1, dcb.fParity ? static_cast<long>(dcb.Parity) : 0L)
KESTRUM_DCB_GETTER(GetStopBits, -1, static_cast<long>(dcb.StopBits))
KESTRUM_DCB_GETTER(GetHandshaking, -1,
                   (dcb.fOutxCtsFlow && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
                       ? static_cast<long>(HardwareHandshake)
                   : (dcb.fOutX &&dcb.fInX) ? static_cast<long>(XonXoffHandshake)
                                            : static_cast<long>(NoHandshake))
#undef KESTRUM_DCB_GETTER

uint8_t CSerial::GetEventChar()
{
    SetLastError(0);
    if (!IsOpen()) {
        Fail("GetEventChar", "Device is not opened", ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<uint8_t>(GetDcb().EvtChar);
}

uint16_t CSerial::GetEventType()
{
    const uint32_t word = pendingEvent_.exchange(0);
    const uint32_t mask = eventMask_.load();
    const uint16_t events = static_cast<uint16_t>(word & 0xFFFF & mask);
    if (events == 0)
        AppendLogFormatted(DiagLogPath(), "CSerial::GetEventType - Event %08Xh not within mask %08Xh.\n",
                           word, mask);
    return events;
}

bool CSerial::ModemStatus(const char *op, int bit, bool lineBreak)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    int status = 0;
    long code = 0;
    const int fd = fd_.load();
    if (fd < 0)
        code = ERROR_INVALID_HANDLE;
    else if (ioctl(fd, TIOCMGET, &status) != 0)
        code = SystemError(errno);
    if (code != 0) {
        SetLastError(code);
        Log("CSerial", op, "Unable to obtain the modem status", lineBreak);
        return false;
    }
    return (status & bit) != 0;
}

bool CSerial::GetCTS()
{
    return ModemStatus("GetCTS", TIOCM_CTS, true);
}

bool CSerial::GetDSR()
{
    return ModemStatus("GetDSR", TIOCM_DSR, true);
}

bool CSerial::GetRLSD()
{
    return ModemStatus("GetRLSD", TIOCM_CAR, false);
}

bool CSerial::GetRING()
{
    return ModemStatus("GetRING", TIOCM_RNG, true);
}

bool CSerial::HasModemLines()
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    int status = 0;
    const int fd = fd_.load();
    const long code = fd < 0                              ? ERROR_INVALID_HANDLE
                      : ioctl(fd, TIOCMGET, &status) != 0 ? SystemError(errno)
                                                          : 0;
    SetLastError(code);
    return code == 0;
}

long CSerial::ApplyModemLine(const char *op, int bit, bool on)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    const int fd = fd_.load();
    if (fd < 0)
        return Fail(op, "Device is not opened", ERROR_INVALID_HANDLE);
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0)
        return Fail(op, "Unable to set the modem line", SystemError(errno));
    // Held, so a later Setup puts the line back the way it was left here.
    const std::lock_guard<std::mutex> guard(settingsLock_);
    const uint8_t control = on ? 1 : 0; // DTR_CONTROL_ENABLE / RTS_CONTROL_ENABLE or _DISABLE
    if (bit == TIOCM_DTR)
        dcb_.fDtrControl = control;
    else if (dcb_.fRtsControl != RTS_CONTROL_HANDSHAKE)
        dcb_.fRtsControl = control;
    return 0;
}

long CSerial::SetDTR(bool on)
{
    return ApplyModemLine("SetDTR", TIOCM_DTR, on);
}

long CSerial::SetRTS(bool on)
{
    return ApplyModemLine("SetRTS", TIOCM_RTS, on);
}

long CSerial::SendBreak(uint32_t milliseconds)
{
    SetLastError(0);
    // Shared like any other call, so reads, writes and the listener's wait go on; breaks are
    // serialised among themselves only. The wait watches the close wake-up, so Close is not
    // held up by a long break.
    const std::shared_lock<std::shared_mutex> life(lifeLock_);
    const int fd = fd_.load();
    if (fd < 0 || closing_.load())
        return Fail("SendBreak", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> serial(breakLock_);
    if (ioctl(fd, TIOCSBRK) != 0)
        return Fail("SendBreak", "Unable to set the break state", SystemError(errno));
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    bool closed = false;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd wake{closeWakeFd_.load(), POLLIN, 0};
        const int rc = poll(&wake, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (rc > 0) {
            closed = true;
            break;
        }
        if (rc < 0 && errno != EINTR)
            break;
    }
    if (ioctl(fd, TIOCCBRK) != 0)
        return Fail("SendBreak", "Unable to clear the break state", SystemError(errno));
    return closed ? Fail("SendBreak", "Device is not opened", ERROR_INVALID_HANDLE) : 0;
}
