#include "netport/netopen.h"

#include "netport/netconnect.h"
#include "portbase/serialerror.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <unistd.h>

CNetOpen::CNetOpen()
    : m_cancelFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_line(std::make_unique<CNetLine>())
{
}

CNetOpen::~CNetOpen()
{
    if (m_cancelFd >= 0)
        close(m_cancelFd);
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
        const std::lock_guard<std::mutex> guard(m_lineLock);
        line = m_line.get();
    }
    if (m_cancelFd < 0 || line == nullptr)
        return Failed(address, m_cancelFd < 0 ? EMFILE : EINVAL, message);
    // Only this thread replaces or takes the line, so it stays while Run uses it.
    const long code = line->Open(address, m_cancelFd, message);
    if (code != 0)
        return code;
    if (m_cancelled.load())
        return Failed(address, ECANCELED, message);
    m_settings = wanted;
    std::string untaken, reason;
    m_refused = line->ApplySettings(m_settings, &untaken, &reason) == ERROR_NOT_SUPPORTED;
    if (m_cancelled.load())
        return Failed(address, ECANCELED, message);
    if (m_refused && message)
        *message = reason;
    return 0;
}

void CNetOpen::Cancel()
{
    m_cancelled.store(true);
    if (m_cancelFd >= 0)
        eventfd_write(m_cancelFd, 1);
    const std::lock_guard<std::mutex> guard(m_lineLock);
    if (m_line)
        m_line->Abort();
}

std::unique_ptr<CNetLine> CNetOpen::TakeLine()
{
    const std::lock_guard<std::mutex> guard(m_lineLock);
    return std::move(m_line);
}
