#include "session/portsession.h"

#include "autosend/engine.h"
#include "autosend/event.h"
#include "transfer/portchannel.h"
#include "transfer/transfers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

int64_t SteadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The list position of the flow control names the port's handshaking mode; other values give a
// mode the port refuses, so it keeps its default flow control.
uint8_t CPortSession::HandshakeFor(int32_t flowControl)
{
    switch (flowControl) {
    case 0:
        return CSerial::NoHandshake;
    case 1:
        return CSerial::XonXoffHandshake;
    case 2:
        return CSerial::HardwareHandshake;
    default:
        return 0xFF;
    }
}

// What the sender thread and the owner thread share of a transfer.
struct CPortSession::Transfer
{
    Transfer(CSerial &port, const IClock &clock, bool receiving, bool readsLine, uint64_t readRun)
        : Channel(port, clock), Receiving(receiving), Answered(readsLine), ReadRun(readRun)
    {
    }
    CPortChannel Channel;
    std::unique_ptr<ITransfer> Job;
    std::shared_ptr<IReceiveSink> Sink; // a receive's, kept while the transfer may write to it
    const bool Receiving;
    // A raw send reads no answers: what the device sends meanwhile is received data as always.
    const bool Answered;
    // The count of reads its bytes from the line belong to (a close begins another).
    const uint64_t ReadRun;
    // Sender thread: set by the job, read by its OnDone.
    bool Began = false;
    ST_TransferOutcome Outcome;
    // The latest progress, waiting for the owner thread; one report at a time is on its way, so a
    // fast line does not flood the owner with reports it would only paint over.
    std::mutex Lock;
    ST_TransferProgress Latest;
    bool Pending = false;
    // The job waits until what the line brought before it is the channel's.
    std::condition_variable Let;
    bool LetRun = false;
};

CPortSession::CPortSession(ISessionView &view, std::unique_ptr<CHandOver> portHandOver,
                           std::unique_ptr<CHandOver> sendHandOver, std::string ruleFilePath,
                           const IClock &clock)
    : m_view(view), m_clock(clock), m_owner(std::this_thread::get_id()),
      m_portHandOver(std::move(portHandOver)), m_sendHandOver(std::move(sendHandOver)),
      m_port(std::make_unique<CSerialWnd>()), m_sender(std::make_unique<CPortSender>(*m_port)),
      m_engine(std::make_unique<CAutoSendEngine>(m_autoSend, *this, clock, std::move(ruleFilePath)))
{
    m_port->SetReadTap(std::make_shared<CSerialWnd::ReadTap>([this](const uint8_t *data, size_t size) {
        m_frames.Read(data, size);
        m_traffic.Read(data, size);
    }));
    m_traffic.Add("rules", [this](ST_Traffic &event) {
        if (event.Direction == ETraffic::Received && !event.Transfer &&
            m_autoSend.AutoSendState == AUTOSEND_RUNNING)
            m_autoSend.PushRec(event.Data);
    });
    // Every event is a moment to frame what was read by then: a received block comes once the
    // line has been quiet, and a send's write began (the send itself is fed in SendDone). The
    // monitor's blocks bring what its sides read.
    m_traffic.Add("frames", [this](ST_Traffic &event) {
        if (event.Direction == ETraffic::Sent) {
            if (event.Transfer && m_frames.On()) {
                const Bytes &bytes = event.Data.Data();
                m_frames.Wrote(FrameTime(event.SteadyMs * 1000), bytes.data(), bytes.size());
            }
        } else {
            m_frames.Pump();
        }
    });
}

// The engine's threads send through the sender: they end first. The sender ends next (within
// one write slice), then the port closes; outcomes still queued go with the hand-overs, untold.
CPortSession::~CPortSession()
{
    CancelConnect();
    m_abandoned.clear();
    // A cancelled transfer still tells the other end, in a write that would wait for a line that
    // takes nothing; the close wakes that write, so the sender ends at once.
    if (m_transfer) {
        CancelTransfer();
        m_port->Close();
    }
    m_autoSend.SetState(AUTOSEND_STOPPED);
    m_sender->Cancel(kSendAuto, true);
    m_sender->CancelAll();
    m_engine.reset();
    m_sender.reset();
    m_autoSend.ClearQueues();
    m_transfer.reset();
    m_port.reset();
}

