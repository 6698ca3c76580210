// Reading, writing and waiting for events. The descriptor is non-blocking; every wait is a poll
// that also watches the close wake-up, so Close never waits for a blocked call to give up.
#include "serial/serial.h"

#include "serial/linecounters.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;
// What a wait takes from the line for EV_RXFLAG before Read has made room again.
constexpr size_t kRxBufferLimit = 64 * 1024;

// Milliseconds until `deadline` for poll, never negative; -1 without a deadline.
int PollTimeout(const Clock::time_point *deadline)
{
    if (deadline == nullptr)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

const Clock::time_point *Earliest(const Clock::time_point *a, const Clock::time_point *b)
{
    if (a == nullptr)
        return b;
    if (b == nullptr)
        return a;
    return *a <= *b ? a : b;
}

} // namespace

long CSerial::IoPrecheck(const char *op, uint32_t timeout)
{
    if (!IsOpen() || m_closing.load())
        return Fail(op, "Device is not opened", ERROR_INVALID_HANDLE);
    if (!m_overlapped && timeout != INFINITE)
        return Fail(op, "Overlapped I/O is disabled, specified parameters are illegal.",
                    ERROR_INVALID_FUNCTION);
    return 0;
}

long CSerial::Write(const char *text, uint32_t *written, uint32_t timeout)
{
    return Write(text, text == nullptr ? 0 : static_cast<long>(std::strlen(text)), written, timeout);
}

long CSerial::Write(const void *data, long len, uint32_t *written, uint32_t timeout)
{
    uint32_t local = 0;
    if (written == nullptr)
        written = &local;
    *written = 0;
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    const std::lock_guard<std::mutex> serial(m_writeLock);
    if (const long rc = IoPrecheck("Write", timeout))
        return rc;
    if (len < 0 || (len > 0 && data == nullptr))
        return Fail("Write", "Unable to write the data", SystemError(EINVAL));

    const int fd = m_fd.load();
    const auto *p = static_cast<const uint8_t *>(data);
    size_t sent = 0;
    bool timed = false;
    Clock::time_point callerEnd;
    Clock::time_point totalEnd;
    const Clock::time_point *callerDeadline = nullptr;
    const Clock::time_point *totalDeadline = nullptr;
    while (sent < static_cast<size_t>(len)) {
        // A connection's far end may be gone: that is a failed write, not a signal.
        const ssize_t n = m_net ? send(fd, p + sent, static_cast<size_t>(len) - sent, MSG_NOSIGNAL)
                                : write(fd, p + sent, static_cast<size_t>(len) - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            *written = static_cast<uint32_t>(sent);
            if (!m_txPending.exchange(true) && (m_eventMask.load() & EV_TXEMPTY))
                WakeWait(); // a wait already asleep learns there is a queue to watch
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return Fail("Write", "Unable to write the data", LostCode(errno));
        if (!timed) {
            // Time-outs are counted from the first time the queue is full: writing into free room
            // takes no time worth counting.
            timed = true;
            const ST_CommTimeouts t = GetTimeouts();
            const Clock::time_point start = Clock::now();
            if (timeout != INFINITE) {
                callerEnd = start + std::chrono::milliseconds(timeout);
                callerDeadline = &callerEnd;
            }
            if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
                totalEnd =
                    start + std::chrono::milliseconds(static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) *
                                                          static_cast<uint64_t>(len) +
                                                      t.WriteTotalTimeoutConstant);
                totalDeadline = &totalEnd;
            }
        }
        pollfd fds[2] = {{fd, POLLOUT, 0}, {m_closeWakeFd.load(), POLLIN, 0}};
        const Clock::time_point *deadline = Earliest(callerDeadline, totalDeadline);
        const int rc = poll(fds, 2, PollTimeout(deadline));
        if (rc < 0 && errno != EINTR)
            return Fail("Write", "Unable to wait until data has been sent", SystemError(errno));
        if (fds[1].revents != 0)
            return Fail("Write", "Device is not opened", ERROR_INVALID_HANDLE);
        if (rc == 0) {
            // The write-total time-out ends a write early without failing it; the caller's does fail it.
            if (deadline == totalDeadline)
                return 0;
            return SetLastError(ERROR_TIMEOUT);
        }
    }
    return 0;
}

