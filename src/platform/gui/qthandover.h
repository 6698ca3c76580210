#pragma once
// The hand-over for the GUI: deliveries run in the event loop of the thread a context object
// lives in (the main window). The context must outlive the hand-over, and the hand-over every
// port that delivers through it (close the port first); create and destroy it on that thread.
//
// A worker wakes the event loop through a descriptor of its own rather than a posted Qt event:
// a posted event's objects are made on the worker and freed on the GUI thread (or the other way
// round) under locks inside the Qt library, which a race detector cannot see, so every delivery
// would look like a race. Here what crosses the threads crosses under the hand-over's own locks.
#include "platform/handover.h"

#include <memory>

class QObject;
class QSocketNotifier;
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
    void RunWoken();

    QThread *owner_;
    int wake_ = -1; // an eventfd, readable while deliveries may be queued
    std::unique_ptr<QSocketNotifier> notifier_;
};
