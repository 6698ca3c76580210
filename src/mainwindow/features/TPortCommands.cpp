#include "mainwindow/features/TPortCommands.h"
#include "link/gui/TfrmOpenPort.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/coretext.h"
#include "portbase/serialerror.h"
#include "serial/portholders.h"
#include "serial/serial.h"
#include "session/portsession.h"
#include "shell/TSessionBridge.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QLabel>
#include <QStringList>
#include <array>

namespace {

// A caption keeps its ": ", where a panel short of room cuts it off.
const char *const kPanelLabels[kStatusPanelCount] = {
    QT_TRANSLATE_NOOP("TPortCommands", "Port: "),      QT_TRANSLATE_NOOP("TPortCommands", "Baud Rate: "),
    QT_TRANSLATE_NOOP("TPortCommands", "Data Bits: "), QT_TRANSLATE_NOOP("TPortCommands", "Parity: "),
    QT_TRANSLATE_NOOP("TPortCommands", "Stop Bits: "), QT_TRANSLATE_NOOP("TPortCommands", "DTC: "),
    QT_TRANSLATE_NOOP("TPortCommands", "Rec  :"),      QT_TRANSLATE_NOOP("TPortCommands", "Send :")};
// What the link's panels show, in words a tool tip or a screen reader can say.
const char *const kPanelNames[6] = {
    QT_TRANSLATE_NOOP("TPortCommands", "Port"),      QT_TRANSLATE_NOOP("TPortCommands", "Baud rate"),
    QT_TRANSLATE_NOOP("TPortCommands", "Data bits"), QT_TRANSLATE_NOOP("TPortCommands", "Parity"),
    QT_TRANSLATE_NOOP("TPortCommands", "Stop bits"), QT_TRANSLATE_NOOP("TPortCommands", "Flow control")};

} // namespace

TPortCommands::TPortCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                             TFeatureServices &services, TStatusArea &status, TTrafficLog &log,
                             const ST_Controls &controls, std::function<void(const QString &)> showMessage,
                             std::function<void(const COM_PORT_SETTING &)> showTitle)
    : QObject(window), m_window(window), m_session(session), m_services(services), m_status(status),
      m_log(log), m_c(controls), m_showMessage(std::move(showMessage)), m_showTitle(std::move(showTitle))
{
    services.Offer(static_cast<IPortService &>(*this));
    connect(m_c.mnuOpenPort, &QAction::triggered, this, [this] { ChooseLink(std::string()); });
    connect(m_c.mnuQuickLink, &QAction::triggered, this, [this] {
        if (m_lastLink)
            Open(COM_PORT_SETTING(*m_lastLink));
    });
    connect(m_c.mnuClosePort, &QAction::triggered, this, &TPortCommands::ClosePortCommand);
    connect(&events, &TSessionBridge::Opened, this, &TPortCommands::NetworkOpened);
    connect(&events, &TSessionBridge::PortLost, this, &TPortCommands::PortLost);
}

TPortCommands::~TPortCommands()
{
    ForgetPortHolder(m_holderNumber);
}

void TPortCommands::ChooseLink(const std::string &demoPort)
{
    RunGuarded(m_window, [this, &demoPort] {
        COM_PORT_SETTING link;
        {
            TfrmOpenPort dialog(m_window);
            if (!demoPort.empty())
                dialog.SelectDemoDevice(demoPort);
            if (dialog.exec() != QDialog::Accepted || !dialog.HasSelectedLink())
                return;
            link = dialog.SelectedLink();
        }
        Open(link);
    });
}

void TPortCommands::Open(const COM_PORT_SETTING &link, const std::string &device, EOpenOrigin origin)
{
    CloseDevice();
    if (CPortSession::OpensInBackground(link)) {
        // The network may keep the connect waiting for seconds, and a recording's disk its read;
        // the window goes on meanwhile and hears the outcome in NetworkOpened.
        m_session.BeginOpen(link);
        m_connectOrigin = origin;
        if (origin == EOpenOrigin::User) {
            const QString port = QString::fromLatin1(link.PortName);
            if (CPortSession::NeedsConnect(link))
                m_status.SetPanel(TStatusArea::Port, tr("Connecting to %1...").arg(port),
                                  tr("Close Port stops connecting"));
            else
                m_status.SetPanel(TStatusArea::Port, tr("Opening %1...").arg(port),
                                  tr("Close Port stops opening"));
            m_status.Fit(false);
        }
        emit StateChanged();
        return;
    }
    const CPortSession::ST_OpenResult opened = m_session.Open(link, device);
    FinishOpen(link, device, origin, opened.Open, opened.SettingRefused, opened.Code, opened.Message);
}

void TPortCommands::NetworkOpened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                                  const std::string &message)
{
    FinishOpen(link, std::string(), std::exchange(m_connectOrigin, EOpenOrigin::User), open, settingRefused,
               code, message);
}

