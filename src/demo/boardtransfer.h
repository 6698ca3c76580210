#pragma once
// A file transfer the board runs: the project's engines, blocking on a thread of their own
// against a channel whose reads take what the runner hands the board and whose writes go to the
// board's output. The runner's thread only feeds the channel and looks whether the thread ended.
#include "demo/demodevice.h"
#include "transfer/filetransfer.h"
#include "transfer/receivefolder.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace demo {

class CBoardChannel : public ITransferChannel
{
public:
    // What waits unread beyond this is dropped, as a UART's overrun drops it; the protocols ask
    // again for what they lost.
    static constexpr size_t kMaxQueued = size_t{1} << 20;

    explicit CBoardChannel(IDemoOutput &out) : m_out(out) {}
    long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) override;
    size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) override;
    void Wake() override;
    // The runner's thread: bytes the program wrote.
    void Feed(const uint8_t *data, size_t size);

private:
    IDemoOutput &m_out;
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::vector<uint8_t> m_queue;
    size_t m_head = 0;
    bool m_woken = false;
};

class CBoardTransfer
{
public:
    enum class EKind : uint8_t { ZmodemReceive, ZmodemSend, YmodemReceive };
    // Starts at once. Receives go into `folder`; a send sends `files`.
    CBoardTransfer(IDemoOutput &out, EKind kind, const std::string &folder,
                   std::vector<ST_TransferFile> files = {});
    // Cancels a transfer still running (the peer is told) and waits for its thread.
    ~CBoardTransfer();
    CBoardTransfer(const CBoardTransfer &) = delete;
    CBoardTransfer &operator=(const CBoardTransfer &) = delete;

    EKind Kind() const { return m_kind; }
    void Feed(const uint8_t *data, size_t size)
    {
        m_fed = true;
        m_channel.Feed(data, size);
    }
    // Whether the peer has said anything yet.
    bool Fed() const { return m_fed; }
    // Ends the transfer soon (Finished tells when), the peer told.
    void Cancel() { m_transfer->Cancel(); }
    bool Finished() const { return m_finished.load(); }
    // Once Finished.
    const ST_TransferOutcome &Outcome() const { return m_outcome; }
    // Once Finished: where the received files went.
    std::vector<std::string> Received() const
    {
        return m_folder ? m_folder->Received() : std::vector<std::string>();
    }

private:
    const EKind m_kind;
    CBoardChannel m_channel;
    std::unique_ptr<CReceiveFolder> m_folder;
    std::unique_ptr<ITransfer> m_transfer;
    ST_TransferOutcome m_outcome;
    bool m_fed = false;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace demo
