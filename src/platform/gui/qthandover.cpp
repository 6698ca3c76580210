#include "platform/gui/qthandover.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

CQtHandOver::CQtHandOver(QObject *context) : owner_(context->thread()), receiver_(std::make_unique<QObject>())
{
}

CQtHandOver::~CQtHandOver()
{
    Cancel();
    receiver_.reset();
}

bool CQtHandOver::Wake()
{
    return QMetaObject::invokeMethod(
        receiver_.get(), [this] { RunNext(); }, Qt::QueuedConnection);
}

bool CQtHandOver::OnOwnerThread() const
{
    return QThread::currentThread() == owner_;
}
