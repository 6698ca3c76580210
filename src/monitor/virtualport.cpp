#include "monitor/virtualport.h"

#include "monitor/linkguard.h"
#include "serial/serial.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char *kPtsDir = "/dev/pts/";

void CloseFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

std::string ReadLink(const std::string &path)
{
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0)
        return {};
    return std::string(target, static_cast<size_t>(n));
}

std::string Why(int e)
{
    return std::strerror(e);
}

} // namespace

std::string FollowedLineText(const ST_FollowedLine &line)
{
    std::string text =
        std::to_string(line.Baud) + " baud, " + (line.TwoStopBits ? "2 stop bits" : "1 stop bit");
    switch (line.Handshake) {
    case CSerial::HardwareHandshake:
        return text + ", RTS/CTS flow control";
    case CSerial::XonXoffHandshake:
        return text + ", XON/XOFF flow control";
    default:
        return text + ", no flow control";
    }
}

std::string VirtualLinkPath(const std::string &path, std::string &error)
{
    std::string full = path;
    if (full.rfind("~/", 0) == 0) {
        const char *home = std::getenv("HOME");
        if (home != nullptr && *home != '\0')
            full = std::string(home) + full.substr(1);
    }
    if (full.empty() || full[0] != '/') {
        error = "The virtual port path must be a full path (starting with / or ~/): \"" + path + "\"";
        return {};
    }
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    return full;
}

CVirtualPort::~CVirtualPort()
{
    Remove();
}

bool CVirtualPort::Make(const std::string &path, const ST_Dcb &dcb, std::string &error)
{
    Remove();
    const auto fail = [&](const std::string &text) {
        error = text;
        Remove();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0)
        return fail("Can not make a pseudo-terminal: " + Why(errno));
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    int packet = 1;
    KTermios base;
    if (m_slave < 0 || ioctl(m_master, TIOCPKT, &packet) != 0 || !GetKernelTermios(m_master, &base))
        return fail("Can not set up the pseudo-terminal " + m_slavePath + ": " + Why(errno));
    KTermios raw = MapDcbToTermios(dcb, base);
    raw.c_lflag |= EXTPROC;
    if (!SetKernelTermios(m_master, raw))
        return fail("Can not set up the pseudo-terminal " + m_slavePath + ": " + Why(errno));
    m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_opens.store(0);
    if (m_watch < 0 || inotify_add_watch(m_watch, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
        CloseFd(m_watch); // the port then counts as open all the time
    if (!MakeLink(path, error)) {
        Remove();
        return false;
    }
    return true;
}

bool CVirtualPort::MakeLink(const std::string &path, std::string &error)
{
    if (LinkGuarded(path)) {
        error = "The virtual port path " + path + " is in use by another monitor";
        return false;
    }
    struct stat st
    {
    };
    bool replace = false;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = "The virtual port path " + path + " is taken by a file that is not a symbolic link";
            return false;
        }
        const std::string old = ReadLink(path);
        if (old.rfind(kPtsDir, 0) != 0) {
            error = "The virtual port path " + path + " is a symbolic link to " + old +
                    ", not one left by an earlier monitor";
            return false;
        }
        // A pty's node lives exactly as long as some process holds its master, so a link whose
        // node is still there belongs to a live port (another monitor, socat) and is not ours to
        // take; once the node is gone nothing can lose its port by the link being replaced.
        struct stat pty
        {
        };
        // Our own new pty may have been given the old number back.
        if (old != m_slavePath && (stat(old.c_str(), &pty) == 0 || errno != ENOENT)) {
            error = "The virtual port path " + path + " is a symbolic link to " + old +
                    ", a pseudo-terminal another program still holds open";
            return false;
        }
        replace = true;
    } else if (errno != ENOENT) {
        error = "Can not use the virtual port path " + path + ": " + Why(errno);
        return false;
    }
    m_guard = GuardLink(path, m_slavePath);
    int rc = 0;
    if (replace) {
        // Made beside it and renamed over it, so the path never lacks a link meanwhile.
        const std::string fresh = path + ".new-" + std::to_string(getpid());
        unlink(fresh.c_str());
        rc = symlink(m_slavePath.c_str(), fresh.c_str());
        if (rc == 0 && (rc = rename(fresh.c_str(), path.c_str())) != 0) {
            const int e = errno;
            unlink(fresh.c_str());
            errno = e;
        }
    } else {
        rc = symlink(m_slavePath.c_str(), path.c_str());
    }
    if (rc != 0) {
        error = "Can not make the virtual port at " + path + ": " + Why(errno);
        ReleaseLink(m_guard);
        m_guard = -1;
        return false;
    }
    m_linkPath = path;
    return true;
}

void CVirtualPort::Remove()
{
    if (!m_linkPath.empty() && ReadLink(m_linkPath) == m_slavePath)
        unlink(m_linkPath.c_str());
    ReleaseLink(m_guard);
    m_guard = -1;
    m_linkPath.clear();
    CloseFd(m_watch);
    CloseFd(m_slave);
    CloseFd(m_master);
    m_slavePath.clear();
}

bool CVirtualPort::ProgramLine(ST_FollowedLine *line)
{
    KTermios t;
    if (!GetKernelTermios(m_master, &t))
        return false;
    if (!(t.c_lflag & EXTPROC)) {
        t.c_lflag |= EXTPROC;
        SetKernelTermios(m_master, t);
    }
    line->Baud = t.c_ospeed;
    line->TwoStopBits = (t.c_cflag & CSTOPB) != 0;
    line->Handshake = (t.c_cflag & CRTSCTS)               ? CSerial::HardwareHandshake
                      : (t.c_iflag & (IXON | IXOFF)) != 0 ? CSerial::XonXoffHandshake
                                                          : CSerial::NoHandshake;
    return true;
}

void CVirtualPort::DropUnread()
{
    tcflush(m_slave, TCIFLUSH);
}

bool CVirtualPort::OnOpenWatch()
{
    alignas(inotify_event) char events[4096];
    ssize_t n = 0;
    int opens = m_opens.load();
    bool closed = false;
    while ((n = read(m_watch, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            if (event->mask & IN_Q_OVERFLOW) {
                // Count lost: taken as open, the safe side, until the next close.
                opens = 1;
            } else if (event->mask & IN_OPEN) {
                ++opens;
            } else if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                opens = opens > 0 ? opens - 1 : 0;
                closed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    m_opens.store(opens);
    if (!closed || opens != 0)
        return false;
    DropUnread();
    ioctl(m_slave, TIOCNXCL);
    return true;
}
