#include "ser2netserver.h"

#include "loopbackport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char *kSer2Net = "/usr/sbin/ser2net";

} // namespace

CSer2NetServer::CSer2NetServer(std::string device, bool rfc2217)
    : device_(std::move(device)), rfc2217_(rfc2217)
{
    char templ[] = "/tmp/kestrum-ser2net-XXXXXX";
    if (mkdtemp(templ) != nullptr)
        dir_ = templ;
}

CSer2NetServer::~CSer2NetServer()
{
    Kill();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool CSer2NetServer::Installed()
{
    return access(kSer2Net, X_OK) == 0;
}

std::string CSer2NetServer::Address() const
{
    return std::string(rfc2217_ ? "rfc2217" : "socket") + "://127.0.0.1:" + std::to_string(port_);
}

bool CSer2NetServer::Start()
{
    if (dir_.empty() || pid_ > 0)
        return false;
    if (port_ == 0)
        port_ = FreeLoopbackPort();
    const std::string config = dir_ + "/kestrum.yaml";
    {
        std::ofstream out(config, std::ios::trunc);
        out << "%YAML 1.1\n---\nconnection: &k\n"
            << "    accepter: " << (rfc2217_ ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1," << port_ << "\n"
            << "    enable: on\n    options:\n      kickolduser: true\n"
            << "    connector: serialdev," << device_ << ",9600n81,local\n";
    }
    const std::string pidFile = dir_ + "/ser2net.pid";
    const std::string log = dir_ + "/ser2net.log";
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execl(kSer2Net, kSer2Net, "-n", "-u", "-P", pidFile.c_str(), "-c", config.c_str(), nullptr);
        _exit(127);
    }
    pid_ = child;
    // Waits for the state it needs: listening, or the server gone.
    while (!ListeningOnLoopback(port_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        poll(nullptr, 0, 5);
    }
    return true;
}

void CSer2NetServer::Kill()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}
