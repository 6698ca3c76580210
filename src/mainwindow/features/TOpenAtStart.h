#pragma once
// Operate > Open This Link at Start: the window opens the link it last had open when it starts,
// so an unattended machine logs again after a reboot with nobody there. With Reconnect
// Automatically on, a device that is not there yet (or a server that does not answer yet) is
// waited for as a lost one is; without it, one try and its message.
#include "link/linksetting.h"
#include "serial/devicereturn.h"

#include <QObject>
#include <optional>

class CPortSession;
class QAction;
class QSettings;
class TMenuSlots;
class TFeatureServices;

class TOpenAtStart : public QObject
{
    Q_OBJECT
public:
    TOpenAtStart(QObject *parent, CPortSession &session, TFeatureServices &services, TMenuSlots &menus);

    // Values "OpenAtStart", "OpenAtStartLink" (a link file line), "OpenAtStartDevice" and
    // "OpenAtStartById", "OpenAtStartIdentity" of the device it had. The first load after the
    // window is made starts the open, once the window runs.
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void OpenNow();

    CPortSession &m_session;
    TFeatureServices &m_services;
    QAction *m_action;
    std::optional<COM_PORT_SETTING> m_link; // the link last opened, kept across runs
    ST_DeviceMark m_mark;
    bool m_started = false;
};