CPortSession::ST_OpenResult CPortSession::Open(const COM_PORT_SETTING &link, const std::string &device)
{
    Close();
    ST_OpenResult result;
    result.Code = m_port->Open(
        "\\\\.\\" + (device.empty() ? link.PortName : device), m_portHandOver.get(),
        [this](CReceivedBlock &block) { OnBlock(block); },
        [this](uint16_t events, uint16_t errors, const ST_LineCounters &counts) {
            OnEvent(static_cast<uint32_t>(errors) << 16 | events, counts);
        },
        [this](long code) { OnLost(code); }, link.InputBufferLen, link.OutputBufferLen);
    // A port that did not open has no settings to refuse.
    if (m_port->IsOpen()) {
        // A handshake the driver did not take fails like a line setting it did not take.
        const long handshake = m_port->SetupHandshaking(HandshakeFor(link.FlowControl));
        const long setup = handshake != 0 ? handshake
                                          : m_port->Setup(static_cast<uint32_t>(link.Baud), link.DataBits,
                                                          link.ParityCode, link.StopBitsCode);
        if (setup != 0) {
            result.SettingRefused = true;
            m_port->Close();
        }
    }
    result.Open = m_port->IsOpen();
    if (!result.Open && !result.SettingRefused)
        result.Message = m_port->OpenFailure();
    if (result.Open) {
        m_link = link;
        m_portLost = false;
        m_openMark = MarkDevice(device.empty() ? CSerial::DevicePath(link.PortName) : device, m_deviceRoots);
        // Whatever opened a port, a port lost earlier is no longer waited for.
        EndReconnectWait();
    }
    return result;
}

// The sender's cancel does not reach a transfer, which writes to the port itself.
uint32_t CPortSession::Close()
{
    CancelConnect();
    CancelTransfer();
    EndAsk();
    ReleaseHeldStart(0);
    m_sender->CancelAll();
    const bool wasOpen = IsOpen();
    m_port->Close();
    // The reads still on their way were dropped with the port's queue; the frames keep what was
    // read, as the line brought it.
    m_traffic.EndReads();
    m_frames.Flush();
    m_lineEvents.PortClosed();
    const uint32_t unsent = wasOpen ? m_port->UnsentAtClose() : 0;
    TakeBackUnsent(unsent);
    return unsent;
}

void CPortSession::OnLost(long code)
{
    m_portLost = true;
    const uint32_t unsent = Close();
    m_lostLink = m_link;
    m_lostMark = m_openMark;
    m_failedReturns = 0;
    m_view.SessionPortLost(code, unsent);
}

std::string CPortSession::ReturnedDevice() const
{
    return m_lostLink ? ReturnedDevicePath(m_lostMark, m_deviceRoots) : std::string();
}

void CPortSession::AwaitPort(const COM_PORT_SETTING &link, const ST_DeviceMark &mark)
{
    m_lostLink = link;
    m_lostMark = mark;
    m_failedReturns = 0;
}

void CPortSession::EndReconnectWait()
{
    m_lostLink.reset();
    m_failedReturns = 0;
}

