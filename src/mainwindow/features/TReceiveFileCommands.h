#pragma once
// Receiving files: File > Receive File..., the ZMODEM transfers the device starts (a sender that
// begins, a receiver that waits) and the log's note of each file received. The progress, Cancel
// and the note of the end are TSendFileCommands', for both directions.
#include "filesend/gui/TfrmReceiveFile.h"
#include "session/portsession.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QSettings;
class QWidget;
class TMenuSlots;
class TSessionBridge;
class TTrafficLog;

class TReceiveFileCommands : public QObject
{
    Q_OBJECT
public:
    // Made before TSendFileCommands: a receive's file notes go into the log ahead of its end.
    TReceiveFileCommands(QWidget *window, CPortSession &session, TSessionBridge &events, TMenuSlots &menus,
                         TTrafficLog &log, std::function<void(const QString &)> showMessage);

    void UpdateControls();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

signals:
    void StateChanged();
    // A receiver on the device waits for a file.
    void SendAsked();

private:
    void ReceiveFile();
    void Asked(EZmodemStart start);
    bool Start(ETransferProtocol protocol, const QString &folder, const QString &fileName);
    void FileBegun(const ST_TransferProgress &progress);
    void Done(const ST_TransferOutcome &outcome);

    QWidget *m_window;
    CPortSession &m_session;
    TTrafficLog &m_log;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_action = nullptr;
    QAction *m_auto = nullptr;
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
