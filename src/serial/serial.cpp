#include "serial/serial.h"

#include "platform/diaglog.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
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

namespace {

std::string WithoutDevicePrefix(const std::string &port)
{
    return port.rfind("\\\\.\\", 0) == 0 ? port.substr(4) : port;
}

bool SameAddress(const ST_NetAddress &a, const ST_NetAddress &b)
{
    return a.Kind == b.Kind && a.Host == b.Host && a.Port == b.Port;
}

// The line settings a DCB asks of an RFC 2217 server.
ST_NetLineSettings NetSettingsOf(const ST_Dcb &dcb)
{
    ST_NetLineSettings s;
    s.Baud = dcb.BaudRate;
    s.DataBits = dcb.ByteSize;
    s.Parity = dcb.fParity ? dcb.Parity : static_cast<uint8_t>(NOPARITY);
    s.StopBits = dcb.StopBits;
    s.Flow = dcb.fOutxCtsFlow ? ST_NetLineSettings::RtsCts
             : dcb.fOutX      ? ST_NetLineSettings::XonXoff
                              : ST_NetLineSettings::NoFlow;
    return s;
}

bool SameSettings(const ST_NetLineSettings &a, const ST_NetLineSettings &b)
{
    return a.Baud == b.Baud && a.DataBits == b.DataBits && a.Parity == b.Parity && a.StopBits == b.StopBits &&
           a.Flow == b.Flow;
}

// The DCB of a port that already carries `s`, with the modem lines its flow control leaves.
ST_Dcb DcbOf(const ST_NetLineSettings &s)
{
    ST_Dcb dcb;
    dcb.BaudRate = s.Baud;
    dcb.ByteSize = s.DataBits;
    dcb.Parity = s.Parity;
    dcb.fParity = s.Parity != NOPARITY;
    dcb.StopBits = s.StopBits;
    if (s.Flow == ST_NetLineSettings::RtsCts) {
        dcb.fOutxCtsFlow = true;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else if (s.Flow == ST_NetLineSettings::XonXoff) {
        dcb.fOutX = dcb.fInX = true;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
    }
    return dcb;
}

} // namespace

void CSerial::PrepareNetLine(std::unique_ptr<CNetLine> line, const ST_NetLineSettings &applied)
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_preparedNet = std::move(line);
    m_preparedSettings = applied;
}

void CSerial::PreparePlayedPort(const std::string &name, std::unique_ptr<IDemoPort> port)
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_preparedPlayed = std::move(port);
    m_preparedPlayedName = WithoutDevicePrefix(name);
}

std::string CSerial::OpenFailure() const
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    return m_openFailure;
}

int CSerial::NotifyDescriptor() const
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    return m_net ? m_net->StateFd() : -1;
}

bool CSerial::IsNetworkPort() const
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    return m_net != nullptr;
}

void CSerial::CancelNetWaits()
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (m_net)
        m_net->Abort();
}

bool CSerial::SettingsAreServers() const
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    return m_net != nullptr && !m_net->CarriesSettings();
}

long CSerial::ConnectNetLine(const std::string &name, std::unique_ptr<CNetLine> *line,
                             std::optional<ST_NetLineSettings> *applied)
{
    ST_NetAddress address;
    std::string error;
    if (!ParseNetAddress(name, &address, &error)) {
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        m_openFailure = name + ": " + error;
        SetLastError(SystemError(EINVAL));
    } else {
        std::unique_ptr<CNetLine> prepared;
        {
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            prepared = std::move(m_preparedNet);
        }
        if (prepared && prepared->IsOpen() && SameAddress(prepared->Address(), address)) {
            *line = std::move(prepared);
            if ((*line)->CarriesSettings())
                *applied = m_preparedSettings;
            return 0;
        }
        auto made = std::make_unique<CNetLine>();
        std::string message;
        const long rc = made->Open(address, -1, &message);
        if (rc == 0) {
            *line = std::move(made);
            return 0;
        }
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        m_openFailure = message;
        SetLastError(rc);
    }
    Log("CSerial", "Open", "Unable to open port");
    return GetLastError();
}

