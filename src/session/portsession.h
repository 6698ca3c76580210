#pragma once
// What a window does with one port: the device and its listener, the sender every send goes
// through, the traffic counters, the count of bytes lost on the way in, the automatic sending run
// and what is awaited of a lost port. The window owns one session and shows it; a second port is
// a second session.
//
// Threads: the session is made, used and destroyed on one thread, its owner (the GUI thread).
// Only Send (and so the engine, through ISendTarget) may be called from any thread. Everything
// the session tells its view, it tells on the owner thread, in the order it happened, through the
// two hand-overs it is given: one the port delivers through (a close cancels it, dropping what is
// still queued), one for the sends' outcomes (never cancelled, so every send is settled).
#include "autosend/sendtarget.h"
#include "autosend/sharedstate.h"
#include "data/commdata.h"
#include "link/linksetting.h"
#include "platform/clock.h"
#include "platform/handover.h"
#include "serial/devicereturn.h"
#include "serial/linecounters.h"
#include "serial/portsender.h"
#include "serial/serialwnd.h"
#include "session/lineevents.h"
#include "session/sessiondecoding.h"
#include "session/sessionframes.h"
#include "session/trafficpath.h"
#include "transfer/filetransfer.h"
#include "transfer/receivesink.h"
#include "transfer/zmodemstart.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CAutoSendEngine;

// Who writes a send into the log: the reports, a line for each send; its caller, who joins many
// sends into lines of its own (the console, whose keys go out one by one); or nobody (the
// console's answers to the device's own questions).
enum class ESendLog : uint8_t { Each, ByCaller, Never };

// How one send ended, told once the sender is done with it.
struct ST_SendReport
{
    CCommData Item;
    ESendLog Log = ESendLog::Each;
    bool Logged = false; // the view logs sends (asked when the send was handed in), and Log allows it
    bool Auto = false;   // sent by the engine, not by the user
    ST_SendOutcome Outcome;
    bool PortLost = false; // a lost port cut it short (a close or Stop abandons it otherwise)
    bool Settled = false;  // no other send is in flight
    // When the sender began writing it: on the rules' clock and on the steady clock.
    int64_t BeganMs = 0;
    int64_t BeganSteadyMs = 0;
    FrameTime BeganFrameTime{0}; // the frames' clock (CSessionFrames::SendBegins)
};

class ISessionView
{
public:
    virtual ~ISessionView() = default;
    // Any thread: whether a send handed in now is to be logged.
    virtual bool LogsSends() const = 0;
    // The rest on the owner thread. The name a received block is given; `ageMs` is how long ago
    // the block was handed over (it may have waited for a frame, see HoldBlocksFor). The blocks
    // themselves, and what was sent, go through the session's traffic path (Traffic()).
    virtual std::string ReceivedBlockName(int64_t ageMs) = 0;
    // Any other event: event bits low, line error bits high. `loss` when it added to InboundLoss.
    virtual void SessionEvent(uint32_t eventWord, bool loss) = 0;
    // The line has stopped taking a send's bytes.
    virtual void SessionSendWaiting() = 0;
    // A send ended; what went out is counted already and has been through the traffic path.
    virtual void SessionSendDone(const ST_SendReport &report) = 0;
    // The device went away: the session has closed the port, taking `unsent` queued bytes back
    // off the Send counter, and awaits the device while Reconnect is on.
    virtual void SessionPortLost(long code, uint32_t unsent) = 0;
    // A file transfer's reports, in order: each file as it begins (counted as a send already),
    // the progress since (the latest only, however many were made), and its end.
    virtual void SessionTransferFile(const ST_TransferProgress &) {}
    virtual void SessionTransferProgress(const ST_TransferProgress &) {}
    virtual void SessionTransferDone(const ST_TransferOutcome &, bool /*portLost*/) {}
    // The device started a ZMODEM transfer (see SetZmodemAutoStart). Its bytes wait for
    // StartTransfer or DeclineTransfer, which the view calls later, never from inside this call.
    virtual void SessionTransferAsked(EZmodemStart) {}
    // Received bytes that may begin a start header are held back (see ReleaseHeldStart).
    virtual void SessionHoldsStart() {}
    // A network link begun with BeginOpen has connected and opened, or failed to.
    virtual void SessionOpened(const COM_PORT_SETTING & /*link*/, bool /*open*/, bool /*settingRefused*/,
                               long /*code*/, const std::string & /*message*/)
    {
    }
};