// The owner thread only hands the item to the sender and goes on; any other thread (the engine)
// waits until its item is out, failed or cancelled, so the engine never runs ahead of the line.
CPortSession::ESend CPortSession::Send(const CCommData &item, ESendLog log,
                                       std::function<void(const ST_SendOutcome &)> onDone)
{
    if (!IsOpen())
        return ESend::NotOpen;
    if (m_transferring)
        return ESend::Transferring;
    const bool manual = std::this_thread::get_id() == m_owner;
    auto report = std::make_shared<ST_SendReport>();
    report->Item = item;
    report->Log = log;
    report->Logged = log != ESendLog::Never && m_view.LogsSends();
    report->Auto = !manual;
    ST_SendJob job;
    job.Data = item.Data();
    job.Origin = manual ? kSendManual : kSendAuto;
    job.OnBegin = [this, report] {
        report->BeganMs = m_clock.NowMs();
        report->BeganSteadyMs = SteadyNowMs();
        report->BeganFrameTime = m_frames.SendBegins();
        if (m_autoSend.AutoSendState == AUTOSEND_RUNNING)
            m_autoSend.MarkSendBegin(report->BeganMs);
    };
    job.OnWaiting = [this] { m_sendHandOver->Forward([this] { m_view.SessionSendWaiting(); }); };
    job.OnDone = [this, report, onDone = std::move(onDone)](const ST_SendOutcome &outcome) {
        if (outcome.Whole() && m_autoSend.AutoSendState == AUTOSEND_RUNNING)
            m_autoSend.MarkSendEnd(m_clock.NowMs());
        if (onDone)
            onDone(outcome);
        report->Outcome = outcome;
        m_sendHandOver->Forward([this, report] { SendDone(*report); });
    };
    ++m_sendsInFlight;
    const bool queued = manual ? m_sender->Post(std::move(job)) : m_sender->PostAndWait(std::move(job));
    if (queued)
        return ESend::Queued;
    --m_sendsInFlight;
    return ESend::Refused;
}

// Counts only what went out.
void CPortSession::SendDone(ST_SendReport &report)
{
    report.Settled = --m_sendsInFlight == 0;
    report.PortLost = m_portLost;
    const ST_SendOutcome &outcome = report.Outcome;
    if (outcome.Whole() || outcome.Written > 0) {
        m_sendBlocks += outcome.Whole() ? 1 : 0;
        m_sendBytes += outcome.Written;
        ST_Traffic sent;
        sent.Direction = ETraffic::Sent;
        sent.Data = report.Item;
        if (!outcome.Whole())
            sent.Data.SetData(Bytes(sent.Data.Data().begin(), sent.Data.Data().begin() + outcome.Written));
        sent.SteadyMs = report.BeganSteadyMs;
        sent.WallMs = report.BeganMs;
        sent.SteadyMicros = report.BeganFrameTime.count();
        sent.Source = m_link ? m_link->PortName : std::string();
        sent.AgeMs = std::max<int64_t>(0, SteadyNowMs() - report.BeganSteadyMs);
        sent.Logged = report.Logged && report.Log == ESendLog::Each;
        m_frames.Sent(report.BeganFrameTime, sent.Data.Data().data(), sent.Data.Data().size());
        m_traffic.Run(sent);
    } else {
        m_frames.Sent(report.BeganFrameTime, nullptr, 0);
    }
    m_view.SessionSendDone(report);
}

void CPortSession::SendBreak(uint32_t ms)
{
    if (!IsOpen())
        return;
    ST_SendJob job;
    job.Origin = kSendManual;
    job.OnBegin = [port = m_port.get(), ms] { port->SendBreak(ms); };
    m_sender->Post(std::move(job));
}

