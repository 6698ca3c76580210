#pragma once
// A telnet com-port server in the test's own process, for what a real server will not do on
// demand: refuse or ignore the com-port option, answer a setting with another value, report
// modem lines and line errors, send garbage, close mid-command. It listens on 127.0.0.1 on a
// free port and serves one connection at a time (a new one replaces the old). In raw mode it
// neither decodes nor answers anything and records the bytes as they came.
//
// Everything it received is recorded (data undoubled, commands decoded). The answer to each
// com-port command is chosen by a script function, by default the value asked, as a server
// that takes every setting answers.
#include "netport/netaddress.h"
#include "netport/telnetcodec.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class CFakeRfc2217
{
public:
    enum class EComPort { Agree, Refuse, Silent };
    // The answer's value to the client command `code` carrying `value`; nullopt answers nothing.
    using AnswerScript =
        std::function<std::optional<telnet::Bytes>(uint8_t code, const telnet::Bytes &value)>;

    // `receiveBuffer` (bytes, 0 for the kernel's own) is for a server that is to take only a little.
    explicit CFakeRfc2217(ENetKind kind = ENetKind::Rfc2217, int receiveBuffer = 0);
    ~CFakeRfc2217();
    CFakeRfc2217(const CFakeRfc2217 &) = delete;
    CFakeRfc2217 &operator=(const CFakeRfc2217 &) = delete;

    bool Ok() const { return listenFd_ >= 0; }
    uint16_t Port() const { return port_; }
    // 127.0.0.1 and the port, of the kind the server speaks.
    ST_NetAddress Address() const;

    void SetComPort(EComPort answer);
    void SetAnswers(AnswerScript script);

    // To the client of the moment; false when there is none (or it went). Blocking: a client
    // that does not read holds the caller.
    bool SendRaw(const telnet::Bytes &wire);
    // Data doubled as telnet wants it (as it stands in raw mode).
    bool SendData(const telnet::Bytes &data);
    // A com-port command in the server's codes (the client's + 100).
    bool SendComPort(uint8_t serverCode, const telnet::Bytes &value);
    // Ends the connection of the moment (both ways).
    void Disconnect();

    telnet::Bytes Data() const;
    std::vector<telnet::ST_Command> Commands() const;
    int Connections() const;
    // A client is connected now (one that closed is gone once the server has read to its end).
    bool Connected() const;
    // The com-port commands received with this code, in order.
    std::vector<telnet::Bytes> ComPortValues(uint8_t code) const;

    // Waits until `done` holds (checked at first and after every change). False
    // only when nothing satisfied it for a very long while, so a fault fails instead of hanging.
    bool WaitUntil(const std::function<bool()> &done);
    bool WaitForData(size_t count);
    bool WaitForConnection(int count = 1);

private:
    void Run();
    void Received(const uint8_t *bytes, size_t count);
    void Answer(const telnet::ST_Command &command);
    bool SendLocked(const telnet::Bytes &wire);
    void DropConnection();
    void Changed();

    const ENetKind kind_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;

    // Sending holds sendLock_; the descriptor changes only with both locks held, so a send or a
    // shutdown never meets a descriptor closed under it.
    std::mutex sendLock_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    int connFd_ = -1;
    bool stop_ = false;
    int connections_ = 0;
    uint64_t changes_ = 0;
    EComPort comPort_ = EComPort::Agree;
    AnswerScript script_;
    telnet::Bytes data_;
    std::vector<telnet::ST_Command> commands_;
    telnet::CDecoder decoder_;
    bool agreed_[2][256] = {};
};