class CPortSession : public ISendTarget
{
public:
    // `ruleFilePath` is read afresh at each start of automatic sending.
    CPortSession(ISessionView &view, std::unique_ptr<CHandOver> portHandOver,
                 std::unique_ptr<CHandOver> sendHandOver, std::string ruleFilePath,
                 const IClock &clock = CSystemClock::Instance());
    // Stops automatic sending, drops queued sends and closes the port; the view hears nothing more.
    ~CPortSession() override;
    CPortSession(const CPortSession &) = delete;
    CPortSession &operator=(const CPortSession &) = delete;

    // ---- The link ----
    struct ST_OpenResult
    {
        bool Open = false;
        bool SettingRefused = false; // opened, but the line settings were refused (closed again)
        long Code = 0;               // why the device did not open
        std::string Message;         // the same in words, where the device says more than the code
    };
    // Closes what is open, then opens `link` (on `device` when given: a lost port found again
    // under another name; the link keeps its own).
    ST_OpenResult Open(const COM_PORT_SETTING &link, const std::string &device = std::string());
    // Queued sends are dropped and the one being written is woken. Returns the bytes counted as
    // sent that the close dropped from the driver's queue; they come off the Send counter.
    uint32_t Close();
    bool IsOpen() const { return m_port->IsOpen(); }
    // A link on another machine is connected on a thread of its own, as the network may keep it
    // waiting for seconds: BeginOpen closes what is open and returns at once; the view hears
    // SessionOpened on the owner thread, unless Close or another open came first.
    static bool NeedsConnect(const COM_PORT_SETTING &link);
    // The network's links, and played ports whose start waits on a disk (a recording read from
    // its file): an owner whose thread must not wait opens these with BeginOpen.
    static bool OpensInBackground(const COM_PORT_SETTING &link);
    void BeginOpen(const COM_PORT_SETTING &link);
    bool Connecting() const { return m_connect != nullptr; }
    // The link open now, or open last.
    const std::optional<COM_PORT_SETTING> &Link() const { return m_link; }
    // For the modem lines.
    CSerial &Device() { return *m_port; }

    // ---- Sending ----
    enum class ESend : uint8_t { NotOpen, Queued, Refused, Transferring };
    // From the owner thread the item is queued and Send returns; from any other thread Send
    // waits until it is out, failed or was cancelled. Refused: the sender's queue is full.
    // Transferring: a file transfer holds the line. `onDone`, when given, is called once the
    // sender is done with a queued item, on the sender thread, with what went out.
    ESend Send(const CCommData &item, ESendLog log = ESendLog::Each,
               std::function<void(const ST_SendOutcome &)> onDone = {});
    void SendItem(const CCommData &item) override { Send(item); }
    // A break, after what was queued before it.
    void SendBreak(uint32_t ms);
    // Every send handed in has been written (or failed or was cancelled) and counted and told.
    bool SendsSettled() const { return m_sendsInFlight.load() == 0; }

    // ---- Transfers: sending and receiving files ----
    // The transfer runs on the sender thread, after the sends queued before it; until it ends,
    // other sends are refused and, when it reads the line, the received bytes are its own (no
    // blocks reach the view). `make` builds it on the channel it is to use; it may throw, and
    // then nothing started. False when the port is not open, a transfer runs, the sender's queue
    // is full or `make` made none.
    using MakeTransfer = std::function<std::unique_ptr<ITransfer>(ITransferChannel &)>;
    bool StartTransfer(const MakeTransfer &make, bool receiving, bool readsLine);
    // A send of `files` (throws std::invalid_argument as MakeSend does) and a receive into `sink`,
    // which the transfer keeps until it ends.
    bool StartTransfer(std::vector<ST_TransferFile> files, const ST_TransferOptions &options);
    bool StartReceive(std::shared_ptr<IReceiveSink> sink, const ST_TransferOptions &options);
    // Ends the transfer as soon as it can; its end is still reported.
    void CancelTransfer();
    // From the start until its end was reported.
    bool TransferRunning() const { return m_transfer != nullptr; }
    bool TransferReceiving() const;

