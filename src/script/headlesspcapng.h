#pragma once
// A headless run's traffic for the protocol analyser (--pcapng FILE): each read and each send a
// packet, a read stamped as it was read, a send as its write began. What was read while a send
// was out waits for it, as the run's log does, so an answer never stands before its request.
// With a framing the packets are the session's frames instead, each stamped to the microsecond
// by the read that brought its first byte (a send by its write's start). The line's events
// (modem lines, breaks, line errors) go between them by their times.
#include "frame/framer.h"
#include "link/linksetting.h"
#include "log/capturefile.h"
#include "portbase/lineevent.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CHeadlessPcapng
{
public:
    // Run thread, before any other call. 0 or the errno.
    int Start(const std::string &path);
    // Run thread, once the link is known and before its port opens: the file's header.
    void SetLink(const COM_PORT_SETTING &link);
    // Listener thread.
    void Read(const uint8_t *data, size_t size);
    // Run thread: what was read before the write began (`steadyMs`), then the send.
    void Sent(const uint8_t *data, size_t size, int64_t steadyMs);
    // The same with the write's start in microseconds of the steady clock.
    void SentAt(const uint8_t *data, size_t size, int64_t steadyMicros);
    // Run thread: a line event of the session's, written before the first packet after it.
    void Event(const ST_LineEvent &event);
    bool MustWrite() const;
    // Run thread, with no send out.
    void WriteAll();
    // Run thread: a frame of the session's (steady clock).
    void Frame(const ST_Frame &frame);
    // 0, or the error that cost packets.
    int Stop();

private:
    struct ST_Read
    {
        std::vector<uint8_t> Data;
        int64_t SteadyMicros, WallMicros;
    };
    template <typename Due> void WriteWaiting(Due due);
    void Write(bool sent, const uint8_t *data, size_t size, int64_t wallMicros);
    // The events that came before `steadyMicros` (all of them: INT64_MAX).
    void WriteEventsBefore(int64_t steadyMicros);

    mutable std::mutex m_lock;
    std::deque<ST_Read> m_waiting;
    size_t m_waitingBytes = 0;
    std::deque<ST_LineEvent> m_events; // the run thread's
    std::string m_packet;              // the run thread's
    int64_t m_wallOffset = 0;          // the wall clock less the steady clock, microseconds
    CCaptureFile m_file;
};
