#include "monitor/portmonitor.h"

#include "monitor/virtualport.h"
#include "netport/netopen.h"
#include "platform/handoverbound.h"
#include "serial/serial.h"
#include "session/lineevents.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A pseudo-terminal hands over at most a page at a time; a real port rarely has more waiting.
constexpr size_t kReadChunk = 4096;

int64_t SteadyMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t WallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

uint8_t HandshakeFor(int32_t flowControl)
{
    switch (flowControl) {
    case 1:
        return CSerial::XonXoffHandshake;
    case 2:
        return CSerial::HardwareHandshake;
    default:
        return CSerial::NoHandshake;
    }
}

uint8_t StopBitsFor(bool two, uint8_t dataBits)
{
    if (!two)
        return ONESTOPBIT;
    return dataBits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
}

// The settings a link puts on a port, as CSerial's Setup and SetupHandshaking make them.
ST_Dcb LinkDcb(const COM_PORT_SETTING &link)
{
    ST_Dcb dcb;
    dcb.BaudRate = static_cast<uint32_t>(link.Baud);
    dcb.ByteSize = link.DataBits;
    dcb.Parity = link.ParityCode;
    dcb.StopBits = link.StopBitsCode;
    dcb.fParity = link.ParityCode != NOPARITY;
    const uint8_t handshake = HandshakeFor(link.FlowControl);
    dcb.fOutxCtsFlow = handshake == CSerial::HardwareHandshake;
    dcb.fRtsControl = handshake == CSerial::HardwareHandshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = dcb.fInX = handshake == CSerial::XonXoffHandshake;
    return dcb;
}

// What the server of a network link is asked for: what Setup and SetupHandshaking ask of it.
ST_NetLineSettings NetSettingsFor(const COM_PORT_SETTING &link)
{
    const ST_Dcb dcb = LinkDcb(link);
    ST_NetLineSettings settings;
    settings.Baud = dcb.BaudRate;
    settings.DataBits = dcb.ByteSize;
    settings.Parity = dcb.Parity;
    settings.StopBits = dcb.StopBits;
    settings.Flow = dcb.fOutxCtsFlow ? ST_NetLineSettings::RtsCts
                    : dcb.fOutX      ? ST_NetLineSettings::XonXoff
                                     : ST_NetLineSettings::NoFlow;
    return settings;
}

// Opens `port` with the link's settings, as a window opens a link: a network link is connected
// first by `connect`, which Stop can cancel, and the port then opens on its connection at once.
bool OpenLink(CSerial &port, const COM_PORT_SETTING &link, CNetOpen *connect, std::string &error)
{
    if (connect != nullptr) {
        ST_NetAddress address;
        std::string words;
        if (!ParseNetAddress(link.PortName, &address, &words)) {
            error = "Can not Open " + link.PortName + ": " + words;
            return false;
        }
        if (connect->Run(address, NetSettingsFor(link), &error) != 0)
            return false;
        if (connect->SettingRefused()) {
            // Run told what the server answered instead.
            error = "Error Port Setting: " + link.PortName + ": " +
                    (error.empty() ? SerialErrorText(ERROR_NOT_SUPPORTED) : error);
            return false;
        }
        port.PrepareNetLine(connect->TakeLine(), connect->Settings());
    }
    const long opened = port.Open(link.PortName, link.InputBufferLen, link.OutputBufferLen, true);
    if (opened != 0 || !port.IsOpen()) {
        error = "Can not Open " + link.PortName;
        if (opened != 0)
            error += ": " + SerialErrorText(opened);
        port.Close();
        return false;
    }
    const long handshake = port.SetupHandshaking(HandshakeFor(link.FlowControl));
    const long setup = handshake != 0 ? handshake
                                      : port.Setup(static_cast<uint32_t>(link.Baud), link.DataBits,
                                                   link.ParityCode, link.StopBitsCode);
    if (setup != 0) {
        error = "Error Port Setting: " + link.PortName + ": " + SerialErrorText(setup);
        port.Close();
        return false;
    }
    return true;
}

} // namespace