// The user is told at once; a reopen in the background keeps the words for the one who asked it.
void TPortCommands::FinishOpen(const COM_PORT_SETTING &link, const std::string &device, EOpenOrigin origin,
                               bool open, bool settingRefused, long code, const std::string &message)
{
    QStringList held;
    const auto tell = [this, origin, &held](const QString &text) {
        if (origin == EOpenOrigin::User)
            m_showMessage(text);
        else
            held << text;
    };
    const QString port = QString::fromLatin1(link.PortName);
    // A port that did not open has no settings to refuse: it gets the one message below.
    if (settingRefused)
        tell(tr("Error Port Setting: %1").arg(port));
    const std::string path = device.empty() ? CSerial::DevicePath(link.PortName) : device;
    if (open) {
        m_lastLink = link;
        if (!CPortSession::NeedsConnect(link))
            NotePortHolder(path, m_holderNumber);
        emit m_services.PortOpened(link);
    } else if (!message.empty() && (CPortSession::NeedsConnect(link) || IsPlayedPortName(link.PortName))) {
        // The connection's own words name the address and what the network said; a demo
        // port's name the devices there are.
        tell(QString::fromLocal8Bit(message));
    } else {
        QString text = tr("Can not Open %1").arg(port);
        const int holder =
            code == SystemError(EBUSY) || code == SystemError(EWOULDBLOCK) ? PortHolder(path) : 0;
        if (holder != 0 && holder != m_holderNumber)
            text += tr(": the port is open in window %1").arg(holder);
        else if (code != 0)
            text += QStringLiteral(": ") + CoreText(SerialErrorText(code));
        tell(text);
    }
    emit StateChanged();
    ShowLinkStatus(open ? link : COM_PORT_SETTING());
    if (origin == EOpenOrigin::Reconnect)
        emit m_services.ReopenTried(link, device, held.join(QLatin1Char('\n')));
}

void TPortCommands::ClosePortCommand()
{
    emit m_services.CloseAsked();
    Close();
}

void TPortCommands::Close()
{
    CloseDevice();
    emit StateChanged();
    ShowLinkStatus(COM_PORT_SETTING());
}

void TPortCommands::CloseDevice()
{
    const bool wasOpen = m_session.IsOpen();
    const uint32_t unsent = m_session.Close();
    if (wasOpen)
        PortClosed(unsent);
}

void TPortCommands::PortClosed(uint32_t unsent)
{
    ForgetPortHolder(m_holderNumber);
    emit m_services.PortClosed();
    ShowUnsent(unsent);
}

void TPortCommands::TakeBackUnsent(uint32_t bytes)
{
    m_session.TakeBackUnsent(bytes);
    ShowUnsent(bytes);
}

void TPortCommands::ShowUnsent(uint32_t bytes)
{
    if (bytes == 0)
        return;
    m_status.ShowSendCount(m_session.SendBytes(), m_session.SendBlocks());
    m_log.LogNote("Not sent: " + std::to_string(bytes) +
                  " bytes were still queued for the line when the port closed");
}

// The device went away under an open port: the session has closed it; say so where the port
// name stood.
void TPortCommands::PortLost(long code, uint32_t unsent)
{
    PortClosed(unsent);
    emit StateChanged();
    ShowLinkStatus(COM_PORT_SETTING());
    m_status.SetPanel(TStatusArea::Port, tr("Port: lost"),
                      tr("The port was lost: %1").arg(CoreText(SerialErrorText(code, false))));
    emit m_services.PortLost(code);
}

void TPortCommands::ShowLinkStatus(const COM_PORT_SETTING &link)
{
    for (int i = 0; i < kStatusPanelCount; ++i)
        m_status.SetPanel(i, tr(kPanelLabels[i]));
    const bool open = m_session.IsOpen();
    if (open) {
        const std::array<std::string, 9> texts = LinkToDisplay(link).Columns();
        // A raw TCP port carries data only: what the link says of the line was never sent.
        const bool servers = m_session.Device().SettingsAreServers();
        for (int i = 0; i < 6; ++i) {
            const bool line = servers && i >= 1 && i <= 5;
            const QString value =
                line ? tr("server's") : QString::fromLocal8Bit(texts[static_cast<size_t>(i) + 1]);
            const QString says = tr("%1: %2").arg(tr(kPanelNames[i]), value);
            m_status.SetPanel(
                i, tr(kPanelLabels[i]) + value,
                line ? tr("A raw TCP port carries data only: the line settings are the server's") : says,
                says);
        }
    }
    m_status.Fit(open);
    m_showTitle(open ? link : COM_PORT_SETTING());
    emit m_services.LinkStatusShown();
}

void TPortCommands::ShowMonitorLines(const COM_PORT_SETTING &a, const COM_PORT_SETTING *b)
{
    const std::array<std::string, 9> textsA = LinkToDisplay(a).Columns();
    const std::array<std::string, 9> textsB = LinkToDisplay(b != nullptr ? *b : a).Columns();
    const QString nameA = QString::fromLocal8Bit(a.LinkName);
    const QString nameB = b != nullptr ? QString::fromLocal8Bit(b->LinkName) : QString();
    for (int i = 1; i < 6; ++i) {
        const QString valueA = QString::fromLocal8Bit(textsA[static_cast<size_t>(i) + 1]);
        const QString valueB = QString::fromLocal8Bit(textsB[static_cast<size_t>(i) + 1]);
        const QString what = tr(kPanelNames[i]);
        const QString says =
            b != nullptr
                ? tr("%1: %2 on port A (%3), %4 on port B (%5)").arg(what, valueA, nameA, valueB, nameB)
                : tr("%1: %2 on port A (%3); port B is virtual").arg(what, valueA, nameA);
        m_status.SetPanel(
            i, tr(kPanelLabels[i]) + valueA + (b != nullptr ? QStringLiteral(" / ") + valueB : QString()),
            says, says);
    }
}

void TPortCommands::UpdateControls()
{
    const bool monitor = MonitorRunning();
    const bool closable =
        monitor || m_session.IsOpen() || m_session.WaitingForPort() || m_session.Connecting();
    m_c.mnuClosePort->setEnabled(closable);
    m_c.mnuQuickLink->setEnabled(m_lastLink.has_value() && !monitor);
    m_c.mnuOpenPort->setEnabled(!monitor);
}
