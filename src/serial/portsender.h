#pragma once
// Writes to a port on a thread of its own, one job after another in the order they were handed
// in, so that no caller ever waits on a line that does not drain. Each write is made in slices
// of bounded length; between slices the sender looks whether the job was cancelled, so Stop,
// Close and exit never wait for a line to take data.
//
// Jobs carry an origin (a small number the caller chooses, below 32). Cancelling an origin drops
// its queued jobs, abandons its job in flight at the end of the current slice and releases its
// waiters at once; a refused origin has its new jobs turned away until Allow.
//
// Every job that was accepted gets exactly one OnDone, on the sender thread, with the count of
// bytes that went out: a job dropped from the queue gets it with 0 written.
#include "serial/serial.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct ST_SendOutcome
{
    uint32_t Written = 0;
    // 0 when every byte went out; otherwise the port's code of the write that failed.
    long Code = 0;
    // Abandoned by a cancel (the bytes counted in Written did go out).
    bool Cancelled = false;

    bool Whole() const { return Code == 0 && !Cancelled; }
};

struct ST_SendJob
{
    std::vector<uint8_t> Data;
    uint8_t Origin = 0;
    // Called on the sender thread right before the first byte goes out (also for no bytes).
    std::function<void()> OnBegin;
    // Called on the sender thread, once, when the line first stops taking the job's bytes.
    std::function<void()> OnWaiting;
    std::function<void(const ST_SendOutcome &)> OnDone;
};

class CPortSender
{
public:
    // The port must be open for timed writes (CSerialEx opens it so). `sliceMs` bounds how long a
    // cancel may take to reach a write in progress; `maxQueued` bounds the jobs Post accepts.
    explicit CPortSender(CSerial &port, uint32_t sliceMs = 100, size_t maxQueued = 32);
    // Cancels everything and waits for the sender thread (at most one slice).
    ~CPortSender();
    CPortSender(const CPortSender &) = delete;
    CPortSender &operator=(const CPortSender &) = delete;

    // Queues the job without waiting. False, with the job dropped and no OnDone, when its origin
    // is refused or `maxQueued` jobs are waiting already.
    bool Post(ST_SendJob job);
    // Queues the job (waiting for room if need be) and waits until its OnDone has run or its
    // origin was cancelled. False, with no OnDone, when the job was refused.
    bool PostAndWait(ST_SendJob job);

    // Cancels the jobs of `origin`; with `refuse`, new jobs of it are turned away until Allow.
    void Cancel(uint8_t origin, bool refuse = false);
    void Allow(uint8_t origin);
    void CancelAll();

    // Jobs waiting, not counting the one being written.
    size_t Queued() const;
    // No job queued or being written.
    bool Idle() const;

private:
    struct Ticket
    {
        ST_SendJob Job;
        bool Done = false;
        bool Cancelled = false;
    };
    using TicketPtr = std::shared_ptr<Ticket>;

    bool Accept(const ST_SendJob &job) const;
    void CancelWhere(uint32_t origins);
    void Run();
    ST_SendOutcome Write(Ticket &ticket);
    bool IsCancelled(const Ticket &ticket) const;

    CSerial &m_port;
    const uint32_t m_sliceMs;
    const size_t m_maxQueued;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<TicketPtr> m_queue;
    TicketPtr m_current;
    uint32_t m_refused = 0;
    bool m_quit = false;
    std::thread m_thread;
};
