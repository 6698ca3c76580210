#pragma once
// Starting, pausing and stopping automatic sending: the session runs the engine, sends what it
// schedules and feeds it the received blocks; the commands show the run's state.
#include <QObject>

class CPortSession;
class QAction;

class TAutoSendCommands : public QObject
{
    Q_OBJECT
public:
    // The tool buttons show these actions (TfrmMainUi).
    struct ST_Controls
    {
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
