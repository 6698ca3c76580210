#include "netport/netopen.h"

#include "netport/netconnect.h"
#include "serial/serialerror.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <unistd.h>

CNetOpen::CNetOpen() : cancelFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), line_(std::make_unique<CNetLine>())
{
}

CNetOpen::~CNetOpen()
{
    if (cancelFd_ >= 0)
        close(cancelFd_);
}

namespace {

long Failed(const ST_NetAddress &address, int e, std::string *message)
{
    if (message)
        *message = "Cannot connect to " + HostPortText(address) + ": " + ErrnoWords(e);
    return SystemError(e);
}

} // namespace

long CNetOpen::Run(const ST_NetAddress &address, const ST_NetLineSettings &wanted, std::string *message)
{
    CNetLine *line = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lineLock_);
        line = line_.get();
    }
    if (cancelFd_ < 0 || line == nullptr)
        return Failed(address, cancelFd_ < 0 ? EMFILE : EINVAL, message);
    // Only this thread replaces or takes the line, so it stays while Run uses it.
    const long code = line->Open(address, cancelFd_, message);
    if (code != 0)
        return code;
    if (cancelled_.load())
        return Failed(address, ECANCELED, message);
    settings_ = wanted;
    std::string untaken, reason;
    refused_ = line->ApplySettings(settings_, &untaken, &reason) == ERROR_NOT_SUPPORTED;
    if (cancelled_.load())
        return Failed(address, ECANCELED, message);
    if (refused_ && message)
        *message = reason;
    return 0;
}

void CNetOpen::Cancel()
{
    cancelled_.store(true);
    if (cancelFd_ >= 0)
        eventfd_write(cancelFd_, 1);
    const std::lock_guard<std::mutex> guard(lineLock_);
    if (line_)
        line_->Abort();
}

std::unique_ptr<CNetLine> CNetOpen::TakeLine()
{
    const std::lock_guard<std::mutex> guard(lineLock_);
    return std::move(line_);
}
