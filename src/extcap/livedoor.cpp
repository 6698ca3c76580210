#include "extcap/livedoor.h"

#include "log/logpcapng.h"
#include "platform/instancedoor.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

CLiveCaptureDoor::~CLiveCaptureDoor()
{
    if (m_thread.joinable()) {
        m_stop = true;
        Wake();
        m_thread.join();
    }
    for (const auto &caller : m_list)
        close(caller->Fd);
    if (m_listen >= 0) {
        close(m_listen);
        unlink(m_path.c_str());
    }
    if (m_wake >= 0)
        close(m_wake);
}

std::string CLiveCaptureDoor::Start(const std::string &path, std::string header, std::string greeting,
                                    size_t queueBytes)
{
    m_path = path;
    m_header = std::move(header);
    m_greeting = std::move(greeting);
    m_queueBytes = queueBytes;
    std::string why;
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && !PrepareDoorFolder(path.substr(0, slash), why))
        return why;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return path + ": " + std::strerror(ENAMETOOLONG);
    path.copy(address.sun_path, path.size());
    // The name holds this process's id: what is there was left by an earlier process of that id.
    unlink(path.c_str());
    m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(m_listen, 4) != 0) {
        why = path + ": " + std::strerror(errno);
        if (m_listen >= 0)
            close(m_listen);
        m_listen = -1;
        return why;
    }
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0)
        return std::string("eventfd: ") + std::strerror(errno);
    m_thread = std::thread([this] { Run(); });
    return {};
}

void CLiveCaptureDoor::SetStart(std::string header, std::string greeting)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_header = std::move(header);
    m_greeting = std::move(greeting);
}

size_t CLiveCaptureDoor::QueuedBytes() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    size_t bytes = 0;
    for (const auto &caller : m_list)
        bytes += caller->Bytes;
    return bytes;
}

void CLiveCaptureDoor::Wake()
{
    const uint64_t one = 1;
    if (m_wake >= 0) [[maybe_unused]]
        const ssize_t n = write(m_wake, &one, sizeof one);
}

void CLiveCaptureDoor::Post(std::string blocks, size_t packets)
{
    if (!Attached())
        return;
    const auto shared = std::make_shared<const std::string>(std::move(blocks));
    bool wake = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        for (const auto &caller : m_list) {
            // Once it lost packets, a caller catches up to half its queue before it gets more, so
            // that a reader just too slow for the line sees a few gaps, each told once, instead of
            // one packet in two.
            const size_t room = caller->DroppedPackets > 0 ? m_queueBytes / 2 : m_queueBytes;
            if (caller->Bytes + shared->size() > room) {
                caller->DroppedPackets += packets;
                caller->DroppedBytes += shared->size();
                continue;
            }
            wake |= caller->Queue.empty();
            if (caller->DroppedPackets > 0 && m_dropNote) {
                // Told where the gap is: the note stands before the first packet after it.
                auto note = std::make_shared<const std::string>(
                    m_dropNote(caller->DroppedPackets, caller->DroppedBytes));
                caller->Bytes += note->size();
                caller->Queue.push_back(std::move(note));
            }
            caller->DroppedPackets = caller->DroppedBytes = 0;
            caller->Bytes += shared->size();
            caller->Queue.push_back(shared);
        }
    }
    if (wake)
        Wake();
}

void CLiveCaptureDoor::Accept()
{
    for (;;) {
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        uid_t uid = 0;
        const std::lock_guard<std::mutex> guard(m_lock);
        if (!PeerIsThisUser(fd, uid) || m_list.size() >= kMostCallers) {
            close(fd);
            continue;
        }
        auto caller = std::make_unique<ST_Caller>();
        caller->Fd = fd;
        auto start = std::make_shared<std::string>(m_header);
        if (!m_greeting.empty())
            AppendLogPcapng(*start, LogDirection::Note, reinterpret_cast<const uint8_t *>(m_greeting.data()),
                            m_greeting.size(), WallNowMicros());
        caller->Bytes = start->size();
        caller->Queue.push_back(std::move(start));
        m_list.push_back(std::move(caller));
        m_callers = m_list.size();
    }
}

bool CLiveCaptureDoor::Write(ST_Caller &caller)
{
    for (;;) {
        std::shared_ptr<const std::string> front;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (caller.Queue.empty())
                return true;
            front = caller.Queue.front();
        }
        const ssize_t n =
            send(caller.Fd, front->data() + caller.Sent, front->size() - caller.Sent, MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        caller.Sent += static_cast<size_t>(n);
        if (caller.Sent < front->size())
            continue;
        const std::lock_guard<std::mutex> guard(m_lock);
        caller.Bytes -= front->size();
        caller.Queue.pop_front();
        caller.Sent = 0;
    }
}

void CLiveCaptureDoor::Run()
{
    std::vector<pollfd> fds;
    std::vector<ST_Caller *> callers;
    while (!m_stop) {
        fds.assign({{m_wake, POLLIN, 0}, {m_listen, POLLIN, 0}});
        callers.clear();
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            for (const auto &caller : m_list) {
                // A caller's own bytes are read and dropped; their end tells that it hung up.
                fds.push_back(
                    {caller->Fd, static_cast<short>(POLLIN | (caller->Queue.empty() ? 0 : POLLOUT)), 0});
                callers.push_back(caller.get());
            }
        }
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(m_wake, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN)
            Accept();
        std::vector<ST_Caller *> gone;
        for (size_t i = 0; i < callers.size(); ++i) {
            ST_Caller &caller = *callers[i];
            const short events = fds[i + 2].revents;
            bool alive = !(events & (POLLERR | POLLNVAL));
            if (alive && (events & (POLLIN | POLLHUP))) {
                char scratch[512];
                const ssize_t n = recv(caller.Fd, scratch, sizeof scratch, 0);
                alive = n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
            }
            if (alive && (events & POLLOUT))
                alive = Write(caller);
            if (!alive)
                gone.push_back(&caller);
        }
        if (!gone.empty()) {
            const std::lock_guard<std::mutex> guard(m_lock);
            for (ST_Caller *caller : gone) {
                close(caller->Fd);
                for (auto it = m_list.begin(); it != m_list.end(); ++it)
                    if (it->get() == caller) {
                        m_list.erase(it);
                        break;
                    }
            }
            m_callers = m_list.size();
        }
    }
}
