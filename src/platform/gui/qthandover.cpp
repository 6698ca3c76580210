#include "platform/gui/qthandover.h"

#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

CQtHandOver::CQtHandOver(QObject *context)
    : owner_(context->thread()), wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (wake_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wake_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { RunWoken(); });
}

CQtHandOver::~CQtHandOver()
{
    Cancel();
    notifier_.reset();
    if (wake_ >= 0)
        close(wake_);
}

bool CQtHandOver::Wake()
{
    if (wake_ < 0)
        return false;
    const uint64_t one = 1;
    ssize_t n;
    do
        n = write(wake_, &one, sizeof one);
    while (n < 0 && errno == EINTR);
    // EAGAIN: the counter is full, so the descriptor is readable anyway.
    return n == sizeof one || (n < 0 && errno == EAGAIN);
}

void CQtHandOver::RunWoken()
{
    // Read before running: a delivery queued from here on wakes the loop again.
    uint64_t count = 0;
    if (read(wake_, &count, sizeof count) < 0 && errno != EAGAIN)
        return;
    while (RunNext()) {
    }
}

bool CQtHandOver::OnOwnerThread() const
{
    return QThread::currentThread() == owner_;
}
