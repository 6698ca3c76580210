#pragma once
// The first window of a fresh app folder has nothing to show and no link to open. Its empty log
// says how to begin, and offers the demo board: the Open Port dialog with the board chosen, for
// the user to confirm. The offer stands over the log, never in it, so no saved text or capture
// holds it; it goes for good once anything is logged or a port opens.
#include "log/gui/TTrafficLog.h"

#include <QObject>
#include <QPointer>

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
    bool Shown() const { return !m_panel.isNull(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Place();
    void Withdraw();

    // The window takes its widgets down before its features, and the log its children first.
    QPointer<TTrafficLog> m_log;
    QPointer<QWidget> m_panel;
    TTrafficLog::ObserverId m_observer = 0;
};