bool CPortSession::StartTransfer(const MakeTransfer &make, bool receiving, bool readsLine)
{
    if (!IsOpen() || m_transfer)
        return false;
    auto transfer =
        std::make_shared<Transfer>(*m_port, m_clock, receiving, readsLine, m_traffic.ReadSoFar().Run);
    transfer->Job = make(transfer->Channel);
    if (!transfer->Job)
        return false;
    // Blocks held for a frame came before the transfer.
    EndBlockHold();
    Transfer *shared = transfer.get();
    // Every report is on its way before the end's, so the owner still holds the transfer when
    // it takes one.
    shared->Job->SetProgressHandler([this, shared](const ST_TransferProgress &progress) {
        if (progress.FileBegins)
            m_sendHandOver->Forward([this, progress, receiving = shared->Receiving] {
                // A file is a block of its own, sent or received.
                if (receiving)
                    m_recBlocks += 1;
                else
                    m_sendBlocks += 1;
                CountTransferWire(progress.WireBytes);
                m_view.SessionTransferFile(progress);
            });
        bool post = false;
        {
            const std::lock_guard<std::mutex> guard(shared->Lock);
            shared->Latest = progress;
            post = !shared->Pending;
            shared->Pending = true;
        }
        if (post)
            m_sendHandOver->Forward([this] { TransferProgress(); });
    });
    ST_SendJob job;
    job.Origin = kSendManual;
    job.OnBegin = [shared] {
        {
            std::unique_lock<std::mutex> lock(shared->Lock);
            shared->Let.wait(lock, [shared] { return shared->LetRun; });
        }
        shared->Began = true;
        shared->Outcome = shared->Job->Run();
    };
    // A close may drop the job before it began: that transfer was cancelled.
    job.OnDone = [this, shared](const ST_SendOutcome &) {
        ST_TransferOutcome outcome = shared->Outcome;
        if (!shared->Began)
            outcome.End = ETransferEnd::Cancelled;
        outcome.Receiving = shared->Receiving;
        m_sendHandOver->Forward([this, outcome] { TransferDone(outcome); });
    };
    if (!m_sender->Post(std::move(job)))
        return false;
    if (!readsLine)
        ReleaseHeldStart(0);
    m_transfer = std::move(transfer);
    m_transferring = true;
    m_transferWireCounted = 0;
    m_transferRead = 0;
    ++m_sendsInFlight;
    // Its traffic takes the path from the owner thread, in the order it crossed the line.
    shared->Channel.SetTrafficHandler(
        [this] { m_sendHandOver->Forward([this] { RunTransferTraffic(false); }); });
    // The header the device started with, and all it sent since, are the engine's to read.
    // A possible header's start kept back is the transfer's too, when it reads the line.
    if (readsLine) {
        std::vector<uint8_t> held;
        m_zmodemStart.Release(&held);
        m_heldSinceMs = -1;
        m_recBytes += static_cast<int64_t>(held.size());
        shared->Channel.Feed(held.data(), held.size());
        shared->Channel.Feed(m_askedBytes.data(), m_askedBytes.size());
        // From here on the line's bytes reach the engine as they are read: an answer waits for no
        // quiet time of the line, nor for the owner thread.
        m_port->SetReadDivert(
            std::make_shared<CSerialWnd::ReadDivert>([shared = m_transfer](CReceivedBlock &block) {
                shared->Channel.Feed(block.bytes.data(), block.bytes.size(), block.beginSteadyMs,
                                     block.beginMs, true);
            }));
    }
    EndAsk();
    {
        const std::lock_guard<std::mutex> guard(shared->Lock);
        shared->LetRun = true;
    }
    shared->Let.notify_all();
    return true;
}

bool CPortSession::StartTransfer(std::vector<ST_TransferFile> files, const ST_TransferOptions &options)
{
    return StartTransfer(
        [&](ITransferChannel &channel) { return MakeSend(channel, std::move(files), options); }, false,
        options.Protocol != ETransferProtocol::Raw);
}

bool CPortSession::StartReceive(std::shared_ptr<IReceiveSink> sink, const ST_TransferOptions &options)
{
    if (!sink)
        return false;
    const bool started = StartTransfer(
        [&](ITransferChannel &channel) { return MakeReceive(channel, *sink, options.Protocol, options); },
        true, true);
    if (started)
        m_transfer->Sink = std::move(sink);
    return started;
}

bool CPortSession::TransferReceiving() const
{
    return m_transfer && m_transfer->Receiving;
}

// A transfer that reads the line tells the other end itself once it sees the cancel; but a close
// right behind the cancel would take the line first, so the last words are written here.
void CPortSession::CancelTransfer()
{
    if (!m_transfer)
        return;
    m_transfer->Job->Cancel();
    if (m_transfer->Answered)
        m_sendBytes += static_cast<int64_t>(m_transfer->Channel.WriteLast(TransferAbortBytes()));
}

void CPortSession::TransferProgress()
{
    if (!m_transfer)
        return;
    ST_TransferProgress progress;
    {
        const std::lock_guard<std::mutex> guard(m_transfer->Lock);
        progress = m_transfer->Latest;
        m_transfer->Pending = false;
    }
    CountTransferWire(progress.WireBytes);
    m_view.SessionTransferProgress(progress);
}