long CSerial::StartDemo(const std::string &name, std::unique_ptr<IDemoPort> *demo)
{
    std::string error;
    {
        // Started beforehand by an owner whose thread must not wait for it.
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        if (m_preparedPlayed && m_preparedPlayedName == name) {
            *demo = std::move(m_preparedPlayed);
            return 0;
        }
    }
    *demo = StartPlayedPort(name, &error);
    if (*demo)
        return 0;
    {
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        m_openFailure = error;
    }
    return Fail("Open", "Unable to open port", SystemError(ENOENT));
}

long CSerial::Open(const std::string &port, long inQueue, long outQueue, bool overlapped)
{
    SetLastError(0);
    {
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        m_openFailure.clear();
    }
    if (IsOpen())
        return SetLastError(ERROR_ALREADY_INITIALIZED);
    const std::string name = WithoutDevicePrefix(port);
    std::unique_ptr<CNetLine> net;
    std::optional<ST_NetLineSettings> applied;
    std::unique_ptr<IDemoPort> demo;
    if (IsNetworkPortName(name)) {
        if (const long rc = ConnectNetLine(name, &net, &applied))
            return rc;
    } else if (IsPlayedPortName(name)) {
        if (const long rc = StartDemo(name, &demo))
            return rc;
    }
    {
        const std::unique_lock<std::shared_mutex> life(m_lifeLock);
        if (IsOpen())
            return SetLastError(ERROR_ALREADY_INITIALIZED);
        int fd = -1;
        KTermios current;
        if (net) {
            fd = net->DataFd();
        } else {
            const std::string path = demo ? demo->SlavePath() : DevicePath(port);
            fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                return Fail("Open", "Unable to open port", SystemError(errno));
            // flock keeps out other programs that ask, root included; TIOCEXCL keeps out those that
            // don't (except root). A device that is not a terminal is no port.
            if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !GetKernelTermios(fd, &current) ||
                ioctl(fd, TIOCEXCL) != 0) {
                const int e = errno;
                CloseFd(fd);
                return Fail("Open", "Unable to open port", SystemError(e));
            }
        }
        m_maskWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        int closeWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_maskWakeFd < 0 || closeWake < 0) {
            const int e = errno;
            if (net) {
                net->Close();
            } else {
                ioctl(fd, TIOCNXCL);
                CloseFd(fd);
            }
            CloseFd(m_maskWakeFd);
            CloseFd(closeWake);
            return SetLastError(SystemError(e));
        }
        m_closeWakeFd.store(closeWake);
        m_saved = current;
        m_haveSaved = net == nullptr;
        m_pseudoTerminal = net == nullptr && IsPseudoTerminal(fd);
        m_overlapped = overlapped;
        m_closing.store(false);
        m_pendingEvent.store(0);
        {
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            m_dcb = ST_Dcb{};
            m_netApplied.reset();
            m_netDtr.reset();
            m_netRts.reset();
            if (applied) {
                m_dcb = DcbOf(*applied);
                m_netApplied = applied;
            }
            m_timeouts = ST_CommTimeouts{};
            m_lineErrors = 0;
            m_lineErrorCounts = ST_LineCounters();
            m_haveModem = false;
            m_modemMissingLogged = false;
            m_noModemLines.store(false);
            m_noLineCounters.store(false);
        }
        {
            const std::lock_guard<std::mutex> guard(m_rxLock);
            m_rxBuffer.clear();
            m_rxHead = 0;
        }
        m_eventCharSeen.store(false);
        m_txPending.store(false);
        if (!net) {
            tcflush(fd, TCIOFLUSH);
            WaiveClosingWait(fd);
        }
        m_net = std::move(net);
        m_demo = std::move(demo);
        m_fd.store(fd);
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
        const std::shared_lock<std::shared_mutex> life(m_lifeLock);
        const int fd = m_fd.load();
        KTermios base;
        if (m_net) {
            // The server keeps its line as it is until Setup says otherwise: a connection made
            // for a link already carries the link's settings, and sending the defaults first
            // would only make the line flicker through them.
        } else if (fd < 0 || !GetKernelTermios(fd, &base)) {
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
        {
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            m_lineErrors = 0;
        }
        // Only now: the open's flush would have thrown away what the device says first.
        if (m_demo)
            m_demo->Opened();
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
        const std::shared_lock<std::shared_mutex> life(m_lifeLock);
        m_closing.store(true);
        const int wake = m_closeWakeFd.load();
        if (wake >= 0)
            eventfd_write(wake, 1);
        // A call waiting for a server's answer holds the port until it comes.
        if (m_net)
            m_net->Abort();
    }
    const std::unique_lock<std::shared_mutex> life(m_lifeLock);
    int fd = m_fd.exchange(-1);
    if (fd < 0)
        return 0;
    // Output still queued goes out while the line takes it, for a short while; what a held line
    // (XOFF, CTS, a device that stopped reading) cannot take is dropped: the kernel's close would
    // wait for it up to the port's closing time, 30 s by default. Input is dropped too, as nobody
    // is left to read it.
    // A pseudo-terminal's close never waits for its far end, and flushing it would throw away
    // what the far end has not read yet.
    uint32_t unsent = 0;
    if (m_net) {
        DrainOutputBriefly(fd);
        unsent = m_net->Close();
        m_net.reset();
        fd = -1; // the connection's own
    } else if (m_pseudoTerminal) {
        tcflush(fd, TCIFLUSH);
    } else {
        DrainOutputBriefly(fd);
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0)
            unsent = static_cast<uint32_t>(queued);
        tcflush(fd, TCIOFLUSH);
    }
    m_unsentAtClose.store(unsent);
    if (fd >= 0) {
        if (m_haveSaved)
            SetKernelTermios(fd, m_saved);
        RestoreClosingWait(fd);
        ioctl(fd, TIOCNXCL);
        CloseFd(fd);
    }
    // After the close: the device ends with the port, and its folder goes with it.
    m_demo.reset();
    m_haveSaved = false;
    m_haveCounters = false;
    CloseFd(m_maskWakeFd);
    int closeWake = m_closeWakeFd.exchange(-1);
    CloseFd(closeWake);
    m_overlapped = false;
    m_closing.store(false);
    return 0;
}

