#pragma once
// Connecting a port on another machine where a user can stop it: the connection and the line
// settings the server is asked to take are made by Run, which waits on the network for seconds,
// on a thread of the opener's; Cancel, from any other thread, makes it give up at once. The
// window's port and the two-port monitor both open network links this way, and hand the
// connection to their CSerial (PrepareNetLine), whose Open then takes it without waiting.
#include "netport/netline.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class CNetOpen
{
public:
    CNetOpen();
    ~CNetOpen();
    CNetOpen(const CNetOpen &) = delete;
    CNetOpen &operator=(const CNetOpen &) = delete;

    // Connects (CNetLine::Open) and, when that succeeded, asks the server for `wanted`
    // (CNetLine::ApplySettings). 0, or the code of the failed connect with `message` saying it;
    // SystemError(ECANCELED) once cancelled. A setting the server answered with another value
    // returns 0 with SettingRefused() and `message` saying what came back ("the server answered
    // the baud rate with 19200 instead of 9600"). Once per object.
    long Run(const ST_NetAddress &address, const ST_NetLineSettings &wanted, std::string *message);
    // Any thread, at any time: a Run under way gives up at once, and a later one does not begin.
    void Cancel();
    bool Cancelled() const { return m_cancelled.load(); }

    // After a Run that returned 0: the server answered a setting with another value.
    bool SettingRefused() const { return m_refused; }
    // After a Run that returned 0: the connection, and the settings it carries.
    std::unique_ptr<CNetLine> TakeLine();
    const ST_NetLineSettings &Settings() const { return m_settings; }

private:
    const int m_cancelFd;
    std::atomic<bool> m_cancelled{false};
    // Cancel reaches the line from another thread; TakeLine moves it away under the same lock.
    std::mutex m_lineLock;
    std::unique_ptr<CNetLine> m_line;
    ST_NetLineSettings m_settings;
    bool m_refused = false;
};
