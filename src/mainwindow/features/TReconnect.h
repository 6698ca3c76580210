#pragma once
// A port whose device went away: a note in the log, and, when the user asked for it, the same
// link opened again as soon as the same device is back, never another one that took its name.
// The session knows what is awaited; this looks for it twice a second: a stat call, and a few
// small sysfs reads once a node of that name exists; opening a port is quick, so the window never
// waits long. A port on another machine cannot be looked for: the same address is connected to
// again, on the session's own thread, less and less often up to every 5 seconds.
#include "link/linksetting.h"
#include "shell/TFeatureServices.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

class CPortSession;
class QAction;
class QSettings;
class TMenuSlots;
class TStatusArea;
class TTrafficLog;

// Offers the wait for a lost port (IPortWait).
class TReconnect : public QObject, public IPortWait
{
    Q_OBJECT
public:
    TReconnect(QObject *parent, CPortSession &session, TFeatureServices &services, TMenuSlots &menus,
               TStatusArea &status, TTrafficLog &log, std::function<void(const QString &)> showMessage);

    // The session has noted what is awaited: the link of the lost port and its device.
    void NotePortLost(long code);
    void EndWait();
    // The first status panel says what is awaited, or that the port was lost once the user no
    // longer waits for it; the tries run only while it says so.
    void ShowWait() override;
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;
    const QTimer &Timer() const { return m_timer; }

signals:
    void StateChanged();

private:
    void Tick();
    // After a reopen in the background: a note when the port is back, else the next try.
    void Tried(const COM_PORT_SETTING &link, const std::string &device, const QString &messages);

    CPortSession &m_session;
    TFeatureServices &m_services;
    TStatusArea &m_status;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_action = nullptr;
    // What the session awaits of a lost port is shown with why it was lost and, once a device
    // that is back would not open, what the last try said; the timer makes the tries.
    QString m_lostReason;
    QString m_returnError;
    QTimer m_timer;
};
