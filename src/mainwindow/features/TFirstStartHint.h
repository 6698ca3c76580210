#pragma once
// The first window of a fresh app folder has nothing to show and no link to open. Its empty log
// says how to begin, and offers the demo board: the Open Port dialog with the board chosen, for
// the user to confirm. The offer stands over the log, never in it, so no saved text or capture
// holds it; it goes for good once anything is logged or a port opens.
#include "log/gui/TTrafficLog.h"

#include <QObject>

class QEvent;
class QWidget;
class TFeatureServices;

class TFirstStartHint : public QObject
{
    Q_OBJECT
public:
    TFirstStartHint(QWidget *window, TTrafficLog &log, TFeatureServices &services);
    ~TFirstStartHint() override;

    // True while a fresh app folder's window still shows the offer.
    bool Shown() const { return m_panel != nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Place();
    void Withdraw();

    TTrafficLog &m_log;
    QWidget *m_panel = nullptr;
    TTrafficLog::ObserverId m_observer = 0;
};
