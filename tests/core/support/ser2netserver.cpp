#include "ser2netserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char *kSer2Net = "/usr/sbin/ser2net";

uint16_t FreePort()
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        close(s);
    return port;
}

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

// Read off the kernel's table of sockets, so that finding out does not itself connect.
bool CSer2NetServer::Listening() const
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port_);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

bool CSer2NetServer::Start()
{
    if (dir_.empty() || pid_ > 0)
        return false;
    if (port_ == 0)
        port_ = FreePort();
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
    while (!Listening()) {
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
