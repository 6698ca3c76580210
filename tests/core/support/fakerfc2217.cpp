#include "fakerfc2217.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

using telnet::Bytes;

CFakeRfc2217::CFakeRfc2217(ENetKind kind, int receiveBuffer) : kind_(kind)
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ >= 0 && receiveBuffer > 0)
        setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(listenFd_, 4) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &length) != 0) {
        if (listenFd_ >= 0)
            close(listenFd_);
        listenFd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
}

CFakeRfc2217::~CFakeRfc2217()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        if (connFd_ >= 0)
            shutdown(connFd_, SHUT_RDWR);
    }
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (connFd_ >= 0)
        close(connFd_);
    if (wakeFd_ >= 0)
        close(wakeFd_);
    if (listenFd_ >= 0)
        close(listenFd_);
}

ST_NetAddress CFakeRfc2217::Address() const
{
    ST_NetAddress a;
    a.Kind = kind_;
    a.Host = "127.0.0.1";
    a.Port = port_;
    return a;
}

void CFakeRfc2217::SetComPort(EComPort answer)
{
    std::lock_guard<std::mutex> hold(lock_);
    comPort_ = answer;
}

void CFakeRfc2217::SetAnswers(AnswerScript script)
{
    std::lock_guard<std::mutex> hold(lock_);
    script_ = std::move(script);
}

bool CFakeRfc2217::SendLocked(const Bytes &wire)
{
    int fd = -1;
    {
        std::lock_guard<std::mutex> hold(lock_);
        fd = connFd_;
    }
    size_t done = 0;
    while (fd >= 0 && done < wire.size()) {
        const ssize_t n = send(fd, wire.data() + done, wire.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return fd >= 0;
}

bool CFakeRfc2217::SendRaw(const Bytes &wire)
{
    std::lock_guard<std::mutex> sending(sendLock_);
    return SendLocked(wire);
}

bool CFakeRfc2217::SendData(const Bytes &data)
{
    return SendRaw(kind_ == ENetKind::Raw ? data : telnet::Escaped(data));
}

bool CFakeRfc2217::SendComPort(uint8_t serverCode, const Bytes &value)
{
    return SendRaw(telnet::ComPortCommand(serverCode, value));
}

void CFakeRfc2217::Disconnect()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (connFd_ >= 0)
        shutdown(connFd_, SHUT_RDWR);
}

Bytes CFakeRfc2217::Data() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return data_;
}

std::vector<telnet::ST_Command> CFakeRfc2217::Commands() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return commands_;
}

int CFakeRfc2217::Connections() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return connections_;
}

bool CFakeRfc2217::Connected() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return connFd_ >= 0;
}

std::vector<Bytes> CFakeRfc2217::ComPortValues(uint8_t code) const
{
    std::vector<Bytes> values;
    for (const telnet::ST_Command &c : Commands())
        if (c.Kind == telnet::ST_Command::ComPort && c.Code == code)
            values.push_back(c.Value);
    return values;
}

bool CFakeRfc2217::WaitUntil(const std::function<bool()> &done)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard<std::mutex> hold(lock_);
            seen = changes_;
        }
        if (done())
            return true;
        std::unique_lock<std::mutex> hold(lock_);
        if (!changed_.wait_until(hold, until, [&] { return changes_ != seen; }))
            return false;
    }
}

bool CFakeRfc2217::WaitForData(size_t count)
{
    return WaitUntil([&] { return Data().size() >= count; });
}

bool CFakeRfc2217::WaitForConnection(int count)
{
    return WaitUntil([&] { return Connections() >= count; });
}

void CFakeRfc2217::Changed()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++changes_;
    }
    changed_.notify_all();
}

void CFakeRfc2217::DropConnection()
{
    std::lock_guard<std::mutex> sending(sendLock_);
    std::lock_guard<std::mutex> hold(lock_);
    if (connFd_ >= 0)
        close(connFd_);
    connFd_ = -1;
    decoder_.Reset();
    for (auto &side : agreed_)
        std::fill(std::begin(side), std::end(side), false);
}

void CFakeRfc2217::Answer(const telnet::ST_Command &c)
{
    using telnet::ST_Command;
    Bytes reply;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (c.Kind == ST_Command::ComPort) {
            if (c.Code >= 1 && c.Code <= telnet::PurgeData) {
                const std::optional<Bytes> value = script_ ? script_(c.Code, c.Value) : c.Value;
                if (value)
                    reply =
                        telnet::ComPortCommand(static_cast<uint8_t>(c.Code + telnet::kServerCode), *value);
            }
        } else if (c.Kind == ST_Command::Will || c.Kind == ST_Command::Do) {
            const bool theirs = c.Kind == ST_Command::Will; // the client offers to do it
            const uint8_t yes = theirs ? telnet::DO : telnet::WILL;
            const uint8_t no = theirs ? telnet::DONT : telnet::WONT;
            bool &agreed = agreed_[theirs][c.Option];
            if (c.Option == telnet::OptComPort && comPort_ != EComPort::Agree) {
                if (comPort_ == EComPort::Refuse)
                    reply = telnet::OptionCommand(no, c.Option);
            } else if (c.Option == telnet::OptBinary || c.Option == telnet::OptSga ||
                       c.Option == telnet::OptComPort) {
                if (!agreed)
                    reply = telnet::OptionCommand(yes, c.Option);
                agreed = true;
            } else {
                reply = telnet::OptionCommand(no, c.Option);
            }
        }
    }
    if (!reply.empty())
        SendRaw(reply);
}

void CFakeRfc2217::Received(const uint8_t *bytes, size_t count)
{
    std::vector<telnet::ST_Command> commands;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (kind_ == ENetKind::Raw)
            data_.insert(data_.end(), bytes, bytes + count);
        else
            decoder_.Feed(bytes, count, &data_, &commands);
        commands_.insert(commands_.end(), commands.begin(), commands.end());
    }
    for (const telnet::ST_Command &c : commands)
        Answer(c);
    Changed();
}

void CFakeRfc2217::Run()
{
    for (;;) {
        int conn = -1;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (stop_)
                return;
            conn = connFd_;
        }
        pollfd p[3] = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {conn, POLLIN, 0}};
        // A minute with nothing to do means the test that runs it is stuck: the server ends, so the
        // test fails where it waits instead of hanging.
        const int ready = poll(p, 3, 60000);
        if (ready == 0)
            return;
        if (ready < 0)
            continue;
        if (p[1].revents & POLLIN) {
            const int accepted = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0) {
                DropConnection();
                std::lock_guard<std::mutex> sending(sendLock_);
                std::lock_guard<std::mutex> hold(lock_);
                connFd_ = accepted;
                ++connections_;
            }
            Changed();
            continue;
        }
        if (p[2].revents) {
            uint8_t buffer[4096];
            const ssize_t n = recv(conn, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                Received(buffer, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                DropConnection();
                Changed();
            }
        }
    }
}
