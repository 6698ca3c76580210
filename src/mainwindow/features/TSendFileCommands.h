#pragma once
// Sending a file: File > Send File..., and for every transfer, sent or received, its progress and
// Cancel in the status bar and the log's note of its end. The transfer itself runs in the
// session, on the sender thread.
#include "session/portsession.h"
#include "transfer/gui/TfrmSendFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QAction;
class QProgressBar;
class QPushButton;
class QSettings;
class QWidget;
class TFeatureServices;
class TMenuSlots;
class TSessionBridge;
class TStatusArea;
class TTrafficLog;

class TSendFileCommands : public QObject
{
    Q_OBJECT
public:
    TSendFileCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                      TFeatureServices &services, TMenuSlots &menus, TStatusArea &status, TTrafficLog &log,
                      std::function<void(const QString &)> showMessage);

    // Also shows the progress while any transfer runs.
    void UpdateControls();
    // A receiver on the device waits for a file: the dialog proposes ZMODEM, and a cancel of it
    // tells the device.
    void SendAskedByDevice();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

signals:
    // A transfer began or ended: other commands' states follow.
    void StateChanged();

private:
    void SendFile();
    // Shows the dialog; true when a transfer started.
    bool AskAndSend(const ST_SendFileChoice &proposed);
    void FileBegun(const ST_TransferProgress &progress);
    void Progress(const ST_TransferProgress &progress);
    void Done(const ST_TransferOutcome &outcome, bool portLost);
    void ShowSendCount();

    QWidget *m_window;
    CPortSession &m_session;
    TSessionBridge &m_events;
    TStatusArea &m_status;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_action = nullptr;
    // Shown only while a transfer runs.
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    ST_SendFileChoice m_choice; // the dialog's last choices
    QElapsedTimer m_since;      // the running transfer's start, for its rate
};
