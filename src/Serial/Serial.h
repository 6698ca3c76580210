#pragma once
// One serial port. Every operation records its outcome as the last error and returns it (or a
// value); failures also append a line to the diagnostic log. Nothing is thrown.
//
// Port names: "\\.\" in front of a name is ignored; a name without a '/' is looked up in /dev,
// so "ttyUSB0", "\\.\ttyUSB0" and "/dev/ttyUSB0" open the same device.
//
// Threads: WaitEvent may block on one thread while others call Read, Write, the modem-line
// queries, SetMask (which wakes the wait) and Close (which wakes everything and then waits until
// no other call is inside the device). Reads are serialised among themselves, and so are writes,
// so two writers never interleave their bytes.
#include "Serial/dcb.h"
#include "Serial/linecounters.h"
#include "Serial/serialerror.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// Event bits.
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;

// Line error bits, as reported with each event.
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_RXPARITY = 0x0004;
constexpr uint32_t CE_FRAME = 0x0008;
constexpr uint32_t CE_BREAK = 0x0010;

class CSerial
{
public:
    enum EHandshake : uint8_t { NoHandshake = 0, HardwareHandshake = 1, XonXoffHandshake = 2 };
    enum EReadTimeout : uint8_t { ShortReadTimeout = 0, BlockingRead = 1 };
    static constexpr uint32_t DefaultMask = EV_RXCHAR | EV_BREAK | EV_ERR;

    CSerial();
    virtual ~CSerial();
    CSerial(const CSerial &) = delete;
    CSerial &operator=(const CSerial &) = delete;

    // Opens the port exclusively, applies the mask 0x00C1, short read time-outs and the default
    // line settings (9600 baud, 8 data bits, no parity, one stop bit, no handshaking). Without
    // `overlapped`, Read, Write and WaitEvent accept only INFINITE as time-out. A negative
    // queue size fails with EINVAL; other sizes are accepted (the kernel sizes its own queues).
    virtual long Open(const std::string &port, long inQueue = 0, long outQueue = 0, bool overlapped = true);
    virtual long Close();

    virtual long Setup(uint32_t baudrate = 9600, uint8_t dataBits = 8, uint8_t parity = NOPARITY,
                       uint8_t stopBits = ONESTOPBIT);
    virtual long SetEventChar(uint8_t eventChar, bool adjustMask = true);
    // Applying a mask wakes a pending WaitEvent, which then reports no event.
    virtual long SetMask(uint32_t mask = DefaultMask);
    // Waits for the next event named in the mask; GetEventType then tells which. Of the event bits
    // only EV_RXCHAR, EV_BREAK and EV_ERR are ever reported: data wake the wait, and breaks and
    // line errors come with them where the driver counts those (a pseudo-terminal does not).
    // The other bits may stand in the mask but never end a wait. Bytes left unread bring a new
    // event at once. A port that went away ends the wait with EIO (or the failing call's errno).
    virtual long WaitEvent(uint32_t timeout = INFINITE);
    virtual long SetupHandshaking(uint8_t handshake);
    virtual long SetupReadTimeouts(uint8_t readTimeout);

    virtual long GetBaudrate();
    virtual long GetDataBits();
    virtual long GetParity();
    virtual long GetStopBits();
    virtual long GetHandshaking();
    virtual uint32_t GetEventMask();
    virtual uint8_t GetEventChar();

    // `written` / `read` receive the count (0 first). A timed-out Write or Read returns 1460 with
    // the count of what got through; a Read returns what arrived within the read time-outs.
    virtual long Write(const void *data, long len, uint32_t *written = nullptr, uint32_t timeout = INFINITE);
    virtual long Write(const char *text, uint32_t *written = nullptr, uint32_t timeout = INFINITE);
    virtual long Read(void *data, long len, uint32_t *read = nullptr, uint32_t timeout = INFINITE);

    // The pending event word masked with the mask; clears it.
    uint16_t GetEventType();
    // Line errors seen since the last call (CE_ bits); clears them. False when the port is closed.
    bool ClearCommErrors(uint32_t *errors);
    // False also when the port has no modem lines (a pseudo-terminal), with the errno as last error.
    bool GetCTS();
    bool GetDSR();
    bool GetRLSD();
    bool IsOpen() const { return fd_.load() >= 0; }
    long GetLastError() const { return lastError_.load(); }

    // What the device holds (valid while open).
    ST_Dcb GetDcb() const;
    ST_CommTimeouts GetTimeouts() const;
    // The path actually opened, such as "/dev/ttyUSB0".
    static std::string DevicePath(const std::string &port);

    // ---- Modem output lines and break ----
    // Raise or drop DTR / RTS at once; 0 or the errno (a pseudo-terminal refuses with ENOTTY or
    // EINVAL). SendBreak holds the line in break for about `milliseconds` and returns after it.
    // GetRING reads the ring indicator like GetCTS. HasModemLines tells whether the driver has
    // modem lines at all, without touching the last error.
    long SetDTR(bool on);
    long SetRTS(bool on);
    long SendBreak(uint32_t milliseconds);
    bool GetRING();
    bool HasModemLines();

protected:
    long SetLastError(long code)
    {
        lastError_.store(code);
        return code;
    }
    // The log line "CSerial::<op> - <text>" with the line break the message table gives it.
    static void Log(const char *cls, const char *op, const char *text, bool lineBreak = true);
    long Fail(const char *op, const char *text, long code);

    // The wait behind WaitEvent, counted from a mask generation taken earlier, so that a SetMask
    // that happened after `generation` was read wakes it even if it came before the wait began.
    uint64_t MaskGeneration() const { return maskGeneration_.load(); }
    long WaitEventSince(uint64_t generation, uint32_t timeout);

private:
    long ApplyDcb(const char *op, const ST_Dcb &dcb);
    void ApplyModemLines(const ST_Dcb &dcb);
    bool ModemStatus(const char *op, int bit, bool lineBreak);
    void CollectLineErrors(uint32_t *events);
    long IoPrecheck(const char *op, uint32_t timeout);

    std::atomic<long> lastError_{0};
    std::atomic<int> fd_{-1};
    std::atomic<uint32_t> pendingEvent_{0};
    std::atomic<uint32_t> eventMask_{0};
    bool overlapped_ = false;

    int maskWakeFd_ = -1;              // SetMask wakes WaitEvent
    std::atomic<int> closeWakeFd_{-1}; // Close wakes every blocked call
    std::atomic<bool> closing_{false};
    std::atomic<uint64_t> maskGeneration_{0};

    mutable std::shared_mutex lifeLock_; // shared by every call on the port, exclusive for Open/Close
    mutable std::mutex settingsLock_;
    std::mutex readLock_;
    std::mutex writeLock_;
    ST_Dcb dcb_;
    ST_CommTimeouts timeouts_;
    KTermios saved_;
    bool haveSaved_ = false;
    bool haveCounters_ = false;
    uint32_t lineErrors_ = 0;
    ST_LineCounters counters_; // as last seen
};
