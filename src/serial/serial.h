#pragma once
// One serial port. Every operation records its outcome as the last error and returns it (or a
// value); failures also append a line to the diagnostic log. Nothing is thrown.
//
// Port names: "\\.\" in front of a name is ignored; a name without a '/' is looked up in /dev,
// so "ttyUSB0", "\\.\ttyUSB0" and "/dev/ttyUSB0" open the same device.
//
// Network names ("rfc2217://host:port", "socket://host:port") open a port on another machine
// instead: the same calls, served by a connection of its own (netport/netline.h). Line settings,
// modem lines and break travel over RFC 2217; a raw socket carries data only, and the line
// settings are then the server's.
//
// Demo names ("demo://board", portbase/demoports.h) open the slave end of a pseudo-terminal whose
// master a device played in this process answers; the device starts once the port is open and
// ends with its Close.
//
// Threads: WaitEvent may block on one thread while others call Read, Write, the modem-line
// queries, SetMask (which wakes the wait) and Close (which wakes everything and then waits until
// no other call is inside the device). Reads are serialised among themselves, and so are writes,
// so two writers never interleave their bytes.
#include "netport/netline.h"
#include "portbase/demoports.h"
#include "portbase/serialerror.h"
#include "serial/dcb.h"
#include "serial/linecounters.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

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
// Never raised by the wait: the port that forms blocks (CSerialWnd) hands it over when its owner
// thread fell so far behind that the listener stopped reading.
constexpr uint32_t EV_RX80FULL = 0x0400;

// Line error bits, as reported with each event.
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_RXPARITY = 0x0004;
constexpr uint32_t CE_FRAME = 0x0008;
constexpr uint32_t CE_BREAK = 0x0010;