void CSerial::WaiveClosingWait(int fd)
{
    m_savedClosingWait = -1;
    // A pseudo-terminal has no closing wait to waive.
    if (m_pseudoTerminal)
        return;
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) {
        Log("CSerial", "Open", "The driver keeps its own closing wait: it cannot tell it");
        return;
    }
    if (info.closing_wait == ASYNC_CLOSING_WAIT_NONE)
        return;
    const unsigned short own = info.closing_wait;
    info.closing_wait = ASYNC_CLOSING_WAIT_NONE;
    // Most drivers let only an administrator change it.
    if (ioctl(fd, TIOCSSERIAL, &info) != 0) {
        Log("CSerial", "Open", "The driver keeps its own closing wait: it refused to waive it");
        return;
    }
    m_savedClosingWait = own;
}

void CSerial::RestoreClosingWait(int fd)
{
    if (m_savedClosingWait < 0)
        return;
    const unsigned short own = static_cast<unsigned short>(m_savedClosingWait);
    m_savedClosingWait = -1;
    // Bytes a driver could not drop (a transfer in flight on a held adapter) would keep the close
    // waiting for up to its own closing time: then the port keeps the waiver, and the log says so.
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        Log("CSerial", "Close", "The driver's closing wait stays waived: it still holds unsent bytes");
        return;
    }
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0)
        return; // gone with its device
    info.closing_wait = own;
    ioctl(fd, TIOCSSERIAL, &info);
}

ST_Dcb CSerial::GetDcb() const
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    return m_dcb;
}

ST_CommTimeouts CSerial::GetTimeouts() const
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    return m_timeouts;
}

void CSerial::ApplyModemLines(const ST_Dcb &dcb)
{
    if (m_net) {
        if (!m_net->CarriesSettings())
            return;
        // Sent only when they change: every command costs the server a look at its port.
        const bool dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
        const bool rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        if (m_netDtr != dtr && m_net->SetDtr(dtr) == 0)
            m_netDtr = dtr;
        // Under RTS/CTS flow control the server moves RTS itself.
        if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE && m_netRts != rts && m_net->SetRts(rts) == 0)
            m_netRts = rts;
        return;
    }
    // Drivers without modem lines (a pseudo-terminal) refuse these; the line settings still hold.
    const int fd = m_fd.load();
    int on = 0;
    int off = 0;
    (dcb.fDtrControl == DTR_CONTROL_DISABLE ? off : on) |= TIOCM_DTR;
    (dcb.fRtsControl == RTS_CONTROL_DISABLE ? off : on) |= TIOCM_RTS;
    if (on)
        ioctl(fd, TIOCMBIS, &on);
    if (off)
        ioctl(fd, TIOCMBIC, &off);
}

