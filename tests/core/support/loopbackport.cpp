#include "loopbackport.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

CLoopbackPort::CLoopbackPort(int receiveBuffer)
{
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    if (receiveBuffer > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port_ = ntohs(a.sin_port);
}

CLoopbackPort::~CLoopbackPort()
{
    if (fd_ >= 0)
        close(fd_);
}

bool CLoopbackPort::Listen(int backlog)
{
    return Ok() && listen(fd_, backlog) == 0;
}

uint16_t FreeLoopbackPort()
{
    return CLoopbackPort().Port();
}

bool ListeningOnLoopback(uint16_t port)
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
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
