#include "netport/netconnect.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A dead network (cable pulled, server powered off) shows on an idle connection after about 25 s
// of silence. Data the server never acknowledges are the line's to watch (netport/silencewatch.h):
// TCP_USER_TIMEOUT would also end a live server that only keeps its window shut.
constexpr int kKeepIdleS = 10;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

std::string LowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

} // namespace

std::string ErrnoWords(int e)
{
    switch (e) {
    case ETIMEDOUT:
        return "timed out";
    case ECANCELED:
        return "cancelled";
    default:
        return LowerFirst(std::strerror(e));
    }
}

namespace {

// getaddrinfo cannot be interrupted, so it runs on a thread of its own that outlives a caller
// who gave up: the result and the descriptor that announces it belong to both until the later
// of the two lets go.
struct Lookup
{
    std::string host;
    std::string port;
    int doneFd = -1;
    std::mutex lock;
    bool done = false;
    int status = 0;
    int sysErrno = 0;
    addrinfo *result = nullptr;

    ~Lookup()
    {
        if (result)
            freeaddrinfo(result);
        if (doneFd >= 0)
            close(doneFd);
    }
};

struct AddrInfoFree
{
    void operator()(addrinfo *list) const { freeaddrinfo(list); }
};
using AddrList = std::unique_ptr<addrinfo, AddrInfoFree>;

// 0 with `list` set, or the errno to report with `words` set. ENOENT stands for a host no name
// server knows.
int Resolve(const ST_NetAddress &address, Clock::time_point deadline, int cancelFd, AddrList *list,
            std::string *words)
{
    auto lookup = std::make_shared<Lookup>();
    lookup->host = address.Host;
    lookup->port = std::to_string(address.Port);
    lookup->doneFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (lookup->doneFd < 0) {
        *words = ErrnoWords(errno);
        return errno;
    }
    try {
        std::thread([lookup] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *result = nullptr;
            const int status = getaddrinfo(lookup->host.c_str(), lookup->port.c_str(), &hints, &result);
            const int sysErrno = errno;
            std::lock_guard<std::mutex> hold(lookup->lock);
            lookup->status = status;
            lookup->sysErrno = sysErrno;
            lookup->result = result;
            lookup->done = true;
            const uint64_t one = 1;
            (void)!write(lookup->doneFd, &one, sizeof one);
        }).detach();
    } catch (const std::system_error &) {
        *words = ErrnoWords(EAGAIN);
        return EAGAIN;
    }

    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lookup->lock);
            if (lookup->done)
                break;
        }
        const int ms = RemainingMs(deadline);
        if (ms == 0) {
            *words = ErrnoWords(ETIMEDOUT);
            return ETIMEDOUT;
        }
        pollfd p[2] = {{lookup->doneFd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        if (poll(p, cancelFd >= 0 ? 2 : 1, ms) > 0 && cancelFd >= 0 && p[1].revents) {
            *words = ErrnoWords(ECANCELED);
            return ECANCELED;
        }
    }

    std::lock_guard<std::mutex> hold(lookup->lock);
    switch (lookup->status) {
    case 0:
        list->reset(lookup->result);
        lookup->result = nullptr;
        return 0;
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_FAIL:
        *words = "unknown host";
        return ENOENT;
    case EAI_AGAIN:
        *words = LowerFirst(gai_strerror(lookup->status));
        return EAGAIN;
    case EAI_SYSTEM:
        *words = ErrnoWords(lookup->sysErrno);
        return lookup->sysErrno;
    default:
        *words = LowerFirst(gai_strerror(lookup->status));
        return EINVAL;
    }
}

// A connected non-blocking socket in `fd`, or the errno of the failure.
int ConnectOne(const addrinfo &ai, Clock::time_point deadline, int cancelFd, int *fd)
{
    const int s = socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (s < 0)
        return errno;
    int error = 0;
    if (connect(s, ai.ai_addr, ai.ai_addrlen) != 0)
        error = errno;
    while (error == EINPROGRESS || error == EINTR) {
        const int ms = RemainingMs(deadline);
        if (ms == 0) {
            error = ETIMEDOUT;
            break;
        }
        pollfd p[2] = {{s, POLLOUT, 0}, {cancelFd, POLLIN, 0}};
        const int ready = poll(p, cancelFd >= 0 ? 2 : 1, ms);
        if (ready < 0 && errno != EINTR) {
            error = errno;
        } else if (ready > 0 && cancelFd >= 0 && p[1].revents) {
            error = ECANCELED;
        } else if (ready > 0 && p[0].revents) {
            socklen_t length = sizeof error;
            if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
    }
    if (error != 0) {
        close(s);
        return error;
    }
    const int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
    setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
    setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
    *fd = s;
    return 0;
}

// Errors that say only that this address family cannot be used here; another address of the
// same host may say more.
bool IsFamilyError(int e)
{
    return e == EAFNOSUPPORT || e == ENETUNREACH || e == EADDRNOTAVAIL || e == EPROTONOSUPPORT;
}
} // namespace

int ConnectTcp(const ST_NetAddress &address, int timeoutMs, int cancelFd, int *fd, std::string *words)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    AddrList list;
    if (const int e = Resolve(address, deadline, cancelFd, &list, words))
        return e;
    int error = 0;
    for (const addrinfo *ai = list.get(); ai; ai = ai->ai_next) {
        const int e = ConnectOne(*ai, deadline, cancelFd, fd);
        if (e == 0)
            return 0;
        if (error == 0 || IsFamilyError(error) || e == ETIMEDOUT || e == ECANCELED)
            error = e;
        if (e == ETIMEDOUT || e == ECANCELED)
            break;
    }
    if (error == 0)
        error = ENOENT; // a name with no address at all
    *words = error == ENOENT ? "unknown host" : ErrnoWords(error);
    return error;
}
