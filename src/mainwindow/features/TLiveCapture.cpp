#include "mainwindow/features/TLiveCapture.h"

#include "extcap/livecapture.h"
#include "link/linksetting.h"
#include "log/logpcapng.h"
#include "mainwindow/features/pcapngdirections.h"
#include "platform/diaglog.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"

#include <QMetaObject>
#include <unistd.h>

TLiveCapture::TLiveCapture(QObject *window, int windowNumber, CPortSession &session,
                           TFeatureServices &services)
    : QObject(window), m_number(windowNumber), m_session(session)
{
    m_wallOffset = WallNowMicros() - CSessionFrames::Now().count();
    const std::string path = LiveCaptureFolder() + "/" + LiveCaptureSocketName(getpid(), windowNumber);
    const std::string why = m_door.Start(path, Header(), LiveGreeting(m_number, m_description));
    m_listening = why.empty();
    if (!m_listening) {
        AppendLogFormatted(DiagLogPath(), "Live capture: not offered: %s", why.c_str());
        return;
    }
    m_door.SetDropNote([](uint64_t packets, uint64_t bytes) {
        const std::string text = std::to_string(packets) + " packets (" + std::to_string(bytes) +
                                 " bytes) dropped: the capture read more slowly than the line ran";
        std::string block;
        AppendLogPcapng(block, LogDirection::Note, reinterpret_cast<const uint8_t *>(text.data()),
                        text.size(), WallNowMicros());
        return block;
    });
    connect(&services, &TFeatureServices::PortOpened, this,
            [this](const COM_PORT_SETTING &link) { LinkChanged(link); });
    connect(&services, &TFeatureServices::PortClosed, this, [this] { LinkChanged(std::nullopt); });
    // Where the window frames a direction its frames are the packets, so the block stage passes
    // that direction over; they are in the order the frames began, which is the line's.
    session.Traffic().Add("live capture", [this](ST_Traffic &event) { Traffic(event); });
    session.Frames().SetObserver("live capture", [this](const ST_Frame &frame) { Frame(frame); });
}

// The session is gone by now (the window ends it before its features), and with it the stage
// and the observer.
TLiveCapture::~TLiveCapture() = default;

std::string TLiveCapture::Header() const
{
    return PcapngHeader(LogPcapngInterfaces(m_port, m_description));
}

void TLiveCapture::LinkChanged(const std::optional<COM_PORT_SETTING> &link)
{
    const std::string before = m_description;
    m_port = link ? PcapngPortName(link->PortName) : std::string();
    m_description = link ? PcapngLinkDescription(*link) : std::string();
    m_wallOffset = WallNowMicros() - CSessionFrames::Now().count();
    m_door.SetStart(Header(), LiveGreeting(m_number, m_description));
    // Those attached keep the interfaces they were given; they are told in words.
    if (link)
        Note("port opened: " + m_description);
    else if (!before.empty())
        Note("port closed: " + before);
}

void TLiveCapture::Traffic(const ST_Traffic &event)
{
    if (!m_door.Attached())
        return;
    const CSessionFrames &frames = m_session.Frames();
    const bool framed =
        event.Direction == ETraffic::MonitorAtoB || event.Direction == ETraffic::MonitorBtoA
            ? frames
                  .SideProfile(event.Direction == ETraffic::MonitorAtoB ? EFrameDirection::MonitorAtoB
                                                                        : EFrameDirection::MonitorBtoA)
                  .has_value()
            : frames.Profile().has_value();
    if (framed || event.Data.GetLength() <= 0)
        return;
    AppendLogPcapng(m_pending, LogDirectionOf(event.Direction), event.Data.GetData(),
                    static_cast<size_t>(event.Data.GetLength()), TrafficWallMicros(event));
    Queue();
}

void TLiveCapture::Frame(const ST_Frame &frame)
{
    if (!m_door.Attached())
        return;
    AppendLogPcapng(m_pending, LogDirectionOf(frame.Direction), frame.Bytes.data(), frame.Bytes.size(),
                    m_wallOffset + frame.Start.count());
    Queue();
}

void TLiveCapture::Note(const std::string &text)
{
    if (!m_door.Attached())
        return;
    AppendLogPcapng(m_pending, LogDirection::Note, reinterpret_cast<const uint8_t *>(text.data()),
                    text.size(), WallNowMicros());
    Queue();
}

void TLiveCapture::Queue()
{
    if (m_pendingPackets++ == 0)
        QMetaObject::invokeMethod(
            this, [this] { Flush(); }, Qt::QueuedConnection);
}

void TLiveCapture::Flush()
{
    m_door.Post(std::move(m_pending), m_pendingPackets);
    m_pending.clear();
    m_pendingPackets = 0;
}
