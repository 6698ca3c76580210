#pragma once
// A window's end of the live capture (livecapture.h): the socket it listens on and the callers
// that take its stream, served on a thread of its own so that the window never waits for one.
// Each caller has a queue of its own, bounded: a caller that reads too slowly, or not at all,
// loses packets instead of slowing the window, and once its queue has room again it is told how
// many it lost in a comment packet.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CLiveCaptureDoor
{
public:
    static constexpr size_t kQueueBytes = size_t{8} << 20;
    static constexpr size_t kMostCallers = 8;

    CLiveCaptureDoor() = default;
    // Stops the thread, hangs up on every caller and removes the socket.
    ~CLiveCaptureDoor();
    CLiveCaptureDoor(const CLiveCaptureDoor &) = delete;
    CLiveCaptureDoor &operator=(const CLiveCaptureDoor &) = delete;

    // Listens at `path` (its folder made private when missing); each caller is sent `header` (the
    // stream's pcapng header) first, then `greeting` as a comment stamped as it attached (none
    // when empty).
    // Empty, or why it could not.
    std::string Start(const std::string &path, std::string header, std::string greeting,
                      size_t queueBytes = kQueueBytes);
    // What callers get first from now on.
    void SetStart(std::string header, std::string greeting);
    const std::string &Path() const { return m_path; }

    // Any thread, cheap: whether anybody takes the stream now.
    bool Attached() const { return m_callers.load(std::memory_order_relaxed) > 0; }
    size_t Callers() const { return m_callers.load(std::memory_order_relaxed); }
    // The bytes waiting for callers, all of them together.
    size_t QueuedBytes() const;

    // Whole pcapng blocks for every caller attached now. `dropNote` makes the comment block that
    // tells of `packets` lost.
    void Post(std::string blocks, size_t packets = 1);
    using DropNote = std::function<std::string(uint64_t packets, uint64_t bytes)>;
    void SetDropNote(DropNote note) { m_dropNote = std::move(note); }

private:
    struct ST_Caller
    {
        int Fd = -1;
        std::deque<std::shared_ptr<const std::string>> Queue;
        size_t Sent = 0; // of the front
        size_t Bytes = 0;
        uint64_t DroppedPackets = 0;
        uint64_t DroppedBytes = 0;
    };
    void Run();
    void Accept();
    // False once the caller is gone.
    bool Write(ST_Caller &caller);
    void Wake();

    std::string m_path;
    int m_listen = -1;
    int m_wake = -1;
    size_t m_queueBytes = kQueueBytes;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_callers{0};
    DropNote m_dropNote;
    mutable std::mutex m_lock;
    std::string m_header;
    std::string m_greeting;
    std::vector<std::unique_ptr<ST_Caller>> m_list;
    std::thread m_thread;
};
