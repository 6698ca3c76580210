#pragma once
// A serial port that delivers its events on the GUI thread: the listener hands each event over
// and waits until the handler has returned, so handlers run one at a time, in order, and may read
// the port while the listener waits.
//
// Port lost: when the listener ends on its own (the device went away, or its wait failed), the
// lost handler is called the same way, once, with the failure code; the port stays open until the
// handler (or anyone) calls Close. Close may be called from inside either handler.
//
// Close on the GUI thread never waits for a hand-over in progress: it cancels the hand-over, so a
// delivery still queued is dropped and the listener ends at once.
#include "Serial/SerialEx.h"
#include "platform/handover.h"

#include <functional>
#include <memory>
#include <mutex>

class CSerialWnd : public CSerialEx
{
public:
    using EventHandler = std::function<void(uint16_t events, uint16_t errors)>;
    using LostHandler = std::function<void(long code)>;

    CSerialWnd() = default;
    ~CSerialWnd() override;

    // Opens the port and starts the listener; on any failure the device ends closed.
    long Open(const std::string &port, CHandOver *handOver, EventHandler onEvent, LostHandler onLost = {},
              long inQueue = 0, long outQueue = 0);
    using CSerialEx::Open;
    long Close() override;

protected:
    void OnEvent(uint16_t events, uint16_t errors) override;
    void OnPortLost(long code) override;
    void OnListenerStarting() override;
    void OnListenerStopping() override;

private:
    std::mutex targetLock_;
    CHandOver *handOver_ = nullptr;
    std::shared_ptr<EventHandler> onEvent_;
    std::shared_ptr<LostHandler> onLost_;
};
