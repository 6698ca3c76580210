#pragma once
// What the port session tells its window, as Qt signals the window's features listen to. The
// session calls on its owner thread (the GUI thread), in order, so every connection is direct and
// a listener sees the events in the order they happened. Received blocks do not go out as a
// signal: they and the sends pass through the session's traffic path, whose order is written in
// one place (TfrmMain::BuildReceivePipeline).
#include "session/portsession.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

class TSessionBridge : public QObject, public ISessionView
{
    Q_OBJECT
public:
    explicit TSessionBridge(QObject *parent = nullptr);

    // Whether sends are logged: asked from any thread as a send is handed in.
    void SetLogsSends(bool on) { m_logsSends = on; }
    bool LogsSends() const override { return m_logsSends.load(); }
    void SetBlockNamer(std::function<std::string(int64_t ageMs)> namer) { m_namer = std::move(namer); }
    // Ends the frames the quiet line ends on time, with a timer that runs only while a frame
    // waits on the clock.
    void PumpFrames(CSessionFrames &frames);
    // Tells a request's time-out when no frame comes to tell it, with a timer that runs only while
    // a request waits: what was read is framed first, and a frame still open is waited for, so an
    // answer already begun is never missed.
    void TickAnswers(CSessionFrames &frames, CSessionDecoding &decoding);

signals:
    void Event(uint32_t eventWord, bool loss);
    void SendWaiting();
    void SendDone(const ST_SendReport &report);
    void PortLost(long code, uint32_t unsent);
    // A network link begun with BeginOpen has connected and opened, or failed to.
    void Opened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                const std::string &message);
    void TransferFile(const ST_TransferProgress &progress);
    void TransferProgress(const ST_TransferProgress &progress);
    void TransferDone(const ST_TransferOutcome &outcome, bool portLost);
    // Listeners act on it later, never inside the session's call (see ISessionView).
    void TransferAsked(EZmodemStart start);
    void HoldsStart();

private:
    std::string ReceivedBlockName(int64_t ageMs) override;
    void SessionEvent(uint32_t eventWord, bool loss) override { emit Event(eventWord, loss); }
    void SessionSendWaiting() override { emit SendWaiting(); }
    void SessionSendDone(const ST_SendReport &report) override { emit SendDone(report); }
    void SessionPortLost(long code, uint32_t unsent) override { emit PortLost(code, unsent); }
    void SessionOpened(const COM_PORT_SETTING &link, bool open, bool settingRefused, long code,
                       const std::string &message) override
    {
        emit Opened(link, open, settingRefused, code, message);
    }
    void SessionTransferFile(const ST_TransferProgress &progress) override { emit TransferFile(progress); }
    void SessionTransferProgress(const ST_TransferProgress &progress) override
    {
        emit TransferProgress(progress);
    }
    void SessionTransferDone(const ST_TransferOutcome &outcome, bool portLost) override
    {
        emit TransferDone(outcome, portLost);
    }
    void SessionTransferAsked(EZmodemStart start) override { emit TransferAsked(start); }
    void SessionHoldsStart() override { emit HoldsStart(); }

    std::atomic<bool> m_logsSends{true};
    std::function<std::string(int64_t)> m_namer;
    QTimer m_framesDue;
    QTimer m_answerDue;
};
