#include "serial/portsender.h"

namespace {

uint32_t Bit(uint8_t origin)
{
    return origin < 32 ? 1u << origin : 0;
}

} // namespace

CPortSender::CPortSender(CSerial &port, uint32_t sliceMs, size_t maxQueued)
    : m_port(port), m_sliceMs(sliceMs == 0 || sliceMs == INFINITE ? 100 : sliceMs),
      m_maxQueued(maxQueued == 0 ? 1 : maxQueued)
{
    m_thread = std::thread([this] { Run(); });
}

CPortSender::~CPortSender()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_quit = true;
        m_refused = ~0u;
    }
    CancelWhere(~0u);
    m_thread.join();
}

bool CPortSender::Accept(const ST_SendJob &job) const
{
    return !m_quit && (m_refused & Bit(job.Origin)) == 0;
}

bool CPortSender::Post(ST_SendJob job)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (!Accept(job) || m_queue.size() >= m_maxQueued)
            return false;
        auto ticket = std::make_shared<Ticket>();
        ticket->Job = std::move(job);
        m_queue.push_back(std::move(ticket));
    }
    m_changed.notify_all();
    return true;
}

bool CPortSender::PostAndWait(ST_SendJob job)
{
    auto ticket = std::make_shared<Ticket>();
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [&] { return !Accept(job) || m_queue.size() < m_maxQueued; });
    if (!Accept(job))
        return false;
    ticket->Job = std::move(job);
    m_queue.push_back(ticket);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return ticket->Done || ticket->Cancelled; });
    return true;
}

void CPortSender::Cancel(uint8_t origin, bool refuse)
{
    if (refuse) {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_refused |= Bit(origin);
    }
    CancelWhere(Bit(origin));
}

void CPortSender::Allow(uint8_t origin)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_refused &= ~Bit(origin);
    }
    m_changed.notify_all();
}

void CPortSender::CancelAll()
{
    CancelWhere(~0u);
}

// Cancelled jobs stay in the queue: the sender thread takes them off in order and gives each its
// OnDone there, so every OnDone comes from one thread, in the order the jobs were accepted.
void CPortSender::CancelWhere(uint32_t origins)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        for (const TicketPtr &ticket : m_queue) {
            if (origins & Bit(ticket->Job.Origin))
                ticket->Cancelled = true;
        }
        if (m_current && (origins & Bit(m_current->Job.Origin)))
            m_current->Cancelled = true;
    }
    m_changed.notify_all();
}

size_t CPortSender::Queued() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_queue.size();
}

bool CPortSender::Idle() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_queue.empty() && !m_current;
}

bool CPortSender::IsCancelled(const Ticket &ticket) const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return ticket.Cancelled;
}

void CPortSender::Run()
{
    for (;;) {
        TicketPtr ticket;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            ticket = std::move(m_queue.front());
            m_queue.pop_front();
            m_current = ticket;
        }
        m_changed.notify_all(); // room in the queue
        ST_SendOutcome outcome;
        if (IsCancelled(*ticket)) {
            outcome.Cancelled = true;
        } else {
            if (ticket->Job.OnBegin)
                ticket->Job.OnBegin();
            outcome = Write(*ticket);
        }
        if (ticket->Job.OnDone)
            ticket->Job.OnDone(outcome);
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            ticket->Done = true;
            m_current.reset();
        }
        m_changed.notify_all();
    }
}

// A slice that ends with bytes left over (the port's time-out, or its write-total time-out that
// ends a write early without failing it) means the line is not taking data: wait on, unless
// cancelled. Any other failure ends the job with what got through.
ST_SendOutcome CPortSender::Write(Ticket &ticket)
{
    const std::vector<uint8_t> &data = ticket.Job.Data;
    ST_SendOutcome outcome;
    bool waitingSaid = false;
    size_t sent = 0;
    while (sent < data.size()) {
        if (IsCancelled(ticket)) {
            outcome.Cancelled = true;
            break;
        }
        uint32_t written = 0;
        const long rc =
            m_port.Write(data.data() + sent, static_cast<long>(data.size() - sent), &written, m_sliceMs);
        sent += written;
        if (rc != 0 && rc != ERROR_TIMEOUT) {
            outcome.Code = rc;
            break;
        }
        if (sent < data.size() && !waitingSaid) {
            waitingSaid = true;
            if (ticket.Job.OnWaiting)
                ticket.Job.OnWaiting();
        }
    }
    outcome.Written = static_cast<uint32_t>(sent);
    return outcome;
}
