#pragma once
// What the window's features offer one another, declared in one place. The shell hands every
// feature that needs it the one TFeatureServices: a feature calls another's service, or hears its
// news, through the small interfaces and signals here and never through the other's class. The
// feature that owns a service offers it as it is made; services are asked for only once the
// window stands, so the features may be made in any order.
#include "link/linksetting.h"
#include "log/gui/TFindBar.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

class QWidget;

// Where an open came from: the user hears why a port did not open; a reopen in the background
// keeps the words for the one who asked it.
enum class EOpenOrigin : uint8_t { User, Reconnect };

// The window's port (TPortCommands).
class IPortService
{
public:
    virtual const std::optional<COM_PORT_SETTING> &LastLink() const = 0;
    // Closes what is open, then opens `link`; `device`, when given, is opened for the link's port.
    virtual void Open(const COM_PORT_SETTING &link, const std::string &device = std::string(),
                      EOpenOrigin origin = EOpenOrigin::User) = 0;
    // What Close Port does: stops what runs in the port's place or waits for it, then closes.
    virtual void ClosePortCommand() = 0;
    // What Open Port does, with the demo device `demoPort` chosen in the dialog for the user to
    // confirm or change.
    virtual void ChooseLink(const std::string &demoPort) = 0;
    virtual void ShowLinkStatus(const COM_PORT_SETTING &link) = 0;
    // Both ports' line settings while a monitor reads two; `b` is null for a virtual port B.
    virtual void ShowMonitorLines(const COM_PORT_SETTING &a, const COM_PORT_SETTING *b) = 0;

protected:
    ~IPortService() = default;
};

// The wait for a lost port (TReconnect).
class IPortWait
{
public:
    // The first status panel says what is awaited, and the tries run, while the user waits.
    virtual void ShowWait() = 0;

protected:
    ~IPortWait() = default;
};

// The two-port monitor that runs in the port's place (TMonitorCommands).
class IMonitorService
{
public:
    virtual bool Running() const = 0;

protected:
    ~IMonitorService() = default;
};

// The find bar above the log (TFindCommands).
class IFindService
{
public:
    virtual void Open() = 0;
    // What is shown in the log's place is searched (see TFindBar::SearchOther).
    virtual void SearchOther(QWidget *view, TFindBar::FindIn find) = 0;

protected:
    ~IFindService() = default;
};

// How the log stamps its lines (TLogViewCommands).
class ILogStamps
{
public:
    virtual bool SincePrevious() const = 0;

protected:
    ~ILogStamps() = default;
};

class TFeatureServices : public QObject
{
    Q_OBJECT
public:
    explicit TFeatureServices(QObject *parent = nullptr) : QObject(parent) {}

    void Offer(IPortService &port) { m_port = &port; }
    void Offer(IPortWait &wait) { m_wait = &wait; }
    void Offer(IMonitorService &monitor) { m_monitor = &monitor; }
    void Offer(IFindService &find) { m_find = &find; }
    void Offer(ILogStamps &stamps) { m_stamps = &stamps; }

    // Each throws std::logic_error when no feature offered it: a window built without it.
    IPortService &Port() const { return Need(m_port, "port"); }
    IPortWait &PortWait() const { return Need(m_wait, "port wait"); }
    IFindService &Find() const { return Need(m_find, "find"); }
    ILogStamps &LogStamps() const { return Need(m_stamps, "log stamps"); }
    // No monitor in this window: none runs.
    bool MonitorRunning() const { return m_monitor && m_monitor->Running(); }

signals:
    // ---- The port ----
    void PortOpened(const COM_PORT_SETTING &link);
    // By a close or because it was lost.
    void PortClosed();
    // The device went away; the status bar says so already.
    void PortLost(long code);
    // Close Port was chosen: what runs in the port's place stops before it closes.
    void CloseAsked();
    // A reopen in the background ended; `messages` is what the user would have been told.
    void ReopenTried(const COM_PORT_SETTING &link, const std::string &device, const QString &messages);
    // The link's panels were written afresh.
    void LinkStatusShown();

    // ---- What came and how it is shown ----
    // The received counters were shown afresh.
    void CountShown();
    // The log reads text as UTF-8 (on) or Latin-1.
    void Utf8Changed(bool on);

    // ---- Transfers ----
    // The device asked for a file by ZMODEM and the user accepted.
    void SendAsked();

private:
    template <class S> static S &Need(S *service, const char *name)
    {
        if (service == nullptr)
            throw std::logic_error(std::string("no feature offers the ") + name + " service");
        return *service;
    }

    IPortService *m_port = nullptr;
    IPortWait *m_wait = nullptr;
    IMonitorService *m_monitor = nullptr;
    IFindService *m_find = nullptr;
    ILogStamps *m_stamps = nullptr;
};
