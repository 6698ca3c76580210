#pragma once
// Starting, pausing and stopping automatic sending: the session runs the engine, sends what it
// schedules and feeds it the received blocks; the commands show the run's state.
#include <QObject>

class CPortSession;
class QAction;
class QToolButton;

class TAutoSendCommands : public QObject
{
    Q_OBJECT
public:
    struct ST_Controls
    {
        QToolButton *btnStart, *btnPause, *btnStop;
        QAction *mnuStart, *mnuPause, *mnuStop;
    };
    TAutoSendCommands(QObject *parent, CPortSession &session, const ST_Controls &controls);

    void UpdateControls();

signals:
    void StateChanged();

private:
    CPortSession &m_session;
    ST_Controls m_c;
};
