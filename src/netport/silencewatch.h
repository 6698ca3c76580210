#pragma once
// Telling a server that is gone from one that is only slow, from the kernel's view of a TCP
// connection. A server that stops reading shuts its window, and the kernel then probes it now
// and then; a live server acknowledges every probe, however long it keeps the window shut, so
// that is flow control, never a loss. A server that is gone (powered off, cable pulled, a route
// that went away) acknowledges nothing: data, or a probe, stay unanswered. The kernel's own
// time-out for that is far too long for a terminal (a quarter of an hour), and the socket option
// that shortens it also ends a connection whose window merely stayed shut, so the pump looks for
// itself. An idle connection is the keepalives' to watch.
#include <chrono>
#include <cstdint>
#include <optional>

// One look at the connection (from TCP_INFO).
struct ST_TcpLook
{
    uint32_t Unacked = 0;    // segments sent and not acknowledged
    uint32_t Probes = 0;     // window probes (or keepalives) sent and not answered
    uint32_t LastAckMs = 0;  // since the last acknowledgement came
    uint32_t SendWindow = 1; // what the server's window takes now (0: shut)
    uint32_t NotSent = 0;    // bytes queued that the window did not let out yet
};

// The look at socket `fd`; false where the kernel tells none.
bool LookAtTcp(int fd, ST_TcpLook *look);

class CSilenceWatch
{
public:
    using Clock = std::chrono::steady_clock;
    explicit CSilenceWatch(int limitMs) : m_limit(std::chrono::milliseconds(limitMs)) {}

    // True once something stayed unanswered at every look for the limit (data, or two window
    // probes in a row), and no acknowledgement at all came for as long: the server is gone.
    bool Dead(Clock::time_point now, const ST_TcpLook &look);
    // True once (per hold) the window has stayed shut, with data waiting, for the limit: worth a
    // note, since the user sees the port stall, but the connection lives on.
    bool ShutLong(Clock::time_point now, const ST_TcpLook &look);

private:
    const Clock::duration m_limit;
    std::optional<Clock::time_point> m_unansweredSince;
    std::optional<Clock::time_point> m_shutSince;
    bool m_shutNoted = false;
};