struct CPortMonitor::Impl
{
    struct Side
    {
        const char *name = "";
        EMonitorTag readTag = EMonitorTag::A;
        EMonitorTag bridgedTag = EMonitorTag::AtoB;
        int fd = -1;
        bool packetMode = false;
        CSerial *port = nullptr; // null for the virtual port
        bool network = false;
        std::atomic<bool> lost{false};
        ELinePort linePort = ELinePort::MonitorA;
        // Its reader's own: the lines as last looked at, whether there are any to look at, and
        // whether its driver counts line errors (a pseudo-terminal's is not asked at every read).
        CLineEvents lines;
        bool watchLines = false;
        bool countsErrors = false;
    };

    BlockSink blocks;
    NoteSink notes;
    EventSink events;
    LineSink lineEvents;

    std::mutex controlLock; // Begin and Stop
    std::atomic<bool> running{false};
    std::atomic<bool> starting{false};
    std::atomic<bool> cancelled{false}; // Stop gives up a start
    std::atomic<bool> ended{false};
    // The start's thread, and the connects of network links it waits on: made before it begins,
    // let go once it has been joined, so Stop reaches them meanwhile.
    std::thread starter;
    std::unique_ptr<CNetOpen> connects[2];
    CHandOverBound bound;
    ST_MonitorSetup setup;
    CSerial portA;
    CSerial portB;
    CVirtualPort virtualB;
    mutable std::mutex deviceLock; // the virtual device's name, read by VirtualDevice
    std::string virtualDevice;
    Side a, b;
    int wake = -1; // readable once Stop begins
    std::thread readers[2];
    // Only the reader of the virtual port touches it.
    ST_FollowedLine followed;
    // Writes to the virtual port against the dropping of its input at a program's last close.
    std::mutex attachLock;

    void StartPorts(const std::string &linkPath, const StartSink &started);
    bool OpenPorts(const std::string &linkPath, std::string &error);
    void Read(Side &from, Side &to);
    void LineErrors(Side &side);
    void LookAtLines(Side &side);
    bool WriteAll(Side &to, const uint8_t *data, size_t size);
    void Lost(Side &side, int e);
    void FollowProgram();
    void CloseAll();
};

// The other side of a device that went away is still worth watching; a connection that ended
// does not come back by itself, so the run ends there, and its owner stops it.
void CPortMonitor::Impl::Lost(Side &side, int e)
{
    if (side.lost.exchange(true))
        return;
    const long code = side.port != nullptr ? side.port->LostCode(e) : SystemError(e);
    notes(std::string("Port ") + side.name + " lost: " + SerialErrorText(code));
    if (!side.network || ended.exchange(true))
        return;
    bound.SetStopping(true);
    eventfd_write(wake, 1);
    events(EMonitorEvent::Ended);
}

bool CPortMonitor::Impl::WriteAll(Side &to, const uint8_t *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        // A connection whose server went away fails the write; it must not end the program.
        const ssize_t n = to.network ? send(to.fd, data + done, size - done, MSG_NOSIGNAL)
                                     : write(to.fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            Lost(to, errno);
            return false;
        }
        // The other side is full: this side is not read until it takes the rest, which holds
        // the sender back through its own flow control instead of a growing buffer here.
        pollfd fds[2] = {{to.fd, POLLOUT, 0}, {wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (fds[1].revents != 0)
            return false;
        // A side that can take nothing more, for good: the write above would not tell.
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
            Lost(to, EIO);
            return false;
        }
    }
    return true;
}

