// Opening a link on another machine: the connection (and the line settings the server is asked
// to take) is made on a thread of its own, then handed to the port, which opens on it at once.
#include "session/portsession.h"

#include "netport/netopen.h"

struct CPortSession::Connect
{
    explicit Connect(const COM_PORT_SETTING &l) : link(l) {}
    ~Connect()
    {
        if (worker.joinable())
            worker.join();
    }
    Connect(const Connect &) = delete;
    Connect &operator=(const Connect &) = delete;

    const COM_PORT_SETTING link;
    std::thread worker;
    // Used by the worker; its outcome is read on the owner thread once the worker has ended.
    CNetOpen net;
    long code = 0;
    std::string message;
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
    if (!ParseNetAddress(link.PortName, &address, &error)) {
        // Told like any other outcome: after BeginOpen has returned.
        connect->code = SystemError(EINVAL);
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
            raw->code = raw->net.Run(address, wanted, &raw->message);
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
    m_connect->net.Cancel();
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
    result.SettingRefused = done->code == 0 && done->net.SettingRefused();
    if (done->code == 0 && !result.SettingRefused) {
        m_port->PrepareNetLine(done->net.TakeLine(), done->net.Settings());
        result = Open(done->link);
    }
    m_view.SessionOpened(done->link, result.Open, result.SettingRefused, result.Code, result.Message);
}
