#include "Serial/SerialWnd.h"

CSerialWnd::~CSerialWnd()
{
    if (IsListening()) {
        Log("CSerialWnd", "~CSerialWnd", "Serial port not closed");
        CSerialWnd::Close();
    }
}

long CSerialWnd::Open(const std::string &port, CHandOver *handOver, EventHandler onEvent, LostHandler onLost,
                      long inQueue, long outQueue)
{
    if (handOver == nullptr && !IsOpen())
        return SetLastError(E_INVALIDARG);
    const long rc = CSerialEx::Open(port, inQueue, outQueue, false);
    if (rc != 0)
        return rc;
    {
        const std::lock_guard<std::mutex> guard(targetLock_);
        handOver_ = handOver;
        onEvent_ = std::make_shared<EventHandler>(std::move(onEvent));
        onLost_ = std::make_shared<LostHandler>(std::move(onLost));
    }
    const long started = StartListener();
    if (started != 0) {
        Close();
        return SetLastError(started);
    }
    return SetLastError(0);
}

long CSerialWnd::Close()
{
    const long rc = CSerialEx::Close();
    const std::lock_guard<std::mutex> guard(targetLock_);
    handOver_ = nullptr;
    onEvent_.reset();
    onLost_.reset();
    return rc;
}

void CSerialWnd::OnListenerStarting()
{
    const std::lock_guard<std::mutex> guard(targetLock_);
    if (handOver_ != nullptr)
        handOver_->Resume();
}

void CSerialWnd::OnListenerStopping()
{
    // The closer may be the very thread the listener is waiting for; cancelling lets the listener
    // go without its delivery, so the closer's wait for it ends.
    const std::lock_guard<std::mutex> guard(targetLock_);
    if (handOver_ != nullptr)
        handOver_->Cancel();
}

void CSerialWnd::OnEvent(uint16_t events, uint16_t errors)
{
    CHandOver *handOver = nullptr;
    std::shared_ptr<EventHandler> handler;
    {
        const std::lock_guard<std::mutex> guard(targetLock_);
        handOver = handOver_;
        handler = onEvent_;
    }
    if (handOver == nullptr || handler == nullptr || !*handler || Stopping())
        return;
    handOver->Deliver([handler, events, errors] { (*handler)(events, errors); });
}

void CSerialWnd::OnPortLost(long code)
{
    CHandOver *handOver = nullptr;
    std::shared_ptr<LostHandler> handler;
    {
        const std::lock_guard<std::mutex> guard(targetLock_);
        handOver = handOver_;
        handler = onLost_;
    }
    if (handOver == nullptr || handler == nullptr || !*handler || Stopping())
        return;
    handOver->Deliver([handler, code] { (*handler)(code); });
}
