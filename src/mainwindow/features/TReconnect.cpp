#include "mainwindow/features/TReconnect.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/coretext.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <algorithm>

namespace {

const TSettingValue<bool> kReconnect("ReconnectAutomatically", false);

constexpr int kRetryMs = 500;
// A device just plugged in may refuse to open for a moment (udev has not given it its group yet,
// a modem service probes it), so the first tries fail quietly; after that the user hears once,
// and the tries slow down: a device that does not open now seldom does a moment later.
constexpr int kQuietFailures = 4;
constexpr int kSlowRetryMs = 5000;
constexpr int kFirstConnectRetryMs = 1000;

bool IsNetworkLink(const std::optional<COM_PORT_SETTING> &link)
{
    return link && CPortSession::NeedsConnect(*link);
}

// The name a user knows the port by: "ttyUSB0", "pts/3", or the last part of a longer path.
QString ShortPortName(const std::string &port)
{
    std::string name = CSerial::DevicePath(port);
    if (name.rfind("/dev/", 0) == 0)
        name = name.substr(5);
    const size_t slash = name.find_last_of('/');
    const bool number = slash != std::string::npos && slash + 1 < name.size() &&
                        name.find_first_not_of("0123456789", slash + 1) == std::string::npos;
    if (slash != std::string::npos && !number)
        name = name.substr(slash + 1);
    return QString::fromLocal8Bit(name);
}

} // namespace

TReconnect::TReconnect(QObject *parent, CPortSession &session, TFeatureServices &services, TMenuSlots &menus,
                       TStatusArea &status, TTrafficLog &log,
                       std::function<void(const QString &)> showMessage)
    : QObject(parent), m_session(session), m_services(services), m_status(status), m_log(log),
      m_showMessage(std::move(showMessage))
{
    services.Offer(static_cast<IPortWait &>(*this));
    m_action = menus.AddNew(this, "mnuOpReconnect", tr("Reconnect &Automatically"), true);
    connect(m_action, &QAction::toggled, this, [this](bool on) {
        m_session.SetReconnect(on);
        ShowWait();
        if (m_session.LostLink())
            emit StateChanged(); // Close Port ends a wait
    });
    connect(&m_timer, &QTimer::timeout, this, &TReconnect::Tick);
    connect(&services, &TFeatureServices::PortOpened, this, &TReconnect::EndWait);
    connect(&services, &TFeatureServices::CloseAsked, this, &TReconnect::EndWait);
    connect(&services, &TFeatureServices::PortLost, this, &TReconnect::NotePortLost);
    connect(&services, &TFeatureServices::ReopenTried, this, &TReconnect::Tried);
    connect(&services, &TFeatureServices::LinkStatusShown, this, [this] {
        if (m_session.WaitingForPort())
            ShowWait();
    });
}

void TReconnect::NotePortLost(long code)
{
    const std::optional<COM_PORT_SETTING> &link = m_services.Port().LastLink();
    const std::string port = link ? link->PortName : std::string();
    m_log.LogNote("Port lost: " + port + " (" + SerialErrorText(code, false) + ")");
    m_lostReason = CoreText(SerialErrorText(code, false));
    m_returnError.clear();
    ShowWait();
    emit StateChanged();
}

void TReconnect::EndWait()
{
    m_session.EndReconnectWait();
    m_timer.stop();
    m_returnError.clear();
}

void TReconnect::ShowWait()
{
    if (!m_session.WaitingForPort()) {
        m_timer.stop();
        if (m_session.LostLink() && !m_session.IsOpen())
            m_status.SetPanel(TStatusArea::Port, tr("Port: lost"),
                              tr("The port was lost: %1").arg(m_lostReason));
        return;
    }
    const bool network = IsNetworkLink(m_session.LostLink());
    const int failed = m_session.FailedReturns();
    if (!m_timer.isActive())
        m_timer.start(network ? std::min(kSlowRetryMs, kFirstConnectRetryMs << std::min(failed, 3))
                      : failed >= kQuietFailures ? kSlowRetryMs
                                                 : kRetryMs);
    const ST_DeviceMark &mark = m_session.LostMark();
    QString tip = tr("The port was lost: %1").arg(m_lostReason) + QLatin1Char('\n');
    if (network)
        tip += tr("It is reopened when the server answers again.");
    else if (!mark.ById.empty())
        tip += tr("It is reopened when %1 is back.").arg(QString::fromLocal8Bit(mark.ById));
    else if (!mark.Identity.empty())
        tip += tr("It is reopened when %1 is back with the same device (%2).")
                   .arg(QString::fromLocal8Bit(mark.Path), QString::fromLocal8Bit(mark.Identity));
    else
        tip += tr("It is reopened when %1 is back.").arg(QString::fromLocal8Bit(mark.Path));
    if (!m_returnError.isEmpty())
        tip += QLatin1Char('\n') +
               (network ? tr("The last try: %1") : tr("The device is back but did not open: %1"))
                   .arg(m_returnError);
    m_status.SetPanel(TStatusArea::Port,
                      tr("Waiting for %1 to come back").arg(ShortPortName(m_session.LostLink()->PortName)),
                      tip);
    m_status.Fit(false);
}

void TReconnect::Tick()
{
    if (!m_session.WaitingForPort()) {
        m_timer.stop();
        return;
    }
    const COM_PORT_SETTING link = *m_session.LostLink();
    if (IsNetworkLink(link)) {
        if (m_session.Connecting())
            return;
        m_timer.stop();
        m_services.Port().Open(link, std::string(), EOpenOrigin::Reconnect);
        return;
    }
    const std::string device = m_session.ReturnedDevice();
    if (device.empty())
        return;
    // The link keeps the name the user gave it; only the device opened for it may differ.
    m_services.Port().Open(link, device, EOpenOrigin::Reconnect);
}

void TReconnect::Tried(const COM_PORT_SETTING &link, const std::string &device, const QString &messages)
{
    if (m_session.IsOpen()) {
        std::string note = "Port back: " + link.PortName;
        if (!device.empty() && device != CSerial::DevicePath(link.PortName))
            note += " (" + device + ")";
        m_log.LogNote(note);
        return;
    }
    if (!m_session.WaitingForPort())
        return; // the user stopped waiting meanwhile
    m_returnError = messages;
    const int failed = m_session.NoteReturnFailed();
    if (IsNetworkLink(link)) {
        // A server that is down is the common case here, not a fault to stop the user for.
        m_timer.stop();
        ShowWait();
        return;
    }
    if (failed == kQuietFailures)
        m_timer.start(kSlowRetryMs);
    ShowWait();
    // The box waits for the user while the slower tries go on: a port that opens meanwhile is
    // not held up by a box nobody is there to close.
    if (failed == kQuietFailures)
        m_showMessage(m_returnError + QStringLiteral("\n\n") +
                      tr("The device is back but could not be opened. Kestrum tries "
                         "again every 5 seconds; Close Port stops waiting."));
}

void TReconnect::Load(const QSettings &settings)
{
    m_action->setChecked(kReconnect.Read(settings));
}

void TReconnect::Save(QSettings &settings) const
{
    kReconnect.Write(settings, m_session.Reconnect());
}
