#include "platform/gui/qthandover.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

CQtHandOver::CQtHandOver(QObject *context)
    : m_owner(context->thread()), m_receiver(std::make_unique<QObject>())
{
}

CQtHandOver::~CQtHandOver()
{
    Cancel();
    m_receiver.reset();
}

bool CQtHandOver::Wake()
{
    return QMetaObject::invokeMethod(
        m_receiver.get(), [this] { RunNext(); }, Qt::QueuedConnection);
}

bool CQtHandOver::OnOwnerThread() const
{
    return QThread::currentThread() == m_owner;
}
