#pragma once
// TCP ports of 127.0.0.1 for tests and benches that run servers of their own.
#include <cstdint>

// A port held for a test: bound, so nothing else takes it, but not listening, so every connect is
// refused until Listen. `receiveBuffer` (bytes, 0 for the kernel's own) is set before the bind,
// for a server that is to take only a little. Released when it goes.
class CLoopbackPort
{
public:
    explicit CLoopbackPort(int receiveBuffer = 0);
    ~CLoopbackPort();
    CLoopbackPort(const CLoopbackPort &) = delete;
    CLoopbackPort &operator=(const CLoopbackPort &) = delete;

    bool Ok() const { return port_ != 0; }
    uint16_t Port() const { return port_; }
    bool Listen(int backlog = 4);

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A port free when asked (held for a moment and let go), for a server started afterwards.
uint16_t FreeLoopbackPort();

// Something listens on 127.0.0.1:`port`. Read off the kernel's table of sockets, so that finding
// out does not itself connect.
bool ListeningOnLoopback(uint16_t port);
