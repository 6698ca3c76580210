#pragma once
// Receiving files: File > Receive File..., the ZMODEM transfers the device starts (a sender that
// begins, a receiver that waits) and the log's note of each file received. The progress, Cancel
// and the note of the end are TSendFileCommands', for both directions.
//
// A send the device starts runs only once the user accepts it on the bar above the log (or has
// chosen to accept on that link without asking); a refusal, or no answer in time, ends it at the
// device.
#include "session/portsession.h"
#include "transfer/gui/TfrmReceiveFile.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QSettings;
class QTimer;
class QWidget;
class TTransferAskBar;
class TFeatureServices;
class TMenuSlots;
class TSessionBridge;
class TTrafficLog;

class TReceiveFileCommands : public QObject
{
    Q_OBJECT
public:
    // Made before TSendFileCommands: a receive's file notes go into the log ahead of its end.
    // The bar that asks goes on top of `column`.
    // A receiver on the device that waits for a file is told as TFeatureServices::SendAsked.
    TReceiveFileCommands(QWidget *window, QWidget *column, CPortSession &session, TSessionBridge &events,
                         TFeatureServices &services, TMenuSlots &menus, TTrafficLog &log,
                         std::function<void(const QString &)> showMessage);

    void UpdateControls();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;
    // The receive dialog's limits and the links that accept without asking: written after every
    // older value (their own place in the settings).
    void LoadLimits(const QSettings &settings);
    void SaveLimits(QSettings &settings) const;

signals:
    void StateChanged();

private:
    void ReceiveFile();
    void Asked(EZmodemStart start);
    void AcceptAsked(bool always);
    void RefuseAsked(bool timedOut);
    QString LinkKey() const;
    bool Start(ETransferProtocol protocol, const QString &folder, const QString &fileName);
    void FileBegun(const ST_TransferProgress &progress);
    void Done(const ST_TransferOutcome &outcome);

    QWidget *m_window;
    CPortSession &m_session;
    TFeatureServices &m_services;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_action = nullptr;
    QAction *m_auto = nullptr;
    TTransferAskBar *m_ask = nullptr;
    QTimer *m_release = nullptr;
    QStringList m_acceptLinks;
    ST_ReceiveFileChoice m_choice;
    // The running receive's: where its files go and what has begun of them.
    std::shared_ptr<IReceiveSink> m_sink;
    ETransferProtocol m_protocol = ETransferProtocol::Zmodem;
    struct ST_Begun
    {
        std::string Name;
        uint64_t ReceivedBefore = 0; // of the files before it
    };
    std::vector<ST_Begun> m_begun;
    uint64_t m_received = 0;
};