void CPortSession::TransferDone(const ST_TransferOutcome &outcome)
{
    CountTransferWire(outcome.WireBytes);
    m_port->SetReadDivert(nullptr);
    // What followed a finished transfer's last words (the shell's prompt) is received data again;
    // after a broken one it is the protocol's leftovers, and the transfer's.
    const bool finished = outcome.End == ETransferEnd::Done || outcome.End == ETransferEnd::Incomplete;
    if (!finished)
        m_transfer->Channel.TakeUnread();
    uint64_t unreadFromLine = 0;
    RunTransferTraffic(true, &unreadFromLine);
    std::vector<uint8_t> after = finished ? m_transfer->Channel.TakeUnread() : std::vector<uint8_t>();
    const uint64_t readRun = m_transfer->ReadRun;
    m_transfer.reset();
    m_transferring = false;
    --m_sendsInFlight;
    ST_TransferOutcome told = outcome;
    told.ReadBytes = m_transferRead;
    m_view.SessionTransferDone(told, m_portLost);
    if (after.empty())
        return;
    const bool sameReads = readRun == m_traffic.ReadSoFar().Run;
    if (!IsOpen()) {
        // Dropped with the port, but they came.
        m_recBytes += static_cast<int64_t>(unreadFromLine);
        if (sameReads)
            m_traffic.Arrived(unreadFromLine);
        return;
    }
    // Bytes the line brought before the transfer began were counted, and have arrived, already.
    m_recBytes -= static_cast<int64_t>(after.size() - unreadFromLine);
    CReceivedBlock block;
    block.bytes = std::move(after);
    block.beginMs = block.endMs = m_clock.NowMs();
    block.beginSteadyMs = SteadyNowMs();
    ReceiveBlock(block);
    if (sameReads)
        m_traffic.Arrived(unreadFromLine);
}

// Bytes the line brought since the transfer began are counted as received as they take the path;
// the rest were counted as they came.
void CPortSession::RunTransferTraffic(bool ended, uint64_t *unreadFromLine)
{
    if (!m_transfer)
        return;
    const bool sameReads = m_transfer->ReadRun == m_traffic.ReadSoFar().Run;
    for (CPortChannel::ST_Traffic &piece : m_transfer->Channel.TakeTraffic(ended, unreadFromLine)) {
        const size_t size = piece.Bytes.size();
        ST_Traffic event;
        event.Direction = piece.Sent ? ETraffic::Sent : ETraffic::Received;
        event.Data = CCommData(std::move(piece.Bytes), FMT_STRING);
        event.SteadyMs = piece.SteadyMs;
        event.WallMs = piece.WallMs;
        event.Source = m_link ? m_link->PortName : std::string();
        event.AgeMs = std::max<int64_t>(0, SteadyNowMs() - piece.SteadyMs);
        event.Transfer = true;
        event.Logged = false;
        if (!piece.Sent) {
            m_transferRead += size;
            if (piece.FromLine)
                m_recBytes += static_cast<int64_t>(size);
        }
        m_traffic.Run(event);
        if (!piece.Sent && piece.FromLine && sameReads)
            m_traffic.Arrived(size);
    }
}

// Everything the transfer wrote counts as sent, protocol bytes and resends included; what it read
// was counted as received when it came.
void CPortSession::CountTransferWire(uint64_t wireBytes)
{
    if (wireBytes <= m_transferWireCounted)
        return;
    m_sendBytes += static_cast<int64_t>(wireBytes - m_transferWireCounted);
    m_transferWireCounted = wireBytes;
}

void CPortSession::ResetCounters()
{
    m_recBytes = m_recBlocks = m_sendBytes = m_sendBlocks = 0;
    m_inboundLoss.Reset();
}

void CPortSession::OnBlock(CReceivedBlock &block)
{
    const size_t read = block.bytes.size();
    ReceiveBlock(block);
    m_traffic.Arrived(read);
}

