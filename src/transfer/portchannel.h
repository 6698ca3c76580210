#pragma once
// A transfer's channel on an open port: it writes to the port itself, and reads what the port's
// receive path hands it with Feed while a block protocol runs (the port's listener keeps reading
// the line; the received bytes go here instead of into blocks).
//
// It keeps the line's traffic both ways in the order it crossed the channel, each piece with the
// time it was written or read, for the port's owner to take (TakeTraffic): what the transfer
// writes, and what it was fed once the transfer has read past it. Bytes fed but not read are held
// back, so that the bytes a transfer leaves unread at its end (a shell's prompt) are either the
// transfer's or the line's received data again, never both.
#include "platform/clock.h"
#include "serial/serial.h"
#include "transfer/filetransfer.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class CPortChannel : public ITransferChannel
{
public:
    explicit CPortChannel(CSerial &port, const IClock &clock = CSystemClock::Instance())
        : m_port(port), m_clock(clock)
    {
    }

    // Any thread. `steadyMs` and `wallMs` say when the bytes were read; `fromLine` marks bytes
    // read since the transfer began, which the owner has not seen yet (others were handed over
    // with the owner's blocks).
    void Feed(const uint8_t *data, size_t size, int64_t steadyMs, int64_t wallMs, bool fromLine = false);
    void Feed(const uint8_t *data, size_t size);
    // The owner, about to close the port under a cancelled transfer: writes `bytes` (what fits at
    // once) unless the transfer is writing right now, and refuses the transfer every later write,
    // so they are the last the other end reads. A transfer in the middle of a write on a line that
    // takes nothing is not waited for: the close wakes it, and that end learns nothing. Returns the
    // count written.
    size_t WriteLast(const std::vector<uint8_t> &bytes);

    long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) override;
    size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) override;
    void Wake() override;
    void Unread(const uint8_t *data, size_t size) override;
    // What came and no transfer read, in order; the channel is empty after.
    std::vector<uint8_t> TakeUnread();

    struct ST_Traffic
    {
        bool Sent = false;
        std::vector<uint8_t> Bytes;
        int64_t SteadyMs = 0;
        int64_t WallMs = 0;
        bool FromLine = false;
        bool Writing = false; // its last bytes are being written; how many went out is not known yet
    };
    // Any thread, before the transfer runs: called, on the thread that wrote or read, when there
    // is traffic to take and none was told of since the last TakeTraffic.
    void SetTrafficHandler(std::function<void()> handler) { m_onTraffic = std::move(handler); }
    // The traffic that is due, oldest first. Once the transfer has ended, `ended` takes all but
    // what is still unread (TakeUnread's), and says how much of that was FromLine.
    std::vector<ST_Traffic> TakeTraffic(bool ended = false, uint64_t *unreadFromLine = nullptr);

private:
    void Record(bool sent, const uint8_t *data, size_t size, int64_t steadyMs, int64_t wallMs, bool fromLine);
    // Under m_lock; EndWrite takes it.
    void BeginWrite(const uint8_t *data, size_t size);
    void EndWrite(size_t size, size_t written);
    // Under m_lock: whether a handler call is due now.
    bool TellTraffic();

    CSerial &m_port;
    const IClock &m_clock;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<uint8_t> m_received;
    bool m_woken = false;
    bool m_writing = false; // the transfer is in Write
    bool m_sealed = false;  // WriteLast has written

    std::function<void()> m_onTraffic;
    std::deque<ST_Traffic> m_traffic;
    bool m_told = false;
    // Counts of received bytes: fed, returned by Read (less what was put back), read by the time
    // the latest Read began (a transfer comes back for more only when it is done with what it had,
    // so these are past putting back), and taken with TakeTraffic.
    uint64_t m_fed = 0;
    uint64_t m_read = 0;
    uint64_t m_readDone = 0;
    uint64_t m_taken = 0;
};
