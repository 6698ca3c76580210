#pragma once
// A port on another machine. The connection is served by a pump thread of its own, so the port
// above it sees what it sees of a local device: a non-blocking descriptor that carries the data
// both ways (DataFd), and a few calls for what a terminal driver does with ioctls (line settings,
// modem lines, break, purge, counters). The pump speaks telnet with the com-port option to an
// RFC 2217 server (escaping, negotiation, notifications) and passes bytes unchanged to a raw one.
//
// Threads: Open and Close on one thread; the other calls from any thread while open. The pump
// never waits for the caller, and no call waits on the network longer than its bound.
#include "netport/netaddress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Line settings in the codes of Serial/dcb.h (NOPARITY..SPACEPARITY, ONESTOPBIT..TWOSTOPBITS).
struct ST_NetLineSettings
{
    uint32_t Baud = 9600;
    uint8_t DataBits = 8;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    enum EFlow : uint8_t { NoFlow = 0, RtsCts = 1, XonXoff = 2 } Flow = NoFlow;
};

// What the server last told of its line. Counters only grow while the connection lives: each
// modem-line change and each line-state condition the server reported counts once.
// A server that floods notifications for hours still only counts up: the counts stop at their
// largest value instead of wrapping.
struct ST_NetLineState
{
    bool ModemKnown = false; // the server has sent a modem state at least once
    bool Cts = false, Dsr = false, Dcd = false, Ring = false;
    bool Dtr = true, Rts = true; // as last asked (or answered)
    int64_t CtsChanges = 0, DsrChanges = 0, DcdChanges = 0, RingChanges = 0;
    int64_t Breaks = 0, FrameErrors = 0, ParityErrors = 0, Overruns = 0;
};

class CNetLine
{
public:
    // How long a connect may take, and how long a command waits for the server's answer.
    static constexpr int kConnectMs = 5000;
    static constexpr int kAnswerMs = 1500;
    // How long sent data (or a look at a shut window) may stay unacknowledged, with not one
    // acknowledgement from the server meanwhile, before the connection counts as dead.
    static constexpr int kSilenceMs = 30000;

    CNetLine();
    ~CNetLine(); // closes
    CNetLine(const CNetLine &) = delete;
    CNetLine &operator=(const CNetLine &) = delete;

    // Resolves and connects (giving up after kConnectMs, or at once when `cancelFd` becomes
    // readable), negotiates telnet BINARY both ways, SUPPRESS-GO-AHEAD and the com-port option
    // with an RFC 2217 server (a bounded wait; what the server refuses or never answers is noted
    // in the diagnostic log, not a failure), asks for modem-state and line-state notifications,
    // then starts the pump. Returns 0, or SystemError(errno) of what failed with `message` set to
    // "Cannot connect to lab-pi:7000: connection refused" (or "...: timed out", "...: unknown
    // host"). Never blocks longer than the bounds.
    // The codes: SystemError(ECONNREFUSED, ETIMEDOUT, ENETUNREACH...) as connect gave them,
    // SystemError(ENOENT) for a host no name server knows, SystemError(ECANCELED) for a cancel
    // (message "...: cancelled"). A server that closes the connection during the negotiation
    // fails the open ("...: connection reset by peer").
    long Open(const ST_NetAddress &address, int cancelFd, std::string *message);
    // Before Open: another silence limit than kSilenceMs.
    void SetSilenceLimitMs(int ms) { m_silenceMs = ms; }
    bool IsOpen() const;
    const ST_NetAddress &Address() const;

    // The data end, a non-blocking AF_UNIX stream socket: reading gives the server's data bytes
    // (telnet commands removed, 0xFF undoubled), writing sends them (0xFF doubled). When the
    // connection is lost the pump shuts its end: a read then gives 0 and poll POLLHUP (after
    // the bytes that came before the loss), and a write fails with EPIPE, so write to it with
    // send(..., MSG_NOSIGNAL). LostErrno() is set before the reader can see the end.
    // Back-pressure: a reader that stops reading stops the pump reading the server (so the
    // server's answers, which share the stream, wait too); a server that stops reading stops
    // the pump taking from DataFd, and writes to it then fail with EAGAIN.
    int DataFd() const;
    // An eventfd that becomes readable when State() changed (a notification arrived); the reader
    // drains it.
    int StateFd() const;
    ST_NetLineState State() const;
    // The errno that ended the connection (ECONNRESET, EPIPE, ETIMEDOUT...), 0 while it lives;
    // a server that closed the connection cleanly gives ECONNRESET. A server that is gone
    // without a word shows as ETIMEDOUT: after about 25 s of silence on an idle connection
    // (keepalives), or after the silence limit while data or a look at its window go
    // unacknowledged. A server that keeps its window shut (it stops reading: flow control) but
    // acknowledges is alive, however long it holds the data back; the log notes the hold once.
    int LostErrno() const;

    // False for a raw port, and for a server that refused the com-port option: settings, modem lines, break
    // and purge are not sent over it, and the calls below return 0 without doing anything.
    bool CarriesSettings() const;
    // Sends baud rate, data size, parity, stop size and flow control and waits (at most
    // kAnswerMs each; all five go out together and share one wait, so at most kAnswerMs in all)
    // for the server's answers. A value the server answered differently is
    // named in `untaken` ("baud rate", "data bits", "parity", "stop bits", "RTS/CTS flow
    // control", "XON/XOFF flow control"), `reason` (when given) says what came back ("the server
    // answered the baud rate with 19200 instead of 9600"), and ERROR_NOT_SUPPORTED is returned;
    // a command the server never answers is noted in the diagnostic log and counts as taken.
    // The commands count against the same limit as the others (SystemError(ENOBUFS) when a
    // server that stopped reading left them piling up). Not on the pump thread.
    // An answer of 0 (the server tells no value) counts as taken. When the server refused the
    // com-port option at open, nothing is sent and 0 returned (the refusal was noted then).
    // E_INVALIDARG for codes outside those of Serial/dcb.h.
    // After an Abort: SystemError(ECANCELED), at once.
    long ApplySettings(const ST_NetLineSettings &settings, std::string *untaken,
                       std::string *reason = nullptr);
    // Do not wait for the server's answer (a server may not echo these at all).
    long SetDtr(bool on);
    long SetRts(bool on);
    long SetBreak(bool on);
    // Purging the receive side also drops what the pump held for DataFd; what already sits in
    // DataFd is the reader's to discard.
    long Purge(bool receive, bool transmit);

    // From any thread: an Open or ApplySettings waiting on the network gives up at once (Open
    // fails, ApplySettings returns SystemError(ECANCELED) and notes the wait it gave up), and so
    // does every later one. For a caller that is about to close the line.
    void Abort();

    // Stops the pump and closes the connection. Returns how many bytes written to DataFd never
    // reached the server's socket or still sat unsent in the kernel's send queue. Doubled 0xFF
    // bytes and commands among them count as they stand, so the figure is close, not exact.
    uint32_t Close();

private:
    struct Impl;
    std::unique_ptr<Impl> m_d;
    // Abort reaches the Impl of an Open running on another thread; Open makes its Impl under this.
    std::mutex m_abortLock;
    std::atomic<bool> m_aborted{false};
    int m_silenceMs = kSilenceMs;
};
