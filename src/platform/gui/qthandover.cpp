#include "platform/gui/qthandover.h"

#include <QMetaObject>
#include <QThread>

CQtHandOver::CQtHandOver(QObject *context) : context_(context) {}

CQtHandOver::~CQtHandOver()
{
    Cancel();
}

bool CQtHandOver::Post(std::shared_ptr<Delivery> delivery)
{
    QObject *context = context_.data();
    if (context == nullptr)
        return false;
    return QMetaObject::invokeMethod(
        context, [delivery] { CHandOver::Run(delivery); }, Qt::QueuedConnection);
}

bool CQtHandOver::OnOwnerThread() const
{
    const QObject *context = context_.data();
    return context != nullptr && QThread::currentThread() == context->thread();
}
