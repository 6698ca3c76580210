#include "serial/serialex.h"

#include "platform/diaglog.h"

#include <pthread.h>
#include <system_error>

CSerialEx::~CSerialEx()
{
    if (listenerThread_.joinable()) {
        Log("CSerialEx", "~CSerialEx", "Serial port not closed");
        CSerialEx::Close();
    }
    WaitForDetached();
}

void CSerialEx::WaitForDetached()
{
    std::unique_lock<std::mutex> guard(runLock_);
    runEnded_.wait(guard, [this] { return running_ == 0 || detachedId_ == std::this_thread::get_id(); });
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
    return listenerThread_.joinable();
}

long CSerialEx::StartListener()
{
    SetLastError(0);
    if (listenerThread_.joinable())
        return 0;
    WaitForDetached();
    if (!IsOpen()) {
        Log("CSerialEx", "StartListener", "Device is not opened");
        return SetLastError(ERROR_INVALID_HANDLE);
    }
    stopping_.store(false);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    stopFlag_ = stop;
    OnListenerStarting();
    try {
        const std::lock_guard<std::mutex> guard(runLock_);
        listenerThread_ = std::thread([this, stop] {
            ThreadProc(*stop);
            const std::lock_guard<std::mutex> ended(runLock_);
            if (detachedId_ == std::this_thread::get_id())
                detachedId_ = std::thread::id();
            --running_;
            runEnded_.notify_all();
        });
        ++running_;
        // Named here rather than by itself, so the name is there once the listener has started;
        // for the per-thread figures of ps, top and the benches.
        pthread_setname_np(listenerThread_.native_handle(), kListenerName);
    } catch (const std::system_error &e) {
        Log("CSerialEx", "StartListener", "Unable to start COMM watcher thread");
        return SetLastError(SystemError(e.code().value()));
    }
    return 0;
}

long CSerialEx::StopListener(uint32_t timeout)
{
    (void)timeout;
    if (listenerThread_.joinable()) {
        stopping_.store(true);
        stopFlag_->store(true);
        OnListenerStopping();
        if (IsOpen())
            SetMask(GetEventMask());
        if (listenerThread_.get_id() == std::this_thread::get_id()) {
            // Stopped from its own event handler: it ends as soon as the handler returns, by its
            // own flag, whatever a new listener does meanwhile.
            const std::lock_guard<std::mutex> guard(runLock_);
            detachedId_ = listenerThread_.get_id();
            listenerThread_.detach();
        } else {
            listenerThread_.join();
            stopping_.store(false);
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
        const long rc = WaitEventSince(generation, waitMs);
        if (rc == ERROR_TIMEOUT && waitMs != INFINITE) {
            if (!stopping_.load())
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