void CPortSession::ReceiveBlock(CReceivedBlock &block)
{
    // The other end's answers are the protocol's, not data.
    if (m_transfer && m_transfer->Answered) {
        m_recBytes += static_cast<int64_t>(block.bytes.size());
        m_transfer->Channel.Feed(block.bytes.data(), block.bytes.size(), block.beginSteadyMs, block.beginMs);
        return;
    }
    if (m_asked != EZmodemStart::None) {
        m_recBytes += static_cast<int64_t>(block.bytes.size());
        // Nobody reads them until the transfer starts; a device that repeats its header meanwhile
        // needs no more than the first ones kept.
        constexpr size_t kAskedBytesKept = 64 * 1024;
        const size_t room = kAskedBytesKept - std::min(kAskedBytesKept, m_askedBytes.size());
        m_askedBytes.insert(m_askedBytes.end(), block.bytes.begin(),
                            block.bytes.begin() +
                                static_cast<std::ptrdiff_t>(std::min(room, block.bytes.size())));
        return;
    }
    if (!m_zmodemAutoStart || m_transfer) {
        ShowBlock(block);
        return;
    }
    if (m_zmodemStart.PassesWhole(block.bytes.data(), block.bytes.size())) {
        m_heldSinceMs = -1;
        ShowBlock(block);
        return;
    }
    std::vector<uint8_t> shown;
    std::vector<uint8_t> rest;
    const EZmodemStart found = m_zmodemStart.Feed(block.bytes.data(), block.bytes.size(), &shown, &rest);
    if (!m_zmodemStart.Held().empty() && m_heldSinceMs < 0) {
        m_heldSinceMs = m_clock.NowMs();
        m_view.SessionHoldsStart();
    } else if (m_zmodemStart.Held().empty())
        m_heldSinceMs = -1;
    block.bytes.swap(shown);
    if (!block.bytes.empty())
        ShowBlock(block);
    if (found == EZmodemStart::None)
        return;
    m_recBytes += static_cast<int64_t>(rest.size());
    m_asked = found;
    m_askedBytes = std::move(rest);
    m_view.SessionTransferAsked(found);
}

void CPortSession::ShowBlock(CReceivedBlock &block)
{
    const bool running = m_autoSend.AutoSendState == AUTOSEND_RUNNING;
    if (running) {
        m_autoSend.MarkRecBegin(block.beginMs);
        m_autoSend.MarkRecEnd(block.endMs);
    }
    m_recBytes += static_cast<int64_t>(block.bytes.size());
    m_recBlocks += 1;
    ST_Traffic event;
    event.Data = CCommData(std::move(block.bytes), FMT_STRING);
    event.Data.SetName(m_view.ReceivedBlockName(block.waitedMs));
    event.SteadyMs = block.beginSteadyMs;
    event.WallMs = block.beginMs;
    event.SteadyMicros = block.beginSteadyMicros;
    event.Source = m_link ? m_link->PortName : std::string();
    event.AgeMs = block.waitedMs;
    m_traffic.Run(event);
}

void CPortSession::EndAsk()
{
    m_asked = EZmodemStart::None;
    m_askedBytes.clear();
    m_askedBytes.shrink_to_fit();
}

void CPortSession::SetZmodemAutoStart(bool on)
{
    m_zmodemAutoStart = on;
    if (!on)
        ReleaseHeldStart(0);
}

bool CPortSession::ReleaseHeldStart(int64_t heldMs)
{
    if (m_zmodemStart.Held().empty() || m_clock.NowMs() - m_heldSinceMs < heldMs)
        return false;
    CReceivedBlock block;
    m_zmodemStart.Release(&block.bytes);
    m_heldSinceMs = -1;
    block.beginMs = block.endMs = m_clock.NowMs();
    block.beginSteadyMs = SteadyNowMs();
    ShowBlock(block);
    return true;
}

void CPortSession::DeclineTransfer()
{
    if (m_asked == EZmodemStart::None)
        return;
    EndAsk();
    Send(CCommData(TransferAbortBytes(), FMT_STRING), ESendLog::Never);
}

