#include "shellbehindport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool WriteAll(int fd, const char *data, size_t size)
{
    // A line nobody drains any more fails the write instead of holding the bridge for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

CShellBehindPort::CShellBehindPort(CTestPty &port, const std::string &dir, int rows, int cols) : m_port(port)
{
    m_term = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_term < 0 || grantpt(m_term) != 0 || unlockpt(m_term) != 0)
        return;
    const std::string slave = ptsname(m_term);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    ioctl(m_term, TIOCSWINSZ, &size);
    fcntl(m_term, F_SETFL, fcntl(m_term, F_GETFL) | O_NONBLOCK);
    m_wake = eventfd(0, EFD_CLOEXEC);

    // Everything the child needs is made before the fork: it may only exec.
    const std::string path = std::string("PATH=") + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
    const std::string home = "HOME=" + dir;
    std::vector<std::string> env = {
        path, home, "TERM=xterm", "PS1=$ ", "LC_ALL=C.UTF-8", "INPUTRC=/dev/null", "HISTFILE=/dev/null"};
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char bash[] = "/bin/bash", norc[] = "--norc", noprofile[] = "--noprofile";
    char *argv[] = {bash, norc, noprofile, nullptr};
    m_shell = fork();
    if (m_shell == 0) {
        setsid();
        const int tty = open(slave.c_str(), O_RDWR);
        ioctl(tty, TIOCSCTTY, 0);
        dup2(tty, 0);
        dup2(tty, 1);
        dup2(tty, 2);
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        execve(bash, argv, envp.data());
        _exit(127);
    }
    m_bridge = std::thread([this] { Bridge(); });
}

CShellBehindPort::~CShellBehindPort()
{
    if (m_shell > 0) {
        kill(-m_shell, SIGKILL);
        kill(m_shell, SIGKILL);
        waitpid(m_shell, nullptr, 0);
    }
    if (m_bridge.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_wake, &one, sizeof one);
        m_bridge.join();
    }
    for (int fd : {m_term, m_wake})
        if (fd >= 0)
            close(fd);
}

bool CShellBehindPort::HasChild(const std::string &name) const
{
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        const std::string comm = line.substr(open + 1, close - open - 1);
        int ppid = 0;
        char state = 0;
        if (sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == m_shell &&
            comm == name && state != 'Z')
            return true;
    }
    return false;
}

void CShellBehindPort::Bridge()
{
    pollfd fds[3] = {{m_port.Master(), POLLIN, 0}, {m_term, POLLIN, 0}, {m_wake, POLLIN, 0}};
    char buf[4096];
    for (;;) {
        // A minute with no byte either way means the test is stuck: the bridge ends, so the test
        // fails where it waits instead of hanging.
        const int ready = poll(fds, 3, 60000);
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return;
        if (fds[2].revents)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0)
                WriteAll(i == 0 ? m_term : m_port.Master(), buf, static_cast<size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                fds[i].fd = -1; // the shell is gone: its end reads EIO from now on
        }
    }
}
