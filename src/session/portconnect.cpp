// Opening a link on another machine: the connection (and the line settings the server is asked
// to take) is made on a thread of its own, then handed to the port, which opens on it at once. A
// played port whose start reads a file is started the same way.
#include "session/portsession.h"

#include "netport/netopen.h"
#include "portbase/demoports.h"

#include <algorithm>
#include <cerrno>

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
    std::unique_ptr<IDemoPort> played;
    long code = 0;
    std::string message;
};

bool CPortSession::NeedsConnect(const COM_PORT_SETTING &link)
{
    return IsNetworkPortName(link.PortName);
}

bool CPortSession::OpensInBackground(const COM_PORT_SETTING &link)
{
    return NeedsConnect(link) || PlayedPortStartWaits(link.PortName);
}

void CPortSession::BeginOpen(const COM_PORT_SETTING &link)
{
    Close();
    auto connect = std::make_shared<Connect>(link);
    ST_NetAddress address;
    std::string error;
    if (!NeedsConnect(link)) {
        Connect *raw = connect.get();
        CHandOver *handOver = m_sendHandOver.get();
        connect->worker = std::thread([this, raw, handOver, name = link.PortName] {
            raw->played = StartPlayedPort(name, &raw->message);
            if (!raw->played)
                raw->code = SystemError(ENOENT);
            handOver->Forward([this, raw] { ConnectDone(raw); });
        });
    } else if (!ParseNetAddress(link.PortName, &address, &error)) {
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
    if (!NeedsConnect(m_connect->link)) {
        // A file being read has no cancel: the start ends by itself and is let go then, so the
        // owner never waits on the disk.
        m_abandoned.push_back(std::move(m_connect));
        return;
    }
    m_connect->net.Cancel();
    if (m_connect->worker.joinable())
        m_connect->worker.join();
    m_connect.reset();
}

void CPortSession::ConnectDone(Connect *connect)
{
    const auto abandoned =
        std::find_if(m_abandoned.begin(), m_abandoned.end(),
                     [connect](const std::shared_ptr<Connect> &c) { return c.get() == connect; });
    if (abandoned != m_abandoned.end()) {
        m_abandoned.erase(abandoned); // its worker has done all but return
        return;
    }
    if (m_connect.get() != connect)
        return; // closed or opened again meanwhile
    if (connect->worker.joinable())
        connect->worker.join();
    const std::shared_ptr<Connect> done = std::move(m_connect);
    ST_OpenResult result;
    result.Code = done->code;
    result.Message = done->message;
    result.SettingRefused = done->code == 0 && !done->played && done->net.SettingRefused();
    if (done->code == 0 && !result.SettingRefused) {
        if (done->played)
            m_port->PreparePlayedPort(done->link.PortName, std::move(done->played));
        else
            m_port->PrepareNetLine(done->net.TakeLine(), done->net.Settings());
        result = Open(done->link);
    }
    m_view.SessionOpened(done->link, result.Open, result.SettingRefused, result.Code, result.Message);
}
