#pragma once
// The port: opening a link (the link manager, Quick Open), closing, and the link's panels in the
// status bar. An open says where it came from: the user hears why a port did not open; a reopen
// in the background keeps the words for the one who asked it (TReconnect).
#include "link/linksetting.h"
#include "shell/TFeatureServices.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CPortSession;
class QAction;
class QWidget;
class TSessionBridge;
class TStatusArea;
class TTrafficLog;

// Offers the port to the other features (IPortService) and tells its news through the services.
class TPortCommands : public QObject, public IPortService
{
    Q_OBJECT
public:
    // The tool buttons show these actions (TfrmMainUi).
    struct ST_Controls
    {
        QAction *mnuOpenPort, *mnuQuickLink, *mnuClosePort;
    };
    TPortCommands(QWidget *window, CPortSession &session, TSessionBridge &events, TFeatureServices &services,
                  TStatusArea &status, TTrafficLog &log, const ST_Controls &controls,
                  std::function<void(const QString &)> showMessage,
                  std::function<void(const COM_PORT_SETTING &)> showTitle);
    ~TPortCommands() override;

    // The window's number, by which other windows name it when the port they want is this one's.
    void SetHolderNumber(int number) { m_holderNumber = number; }

    // Closes what is open, then opens `link`; `device`, when given, is opened for the link's port:
    // a lost port's device found again under another name.
    void Open(const COM_PORT_SETTING &link, const std::string &device = std::string(),
              EOpenOrigin origin = EOpenOrigin::User) override;
    void Close();
    // What Close Port does: stops what runs in the port's place or waits for it, then closes.
    void ClosePortCommand() override;
    void ChooseLink(const std::string &demoPort) override;
    // Sends still queued are dropped; the close wakes the one being written.
    void CloseDevice();
    // Bytes counted and logged as sent that the close dropped from the driver's queue come off
    // the Send counter, with a note in the log.
    void TakeBackUnsent(uint32_t bytes);
    void ShowLinkStatus(const COM_PORT_SETTING &link) override;
    // The line panels (Baud Rate to DTC) while a monitor reads two ports: both ports' settings, A's
    // first; `b` is null for a virtual port B, whose settings are its program's.
    void ShowMonitorLines(const COM_PORT_SETTING &a, const COM_PORT_SETTING *b) override;
    void UpdateControls();

    const std::optional<COM_PORT_SETTING> &LastLink() const override { return m_lastLink; }
    void SetLastLink(std::optional<COM_PORT_SETTING> link) { m_lastLink = std::move(link); }

signals:
    void StateChanged();

private:
    void NetworkOpened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                       const std::string &message);
    void FinishOpen(const COM_PORT_SETTING &link, const std::string &device, EOpenOrigin origin, bool open,
                    bool settingRefused, long code, const std::string &message);
    void PortLost(long code, uint32_t unsent);
    void PortClosed(uint32_t unsent);
    void ShowUnsent(uint32_t bytes);
    // While the two-port monitor runs the port stays closed: Close Port stops the monitor, and
    // nothing opens the port until it has.
    bool MonitorRunning() const { return m_services.MonitorRunning(); }

    QWidget *m_window;
    CPortSession &m_session;
    TFeatureServices &m_services;
    TStatusArea &m_status;
    TTrafficLog &m_log;
    ST_Controls m_c;
    std::function<void(const QString &)> m_showMessage;
    std::function<void(const COM_PORT_SETTING &)> m_showTitle;
    int m_holderNumber = 0;
    std::optional<COM_PORT_SETTING> m_lastLink;
    // Where the network connect under way came from.
    EOpenOrigin m_connectOrigin = EOpenOrigin::User;
};