// Every modem line at one look: the outputs the port drives and the inputs the device drives.
struct ST_ModemLines
{
    bool Dtr = false;
    bool Rts = false;
    bool Cts = false;
    bool Dsr = false;
    bool Dcd = false;
    bool Ring = false;
};

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
    // A network port is connected here (waiting up to CNetLine::kConnectMs) unless a connection
    // was prepared for it; its line settings are sent by Setup, not by Open.
    virtual long Open(const std::string &port, long inQueue = 0, long outQueue = 0, bool overlapped = true);
    // Output still queued goes out while the line takes it, half a second at most; what a held
    // line cannot take is dropped (UnsentAtClose tells how much), never waited for.
    virtual long Close();

    // Any positive rate (a rate without a fixed code goes through the arbitrary-rate path). Every
    // setting is read back from the driver afterwards; one it did not take restores the line as
    // it was and fails with ERROR_NOT_SUPPORTED (the log names the setting). A pseudo-terminal,
    // which forces 8 data bits and no parity, is not held to those two.
    virtual long Setup(uint32_t baudrate = 9600, uint8_t dataBits = 8, uint8_t parity = NOPARITY,
                       uint8_t stopBits = ONESTOPBIT);
    virtual long SetEventChar(uint8_t eventChar, bool adjustMask = true);
    // Applying a mask wakes a pending WaitEvent, which then reports no event.
    virtual long SetMask(uint32_t mask = DefaultMask);
    // Waits for the next event named in the mask; GetEventType then tells which. What Linux lets
    // the device see:
    //  - EV_RXCHAR: data wake the wait. Bytes left unread bring a new event at once.
    //  - EV_BREAK, EV_ERR: with data, where the driver counts breaks and line errors (a
    //    pseudo-terminal does not).
    //  - EV_RXFLAG: with EV_RXFLAG in the mask the wait reads what arrived into the device's own
    //    buffer (Read serves from it first) and looks for the event character there; bytes a Read
    //    takes straight from the line are looked at too.
    //  - EV_CTS, EV_DSR, EV_RLSD, EV_RING: the kernel can wake a thread on a modem-line change
    //    only inside an ioctl nothing can interrupt, so the wait looks at the lines every
    //    kModemLookMs instead, comparing the driver's change counters (which catch a change that
    //    came and went between two looks) and the levels. A driver without modem lines (a
    //    pseudo-terminal) raises none of these, and the log says so once per open port.
    //  - EV_TXEMPTY: after a Write, once the driver's output queue (and, where the driver tells,
    //    the transmitter) is empty; looked at as often as the queue can drain at the line's rate.
    // A port that went away ends the wait with a code IsPortGone accepts (another failing call
    // with its own code).
    virtual long WaitEvent(uint32_t timeout = INFINITE);
    // Hardware handshaking is RTS/CTS only: termios has no DSR output flow control and no DTR
    // handshaking, so DTR stays on, the log says why, and GetDcb/GetHandshaking tell what is in
    // force. Like Setup, fails with ERROR_NOT_SUPPORTED where the driver did not take the mode.
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
    // How many line errors of each kind the driver counted since the last call (where it counts
    // them); clears them. The bits ClearCommErrors reports come from the same counts.
    ST_LineCounters TakeLineErrorCounts();
    // False also when the port has no modem lines (a pseudo-terminal), with the errno as last error.
    bool GetCTS();
    bool GetDSR();
    bool GetRLSD();
    bool GetRING();
    // The driver has modem lines to read and set (false on a pseudo-terminal).
    bool HasModemLines();
    // The driver counts breaks and line errors, or a server tells them (false on a
    // pseudo-terminal): ClearCommErrors can report some.
    bool HasLineCounters() const;
    // All six lines in one look: a USB adapter answers every look with a control transfer, so a
    // caller that shows several lines asks once. Fails like GetCTS.
    bool GetModemLines(ST_ModemLines *lines);
    // Raise or drop DTR or RTS. With RTS/CTS handshaking the driver moves RTS itself.
    long SetDTR(bool on);
    long SetRTS(bool on);
    // Holds the line in the break state for `milliseconds`. Other calls on the port go on
    // meanwhile (the listener keeps waiting); Close ends the break early.
    long SendBreak(uint32_t milliseconds);
    bool IsOpen() const { return m_fd.load() >= 0; }
    // The open descriptor, or -1, for a caller that waits on the line and reads and writes it
    // itself (the two-port monitor) instead of through Read, Write and WaitEvent. It stays valid
    // until Close, which such a caller makes only once it has stopped using it.
    int Descriptor() const { return m_fd.load(); }
    // For such a caller: readable when a network port's server told something apart from the
    // data (a break, a line error, a modem line); the caller drains it (an eventfd) and asks
    // ClearCommErrors and GetModemLines. -1 for a local device, whose driver counts breaks and
    // line errors with the bytes.
    int NotifyDescriptor() const;
    // The code for a line that ended with `e` (while open): a network port tells why its
    // connection ended instead.
    long LostCode(int e) const;
    // Bytes that the driver still held for the line when the last Close dropped them. They had
    // been written, so whoever counted them as sent can take them back. A pseudo-terminal's
    // close drops none (its far end still reads them).
    uint32_t UnsentAtClose() const { return m_unsentAtClose.load(); }
    long GetLastError() const { return m_lastError.load(); }

    // A connection made beforehand, on a thread that may wait for the network, for the next Open
    // of its address, which takes it instead of connecting. `applied` are the line settings it
    // already carries: the port starts with them, and Setup sends nothing that is already so.
    void PrepareNetLine(std::unique_ptr<CNetLine> line, const ST_NetLineSettings &applied);
    // The same for a played port started beforehand (StartPlayedPort), for the next Open of `name`.
    void PreparePlayedPort(const std::string &name, std::unique_ptr<IDemoPort> port);
    // What stopped the last Open in words, where the device says more than the code ("Cannot
    // connect to lab-pi:7000: connection refused"); empty otherwise.
    std::string OpenFailure() const;
    // Any thread, before a Close: every wait on the network port's server (a Setup waiting for
    // its answers) gives up at once, and so does every later one until the port is opened again
    // (those calls fail with SystemError(ECANCELED)). Close does this itself; a caller that must
    // first join a thread using the port calls it before the join. Nothing for a local device.
    void CancelNetWaits();
    // The open port is on another machine; and, for a raw one, its line settings are the server's.
    bool IsNetworkPort() const;
    bool SettingsAreServers() const;

    // What the device holds (valid while open).
    ST_Dcb GetDcb() const;
    ST_CommTimeouts GetTimeouts() const;
    static constexpr int kModemLookMs = 10;
    // The path actually opened, such as "/dev/ttyUSB0".
    static std::string DevicePath(const std::string &port);

protected:
    long SetLastError(long code)
    {
        m_lastError.store(code);
        return code;
    }
    // The log line "CSerial::<op> - <text>" with the line break the message table gives it.
    static void Log(const char *cls, const char *op, const char *text, bool lineBreak = true);
    long Fail(const char *op, const char *text, long code);

    // The wait behind WaitEvent, counted from a mask generation taken earlier, so that a SetMask
    // that happened after `generation` was read wakes it even if it came before the wait began.
    // For its first `dataPauseMs` (never past `timeout`) bytes that arrive leave the wait asleep:
    // a reader that needs no byte at once wakes once for all that came meanwhile. A hang-up ends
    // the pause, and the line is looked at before a time-out is reported, so what came in the
    // pause is never passed over. No pause while the mask has EV_RXFLAG.
    uint64_t MaskGeneration() const { return m_maskGeneration.load(); }
    long WaitEventSince(uint64_t generation, uint32_t timeout, uint32_t dataPauseMs = 0);