long CSerial::Read(void *data, long len, uint32_t *read, uint32_t timeout)
{
    uint32_t local = 0;
    if (read == nullptr)
        read = &local;
    *read = 0;
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    const std::lock_guard<std::mutex> serial(m_readLock);
    if (const long rc = IoPrecheck("Read", timeout))
        return rc;
    if (len < 0 || (len > 0 && data == nullptr))
        return Fail("Read", "Unable to read the data", SystemError(EINVAL));
    if (len == 0)
        return 0;

    const ST_CommTimeouts t = GetTimeouts();
    const Clock::time_point start = Clock::now();
    // Interval all ones: return at once with what is there, or (with both totals set as well)
    // wait only for the first byte.
    const bool immediate = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                           t.ReadTotalTimeoutConstant == 0;
    const bool firstByteOnly = t.ReadIntervalTimeout == MAXDWORD && !immediate;
    const bool useInterval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD;
    // Only what is there now (a caller's time of 0 ends before any other): a terminal's read that
    // returns less than it was asked for has taken all there was, and asking again would only
    // cost two calls that find nothing.
    const bool nowOnly = immediate || timeout == 0;
    Clock::time_point callerEnd;
    Clock::time_point totalEnd;
    Clock::time_point intervalEnd;
    const Clock::time_point *callerDeadline = nullptr;
    const Clock::time_point *totalDeadline = nullptr;
    if (timeout != INFINITE) {
        callerEnd = start + std::chrono::milliseconds(timeout);
        callerDeadline = &callerEnd;
    }
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
        const uint64_t mult = t.ReadTotalTimeoutMultiplier == MAXDWORD ? 0 : t.ReadTotalTimeoutMultiplier;
        totalEnd =
            start + std::chrono::milliseconds(mult * static_cast<uint64_t>(len) + t.ReadTotalTimeoutConstant);
        totalDeadline = &totalEnd;
    }

    const int fd = m_fd.load();
    auto *p = static_cast<uint8_t *>(data);
    size_t got = 0;
    {
        // What a wait already took from the line came first.
        const std::lock_guard<std::mutex> guard(m_rxLock);
        // A wait that found the buffer full stopped watching the line; it is told there is room.
        if (m_rxBuffer.size() - m_rxHead >= kRxBufferLimit)
            WakeWait();
        got = std::min(m_rxBuffer.size() - m_rxHead, static_cast<size_t>(len));
        if (got > 0)
            std::memcpy(p, m_rxBuffer.data() + m_rxHead, got);
        m_rxHead += got;
        if (m_rxHead == m_rxBuffer.size()) {
            m_rxBuffer.clear();
            m_rxHead = 0;
        }
        *read = static_cast<uint32_t>(got);
    }
    if (got > 0) {
        if (got == static_cast<size_t>(len) || firstByteOnly)
            return 0;
        if (useInterval)
            intervalEnd = Clock::now() + std::chrono::milliseconds(t.ReadIntervalTimeout);
    }
    for (;;) {
        const ssize_t n = ::read(fd, p + got, static_cast<size_t>(len) - got);
        m_lineGaveBytes.store(n > 0);
        if (n > 0) {
            NoteEventChar(p + got, static_cast<size_t>(n));
            got += static_cast<size_t>(n);
            *read = static_cast<uint32_t>(got);
            if (got == static_cast<size_t>(len) || firstByteOnly)
                return 0;
            if (nowOnly)
                return immediate ? 0 : SetLastError(ERROR_TIMEOUT);
            if (useInterval)
                intervalEnd = Clock::now() + std::chrono::milliseconds(t.ReadIntervalTimeout);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN) {
            // A terminal that reads nothing after saying it was readable has gone away; what was
            // read before is still handed out, the next call reports the loss.
            const int e = n == 0 ? EIO : errno;
            if (got > 0)
                return 0;
            return Fail("Read", "Unable to read the data", LostCode(e));
        }
        if (immediate)
            return 0;
        const Clock::time_point *deadline = Earliest(callerDeadline, totalDeadline);
        if (useInterval && got > 0)
            deadline = Earliest(deadline, &intervalEnd);
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_closeWakeFd.load(), POLLIN, 0}};
        const int rc = poll(fds, 2, PollTimeout(deadline));
        if (rc < 0 && errno != EINTR)
            return Fail("Read", "Unable to wait until data has been read", SystemError(errno));
        if (fds[1].revents != 0)
            return Fail("Read", "Device is not opened", ERROR_INVALID_HANDLE);
        if (rc == 0)
            return deadline == callerDeadline ? SetLastError(ERROR_TIMEOUT) : 0;
    }
}