void CPortSession::HoldBlocksFor(uint32_t ms)
{
    if (m_autoSend.AutoSendState != AUTOSEND_STOPPED || m_transfer)
        ms = 0;
    // Nobody then waits for a read before the hold's end but the framing, which times each read,
    // and the tap's readers (a script's expect): without them the reads may come in paces too.
    const bool passive = !m_frames.On() && !m_traffic.HasReaders();
    m_port->HoldBlocksFor(ms, passive ? m_readPaceMs : 0);
}

bool CPortSession::TakeHeldBlocks()
{
    return m_port->TakeHeldBlocks();
}

// What a hold kept came before the run or the transfer, and goes to the view as it would have.
void CPortSession::EndBlockHold()
{
    m_port->TakeHeldBlocks();
    m_port->HoldBlocksFor(0);
}

// Line errors and a listener held by a full queue are counted before the view hears of them.
void CPortSession::OnEvent(uint32_t eventWord, const ST_LineCounters &errorCounts)
{
    const uint32_t errors = eventWord >> 16;
    const bool lineLoss = (errors & (CE_OVERRUN | CE_FRAME | CE_RXPARITY | CE_RXOVER)) != 0;
    if (lineLoss)
        m_inboundLoss.AddLineErrors(errors, errorCounts);
    if (eventWord & EV_RX80FULL)
        m_inboundLoss.AddReadingHeld(CSerialWnd::kQueuedBytesLimit);
    RecordLineErrors(errors, errorCounts);
    m_view.SessionEvent(eventWord, lineLoss || (eventWord & EV_RX80FULL) != 0);
}

void CPortSession::RecordLineErrors(uint32_t errors, const ST_LineCounters &counts)
{
    ST_LineEvent seen;
    seen.SteadyMicros = m_port->EventSteadyMicros();
    if (seen.SteadyMicros == 0)
        seen.SteadyMicros = CSessionFrames::Now().count();
    seen.Before = seen.After = m_lineEvents.Lines();
    for (const ST_LineEvent &event : LineErrorsSeen(errors, counts, seen))
        m_lineEvents.Add(event);
}

void CPortSession::ModemLinesSeen(const ST_ModemLines &lines)
{
    const std::optional<ST_LineEvent> event =
        m_lineEvents.LinesSeen(LineEventBits(lines), CSessionFrames::Now().count());
    if (event)
        m_traffic.AfterRead(m_traffic.ReadSoFar(), [this, changed = *event] { m_lineEvents.Add(changed); });
}

void CPortSession::StartAutoSend()
{
    if (m_autoSend.AutoSendState != AUTOSEND_STOPPED)
        return;
    EndBlockHold();
    // The previous run's threads have ended before this run's state is set up, so none of them
    // can take the new run's Begin.
    m_engine->Stop();
    m_autoSend.ResetMarks(m_clock.NowMs());
    m_autoSend.SetState(AUTOSEND_RUNNING);
    m_autoSend.PushAction(ACTION_BEGIN);
    m_engine->Start();
}

void CPortSession::PauseAutoSend()
{
    switch (m_autoSend.AutoSendState.load()) {
    case AUTOSEND_RUNNING:
        m_autoSend.SetState(AUTOSEND_PAUSED);
        m_autoSend.PushAction(ACTION_PAUSE);
        break;
    case AUTOSEND_PAUSED:
        m_autoSend.SetState(AUTOSEND_RUNNING);
        m_autoSend.PushAction(ACTION_RESUME);
        break;
    default:
        break;
    }
}

// The run's Stop action is not queued: the run it would be meant for has ended before it could
// take it, and the next run must not find it. The engine's send write is cancelled first, so the
// threads are joined without waiting for the line; sends still pending are dropped with the run.
void CPortSession::StopAutoSend()
{
    m_autoSend.SetState(AUTOSEND_STOPPED);
    m_sender->Cancel(kSendAuto, true);
    m_engine->Stop();
    m_sender->Allow(kSendAuto);
}
