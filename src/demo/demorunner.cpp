#include "demo/demorunner.h"

#include "platform/diaglog.h"
#include "serial/dcb.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace demo {

namespace {

// A master whose slave is closed reports a hang-up at every poll and cannot be waited on for the
// slave's next opening. The slave's node tells of its openings instead (inotify); where it cannot,
// the master is looked at this often while nobody has the port open.
constexpr int kClosedLookMs = 50;
// Reads handed to the device per wake-up, so a program that writes without pause cannot keep its
// ticks from coming.
constexpr int kReadsPerWake = 16;

thread_local const CDemoRunner *t_playing = nullptr;

void CloseFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

std::string FolderBase()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        struct stat st
        {
        };
        if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && access(runtime, W_OK) == 0)
            return runtime;
    }
    return "/tmp";
}

int PollTimeout(Clock::time_point next, Clock::time_point now)
{
    if (next == Clock::time_point::max())
        return -1;
    if (next <= now)
        return 0;
    // Rounded up: a poll that returned a little early would only go round once more.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

} // namespace

std::unique_ptr<CDemoRunner> CDemoRunner::Make(const Maker &make, EDemoStart start, std::string *error)
{
    std::unique_ptr<CDemoRunner> r(new CDemoRunner);
    r->m_start = start;
    const auto fail = [&](const std::string &what) {
        *error = what + ": " + std::strerror(errno);
        return nullptr;
    };
    std::string folder = FolderBase() + "/kestrum-demo-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return fail("cannot make the device's folder in " + FolderBase());
    r->m_folder = folder;

    r->m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (r->m_master < 0 || grantpt(r->m_master) != 0 || unlockpt(r->m_master) != 0 ||
        ptsname_r(r->m_master, name, sizeof name) != 0)
        return fail("cannot make a pseudo-terminal");
    r->m_slavePath = name;
    r->m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (r->m_slave < 0)
        return fail("cannot open " + r->m_slavePath);
    // Raw, so nothing is changed on the way before the program sets the line its own way.
    termios raw{};
    tcgetattr(r->m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(r->m_slave, TCSANOW, &raw);
    if (start == EDemoStart::WhenSlaveOpens) {
        CloseFd(r->m_slave);
        r->m_opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (r->m_opens >= 0 && inotify_add_watch(r->m_opens, name, IN_OPEN) < 0)
            CloseFd(r->m_opens);
    }
    r->m_slaveOpen.store(start == EDemoStart::WhenTold);
    if (fcntl(r->m_master, F_SETFL, fcntl(r->m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail("cannot make the pseudo-terminal non-blocking");
    r->m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (r->m_wake < 0)
        return fail("cannot make an event descriptor");

    r->m_device = make(r->m_folder);
    if (!r->m_device) {
        *error = "no such device";
        return nullptr;
    }
    CDemoRunner *self = r.get();
    r->m_thread = std::thread([self] { self->Run(); });
    return r;
}

CDemoRunner::~CDemoRunner()
{
    if (m_thread.joinable()) {
        m_stop.store(true);
        Wake();
        m_thread.join();
    }
    // Before the descriptors: a device's own threads may still be writing.
    m_device.reset();
    CloseFd(m_slave);
    CloseFd(m_master);
    CloseFd(m_wake);
    CloseFd(m_opens);
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

void CDemoRunner::Opened()
{
    m_openedAsked.store(true);
    Wake();
}

void CDemoRunner::Wake()
{
    if (m_wake >= 0)
        eventfd_write(m_wake, 1);
}

void CDemoRunner::Write(const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    bool waits = false;
    {
        const std::lock_guard<std::mutex> guard(m_writeLock);
        // Nobody would read it: the next program to open the port is not the one it was for.
        if (!m_slaveOpen.load())
            return;
        if (m_pending.size() - m_pendingHead + size > kMaxPending)
            return;
        m_pending.insert(m_pending.end(), data, data + size);
        FlushLocked();
        waits = m_pendingHead < m_pending.size();
    }
    // The runner's own thread polls for room anyway; any other has to tell it.
    if (waits && t_playing != this)
        Wake();
}

void CDemoRunner::FlushLocked()
{
    while (m_pendingHead < m_pending.size()) {
        const ssize_t n = write(m_master, m_pending.data() + m_pendingHead, m_pending.size() - m_pendingHead);
        if (n <= 0)
            break;
        m_pendingHead += static_cast<size_t>(n);
    }
    if (m_pendingHead == m_pending.size()) {
        m_pending.clear();
        m_pendingHead = 0;
    }
}

bool CDemoRunner::HasPending()
{
    const std::lock_guard<std::mutex> guard(m_writeLock);
    return m_pendingHead < m_pending.size();
}

ST_DemoLine CDemoRunner::Line() const
{
    ST_DemoLine line;
    KTermios t;
    // On Linux the master answers with the slave's settings: the line as the program set it.
    if (!GetKernelTermios(m_master, &t))
        return line;
    line.Baud = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.DataBits = 5;
        break;
    case CS6:
        line.DataBits = 6;
        break;
    case CS7:
        line.DataBits = 7;
        break;
    default:
        line.DataBits = 8;
        break;
    }
    line.Parity = (t.c_cflag & PARENB) != 0;
    line.StopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

bool CDemoRunner::ReadMaster(Clock::time_point now)
{
    uint8_t buf[4096];
    for (int i = 0; i < kReadsPerWake; ++i) {
        const ssize_t n = read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_device->Received(*this, buf, static_cast<size_t>(n), now);
            continue;
        }
        // EIO: the slave has closed and everything it wrote has been read.
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
    return true;
}

void CDemoRunner::Run()
{
    t_playing = this;
    try {
        Play();
    } catch (const std::exception &e) {
        // A device that fails falls silent rather than taking the program with it; the port
        // stays open until its owner closes it.
        AppendLogLine(DiagLogPath(),
                      std::string("CDemoRunner::Run - the device stopped: ") + e.what() + "\n");
    }
    t_playing = nullptr;
}

void CDemoRunner::Play()
{
    bool started = false;
    while (!m_stop.load()) {
        Clock::time_point now = Clock::now();
        if (!started && (m_start == EDemoStart::WhenTold ? m_openedAsked.load() : m_slaveOpen.load())) {
            started = true;
            m_device->Start(*this, now);
            now = Clock::now();
        }
        if (started && m_device->NextTick() <= now) {
            m_device->Tick(*this, now);
            now = Clock::now();
        }
        int timeout = started ? PollTimeout(m_device->NextTick(), now) : -1;
        const bool open = m_slaveOpen.load();
        // A negative descriptor (no watch on the slave) is skipped by poll.
        pollfd fds[2] = {{m_wake, POLLIN, 0}, {open ? m_master : m_opens, 0, 0}};
        if (open)
            fds[1].events = static_cast<short>((started ? POLLIN : 0) | (HasPending() ? POLLOUT : 0));
        else if (m_opens >= 0)
            fds[1].events = POLLIN;
        else if (timeout < 0 || timeout > kClosedLookMs)
            timeout = kClosedLookMs;
        if (poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        m_wakeups.fetch_add(1);
        if (fds[0].revents & POLLIN) {
            eventfd_t ignored = 0;
            eventfd_read(m_wake, &ignored);
        }
        if (!open) {
            if (fds[1].revents & POLLIN) {
                char events[4096];
                while (read(m_opens, events, sizeof events) > 0) {
                }
            }
            pollfd look = {m_master, 0, 0};
            if (poll(&look, 1, 0) == 0)
                m_slaveOpen.store(true);
            continue;
        }
        const short got = fds[1].revents;
        bool hungUp = false;
        if (started && (got & (POLLIN | POLLHUP | POLLERR)))
            hungUp = !ReadMaster(Clock::now());
        else if (got & POLLHUP)
            hungUp = true;
        const std::lock_guard<std::mutex> guard(m_writeLock);
        if (hungUp) {
            m_slaveOpen.store(false);
            m_pending.clear();
            m_pendingHead = 0;
        } else if (got & POLLOUT) {
            FlushLocked();
        }
    }
}

} // namespace demo