void CPortMonitor::Impl::FollowProgram()
{
    ST_FollowedLine line;
    if (!virtualB.ProgramLine(&line))
        return;
    // Rate 0 asks a modem to hang up; there is no such rate to follow.
    if (line.Baud == 0)
        line.Baud = followed.Baud;
    if (line == followed)
        return;
    followed = line;
    const COM_PORT_SETTING &link = setup.PortA;
    long rc = portA.SetupHandshaking(line.Handshake);
    if (rc == 0)
        rc = portA.Setup(line.Baud, link.DataBits, link.ParityCode,
                         StopBitsFor(line.TwoStopBits, link.DataBits));
    if (cancelled.load())
        return; // a Stop cut the server's answer short: nothing worth telling
    std::string note = "Virtual port: " + FollowedLineText(line);
    note += rc == 0 ? "; port A follows" : "; port A cannot follow: " + SerialErrorText(rc);
    notes(note);
}

void CPortMonitor::Impl::LineErrors(Side &side)
{
    uint32_t errors = 0;
    if (!side.countsErrors || !side.port->ClearCommErrors(&errors) || errors == 0)
        return;
    ST_LineEvent seen;
    seen.SteadyMicros = SteadyMicros();
    seen.Port = side.linePort;
    seen.Before = seen.After = side.lines.Lines();
    for (const ST_LineEvent &event : LineErrorsSeen(errors, side.port->TakeLineErrorCounts(), seen))
        lineEvents(event);
}

void CPortMonitor::Impl::LookAtLines(Side &side)
{
    ST_ModemLines now;
    // A driver that stops answering is not asked ten times a second (the log has its line).
    if (!side.port->GetModemLines(&now)) {
        side.watchLines = false;
        return;
    }
    std::optional<ST_LineEvent> changed = side.lines.LinesSeen(LineEventBits(now), SteadyMicros());
    if (!changed)
        return;
    changed->Port = side.linePort;
    lineEvents(*changed);
}

void CPortMonitor::Impl::Read(Side &from, Side &to)
{
    using Clock = std::chrono::steady_clock;
    const bool virtualSide = from.packetMode;
    const int watch = virtualSide ? virtualB.OpenWatch() : -1;
    const int notify = from.port != nullptr ? from.port->NotifyDescriptor() : -1;
    from.lines.PortClosed();
    from.watchLines = from.port != nullptr && from.port->HasModemLines();
    from.countsErrors = from.port != nullptr && from.port->HasLineCounters();
    Clock::time_point nextLook = Clock::now();
    uint8_t buffer[kReadChunk + 1];
    const auto tellHold = [this] { events(EMonitorEvent::ReadingHeld); };
    for (;;) {
        if (!bound.WaitForRoom(tellHold))
            return;
        int waitMs = -1;
        if (from.watchLines) {
            const Clock::time_point now = Clock::now();
            if (now >= nextLook) {
                LookAtLines(from);
                nextLook = now + std::chrono::milliseconds(CLineEvents::kLookMs);
            }
            waitMs = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(nextLook - Clock::now()).count());
        }
        // A descriptor of -1 is passed over.
        pollfd fds[4] = {{from.fd, POLLIN, 0}, {wake, POLLIN, 0}, {watch, POLLIN, 0}, {notify, POLLIN, 0}};
        if (poll(fds, 4, from.watchLines ? std::max(waitMs, 0) : -1) < 0) {
            if (errno == EINTR)
                continue;
            Lost(from, errno);
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[2].revents != 0)
            if (virtualB.OnOpenWatch()) {
                const std::lock_guard<std::mutex> guard(attachLock);
                virtualB.DropUnread();
            }
        if (fds[3].revents != 0) {
            // The server told it apart from the data: before the bytes still waiting, as the
            // window's listener takes it.
            eventfd_t drained = 0;
            eventfd_read(notify, &drained);
            LineErrors(from);
            if (from.watchLines)
                LookAtLines(from);
        }
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = read(from.fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            // Readable with nothing to read, and no error to tell: a line that hung up.
            if (fds[0].revents & (POLLHUP | POLLERR)) {
                Lost(from, EIO);
                return;
            }
            continue;
        }
        if (n <= 0) {
            // A raw line read without waiting answers 0 only once it has hung up.
            Lost(from, n == 0 ? EIO : errno);
            return;
        }
        const uint8_t *data = buffer;
        size_t size = static_cast<size_t>(n);
        if (virtualSide) {
            // Packet mode: a status byte alone, or TIOCPKT_DATA (0) before the data.
            if (buffer[0] != 0) {
                FollowProgram();
                continue;
            }
            ++data;
            --size;
            if (size == 0)
                continue;
        }
        // Held from the look at whether a program has the virtual port open to the end of the
        // write, so what is written there is either read by that program or dropped at its close.
        std::unique_lock<std::mutex> attach(attachLock, std::defer_lock);
        if (to.packetMode)
            attach.lock();
        const bool bridged =
            setup.Bridge && !to.lost.load() && (!to.packetMode || virtualB.ProgramAttached());
        ST_MonitorBlock block;
        block.Tag = bridged ? from.bridgedTag : from.readTag;
        block.ArrivalMs = WallClockMs();
        block.ArrivalSteadyMicros = SteadyMicros();
        block.Data.assign(data, data + size);
        bound.Added(size);
        blocks(std::move(block));
        // A local driver counts a break or a line error as the bytes it came with arrive.
        if (notify < 0)
            LineErrors(from);
        if (bridged && !WriteAll(to, data, size) && !to.lost.load())
            return; // stopping
    }
}