    // ---- Transfers the device starts ----
    // While on and no transfer runs, the received bytes are scanned for a ZMODEM start; the
    // bytes from its header on are kept for the transfer the view is asked to start. Only a whole
    // header with its right CRC counts; the few bytes that may begin one wait for the next block.
    void SetZmodemAutoStart(bool on);
    // Bytes kept back as a possible header's start for at least `heldMs` are shown as received
    // data after all; true when there were any. The view calls it once they were held that long
    // (SessionHoldsStart says when holding begins): a device whose last byte was a '*' sends
    // nothing more to complete or break the header.
    bool ReleaseHeldStart(int64_t heldMs);
    bool HoldsStart() const { return !m_zmodemStart.Held().empty(); }
    bool ZmodemAutoStart() const { return m_zmodemAutoStart; }
    // What the device asked for, until a transfer starts or the ask is declined.
    EZmodemStart TransferAsked() const { return m_asked; }
    // Drops the kept bytes and tells the device the transfer will not happen.
    void DeclineTransfer();

    // ---- Counters (counted wider than the 32 bits a long capture would overflow) ----
    int64_t RecBytes() const { return m_recBytes; }
    int64_t RecBlocks() const { return m_recBlocks; }
    int64_t SendBytes() const { return m_sendBytes; }
    int64_t SendBlocks() const { return m_sendBlocks; }
    void TakeBackUnsent(uint32_t bytes) { m_sendBytes -= bytes; }
    CInboundLoss &InboundLoss() { return m_inboundLoss; }
    void ResetCounters();

    // What the port delivers; public so a caller may feed its own.
    void OnBlock(CReceivedBlock &block);
    // Blocks finished within `ms` wait and come together (CSerialWnd::HoldBlocksFor), for a view
    // that shows them only at its next frame anyway. Never while automatic sending runs or a file
    // transfer holds the line: their answers wait for no frame. While no framing and no reader of
    // the traffic path needs each read as it comes, the reads come in paces of ReadPaceMs too
    // (a reader or a framing set during a hold has them one by one from the next hold on).
    void HoldBlocksFor(uint32_t ms);
    // 0 keeps every read at its arrival, and the cuts of a stream where its arrivals put them.
    void SetReadPaceMs(uint32_t ms) { m_readPaceMs = ms; }
    uint32_t ReadPaceMs() const { return m_readPaceMs; }
    static constexpr uint32_t kReadPaceMs = 4;
    // The one path every received and sent byte takes to its consumers: its read half is the
    // port's read tap (listener thread), its owner half runs for each block shown, counted and
    // named, and for each send's outcome before the view hears of it. The session's own stage,
    // "rules", comes first: the engine answers what it is given, whatever the window does with it.
    CTrafficPath &Traffic() { return m_traffic; }
    // The same traffic cut into frames, both directions, once a profile is set (off at first).
    // The session feeds it reads as they are read and sends in the order they crossed the line,
    // pumps it from its "frames" stage, right after "rules", and flushes it as the port closes.
    CSessionFrames &Frames() { return m_frames; }
    // Modem-line changes, breaks and line errors as they were seen, in the order of the traffic
    // path (see CLineEvents). Breaks and line errors the session records itself.
    CLineEvents &LineEvents() { return m_lineEvents; }
    // Owner thread: a look at the modem lines (the window's lamps) found `lines`; a change of an
    // input is recorded once the bytes read before the look have been through the traffic path.
    void ModemLinesSeen(const ST_ModemLines &lines);
    CSessionDecoding &Decoding() { return m_decoding; }
    // The blocks a hold kept, now; false when none waited.
    bool TakeHeldBlocks();
    void OnEvent(uint32_t eventWord, const ST_LineCounters &errorCounts = {});

    // ---- Automatic sending ----
    CAutoSendShared &AutoSend() { return m_autoSend; }
    const CAutoSendEngine &AutoSendEngine() const { return *m_engine; }
    uint8_t AutoSendState() const { return m_autoSend.AutoSendState.load(); }
    // Start does nothing while a run is on; Pause pauses a running run and resumes a paused one.
    void StartAutoSend();
    void PauseAutoSend();
    void StopAutoSend();

