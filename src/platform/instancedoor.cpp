#include "platform/instancedoor.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

DoorKnock Failed(const std::string &what, int error)
{
    return {DoorResult::Failed, -1, what + ": " + std::strerror(error)};
}

DoorKnock Foreign(std::string why)
{
    return {DoorResult::Foreign, -1, std::move(why)};
}

// Why the object at `path` is not to be used, or "" when it is of `type` and this user's.
std::string Stranger(const struct stat &st, const std::string &path, mode_t type, const char *kind)
{
    if ((st.st_mode & S_IFMT) != type)
        return path + " is not a " + kind;
    if (st.st_uid != geteuid())
        return path + " belongs to user " + std::to_string(st.st_uid);
    return {};
}

std::string FolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Once checked, the folder stays the one checked: other users can neither rename nor replace a
// folder of this user in /tmp (sticky) or in the user's runtime folder.
bool PrepareFolder(const std::string &folder, DoorKnock &knock)
{
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        knock = Failed("cannot make " + folder, errno);
        return false;
    }
    struct stat st = {};
    if (lstat(folder.c_str(), &st) != 0) {
        knock = Failed(folder, errno);
        return false;
    }
    if (std::string why = Stranger(st, folder, S_IFDIR, "folder"); !why.empty()) {
        knock = Foreign(std::move(why));
        return false;
    }
    // What others may have put in while it was open to them is still checked one by one.
    if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        knock = Failed(folder, errno);
        return false;
    }
    return true;
}

bool PeerIsUser(int fd, uid_t &uid)
{
    struct ucred cred = {};
    socklen_t size = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return false;
    uid = cred.uid;
    return uid == geteuid();
}

bool AddressOf(const std::string &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    path.copy(address.sun_path, path.size());
    return true;
}

// A start that finds nobody listening takes the socket over. Two starts at the same moment would
// both do so, the second unlinking the first's fresh socket; the lock lets one decide at a time,
// so the other finds the winner listening. The kernel drops it with the process.
class DecisionLock
{
public:
    DecisionLock(const std::string &path, DoorKnock &knock)
    {
        m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        struct stat st = {};
        if (m_fd < 0) {
            const int error = errno;
            const std::string why = lstat(path.c_str(), &st) == 0 ? Stranger(st, path, S_IFREG, "file") : "";
            knock = why.empty() ? Failed(path, error) : Foreign(why);
            return;
        }
        if (fstat(m_fd, &st) != 0) {
            knock = Failed(path, errno);
            Drop();
            return;
        }
        if (std::string why = Stranger(st, path, S_IFREG, "file"); !why.empty()) {
            knock = Foreign(std::move(why));
            Drop();
            return;
        }
        // Polled: flock() has no time limit of its own.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDoorLockWaitMs);
        while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK) {
                knock = Failed(path, errno);
                Drop();
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                knock = {DoorResult::Busy, -1, {}};
                Drop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~DecisionLock() { Drop(); }
    DecisionLock(const DecisionLock &) = delete;
    DecisionLock &operator=(const DecisionLock &) = delete;

    bool Held() const { return m_fd >= 0; }

private:
    void Drop()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

    int m_fd = -1;
};

} // namespace

CInstanceDoor::CInstanceDoor(std::string socketPath)
    : m_path(std::move(socketPath)), m_lockPath(m_path + ".lock")
{
}

CInstanceDoor::~CInstanceDoor()
{
    Close();
}

DoorKnock CInstanceDoor::KnockOrListen()
{
    sockaddr_un address;
    if (!AddressOf(m_path, address))
        return Failed(m_path, ENAMETOOLONG);
    DoorKnock knock;
    if (!PrepareFolder(FolderOf(m_path), knock))
        return knock;
    const DecisionLock lock(m_lockPath, knock);
    if (!lock.Held())
        return knock;

    struct stat st = {};
    if (lstat(m_path.c_str(), &st) != 0)
        return errno == ENOENT ? Listen() : Failed(m_path, errno);
    if (std::string why = Stranger(st, m_path, S_IFSOCK, "socket"); !why.empty())
        return Foreign(std::move(why));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Failed("cannot call " + m_path, errno);
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        // The socket file says who made it, not who listens on it now.
        uid_t uid = 0;
        if (PeerIsUser(fd, uid))
            return {DoorResult::Called, fd, {}};
        close(fd);
        return Foreign(m_path + " is answered by a process of user " + std::to_string(uid));
    }
    const int error = errno;
    close(fd);
    switch (error) {
    case EAGAIN: // a full backlog: someone holds the socket but takes no calls
        return {DoorResult::Busy, -1, {}};
    case ECONNREFUSED: // left by a process of this user that ended without removing it
        if (unlink(m_path.c_str()) != 0 && errno != ENOENT)
            return Failed(m_path, errno);
        return Listen();
    case ENOENT:
        return Listen();
    default:
        return Failed("cannot call " + m_path, error);
    }
}

DoorKnock CInstanceDoor::Listen()
{
    sockaddr_un address;
    AddressOf(m_path, address);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Failed("cannot listen on " + m_path, errno);
    struct stat st = {};
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        return Failed("cannot listen on " + m_path, error);
    }
    if (listen(fd, SOMAXCONN) != 0 || lstat(m_path.c_str(), &st) != 0) {
        const int error = errno;
        unlink(m_path.c_str());
        close(fd);
        return Failed("cannot listen on " + m_path, error);
    }
    m_listen = fd;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return {DoorResult::Listening, -1, {}};
}

int CInstanceDoor::Accept()
{
    while (m_listen >= 0) {
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return -1;
        }
        uid_t uid = 0;
        if (PeerIsUser(fd, uid))
            return fd;
        close(fd);
    }
    return -1;
}

void CInstanceDoor::Close()
{
    if (m_listen < 0)
        return;
    {
        // Without the lock the socket stays: the next start finds nobody behind it and takes it
        // over, which is safer than removing one that may be another process's by now.
        DoorKnock ignored;
        const DecisionLock lock(m_lockPath, ignored);
        struct stat st = {};
        if (lock.Held() && lstat(m_path.c_str(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
            unlink(m_path.c_str());
    }
    close(m_listen);
    m_listen = -1;
}

bool PrepareDoorFolder(const std::string &folder, std::string &why)
{
    DoorKnock knock;
    if (PrepareFolder(folder, knock))
        return true;
    why = knock.why;
    return false;
}

bool PeerIsThisUser(int fd, uid_t &uid)
{
    return PeerIsUser(fd, uid);
}
