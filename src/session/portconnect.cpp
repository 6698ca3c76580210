// Opening a link on another machine: the connection (and the line settings the server is asked
// to take) is made on a thread of its own, then handed to the port, which opens on it at once.
#include "session/portsession.h"

#include "netport/netline.h"

#include <sys/eventfd.h>
#include <unistd.h>

struct CPortSession::Connect
{
    explicit Connect(const COM_PORT_SETTING &l)
        : link(l), cancelFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), line(std::make_unique<CNetLine>())
    {
    }
    ~Connect()
    {
        if (worker.joinable())
            worker.join();
        if (cancelFd >= 0)
            close(cancelFd);
    }
    Connect(const Connect &) = delete;
    Connect &operator=(const Connect &) = delete;

    void Run(const ST_NetAddress &address, const ST_NetLineSettings &wanted)
    {
        code = line->Open(address, cancelFd, &message);
        if (code != 0 || cancelled.load())
            return;
        settings = wanted;
        std::string untaken;
        refused = line->ApplySettings(settings, &untaken) == ERROR_NOT_SUPPORTED;
    }

    const COM_PORT_SETTING link;
    const int cancelFd;
    std::thread worker;
    std::atomic<bool> cancelled{false};
    // Made here, used by the worker, given to the port on the owner thread once the worker ended.
    std::unique_ptr<CNetLine> line;
    // Written by the worker, read on the owner thread once it has ended.
    ST_NetLineSettings settings;
    long code = 0;
    std::string message;
    bool refused = false;
};

bool CPortSession::NeedsConnect(const COM_PORT_SETTING &link)
{
    return IsNetworkPortName(link.PortName);
}

void CPortSession::BeginOpen(const COM_PORT_SETTING &link)
{
    Close();
    auto connect = std::make_shared<Connect>(link);
    ST_NetAddress address;
    std::string error;
    if (connect->cancelFd < 0 || !ParseNetAddress(link.PortName, &address, &error)) {
        // Told like any other outcome: after BeginOpen has returned.
        connect->code = SystemError(connect->cancelFd < 0 ? errno : EINVAL);
        connect->message = link.PortName + ": " + error;
    } else {
        ST_NetLineSettings wanted;
        wanted.Baud = static_cast<uint32_t>(link.Baud);
        wanted.DataBits = link.DataBits;
        wanted.Parity = link.ParityCode;
        wanted.StopBits = link.StopBitsCode;
        const uint8_t handshake = HandshakeFor(link.FlowControl);
        wanted.Flow = handshake == CSerial::HardwareHandshake  ? ST_NetLineSettings::RtsCts
                      : handshake == CSerial::XonXoffHandshake ? ST_NetLineSettings::XonXoff
                                                               : ST_NetLineSettings::NoFlow;
        // The worker holds no share of `connect`: the owner keeps it until the worker has been
        // joined, so the last share always goes on the owner thread.
        Connect *raw = connect.get();
        CHandOver *handOver = m_sendHandOver.get();
        connect->worker = std::thread([this, raw, handOver, address, wanted] {
            raw->Run(address, wanted);
            // The hand-over that a close never cancels; a close in the meantime makes the outcome
            // stale, and ConnectDone passes it over.
            handOver->Forward([this, raw] { ConnectDone(raw); });
        });
    }
    m_connect = connect;
    if (!connect->worker.joinable())
        m_sendHandOver->Forward([this, raw = connect.get()] { ConnectDone(raw); });
}

void CPortSession::CancelConnect()
{
    if (!m_connect)
        return;
    m_connect->cancelled.store(true);
    eventfd_write(m_connect->cancelFd, 1);
    m_connect->line->Abort();
    if (m_connect->worker.joinable())
        m_connect->worker.join();
    m_connect.reset();
}

void CPortSession::ConnectDone(Connect *connect)
{
    if (m_connect.get() != connect)
        return; // closed or opened again meanwhile
    if (connect->worker.joinable())
        connect->worker.join();
    const std::shared_ptr<Connect> done = std::move(m_connect);
    ST_OpenResult result;
    result.Code = done->code;
    result.Message = done->message;
    result.SettingRefused = done->code == 0 && done->refused;
    if (done->code == 0 && !done->refused) {
        m_port->PrepareNetLine(std::move(done->line), done->settings);
        result = Open(done->link);
    }
    m_view.SessionOpened(done->link, result.Open, result.SettingRefused, result.Code, result.Message);
}