    // ---- A lost port ----
    void SetByIdFolder(const std::string &folder) { m_deviceRoots.ByIdFolder = folder; }
    void SetReconnect(bool on) { m_reconnect = on; }
    bool Reconnect() const { return m_reconnect; }
    // The link of a lost port, while it may still be reopened, and its device's mark.
    const std::optional<COM_PORT_SETTING> &LostLink() const { return m_lostLink; }
    const ST_DeviceMark &LostMark() const { return m_lostMark; }
    bool WaitingForPort() const { return m_reconnect && m_lostLink && !IsOpen(); }
    // The device of the lost port where it is back, else empty.
    std::string ReturnedDevice() const;
    // A device that is back would not open: the count of such tries.
    int NoteReturnFailed() { return ++m_failedReturns; }
    int FailedReturns() const { return m_failedReturns; }
    void EndReconnectWait();
    // Waits for `link`'s device as for a lost one (a link opened at start, whose device or server
    // may not be there yet); its Path is at least the link's device path.
    void AwaitPort(const COM_PORT_SETTING &link, const ST_DeviceMark &mark);
    // The device of the port open now: its path, by-id name and identity.
    const ST_DeviceMark &OpenMark() const { return m_openMark; }

private:
    // The list position of a link's flow control as the port's handshaking mode.
    static uint8_t HandshakeFor(int32_t flowControl);
    static constexpr uint8_t kSendManual = 0;
    static constexpr uint8_t kSendAuto = 1;
    void SendDone(ST_SendReport &report);
    void OnLost(long code);
    struct Connect;
    void ConnectDone(Connect *connect);
    void CancelConnect();
    struct Transfer;
    void TransferProgress();
    void TransferDone(const ST_TransferOutcome &outcome);
    void CountTransferWire(uint64_t wireBytes);
    // `unreadFromLine`: see CPortChannel::TakeTraffic.
    void RunTransferTraffic(bool ended, uint64_t *unreadFromLine = nullptr);
    void EndBlockHold();
    void ReceiveBlock(CReceivedBlock &block);
    void ShowBlock(CReceivedBlock &block);
    void EndAsk();
    void RecordLineErrors(uint32_t errors, const ST_LineCounters &counts);

    ISessionView &m_view;
    const IClock &m_clock;
    const std::thread::id m_owner;
    // Before the port, whose listener reads into it.
    CTrafficPath m_traffic;
    CSessionFrames m_frames;
    uint32_t m_readPaceMs = kReadPaceMs;
    CLineEvents m_lineEvents;
    CSessionDecoding m_decoding{m_frames};
    // Declared first: they outlive the port and the sender that post to them.
    std::unique_ptr<CHandOver> m_portHandOver;
    std::unique_ptr<CHandOver> m_sendHandOver;
    std::unique_ptr<CSerialWnd> m_port;
    // Every send is written by this one thread, in the order Send was called; the view hears of
    // each one's outcome in that order, after it is counted.
    std::unique_ptr<CPortSender> m_sender;
    CAutoSendShared m_autoSend;
    std::unique_ptr<CAutoSendEngine> m_engine;

    std::optional<COM_PORT_SETTING> m_link;
    std::shared_ptr<Connect> m_connect; // a link being connected or a played port being started
    // Played ports' starts a close gave up, still reading their files: let go once they end.
    std::vector<std::shared_ptr<Connect>> m_abandoned;
    std::atomic<int> m_sendsInFlight{0};
    // Owner thread; the sender thread reaches it only through its job.
    std::shared_ptr<Transfer> m_transfer;
    std::atomic<bool> m_transferring{false}; // read by Send on any thread
    uint64_t m_transferWireCounted = 0;
    uint64_t m_transferRead = 0; // bytes of the line the transfer took
    bool m_zmodemAutoStart = true;
    CZmodemStartScanner m_zmodemStart;
    int64_t m_heldSinceMs = -1; // since when the scanner keeps bytes back
    EZmodemStart m_asked = EZmodemStart::None;
    std::vector<uint8_t> m_askedBytes; // from the header on, for the transfer asked for
    // Set by a lost port until the next open: sends it cut short failed, they were not abandoned.
    bool m_portLost = false;
    int64_t m_recBytes = 0, m_recBlocks = 0, m_sendBytes = 0, m_sendBlocks = 0;
    CInboundLoss m_inboundLoss;

    bool m_reconnect = false;
    std::optional<COM_PORT_SETTING> m_lostLink;
    ST_DeviceMark m_lostMark;
    ST_DeviceMark m_openMark; // the device of the port open now
    ST_DeviceRoots m_deviceRoots;
    int m_failedReturns = 0;
};