namespace {

// True when the ioctl worked; a driver that does not know it at all is remembered in `missing`.
bool Supported(int rc, std::atomic<bool> &missing)
{
    if (rc == 0)
        return true;
    if (errno == ENOTTY || errno == EINVAL)
        missing.store(true);
    return false;
}

} // namespace

// Compares the driver's line counters with the last ones seen and turns the growth into event
// and error bits. The caller holds m_lifeLock shared.
bool CSerial::ReadLineCounters(ST_LineCounters *counters) const
{
    if (m_net) {
        const ST_NetLineState state = m_net->State();
        *counters = ST_LineCounters{state.Breaks, state.FrameErrors, state.ParityErrors, state.Overruns, 0};
        return true;
    }
    serial_icounter_struct c{};
    if (m_noLineCounters.load() || !Supported(ioctl(m_fd.load(), TIOCGICOUNT, &c), m_noLineCounters))
        return false;
    *counters = ST_LineCounters{c.brk, c.frame, c.parity, c.overrun, c.buf_overrun};
    return true;
}

bool CSerial::HasLineCounters() const
{
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    ST_LineCounters counters;
    return IsOpen() && ReadLineCounters(&counters);
}

// The levels, and the change counts where the driver keeps them.
bool CSerial::ReadModemSnapshot(ST_ModemSnapshot *snapshot) const
{
    *snapshot = ST_ModemSnapshot();
    if (m_net) {
        const ST_NetLineState state = m_net->State();
        if (!m_net->CarriesSettings())
            return false;
        snapshot->Lines = (state.Cts ? TIOCM_CTS : 0) | (state.Dsr ? TIOCM_DSR : 0) |
                          (state.Dcd ? TIOCM_CAR : 0) | (state.Ring ? TIOCM_RNG : 0);
        snapshot->Cts = state.CtsChanges;
        snapshot->Dsr = state.DsrChanges;
        snapshot->Ring = state.RingChanges;
        snapshot->Dcd = state.DcdChanges;
        return true;
    }
    const int fd = m_fd.load();
    if (m_noModemLines.load() || !Supported(ioctl(fd, TIOCMGET, &snapshot->Lines), m_noModemLines))
        return false;
    serial_icounter_struct c{};
    if (!m_noLineCounters.load() && Supported(ioctl(fd, TIOCGICOUNT, &c), m_noLineCounters)) {
        snapshot->Cts = c.cts;
        snapshot->Dsr = c.dsr;
        snapshot->Ring = c.rng;
        snapshot->Dcd = c.dcd;
    }
    return true;
}

long CSerial::LostCode(int e) const
{
    const int netErrno = m_net ? m_net->LostErrno() : 0;
    return SystemError(netErrno != 0 ? netErrno : e);
}

void CSerial::CollectLineErrors(uint32_t *events)
{
    ST_LineCounters now;
    if (!ReadLineCounters(&now))
        return;
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    if (m_haveCounters) {
        const uint32_t errors = LineErrorBits(m_counters, now);
        *events |= LineErrorEvents(errors);
        m_lineErrors |= errors;
        AddLineCounterGrowth(m_lineErrorCounts, m_counters, now);
    }
    m_counters = now;
    m_haveCounters = true;
}

