#pragma once
// The received counters in the status bar, the line errors and held reads beside them with their
// notes in the log, and the pace at which a stream's blocks come to the window.
#include <QObject>
#include <cstdint>

class CPortSession;
class QLabel;
class QTimer;
class QWidget;
class TFeatureServices;
class TStatusArea;
class TTrafficLog;

class TReceiveCounters : public QObject
{
    Q_OBJECT
public:
    // Tells TFeatureServices::CountShown when the received count was shown: counts that go with
    // it follow.
    TReceiveCounters(QWidget *window, CPortSession &session, TFeatureServices &services, TStatusArea &status,
                     QLabel *lblInboundLoss, TTrafficLog &log);

    // Receive stages: a block came (shown at the next refresh), and the next ones are paced.
    void Count();
    void Pace();
    // Line errors and a listener held by a full queue, counted by the session.
    void ShowInboundLoss();
    void NoteLoss();
    // The panels were written afresh: the count waits for the next block.
    void Forget() { m_shown = true; }

private:
    void ShowCount();

    QWidget *m_window;
    CPortSession &m_session;
    TFeatureServices &m_services;
    TStatusArea &m_status;
    QLabel *m_loss;
    TTrafficLog &m_log;
    QTimer *m_countTimer = nullptr; // the counters wait in it until they are shown
    bool m_shown = true;
    QTimer *m_blockTick = nullptr; // while the log is on screen, a stream's blocks come once a frame
    QTimer *m_lossNoteTimer = nullptr;
    int64_t m_lossBurstStartMs = 0;
};
