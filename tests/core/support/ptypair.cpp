#include "ptypair.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

CTestPty::CTestPty()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    path_ = name;
}

CTestPty::~CTestPty()
{
    CloseMaster();
    if (slave_ >= 0)
        close(slave_);
}

std::string CTestPty::ReceiveText(size_t count, int ms)
{
    const std::vector<uint8_t> bytes = Receive(count, ms);
    return std::string(bytes.begin(), bytes.end());
}

void CTestPty::CloseMaster()
{
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

bool CTestPty::WaitUnread(size_t count, int ms) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int unread = 0;
        if (ioctl(slave_, FIONREAD, &unread) != 0)
            return false;
        if (static_cast<size_t>(unread) >= count)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool CTestPty::Send(const std::string &text)
{
    return Send(std::vector<uint8_t>(text.begin(), text.end()));
}

bool CTestPty::Send(const std::vector<uint8_t> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, 2000) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> CTestPty::Receive(size_t count, int ms)
{
    std::vector<uint8_t> out;
    uint8_t buf[4096];
    while (out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            break;
        const ssize_t n = read(master_, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (n > 0)
            out.insert(out.end(), buf, buf + n);
    }
    return out;
}

CTempHome::CTempHome()
{
    char pattern[] = "/tmp/kestrum-test-XXXXXX";
    dir_ = mkdtemp(pattern);
    if (const char *old = std::getenv("KESTRUM_HOME")) {
        hadHome_ = true;
        oldHome_ = old;
    }
    setenv("KESTRUM_HOME", dir_.c_str(), 1);
}

CTempHome::~CTempHome()
{
    if (hadHome_)
        setenv("KESTRUM_HOME", oldHome_.c_str(), 1);
    else
        unsetenv("KESTRUM_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string CTempHome::LogText() const
{
    std::ifstream in(dir_ + "/kestrum.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int CountOf(const std::string &haystack, const std::string &needle)
{
    int n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++n;
    return n;
}
