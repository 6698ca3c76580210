#include "netport/silencewatch.h"

#include <cstddef>
#include <netinet/in.h>
#include <sys/socket.h>
// The kernel's own header: the C library's copy of the structure ends before the fields that
// tell the window.
#include <linux/tcp.h>

bool LookAtTcp(int fd, ST_TcpLook *look)
{
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        length < offsetof(tcp_info, tcpi_rcv_rtt))
        return false;
    look->Unacked = info.tcpi_unacked;
    look->Probes = info.tcpi_probes;
    look->LastAckMs = info.tcpi_last_ack_recv;
    // An older kernel that tells neither leaves the window taken as open: no note, no harm.
    const auto tells = [length](size_t offset) { return length >= offset + sizeof(uint32_t); };
    look->SendWindow = tells(offsetof(tcp_info, tcpi_snd_wnd)) ? info.tcpi_snd_wnd : 1;
    look->NotSent = tells(offsetof(tcp_info, tcpi_notsent_bytes)) ? info.tcpi_notsent_bytes : 0;
    return true;
}

bool CSilenceWatch::Dead(Clock::time_point now, const ST_TcpLook &look)
{
    // A receiver answers segments outside its window at most twice a second, so while the window
    // is shut and the probes still come fast, one may go unanswered from a live server.
    if (look.Unacked == 0 && look.Probes < 2) {
        m_unansweredSince.reset();
        return false;
    }
    if (!m_unansweredSince)
        m_unansweredSince = now;
    const auto lastAck = std::chrono::milliseconds(look.LastAckMs);
    return now - *m_unansweredSince >= m_limit && lastAck >= m_limit;
}

bool CSilenceWatch::ShutLong(Clock::time_point now, const ST_TcpLook &look)
{
    if (look.SendWindow != 0 || look.NotSent == 0) {
        m_shutSince.reset();
        m_shutNoted = false;
        return false;
    }
    if (!m_shutSince)
        m_shutSince = now;
    if (m_shutNoted || now - *m_shutSince < m_limit)
        return false;
    m_shutNoted = true;
    return true;
}