private:
    // Connects the network port `name` (or takes the prepared connection); 0 or the code.
    long ConnectNetLine(const std::string &name, std::unique_ptr<CNetLine> *line,
                        std::optional<ST_NetLineSettings> *applied);
    long ApplyNetDcb(const char *op, const ST_Dcb &dcb);
    long StartDemo(const std::string &name, std::unique_ptr<IDemoPort> *demo);
    // What the driver counts: line errors and modem-line changes; false without modem lines.
    bool ReadLineCounters(ST_LineCounters *counters) const;
    bool ReadModemSnapshot(ST_ModemSnapshot *snapshot) const;
    long ApplyModemLine(const char *op, int bit, bool on);
    // Event sources other than data; the caller holds m_lifeLock shared.
    uint32_t ModemEvents(uint32_t mask, int *lookMs);
    uint32_t TxEmptyEvent(int *lookMs);
    void TakeModemSnapshot();
    // Moves what the line holds into m_rxBuffer and looks for the event character; the caller
    // holds m_readLock and m_lifeLock.
    void FillRxBuffer(int fd);
    void NoteEventChar(const uint8_t *bytes, size_t count);
    size_t RxBuffered();
    void WakeWait();

    long ApplyDcb(const char *op, const ST_Dcb &dcb);
    void ApplyModemLines(const ST_Dcb &dcb);
    // While the port is held the driver's own closing wait is set to none, so its close never
    // waits out a stalled line; the value found is put back before the close.
    void WaiveClosingWait(int fd);
    void RestoreClosingWait(int fd);
    bool ModemStatus(const char *op, int bit, bool lineBreak);
    // One look at the modem lines (TIOCM_ bits), recorded as the last error; the caller holds
    // m_lifeLock shared.
    long LookAtModemLines(int *status);
    void CollectLineErrors(uint32_t *events);
    long IoPrecheck(const char *op, uint32_t timeout);

    std::atomic<long> m_lastError{0};
    std::atomic<int> m_fd{-1};
    std::atomic<uint32_t> m_pendingEvent{0};
    std::atomic<uint32_t> m_eventMask{0};
    bool m_overlapped = false;

    int m_maskWakeFd = -1;              // SetMask wakes WaitEvent
    std::atomic<int> m_closeWakeFd{-1}; // Close wakes every blocked call
    std::atomic<bool> m_closing{false};
    std::atomic<uint64_t> m_maskGeneration{0};

    mutable std::shared_mutex m_lifeLock; // shared by every call on the port, exclusive for Open/Close
    mutable std::mutex m_settingsLock;
    std::mutex m_readLock;
    std::mutex m_writeLock;
    ST_Dcb m_dcb;
    ST_CommTimeouts m_timeouts;
    KTermios m_saved;
    bool m_haveSaved = false;
    bool m_haveCounters = false;
    uint32_t m_lineErrors = 0;
    // The counters' growth not yet taken.
    ST_LineCounters m_lineErrorCounts;
    ST_LineCounters m_counters; // as last seen
    bool m_pseudoTerminal = false;
    int m_savedClosingWait = -1; // the driver's own, while waived; -1 when left alone
    std::atomic<uint32_t> m_unsentAtClose{0};

    // Under m_settingsLock: the modem lines as last looked at.
    ST_ModemSnapshot m_modem;
    bool m_haveModem = false;
    bool m_modemMissingLogged = false;
    // The driver said it has no modem lines, or no line counters (a pseudo-terminal, some
    // adapters): it is not asked again at every wake-up of the listener until the port is opened
    // again.
    mutable std::atomic<bool> m_noModemLines{false};
    mutable std::atomic<bool> m_noLineCounters{false};

    std::mutex m_rxLock;
    std::vector<uint8_t> m_rxBuffer; // read from the line by WaitEvent, not yet by Read
    size_t m_rxHead = 0;
    std::atomic<bool> m_eventCharSeen{false};
    // Whether the last read of the line found bytes. While it did, a wait that the line wakes as
    // readable takes that at its word; after a read found nothing, the wait asks how much is
    // there, so that a line that stays readable with nothing in it is found gone, not spun on.
    std::atomic<bool> m_lineGaveBytes{false};
    std::atomic<bool> m_txPending{false};
    std::mutex m_breakLock;

    // A network port's connection, set and cleared under m_lifeLock held exclusively.
    std::unique_ptr<CNetLine> m_net;
    // The device behind a demo port, set and cleared under m_lifeLock held exclusively.
    std::unique_ptr<IDemoPort> m_demo;
    std::unique_ptr<CNetLine> m_preparedNet; // under m_settingsLock, as is all below
    ST_NetLineSettings m_preparedSettings;
    std::unique_ptr<IDemoPort> m_preparedPlayed;
    std::string m_preparedPlayedName;
    std::optional<ST_NetLineSettings> m_netApplied; // what the server holds, as far as known
    std::optional<bool> m_netDtr, m_netRts;         // as last sent
    std::string m_openFailure;
};
