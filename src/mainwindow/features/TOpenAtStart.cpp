#include "mainwindow/features/TOpenAtStart.h"

#include "platform/errors.h"
#include "platform/gui/settingvalue.h"
#include "serial/serial.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QSettings>
#include <QTimer>

namespace {

const TSettingValue<bool> kOpenAtStart("OpenAtStart", false);
// The link last opened and where its device was found.
const TSettingValue<QString> kLink("OpenAtStartLink", QString());
const TSettingValue<QString> kDevice("OpenAtStartDevice", QString());
const TSettingValue<QString> kById("OpenAtStartById", QString());
const TSettingValue<QString> kIdentity("OpenAtStartIdentity", QString());

std::string Text(const QSettings &settings, const TSettingValue<QString> &value)
{
    return value.Read(settings).toStdString();
}

} // namespace

TOpenAtStart::TOpenAtStart(QObject *parent, CPortSession &session, TFeatureServices &services,
                           TMenuSlots &menus)
    : QObject(parent), m_session(session), m_services(services)
{
    m_action = menus.AddNew(this, "mnuOpOpenAtStart", tr("Open This &Link at Start"), true);
    connect(&services, &TFeatureServices::PortOpened, this, [this](const COM_PORT_SETTING &link) {
        m_link = link;
        m_mark = m_session.OpenMark();
    });
}

void TOpenAtStart::Load(const QSettings &settings)
{
    m_action->setChecked(kOpenAtStart.Read(settings));
    COM_PORT_SETTING link;
    try {
        if (LinkFromLine(Text(settings, kLink), link))
            m_link = link;
    } catch (const EKestrumError &) {
        m_link.reset(); // a line edited by hand: nothing to open
    }
    m_mark = ST_DeviceMark{};
    m_mark.Path = Text(settings, kDevice);
    m_mark.ById = Text(settings, kById);
    m_mark.Identity = Text(settings, kIdentity);
    if (m_started)
        return;
    m_started = true;
    if (m_action->isChecked() && m_link)
        QTimer::singleShot(0, this, &TOpenAtStart::OpenNow);
}

void TOpenAtStart::Save(QSettings &settings) const
{
    kOpenAtStart.Write(settings, m_action->isChecked());
    if (!m_link)
        return;
    kLink.Write(settings, QString::fromStdString(LinkToLine(*m_link)));
    kDevice.Write(settings, QString::fromStdString(m_mark.Path));
    kById.Write(settings, QString::fromStdString(m_mark.ById));
    kIdentity.Write(settings, QString::fromStdString(m_mark.Identity));
}

void TOpenAtStart::OpenNow()
{
    if (m_session.IsOpen() || m_session.Connecting())
        return; // the user was quicker
    if (!m_session.Reconnect()) {
        m_services.Port().Open(*m_link);
        return;
    }
    // Waited for as a lost port is: the first try comes with the wait's first tick, and the
    // device (or the server) may take its time to appear after a reboot.
    ST_DeviceMark mark = m_mark;
    if (mark.Path.empty())
        mark.Path = CSerial::DevicePath(m_link->PortName);
    m_session.AwaitPort(*m_link, mark);
    m_services.PortWait().ShowWait();
}
