#pragma once
// A transfer's channel on an open port: it writes to the port itself, and reads what the port's
// receive path hands it with Feed while a block protocol runs (the port's listener keeps reading
// the line; the received bytes go here instead of into blocks).
#include "serial/serial.h"
#include "transfer/filetransfer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

class CPortChannel : public ITransferChannel
{
public:
    explicit CPortChannel(CSerial &port) : m_port(port) {}

    // Any thread.
    void Feed(const uint8_t *data, size_t size);
    // The owner, about to close the port under a cancelled transfer: writes `bytes` (what fits at
    // once) unless the transfer is writing right now, and refuses the transfer every later write,
    // so they are the last the other end reads. A transfer in the middle of a write on a line that
    // takes nothing is not waited for: the close wakes it, and that end learns nothing.
    void WriteLast(const std::vector<uint8_t> &bytes);

    long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) override;
    size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) override;
    void Wake() override;
    void Unread(const uint8_t *data, size_t size) override;
    // What came and no transfer read, in order; the channel is empty after.
    std::vector<uint8_t> TakeUnread();

private:
    CSerial &m_port;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<uint8_t> m_received;
    bool m_woken = false;
    bool m_writing = false; // the transfer is in Write
    bool m_sealed = false;  // WriteLast has written
};