void CPortMonitor::Impl::CloseAll()
{
    portA.Close();
    portB.Close();
    virtualB.Remove();
    {
        const std::lock_guard<std::mutex> guard(deviceLock);
        virtualDevice.clear();
    }
    if (wake >= 0)
        close(wake);
    wake = -1;
    a.fd = b.fd = -1;
}

bool CPortMonitor::Impl::OpenPorts(const std::string &linkPath, std::string &error)
{
    wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        error = "Can not start the monitor: " + SerialErrorText(SystemError(errno));
        return false;
    }
    if (!OpenLink(portA, setup.PortA, connects[0].get(), error))
        return false;
    if (setup.VirtualB) {
        const ST_Dcb dcb = LinkDcb(setup.PortA);
        if (!virtualB.Make(linkPath, dcb, error))
            return false;
        ST_FollowedLine initial;
        virtualB.ProgramLine(&initial);
        followed = initial;
        b.fd = virtualB.Master();
        b.port = nullptr;
        const std::lock_guard<std::mutex> guard(deviceLock);
        virtualDevice = virtualB.SlavePath();
    } else {
        if (!OpenLink(portB, setup.PortB, connects[1].get(), error))
            return false;
        b.fd = portB.Descriptor();
        b.port = &portB;
    }
    a.fd = portA.Descriptor();
    a.port = &portA;
    a.network = connects[0] != nullptr;
    b.network = connects[1] != nullptr;
    b.packetMode = setup.VirtualB;
    a.lost.store(false);
    b.lost.store(false);
    if (cancelled.load()) {
        error = "The monitor was stopped before it started";
        return false;
    }
    return true;
}

void CPortMonitor::Impl::StartPorts(const std::string &linkPath, const StartSink &started)
{
    std::string error;
    if (!OpenPorts(linkPath, error)) {
        CloseAll();
        // Over before its caller hears of it: a start tried again at once is not refused as one
        // already running.
        starting.store(false);
        if (started)
            started(error);
        return;
    }
    running.store(true);
    // Told before anything read is handed over, so the owner hears of the start first.
    if (started)
        started(std::string());
    readers[0] = std::thread([this] { Read(a, b); });
    readers[1] = std::thread([this] { Read(b, a); });
    starting.store(false);
}

