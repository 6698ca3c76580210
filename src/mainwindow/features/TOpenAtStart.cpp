#include "mainwindow/features/TOpenAtStart.h"

#include "mainwindow/TMenuSlots.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TReconnect.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "serial/serial.h"
#include "session/portsession.h"

#include <QAction>
#include <QSettings>
#include <QTimer>

namespace {

std::string Text(const QSettings &settings, const char *name)
{
    return settings.value(QLatin1String(name)).toString().toStdString();
}

} // namespace

TOpenAtStart::TOpenAtStart(QObject *parent, CPortSession &session, TPortCommands &port, TReconnect &reconnect,
                           TMenuSlots &menus)
    : QObject(parent), m_session(session), m_port(port), m_reconnect(reconnect)
{
    m_action = menus.AddNew(MenuSlot::OperateReconnect, this, "mnuOpOpenAtStart",
                            tr("Open This &Link at Start"), 10, true);
    connect(&port, &TPortCommands::Opened, this, [this](const COM_PORT_SETTING &link) {
        m_link = link;
        m_mark = m_session.OpenMark();
    });
}

void TOpenAtStart::Load(const QSettings &settings)
{
    m_action->setChecked(ReadSettingsFlag(settings, "OpenAtStart"));
    COM_PORT_SETTING link;
    try {
        if (LinkFromLine(Text(settings, "OpenAtStartLink"), link))
            m_link = link;
    } catch (const EKestrumError &) {
        m_link.reset(); // a line edited by hand: nothing to open
    }
    m_mark = ST_DeviceMark{};
    m_mark.Path = Text(settings, "OpenAtStartDevice");
    m_mark.ById = Text(settings, "OpenAtStartById");
    m_mark.Identity = Text(settings, "OpenAtStartIdentity");
    if (m_started)
        return;
    m_started = true;
    if (m_action->isChecked() && m_link)
        QTimer::singleShot(0, this, &TOpenAtStart::OpenNow);
}

void TOpenAtStart::Save(QSettings &settings) const
{
    settings.setValue(QStringLiteral("OpenAtStart"), m_action->isChecked() ? 1 : 0);
    if (!m_link)
        return;
    settings.setValue(QStringLiteral("OpenAtStartLink"), QString::fromStdString(LinkToLine(*m_link)));
    settings.setValue(QStringLiteral("OpenAtStartDevice"), QString::fromStdString(m_mark.Path));
    settings.setValue(QStringLiteral("OpenAtStartById"), QString::fromStdString(m_mark.ById));
    settings.setValue(QStringLiteral("OpenAtStartIdentity"), QString::fromStdString(m_mark.Identity));
}

void TOpenAtStart::OpenNow()
{
    if (m_session.IsOpen() || m_session.Connecting())
        return; // the user was quicker
    if (!m_session.Reconnect()) {
        m_port.Open(*m_link);
        return;
    }
    // Waited for as a lost port is: the first try comes with the wait's first tick, and the
    // device (or the server) may take its time to appear after a reboot.
    ST_DeviceMark mark = m_mark;
    if (mark.Path.empty())
        mark.Path = CSerial::DevicePath(m_link->PortName);
    m_session.AwaitPort(*m_link, mark);
    m_reconnect.ShowWait();
}
