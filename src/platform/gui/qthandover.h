#pragma once
// The hand-over for the GUI: deliveries run in the event loop of the thread a context object
// lives in (the main window), as queued calls. The context must outlive the hand-over, and the
// hand-over every port that delivers through it (close the port first).
#include "platform/handover.h"

#include <QObject>
#include <QPointer>

class CQtHandOver : public CHandOver
{
public:
    explicit CQtHandOver(QObject *context);
    ~CQtHandOver() override;

protected:
    bool Post(std::shared_ptr<Delivery> delivery) override;
    bool OnOwnerThread() const override;

private:
    QPointer<QObject> context_;
};
