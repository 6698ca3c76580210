#pragma once
// The hand-over for the GUI: deliveries run in the event loop of the thread a context object
// lives in (the main window), as queued calls, in one order with every other queued call. The
// context must outlive the hand-over, and the hand-over every port that delivers through it
// (close the port first); create and destroy it on the context's thread.
//
// The queued call carries nothing but the hand-over's address: the delivery itself waits in the
// hand-over's own queue. What Qt's queue hands across is ordered by locks inside the Qt library,
// which a race detector cannot see; what the hand-over hands across, it sees.
#include "platform/handover.h"

#include <memory>

class QObject;
class QThread;

class CQtHandOver : public CHandOver
{
public:
    explicit CQtHandOver(QObject *context);
    ~CQtHandOver() override;

protected:
    bool Wake() override;
    bool OnOwnerThread() const override;

private:
    QThread *m_owner;
    // The queued calls' target; going with the hand-over, it takes the calls still queued along.
    std::unique_ptr<QObject> m_receiver;
};
