#include "monitor/portmonitor.h"

#include "monitor/virtualport.h"
#include "serial/serial.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

// A pseudo-terminal hands over at most a page at a time; a real port rarely has more waiting.
constexpr size_t kReadChunk = 4096;

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

// Opens `port` with the link's settings, as a window opens a link.
bool OpenLink(CSerial &port, const COM_PORT_SETTING &link, std::string &error)
{
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
        std::atomic<bool> lost{false};
    };

    BlockSink blocks;
    NoteSink notes;

    std::mutex controlLock; // Start and Stop
    std::atomic<bool> running{false};
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

    void Read(Side &from, Side &to);
    bool WriteAll(Side &to, const uint8_t *data, size_t size);
    void Lost(Side &side, int e);
    void FollowProgram();
    void CloseAll();
};

void CPortMonitor::Impl::Lost(Side &side, int e)
{
    if (!side.lost.exchange(true))
        notes(std::string("Port ") + side.name + " lost: " + SerialErrorText(SystemError(e)));
}

bool CPortMonitor::Impl::WriteAll(Side &to, const uint8_t *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(to.fd, data + done, size - done);
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
    std::string note = "Virtual port: " + FollowedLineText(line);
    note += rc == 0 ? "; port A follows" : "; port A cannot follow: " + SerialErrorText(rc);
    notes(note);
}

void CPortMonitor::Impl::Read(Side &from, Side &to)
{
    const bool virtualSide = from.packetMode;
    const int watch = virtualSide ? virtualB.OpenWatch() : -1;
    uint8_t buffer[kReadChunk + 1];
    for (;;) {
        pollfd fds[3] = {{from.fd, POLLIN, 0}, {wake, POLLIN, 0}, {watch, POLLIN, 0}};
        if (poll(fds, watch >= 0 ? 3 : 2, -1) < 0) {
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
        block.Data.assign(data, data + size);
        blocks(std::move(block));
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

CPortMonitor::CPortMonitor(BlockSink blocks, NoteSink notes) : m_impl(std::make_unique<Impl>())
{
    m_impl->blocks = blocks ? std::move(blocks) : [](ST_MonitorBlock &&) {};
    m_impl->notes = notes ? std::move(notes) : [](const std::string &) {};
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

bool CPortMonitor::Start(const ST_MonitorSetup &setup, std::string &error)
{
    Impl &m = *m_impl;
    const std::lock_guard<std::mutex> control(m.controlLock);
    error.clear();
    if (m.running.load()) {
        error = "The monitor is already running";
        return false;
    }
    m.setup = setup;
    std::string linkPath;
    if (setup.VirtualB) {
        linkPath = VirtualLinkPath(setup.VirtualPath, error);
        if (linkPath.empty())
            return false;
    } else if (CSerial::DevicePath(setup.PortA.PortName) == CSerial::DevicePath(setup.PortB.PortName)) {
        error = "Port A and port B are the same port: " + setup.PortA.PortName;
        return false;
    }
    const auto fail = [&] {
        m.CloseAll();
        return false;
    };
    m.wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m.wake < 0) {
        error = "Can not start the monitor: " + SerialErrorText(SystemError(errno));
        return fail();
    }
    if (!OpenLink(m.portA, setup.PortA, error))
        return fail();
    if (setup.VirtualB) {
        const ST_Dcb dcb = LinkDcb(setup.PortA);
        if (!m.virtualB.Make(linkPath, dcb, error))
            return fail();
        ST_FollowedLine initial;
        m.virtualB.ProgramLine(&initial);
        m.followed = initial;
        m.b.fd = m.virtualB.Master();
        const std::lock_guard<std::mutex> guard(m.deviceLock);
        m.virtualDevice = m.virtualB.SlavePath();
    } else {
        if (!OpenLink(m.portB, setup.PortB, error))
            return fail();
        m.b.fd = m.portB.Descriptor();
    }
    m.a.fd = m.portA.Descriptor();
    m.b.packetMode = setup.VirtualB;
    m.a.lost.store(false);
    m.b.lost.store(false);
    m.readers[0] = std::thread([&m] { m.Read(m.a, m.b); });
    m.readers[1] = std::thread([&m] { m.Read(m.b, m.a); });
    m.running.store(true);
    return true;
}

void CPortMonitor::Stop()
{
    Impl &m = *m_impl;
    const std::lock_guard<std::mutex> control(m.controlLock);
    if (!m.running.load())
        return;
    eventfd_write(m.wake, 1);
    for (std::thread &reader : m.readers)
        reader.join();
    m.CloseAll();
    m.running.store(false);
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
