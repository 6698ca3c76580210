#pragma once
// A headless run's traffic for the protocol analyser (--pcapng FILE): each read and each send a
// packet, a read stamped as it was read, a send as its write began. What was read while a send
// was out waits for it, as the run's log does, so an answer never stands before its request.
#include "link/linksetting.h"
#include "log/capturefile.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CHeadlessPcapng
{
public:
    // Run thread, before any other call. 0 or the errno.
    int Start(const std::string &path) { return m_file.Start(path); }
    // Run thread, once the link is known and before its port opens: the file's header.
    void SetLink(const COM_PORT_SETTING &link);
    // Listener thread.
    void Read(const uint8_t *data, size_t size);
    // Run thread: what was read before the write began (`steadyMs`), then the send.
    void Sent(const uint8_t *data, size_t size, int64_t steadyMs);
    bool MustWrite() const;
    // Run thread, with no send out.
    void WriteAll();
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

    mutable std::mutex m_lock;
    std::deque<ST_Read> m_waiting;
    size_t m_waitingBytes = 0;
    std::string m_packet; // the run thread's
    CCaptureFile m_file;
};