CPortMonitor::CPortMonitor(BlockSink blocks, NoteSink notes, EventSink events, LineSink lines)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->blocks = blocks ? std::move(blocks) : [](ST_MonitorBlock &&) {};
    m_impl->notes = notes ? std::move(notes) : [](const std::string &) {};
    m_impl->events = events ? std::move(events) : [](EMonitorEvent) {};
    m_impl->lineEvents = lines ? std::move(lines) : [](const ST_LineEvent &) {};
    m_impl->a.linePort = ELinePort::MonitorA;
    m_impl->b.linePort = ELinePort::MonitorB;
    m_impl->a.name = "A";
    m_impl->a.readTag = EMonitorTag::A;
    m_impl->a.bridgedTag = EMonitorTag::AtoB;
    m_impl->b.name = "B";
    m_impl->b.readTag = EMonitorTag::B;
    m_impl->b.bridgedTag = EMonitorTag::BtoA;
}

CPortMonitor::~CPortMonitor()
{
    Stop();
}

bool CPortMonitor::Begin(const ST_MonitorSetup &setup, StartSink started, std::string &error)
{
    Impl &m = *m_impl;
    const std::lock_guard<std::mutex> control(m.controlLock);
    error.clear();
    if (m.running.load() || m.starting.load()) {
        error = "The monitor is already running";
        return false;
    }
    if (m.starter.joinable())
        m.starter.join(); // a start that failed
    std::string linkPath;
    if (setup.VirtualB) {
        linkPath = VirtualLinkPath(setup.VirtualPath, error);
        if (linkPath.empty())
            return false;
    } else if (CSerial::DevicePath(setup.PortA.PortName) == CSerial::DevicePath(setup.PortB.PortName)) {
        error = "Port A and port B are the same port: " + setup.PortA.PortName;
        return false;
    }
    m.setup = setup;
    m.cancelled.store(false);
    m.ended.store(false);
    m.bound.Clear();
    m.bound.SetStopping(false);
    m.connects[0].reset(IsNetworkPortName(setup.PortA.PortName) ? new CNetOpen : nullptr);
    m.connects[1].reset(!setup.VirtualB && IsNetworkPortName(setup.PortB.PortName) ? new CNetOpen : nullptr);
    m.starting.store(true);
    m.starter =
        std::thread([&m, linkPath, started = std::move(started)] { m.StartPorts(linkPath, started); });
    return true;
}

bool CPortMonitor::Start(const ST_MonitorSetup &setup, std::string &error)
{
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::string outcome;
    const auto started = [&](const std::string &e) {
        const std::lock_guard<std::mutex> guard(lock);
        outcome = e;
        finished = true;
        done.notify_all();
    };
    if (!Begin(setup, started, error))
        return false;
    std::unique_lock<std::mutex> guard(lock);
    done.wait(guard, [&] { return finished; });
    error = outcome;
    return error.empty();
}

void CPortMonitor::Stop()
{
    Impl &m = *m_impl;
    const std::lock_guard<std::mutex> control(m.controlLock);
    m.cancelled.store(true);
    for (const std::unique_ptr<CNetOpen> &connect : m.connects)
        if (connect)
            connect->Cancel();
    // A connection already handed to its port is past the connect's reach: the start may be
    // waiting in that port's Setup, and once running the virtual port's reader may wait in a
    // change of port A's settings, both for a server that does not answer.
    m.portA.CancelNetWaits();
    m.portB.CancelNetWaits();
    if (m.starter.joinable())
        m.starter.join();
    for (std::unique_ptr<CNetOpen> &connect : m.connects)
        connect.reset();
    if (!m.running.load())
        return;
    m.bound.SetStopping(true);
    eventfd_write(m.wake, 1);
    for (std::thread &reader : m.readers)
        reader.join();
    m.CloseAll();
    m.running.store(false);
}

void CPortMonitor::Taken(size_t bytes)
{
    m_impl->bound.Taken(bytes);
}

bool CPortMonitor::Running() const
{
    return m_impl->running.load();
}

std::string CPortMonitor::VirtualDevice() const
{
    const std::lock_guard<std::mutex> guard(m_impl->deviceLock);
    return m_impl->virtualDevice;
}
