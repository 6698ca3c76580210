#pragma once
// A transfer's channel straight on a descriptor (the master end of a pseudo-terminal), for the
// ZMODEM tests and bench. It can keep what went each way, and spoil every Nth byte of one
// direction, as a noisy line does.
#include "portbase/serialerror.h"
#include "transfer/filetransfer.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

class CFdChannel : public ITransferChannel
{
public:
    explicit CFdChannel(int fd) : m_fd(fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }
    ~CFdChannel() override { close(m_wake); }
    CFdChannel(const CFdChannel &) = delete;
    CFdChannel &operator=(const CFdChannel &) = delete;

    long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) override
    {
        *written = 0;
        std::string spoilt;
        if (SpoilWrittenEvery > 0) {
            spoilt.assign(reinterpret_cast<const char *>(data), size);
            for (char &c : spoilt)
                if (++m_writeCount % SpoilWrittenEvery == 0)
                    c = static_cast<char>(c ^ 0x55);
            data = reinterpret_cast<const uint8_t *>(spoilt.data());
        }
        while (*written < size) {
            const ssize_t n = write(m_fd, data + *written, size - *written);
            if (n > 0) {
                if (KeepWire)
                    Sent.append(reinterpret_cast<const char *>(data) + *written, static_cast<size_t>(n));
                *written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return errno;
            pollfd p{m_fd, POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(timeoutMs)) == 0)
                return ERROR_TIMEOUT;
        }
        return 0;
    }
    // What is there already is taken without a wait.
    size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) override
    {
        if (m_woken)
            return 0;
        ssize_t n = read(m_fd, data, max);
        if (n < 0 && errno == EAGAIN) {
            pollfd p[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (poll(p, 2, static_cast<int>(timeoutMs)) <= 0 || p[1].revents != 0)
                return 0;
            n = read(m_fd, data, max);
        }
        if (n <= 0)
            return 0;
        for (ssize_t i = 0; SpoilReadEvery > 0 && i < n; ++i)
            if (++m_readCount % SpoilReadEvery == 0)
                data[i] ^= 0x55;
        if (KeepWire)
            Received.append(reinterpret_cast<const char *>(data), static_cast<size_t>(n));
        return static_cast<size_t>(n);
    }
    void Wake() override
    {
        m_woken = true;
        eventfd_write(m_wake, 1);
    }

    bool KeepWire = false;
    std::string Sent, Received; // with KeepWire
    size_t SpoilWrittenEvery = 0, SpoilReadEvery = 0;

private:
    int m_fd;
    int m_wake = eventfd(0, EFD_CLOEXEC);
    std::atomic<bool> m_woken{false};
    size_t m_writeCount = 0, m_readCount = 0;
};