bool CSerial::ClearCommErrors(uint32_t *errors)
{
    *errors = 0;
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (!IsOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    uint32_t ignored = 0;
    CollectLineErrors(&ignored);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    *errors = m_lineErrors;
    m_lineErrors = 0;
    return true;
}

ST_LineCounters CSerial::TakeLineErrorCounts()
{
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    return std::exchange(m_lineErrorCounts, ST_LineCounters());
}

long CSerial::WaitEvent(uint32_t timeout)
{
    return WaitEventSince(MaskGeneration(), timeout);
}

long CSerial::WaitEventSince(uint64_t generation, uint32_t timeout, uint32_t dataPauseMs)
{
    SetLastError(0);
    const std::shared_lock<std::shared_mutex> life(m_lifeLock);
    if (const long rc = IoPrecheck("WaitEvent", timeout))
        return rc;
    Clock::time_point end;
    const Clock::time_point *deadline = nullptr;
    if (timeout != INFINITE) {
        end = Clock::now() + std::chrono::milliseconds(timeout);
        deadline = &end;
    }
    Clock::time_point pauseEnd;
    if (dataPauseMs > 0) {
        pauseEnd = Clock::now() + std::chrono::milliseconds(dataPauseMs);
        if (deadline != nullptr && *deadline < pauseEnd)
            pauseEnd = *deadline;
    }
    bool pausing = dataPauseMs > 0;
    const int fd = m_fd.load();
    int emptyReadable = 0;
    for (;;) {
        if (m_maskGeneration.load() != generation) {
            m_pendingEvent.store(0);
            return 0;
        }
        const uint32_t mask = m_eventMask.load();
        // Sources that need a look rather than a wake-up; lookMs is when to look again (-1: no need).
        int lookMs = -1;
        uint32_t word = ModemEvents(mask, &lookMs);
        if (mask & EV_TXEMPTY)
            word |= TxEmptyEvent(&lookMs);
        const size_t buffered = RxBuffered();
        if (buffered > 0)
            word |= EV_RXCHAR;
        if ((mask & EV_RXFLAG) && m_eventCharSeen.exchange(false))
            word |= EV_RXFLAG;
        if (word & mask) {
            if (word & EV_RXCHAR)
                CollectLineErrors(&word);
            m_pendingEvent.store(word);
            return 0;
        }

        // Breaks and line errors reach the input as bytes too, so data are what wakes the wait.
        // A full buffer is left alone until Read makes room (the bytes wait in the kernel).
        if (pausing && ((mask & EV_RXFLAG) || Clock::now() >= pauseEnd))
            pausing = false;
        const bool wantData =
            !pausing && ((mask & EV_RXCHAR) || ((mask & EV_RXFLAG) && buffered < kRxBufferLimit));
        pollfd fds[4] = {{fd, static_cast<short>(wantData ? POLLIN : 0), 0},
                         {m_maskWakeFd, POLLIN, 0},
                         {m_closeWakeFd.load(), POLLIN, 0},
                         {m_net ? m_net->StateFd() : -1, POLLIN, 0}};
        int waitMs = PollTimeout(pausing ? &pauseEnd : deadline);
        if (lookMs >= 0 && (waitMs < 0 || lookMs < waitMs))
            waitMs = lookMs;
        const int rc = poll(fds, 4, waitMs);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return Fail("WaitEvent", "Unable to wait until COM event has arrived", SystemError(errno));
        }
        if (fds[2].revents != 0)
            return Fail("WaitEvent", "Device is not opened", ERROR_INVALID_HANDLE);
        if (rc == 0) {
            if (!pausing && deadline != nullptr && Clock::now() >= *deadline)
                return SetLastError(ERROR_TIMEOUT);
            continue; // time for another look
        }
        if (fds[1].revents != 0) {
            eventfd_t drained = 0;
            eventfd_read(m_maskWakeFd, &drained);
            continue;
        }
        if (fds[3].revents != 0) {
            // A server reports breaks and line errors apart from the data, so they are events of
            // their own; modem-line changes are looked at on the next round.
            eventfd_t drained = 0;
            eventfd_read(fds[3].fd, &drained);
            uint32_t lineEvents = 0;
            CollectLineErrors(&lineEvents);
            if (lineEvents & mask) {
                m_pendingEvent.store(lineEvents);
                return 0;
            }
            if (fds[0].revents == 0)
                continue;
        }
        const short re = fds[0].revents;
        if (re & POLLNVAL)
            return Fail("WaitEvent", "Unable to wait for COM event", SystemError(EBADF));
        if (pausing) {
            // Only a hang-up or an error wakes a pause: the bytes that came before it are read first.
            pausing = false;
            continue;
        }
        // At line rates every arrival wakes this wait, and the count was a third of its calls.
        int waiting = 0;
        if (re == POLLIN && m_lineGaveBytes.load())
            waiting = 1;
        else if (ioctl(fd, FIONREAD, &waiting) != 0)
            return Fail("WaitEvent", "Unable to wait for COM event", SystemError(errno));
        if (waiting > 0 && (re & POLLIN)) {
            emptyReadable = 0;
            if (mask & EV_RXFLAG) {
                // Only while no Read is taking bytes itself: two readers would reorder them. A
                // Read that runs looks for the event character in what it takes.
                std::unique_lock<std::mutex> reading(m_readLock, std::try_to_lock);
                if (reading.owns_lock())
                    FillRxBuffer(fd);
            }
            if (mask & EV_RXCHAR) {
                uint32_t data = EV_RXCHAR;
                if (m_eventCharSeen.exchange(false))
                    data |= EV_RXFLAG;
                CollectLineErrors(&data);
                m_pendingEvent.store(data);
                return 0;
            }
            continue;
        }
        // Readable with nothing to read, or hung up: the device is gone. A terminal that is merely
        // quiet never reports either, so there is no spinning here.
        if ((re & (POLLHUP | POLLERR)) || ++emptyReadable >= 3)
            return Fail("WaitEvent", "Unable to wait for COM event", LostCode(EIO));
    }
}

