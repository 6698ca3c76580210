#include "serial/serialex.h"

#include "platform/diaglog.h"

#include <pthread.h>
#include <system_error>

CSerialEx::~CSerialEx()
{
    if (m_listenerThread.joinable()) {
        Log("CSerialEx", "~CSerialEx", "Serial port not closed");
        CSerialEx::Close();
    }
    WaitForDetached();
}

void CSerialEx::WaitForDetached()
{
    std::unique_lock<std::mutex> guard(m_runLock);
    m_runEnded.wait(guard, [this] { return m_running == 0 || m_detachedId == std::this_thread::get_id(); });
}

long CSerialEx::Open(const std::string &port, long inQueue, long outQueue, bool startListener)
{
    const long rc = CSerial::Open(port, inQueue, outQueue, true);
    if (rc != 0)
        return rc;
    if (startListener) {
        if (const long started = StartListener())
            return started;
    }
    return GetLastError();
}

long CSerialEx::Close()
{
    StopListener(INFINITE);
    return CSerial::Close();
}

bool CSerialEx::IsListening() const
{
    return m_listenerThread.joinable();
}

long CSerialEx::StartListener()
{
    SetLastError(0);
    if (m_listenerThread.joinable())
        return 0;
    WaitForDetached();
    if (!IsOpen()) {
        Log("CSerialEx", "StartListener", "Device is not opened");
        return SetLastError(ERROR_INVALID_HANDLE);
    }
    m_stopping.store(false);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stopFlag = stop;
    OnListenerStarting();
    try {
        const std::lock_guard<std::mutex> guard(m_runLock);
        m_listenerThread = std::thread([this, stop] {
            ThreadProc(*stop);
            const std::lock_guard<std::mutex> ended(m_runLock);
            if (m_detachedId == std::this_thread::get_id())
                m_detachedId = std::thread::id();
            --m_running;
            m_runEnded.notify_all();
        });
        ++m_running;
        // Named here rather than by itself, so the name is there once the listener has started;
        // for the per-thread figures of ps, top and the benches.
        pthread_setname_np(m_listenerThread.native_handle(), kListenerName);
    } catch (const std::system_error &e) {
        Log("CSerialEx", "StartListener", "Unable to start COMM watcher thread");
        return SetLastError(SystemError(e.code().value()));
    }
    return 0;
}

long CSerialEx::StopListener(uint32_t timeout)
{
    (void)timeout;
    if (m_listenerThread.joinable()) {
        m_stopping.store(true);
        m_stopFlag->store(true);
        OnListenerStopping();
        if (IsOpen())
            SetMask(GetEventMask());
        if (m_listenerThread.get_id() == std::this_thread::get_id()) {
            // Stopped from its own event handler: it ends as soon as the handler returns, by its
            // own flag, whatever a new listener does meanwhile.
            const std::lock_guard<std::mutex> guard(m_runLock);
            m_detachedId = m_listenerThread.get_id();
            m_listenerThread.detach();
        } else {
            m_listenerThread.join();
            m_stopping.store(false);
            WaitForDetached();
        }
    } else {
        WaitForDetached();
    }
    return SetLastError(0);
}

long CSerialEx::ThreadProc(const std::atomic<bool> &stop)
{
    for (;;) {
        const uint32_t waitMs = NextWaitMs();
        // Once per wait for new traffic, not for every timed wait inside it.
        if (waitMs == INFINITE)
            AppendLogTrace(DiagLogPath(), "CSerialEx::ThreadProc - Begin");
        // The generation is taken before `stopping` is read: a stop that comes after this read
        // re-applies the mask after it, and that wakes the wait below whenever it starts.
        const uint64_t generation = MaskGeneration();
        if (stop.load())
            return 0;
        const long rc = WaitEventSince(generation, waitMs, NextDataPauseMs());
        if (rc == ERROR_TIMEOUT && waitMs != INFINITE) {
            if (!m_stopping.load())
                OnWaitExpired();
            continue;
        }
        if (rc != 0) {
            if (!stop.load())
                OnPortLost(rc);
            return rc;
        }
        if (!stop.load()) {
            const uint16_t events = GetEventType();
            uint32_t errors = 0;
            if (!ClearCommErrors(&errors)) {
                Log("CSerialEx", "ThreadProc", "Unable to obtain COM status");
                errors = 0;
            }
            if (events != 0)
                OnEvent(events, static_cast<uint16_t>(errors & 0xFFFF));
        }
        if (stop.load())
            return 0;
    }
}
