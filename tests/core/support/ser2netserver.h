#pragma once
// Debian's ser2net in front of a test device (a pseudo-terminal), serving it on a free local
// port: RFC 2217 or raw TCP. The server is a real process, killed and started again on the same
// port as a test needs.
#include <cstdint>
#include <string>
#include <sys/types.h>

class CSer2NetServer
{
public:
    CSer2NetServer(std::string device, bool rfc2217);
    ~CSer2NetServer();
    CSer2NetServer(const CSer2NetServer &) = delete;
    CSer2NetServer &operator=(const CSer2NetServer &) = delete;

    static bool Installed();
    // Starts the server (on the port it had before, else a free one) and waits until it listens.
    // False when it could not start or ended before it listened.
    bool Start();
    // Ends it at once, as a crash or a pulled network cable would.
    void Kill();
    uint16_t Port() const { return port_; }
    // "rfc2217://127.0.0.1:PORT" or "socket://127.0.0.1:PORT".
    std::string Address() const;

private:
    std::string device_;
    bool rfc2217_;
    std::string dir_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};