void CSerial::WakeWait()
{
    eventfd_write(m_maskWakeFd, 1);
}

size_t CSerial::RxBuffered()
{
    const std::lock_guard<std::mutex> guard(m_rxLock);
    return m_rxBuffer.size() - m_rxHead;
}

void CSerial::NoteEventChar(const uint8_t *bytes, size_t count)
{
    if (!(m_eventMask.load() & EV_RXFLAG))
        return;
    const uint8_t flag = static_cast<uint8_t>(GetDcb().EvtChar);
    if (std::memchr(bytes, flag, count) != nullptr && !m_eventCharSeen.exchange(true))
        WakeWait();
}

void CSerial::FillRxBuffer(int fd)
{
    uint8_t chunk[4096];
    for (;;) {
        size_t room = 0;
        {
            const std::lock_guard<std::mutex> guard(m_rxLock);
            room = kRxBufferLimit - std::min(kRxBufferLimit, m_rxBuffer.size() - m_rxHead);
        }
        if (room == 0)
            return;
        const ssize_t n = ::read(fd, chunk, std::min(room, sizeof chunk));
        m_lineGaveBytes.store(n > 0);
        if (n <= 0)
            return; // nothing more now; a lost line shows in the next wait or read
        {
            const std::lock_guard<std::mutex> guard(m_rxLock);
            m_rxBuffer.insert(m_rxBuffer.end(), chunk, chunk + n);
        }
        const uint8_t flag = static_cast<uint8_t>(GetDcb().EvtChar);
        if (std::memchr(chunk, flag, static_cast<size_t>(n)) != nullptr)
            m_eventCharSeen.store(true);
    }
}

void CSerial::TakeModemSnapshot()
{
    ST_ModemSnapshot now;
    const bool lines = ReadModemSnapshot(&now);
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    m_modem = now;
    m_haveModem = lines;
}

uint32_t CSerial::ModemEvents(uint32_t mask, int *lookMs)
{
    if (!(mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)))
        return 0;
    ST_ModemSnapshot now;
    if (!ReadModemSnapshot(&now)) {
        // A server may tell its modem lines later, and its notifications wake the wait.
        if (m_net)
            return 0;
        bool first = false;
        {
            const std::lock_guard<std::mutex> guard(m_settingsLock);
            first = !m_modemMissingLogged;
            m_modemMissingLogged = true;
        }
        if (first)
            Log("CSerial", "WaitEvent",
                "The driver has no modem lines: EV_CTS, EV_DSR, EV_RLSD and EV_RING are never raised");
        return 0;
    }
    // A server's notifications wake the wait; a local driver's lines have to be looked at.
    if (!m_net)
        *lookMs = kModemLookMs;
    const std::lock_guard<std::mutex> guard(m_settingsLock);
    const uint32_t events = m_haveModem ? ModemLineEvents(m_modem, now) & mask : 0;
    // Changes outside the mask are passed over, as the mask did not ask for them.
    m_modem = now;
    m_haveModem = true;
    return events;
}

uint32_t CSerial::TxEmptyEvent(int *lookMs)
{
    if (!m_txPending.load())
        return 0;
    const int fd = m_fd.load();
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0)
        queued = 0;
    unsigned int lsr = TIOCSER_TEMT;
    if (queued == 0 && ioctl(fd, TIOCSERGETLSR, &lsr) != 0)
        lsr = TIOCSER_TEMT; // a driver that cannot tell: the empty queue has to do
    if (queued == 0 && (lsr & TIOCSER_TEMT)) {
        m_txPending.store(false);
        return EV_TXEMPTY;
    }
    // Look again when the queue can have drained at the line's rate (10 bits a character),
    // and no more often than once a millisecond.
    const uint64_t rate = std::max<uint32_t>(GetDcb().BaudRate, 1);
    const uint64_t ms = std::max<uint64_t>(1, static_cast<uint64_t>(std::max(queued, 1)) * 10000 / rate);
    const int next = static_cast<int>(std::min<uint64_t>(ms, 1000));
    if (*lookMs < 0 || next < *lookMs)
        *lookMs = next;
    return 0;
}
