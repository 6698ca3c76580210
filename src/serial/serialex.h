#pragma once
// A serial port with a listener thread that waits for port events and hands each one to OnEvent.
// The listener only waits; it never reads data. A class that implements OnEvent must Close in its
// own destructor, so the listener ends before the object it calls into is gone.
#include "serial/serial.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CSerialEx : public CSerial
{
public:
    CSerialEx() = default;
    ~CSerialEx() override;

    // `startListener` takes the place of the base class's overlapped flag (the port is always
    // opened for timed operations here).
    long Open(const std::string &port, long inQueue = 0, long outQueue = 0,
              bool startListener = false) override;
    long Close() override;

    // The listener thread's name (at most 15 characters, as the kernel keeps it).
    static constexpr const char *kListenerName = "port listener";

    long StartListener();
    // Wakes the listener and waits until it has ended. The wake-up is reliable, so the listener is
    // always waited for in full: a thread left running on a closing device would be worse than
    // the wait. `timeout` is kept for callers that pass one. Called on the listener itself (from
    // OnEvent), it cannot wait for itself: the listener ends when OnEvent returns, and a later
    // StartListener or StopListener on another thread waits for that, so two listeners never run.
    long StopListener(uint32_t timeout = INFINITE);
    bool IsListening() const;

protected:
    // Called on the listener thread for every event inside the mask, never for the wake-up that
    // stops the listener.
    virtual void OnEvent(uint16_t events, uint16_t errors) = 0;
    // Called on the listener thread when the listener ends on its own because the wait failed:
    // mostly a port that went away (code EIO, ENXIO or ENODEV), but any failure that leaves the
    // port without events. Not called when the listener is stopped.
    virtual void OnPortLost(long code) { (void)code; }
    // Called by StartListener before the thread starts, and by StopListener right after
    // `stopping` is set, before the listener is woken and waited for.
    virtual void OnListenerStarting() {}
    virtual void OnListenerStopping() {}
    // How long the listener's next wait for an event may last, and what it does when that wait
    // runs out with no event: lets a subclass keep time on the listener thread.
    virtual uint32_t NextWaitMs() { return INFINITE; }
    virtual void OnWaitExpired() {}
    // How long the next wait may leave bytes that arrive unread (CSerial::WaitEventSince), asked
    // after NextWaitMs: 0, the default, wakes the listener at each arrival.
    virtual uint32_t NextDataPauseMs() { return 0; }
    bool Stopping() const { return m_stopping.load(); }

private:
    long ThreadProc(const std::atomic<bool> &stop);
    // Waits until a listener stopped from its own OnEvent has ended, unless called on it.
    void WaitForDetached();

    std::atomic<bool> m_stopping{false};
    // Each listener has its own stop flag, so a new one's fresh flag never restarts an old one.
    std::shared_ptr<std::atomic<bool>> m_stopFlag;
    std::thread m_listenerThread;
    std::mutex m_runLock;
    std::condition_variable m_runEnded;
    int m_running = 0;
    std::thread::id m_detachedId;
};