// The caller holds m_lifeLock shared and has checked that the port is open. A setting the server
// answers differently is refused like one a local driver did not take, but the server's line is
// left as it answered: there is no reading back what it had before.
long CSerial::ApplyNetDcb(const char *op, const ST_Dcb &dcb)
{
    if (!CheckDcb(dcb).empty())
        return Fail(op, "Unable to set DCB information", SystemError(EINVAL));
    if (m_net->CarriesSettings()) {
        const ST_NetLineSettings want = NetSettingsOf(dcb);
        std::optional<ST_NetLineSettings> applied;
        {
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            applied = m_netApplied;
        }
        if (!applied || !SameSettings(*applied, want)) {
            std::string untaken, reason;
            const long rc = m_net->ApplySettings(want, &untaken, &reason);
            if (rc == ERROR_NOT_SUPPORTED) {
                {
                    const std::lock_guard<std::mutex> guard(m_settingsLock);
                    m_netApplied.reset();
                }
                Log("CSerial", op, ("The server did not take the " + untaken + ": " + reason).c_str());
                return Fail(op, "Unable to set DCB information", ERROR_NOT_SUPPORTED);
            }
            if (rc != 0)
                return Fail(op, "Unable to set DCB information", rc);
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            m_netApplied = want;
        }
    }
    ApplyModemLines(dcb);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_dcb = dcb;
    return 0;
}

// The caller holds m_lifeLock shared and has checked that the port is open.
long CSerial::ApplyDcb(const char *op, const ST_Dcb &dcb)
{
    if (m_net)
        return ApplyNetDcb(op, dcb);
    const int fd = m_fd.load();
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
    const std::string untaken = UntakenSetting(want, got, m_pseudoTerminal);
    if (!untaken.empty()) {
        SetKernelTermios(fd, base);
        Log("CSerial", op, ("The driver did not take the " + untaken).c_str());
        return Fail(op, "Unable to set DCB information", ERROR_NOT_SUPPORTED);
    }
    ApplyModemLines(dcb);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_dcb = dcb;
    return 0;
}

long CSerial::Setup(uint32_t baudrate, uint8_t dataBits, uint8_t parity, uint8_t stopBits)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
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
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (!IsOpen())
        return Fail("SetEventChar", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_dcb.EvtChar = static_cast<char>(eventChar);
    return GetLastError();
}

long CSerial::SetupHandshaking(uint8_t handshake)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
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
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (!IsOpen())
        return Fail("SetupReadTimeouts", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    switch (readTimeout) {
    case ShortReadTimeout:
        m_timeouts.ReadIntervalTimeout = kShortTimeout;
        m_timeouts.ReadTotalTimeoutMultiplier = 0;
        m_timeouts.ReadTotalTimeoutConstant = kShortTimeout;
        break;
    case BlockingRead:
        m_timeouts.ReadIntervalTimeout = 0;
        m_timeouts.ReadTotalTimeoutMultiplier = 0;
        m_timeouts.ReadTotalTimeoutConstant = 0;
        break;
    default:
        return SetLastError(E_INVALIDARG);
    }
    return 0;
}

long CSerial::SetMask(uint32_t mask)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (!IsOpen())
        return Fail("SetMask", "Device is not opened", ERROR_INVALID_HANDLE);
    // Modem-line changes count from the mask that asks for them, not from the open.
    if (mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING))
        TakeModemSnapshot();
    m_eventMask.store(mask);
    m_maskGeneration.fetch_add(1);
    if (eventfd_write(m_maskWakeFd, 1) != 0)
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
    return m_eventMask.load();
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
    const uint32_t word = m_pendingEvent.exchange(0);
    const uint32_t mask = m_eventMask.load();
    const uint16_t events = static_cast<uint16_t>(word & 0xFFFF & mask);
    if (events == 0)
        AppendLogFormatted(DiagLogPath(), "CSerial::GetEventType - Event %08Xh not within mask %08Xh.\n",
                           word, mask);
    return events;
}

