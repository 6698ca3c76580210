#include "mainwindow/features/TCaptureCommands.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TLogCapture.h"
#include "log/logpcapng.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

TCaptureCommands::TCaptureCommands(QWidget *window, TTrafficLog &log, TMenuSlots &menus, TStatusArea &status)
    : QObject(window), m_window(window), m_capture(std::make_unique<TLogCapture>(&log, status.Bar()))
{
    status.AddPermanent(m_capture->Label());
    // Before the separator above "Exit", after sending a file.
    m_start = menus.AddNew(this, "mnuFileCapture", tr("&Capture to File\u2026"));
    m_stop = menus.AddNew(this, "mnuFileStopCapture", tr("S&top Capture"));
    connect(m_start, &QAction::triggered, this, [this] {
        const QString link = m_services && m_services->Port().LastLink()
                                 ? QString::fromLocal8Bit(m_services->Port().LastLink()->LinkName.c_str())
                                 : QString();
        TfrmCapture dialog(m_window, UserFilesFolder(), m_capture->LastChoice(), link,
                           [this, link](const ST_CaptureChoice &choice) {
                               return m_capture->Begin(choice, link, m_isOpen && m_isOpen());
                           });
        dialog.exec();
    });
    connect(m_stop, &QAction::triggered, this, [this] { m_capture->Stop(); });
    connect(m_capture.get(), &TLogCapture::StateChanged, this, &TCaptureCommands::UpdateControls);
}

TCaptureCommands::~TCaptureCommands() = default;

void TCaptureCommands::Follow(TFeatureServices &services, std::function<bool()> isOpen, int window)
{
    m_services = &services;
    m_isOpen = std::move(isOpen);
    m_capture->SetNameSource([this, window] {
        ST_CaptureNameValues names;
        if (m_services->Port().LastLink()) {
            names.link = m_services->Port().LastLink()->LinkName;
            names.port = m_services->Port().LastLink()->PortName;
        }
        names.window = std::to_string(window);
        return names;
    });
    m_capture->SetLinkDescription([this] {
        const auto &link = m_services->Port().LastLink();
        return link ? std::make_pair(PcapngPortName(link->PortName), PcapngLinkDescription(*link))
                    : std::pair<std::string, std::string>();
    });
    connect(&services, &TFeatureServices::PortOpened, this, [this](const COM_PORT_SETTING &link) {
        m_capture->LinkOpened(QString::fromLocal8Bit(link.LinkName.c_str()));
    });
    connect(&services, &TFeatureServices::PortLost, this, [this] { m_capture->LinkLost(); });
}

void TCaptureCommands::FollowTraffic(CPortSession &session)
{
    session.Traffic().Add("capture", [this](ST_Traffic &event) {
        const Bytes &bytes = event.Data.Data();
        if (bytes.empty() || !m_capture->CapturesPackets())
            return;
        const LogDirection direction = event.Direction == ETraffic::Sent          ? LogDirection::Sent
                                       : event.Direction == ETraffic::MonitorAtoB ? LogDirection::AtoB
                                       : event.Direction == ETraffic::MonitorBtoA ? LogDirection::BtoA
                                                                                  : LogDirection::Received;
        m_capture->CapturePacket(direction, bytes.data(), bytes.size(), m_stamps.Of(event));
    });
    session.LineEvents().SetObserver("capture", [this](const ST_LineEvent &event) {
        if (m_capture->CapturesPackets())
            m_capture->CaptureLineEvent(event, m_stamps.At(event.SteadyMicros));
    });
}

void TCaptureCommands::Load(const QSettings &settings)
{
    m_capture->Load(settings);
}

void TCaptureCommands::Save(QSettings &settings) const
{
    m_capture->Save(settings);
}

void TCaptureCommands::UpdateControls()
{
    const bool capturing = m_capture->IsRunning() || m_capture->IsWaiting();
    m_start->setEnabled(!capturing);
    m_stop->setEnabled(capturing);
}