long CSerial::LookAtModemLines(int *status)
{
    *status = 0;
    if (m_net) {
        // A raw port has no lines. An RFC 2217 server sets DTR and RTS when asked; its inputs
        // read off until it first tells them (it tells every change after that).
        const ST_NetLineState state = m_net->State();
        if (!m_net->CarriesSettings())
            return SetLastError(SystemError(ENOTTY));
        *status = (state.Dtr ? TIOCM_DTR : 0) | (state.Rts ? TIOCM_RTS : 0) | (state.Cts ? TIOCM_CTS : 0) |
                  (state.Dsr ? TIOCM_DSR : 0) | (state.Dcd ? TIOCM_CAR : 0) | (state.Ring ? TIOCM_RNG : 0);
        return SetLastError(0);
    }
    const int fd = m_fd.load();
    return SetLastError(fd < 0                             ? ERROR_INVALID_HANDLE
                        : ioctl(fd, TIOCMGET, status) != 0 ? SystemError(errno)
                                                           : 0);
}

bool CSerial::ModemStatus(const char *op, int bit, bool lineBreak)
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    int status = 0;
    if (LookAtModemLines(&status) != 0) {
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
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    int status = 0;
    return LookAtModemLines(&status) == 0;
}

bool CSerial::GetModemLines(ST_ModemLines *lines)
{
    *lines = ST_ModemLines{};
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    int status = 0;
    if (LookAtModemLines(&status) != 0) {
        Log("CSerial", "GetModemLines", "Unable to obtain the modem status");
        return false;
    }
    *lines = ST_ModemLines{(status & TIOCM_DTR) != 0, (status & TIOCM_RTS) != 0, (status & TIOCM_CTS) != 0,
                           (status & TIOCM_DSR) != 0, (status & TIOCM_CAR) != 0, (status & TIOCM_RNG) != 0};
    return true;
}

long CSerial::ApplyModemLine(const char *op, int bit, bool on)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    const int fd = m_fd.load();
    if (fd < 0)
        return Fail(op, "Device is not opened", ERROR_INVALID_HANDLE);
    if (m_net) {
        const long rc = !m_net->CarriesSettings() ? SystemError(ENOTTY)
                        : bit == TIOCM_DTR        ? m_net->SetDtr(on)
                                                  : m_net->SetRts(on);
        if (rc != 0)
            return Fail(op, "Unable to set the modem line", rc);
        const std::lock_guard<std::mutex> guard(m_settingsLock);
        (bit == TIOCM_DTR ? m_netDtr : m_netRts) = on;
    } else if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
        return Fail(op, "Unable to set the modem line", SystemError(errno));
    }
    // Held, so a later Setup puts the line back the way it was left here.
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    const uint8_t control = on ? 1 : 0; // DTR_CONTROL_ENABLE / RTS_CONTROL_ENABLE or _DISABLE
    if (bit == TIOCM_DTR)
        m_dcb.fDtrControl = control;
    else if (m_dcb.fRtsControl != RTS_CONTROL_HANDSHAKE)
        m_dcb.fRtsControl = control;
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
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    const int fd = m_fd.load();
    if (fd < 0 || m_closing.load())
        return Fail("SendBreak", "Device is not opened", ERROR_INVALID_HANDLE);
    const std::lock_guard<std::mutex> serial(m_breakLock);
    // A raw network port has no line to hold in the break state.
    const auto setBreak = [this, fd](bool on) -> long {
        if (m_net)
            return m_net->CarriesSettings() ? m_net->SetBreak(on) : SystemError(ENOTTY);
        return ioctl(fd, on ? TIOCSBRK : TIOCCBRK) != 0 ? SystemError(errno) : 0;
    };
    if (const long rc = setBreak(true))
        return Fail("SendBreak", "Unable to set the break state", rc);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    bool closed = false;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd wake{m_closeWakeFd.load(), POLLIN, 0};
        const int rc = poll(&wake, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
        if (rc > 0) {
            closed = true;
            break;
        }
        if (rc < 0 && errno != EINTR)
            break;
    }
    if (const long rc = setBreak(false))
        return Fail("SendBreak", "Unable to clear the break state", rc);
    return closed ? Fail("SendBreak", "Device is not opened", ERROR_INVALID_HANDLE) : 0;
}
