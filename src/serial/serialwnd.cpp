#include "serial/serialwnd.h"

#include "platform/clock.h"

#include <algorithm>
#include <optional>

namespace {

// One read takes what a fast line brings in a while; what is left brings another event at once.
constexpr size_t kReadBuffer = 64 * 1024;
// A terminal hands over at most its line discipline's buffer (4 KiB) a read. A read that found
// this much means the line outpaces the wake-ups and the driver most likely holds more, which a
// read takes at once without another wait; a few such reads, so that line events and a stop are
// still looked at in a flood that never pauses.
constexpr uint32_t kFloodRead = 2048;
constexpr int kFloodReads = 16;
// A pace gathers at most about this much in the driver: three quarters of what a terminal hands
// a read. Held back longer, a faster line would fill the line discipline's buffer and stall the
// sender, and a flood would be read a buffer per pace.
constexpr uint64_t kPacedReadMost = 3072;

} // namespace

struct CSerialWnd::Inbox
{
    struct Item
    {
        enum Kind : uint8_t { Block, Event, Lost } kind = Block;
        CReceivedBlock block;
        uint16_t events = 0;
        uint16_t errors = 0;
        ST_LineCounters errorCounts;
        int64_t eventMicros = 0;
        long code = 0;
        CBlockFormer::Clock::time_point queuedAt;
    };

    void Push(const std::shared_ptr<Inbox> &self, Item item)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (closed)
                return;
            if (item.kind == Item::Block && divert) {
                (*divert)(item.block);
                return;
            }
            bound.Added(item.block.bytes.size());
            item.queuedAt = CBlockFormer::Clock::now();
            const bool hold =
                item.kind == Item::Block && bound.Queued() < kHeldBytesLimit && item.queuedAt < holdUntil;
            items.push_back(std::move(item));
            if (posted)
                return;
            if (hold) {
                held = true;
                return;
            }
            held = false;
            posted = true;
        }
        Post(self);
    }
    // Hands over what a hold kept once its time has come (`now` at or past holdUntil).
    void PostHeld(const std::shared_ptr<Inbox> &self, CBlockFormer::Clock::time_point now)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (!held || posted || now < holdUntil)
                return;
            held = false;
            posted = true;
        }
        Post(self);
    }
    // Takes the hold's blocks on the owner thread at once; false when none wait for it.
    bool TakeHeld()
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!held || posted)
            return false;
        held = false;
        posted = true;
        return true;
    }
    std::optional<CBlockFormer::Clock::time_point> HeldUntil()
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!held || posted)
            return std::nullopt;
        return holdUntil;
    }
    // The end of the pace after a read at `readAt`, while the hold paces reads. A pace pays only
    // while bytes come more often than it lasts (`spacing`, the reads' usual distance, is a pace
    // and a little more then): a slower stream would wake the listener at the pace's end and
    // again at the next arrival.
    std::optional<CBlockFormer::Clock::time_point> PaceEnd(CBlockFormer::Clock::time_point readAt,
                                                           std::chrono::microseconds spacing)
    {
        const std::lock_guard<std::mutex> guard(lock);
        const auto pace = std::chrono::milliseconds(paceMs);
        if (paceMs == 0 || divert || closed || spacing > pace + std::chrono::milliseconds(1))
            return std::nullopt;
        return std::min(readAt + pace, holdUntil);
    }
    void Post(const std::shared_ptr<Inbox> &self)
    {
        if (!handOver->Forward([self] { Drain(self); })) {
            const std::lock_guard<std::mutex> guard(lock);
            posted = false;
        }
    }

    CHandOver *handOver = nullptr;
    BlockHandler onBlock;
    std::shared_ptr<EventHandler> onEvent;
    std::shared_ptr<LostHandler> onLost;
    // Called on the listener before each read: false when the listener is to stop. Reading goes
    // on as soon as there is room, so the driver's buffer overflows no sooner than it must.
    bool WaitForRoom(const std::shared_ptr<Inbox> &self, bool tell)
    {
        std::function<void()> tellHold;
        if (tell)
            tellHold = [this, &self] {
                Item item;
                item.kind = Item::Event;
                item.events = EV_RX80FULL;
                Push(self, std::move(item));
            };
        return bound.WaitForRoom(tellHold);
    }

    // Its own lock is taken inside `lock`, never around it.
    CHandOverBound bound{kQueuedBytesLimit};
    std::mutex lock;
    std::deque<Item> items;
    bool posted = false; // a drain is on its way to the owner thread
    bool held = false;   // blocks wait for holdUntil, and nothing is posted for them yet
    CBlockFormer::Clock::time_point holdUntil;
    uint32_t paceMs = 0; // the hold's
    bool closed = false;
    std::shared_ptr<ReadDivert> divert; // under `lock`, and called under it
    // The time of the event being handed over, for CSerialWnd::EventSteadyMicros.
    std::shared_ptr<int64_t> eventMicros = std::make_shared<int64_t>(0);
};

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
    return OpenWith(port, handOver, nullptr, std::move(onEvent), std::move(onLost), inQueue, outQueue);
}

long CSerialWnd::Open(const std::string &port, CHandOver *handOver, BlockHandler onBlock,
                      EventHandler onEvent, LostHandler onLost, long inQueue, long outQueue)
{
    if (!onBlock && !IsOpen())
        return SetLastError(E_INVALIDARG);
    auto inbox = std::make_shared<Inbox>();
    inbox->handOver = handOver;
    inbox->onBlock = std::move(onBlock);
    return OpenWith(port, handOver, std::move(inbox), std::move(onEvent), std::move(onLost), inQueue,
                    outQueue);
}

long CSerialWnd::OpenWith(const std::string &port, CHandOver *handOver, std::shared_ptr<Inbox> inbox,
                          EventHandler onEvent, LostHandler onLost, long inQueue, long outQueue)
{
    if (handOver == nullptr && !IsOpen())
        return SetLastError(E_INVALIDARG);
    const long rc = CSerialEx::Open(port, inQueue, outQueue, false);
    if (rc != 0)
        return rc;
    {
        const std::lock_guard<std::mutex> guard(m_targetLock);
        m_handOver = handOver;
        m_inbox = std::move(inbox);
        m_onEvent = std::make_shared<EventHandler>(std::move(onEvent));
        m_onLost = std::make_shared<LostHandler>(std::move(onLost));
        if (m_inbox) {
            m_inbox->onEvent = m_onEvent;
            m_inbox->onLost = m_onLost;
            m_eventMicros = m_inbox->eventMicros;
        }
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
    const std::lock_guard<std::mutex> guard(m_targetLock);
    if (m_inbox) {
        // The listener has ended, so nothing joins the queue any more; a drain already on its way
        // finds it closed.
        const std::lock_guard<std::mutex> inner(m_inbox->lock);
        m_inbox->closed = true;
        m_inbox->divert.reset();
        m_inbox->items.clear();
        m_inbox->bound.Clear();
        m_inbox->bound.SetStopping(true);
    }
    m_inbox.reset();
    m_handOver = nullptr;
    m_onEvent.reset();
    m_onLost.reset();
    return rc;
}

bool CSerialWnd::ReadingHeld()
{
    const std::lock_guard<std::mutex> guard(m_targetLock);
    if (!m_inbox)
        return false;
    return m_inbox->bound.Waiting();
}

void CSerialWnd::OnListenerStarting()
{
    const std::lock_guard<std::mutex> guard(m_targetLock);
    if (m_handOver != nullptr)
        m_handOver->Resume();
    m_former = CBlockFormer();
    m_lastReadAt.reset();
    m_readSpacing = CBlockFormer::kBudget;
    m_readSize = 0;
    if (m_inbox) {
        m_inbox->bound.SetStopping(false);
        if (m_readBuffer.size() != kReadBuffer)
            m_readBuffer.resize(kReadBuffer);
    }
}

void CSerialWnd::OnListenerStopping()
{
    // The closer may be the very thread the listener is waiting for; cancelling lets the listener
    // go without its delivery, so the closer's wait for it ends.
    const std::lock_guard<std::mutex> guard(m_targetLock);
    if (m_handOver != nullptr)
        m_handOver->Cancel();
    if (m_inbox)
        m_inbox->bound.SetStopping(true);
}

void CSerialWnd::OnEvent(uint16_t events, uint16_t errors)
{
    CHandOver *handOver = nullptr;
    std::shared_ptr<EventHandler> handler;
    bool blocks = false;
    {
        const std::lock_guard<std::mutex> guard(m_targetLock);
        handOver = m_handOver;
        handler = m_onEvent;
        blocks = m_inbox != nullptr;
    }
    // The counts behind the bits; a count that grew since ClearCommErrors has its bit added.
    const ST_LineCounters counts = TakeLineErrorCounts();
    errors |= static_cast<uint16_t>(LineErrorBits(ST_LineCounters(), counts));
    if (blocks) {
        ReadBlocks(events, errors, counts);
        return;
    }
    if (handOver == nullptr || handler == nullptr || !*handler || Stopping())
        return;
    handOver->Deliver([handler, events, errors, counts] { (*handler)(events, errors, counts); });
}

void CSerialWnd::OnPortLost(long code)
{
    CHandOver *handOver = nullptr;
    std::shared_ptr<LostHandler> handler;
    std::shared_ptr<Inbox> inbox;
    {
        const std::lock_guard<std::mutex> guard(m_targetLock);
        handOver = m_handOver;
        handler = m_onLost;
        inbox = m_inbox;
    }
    if (inbox) {
        // What was read before the loss still goes out first, as whole blocks.
        m_former.Expire(CBlockFormer::Clock::time_point::max());
        QueueFinished(inbox);
        if (handler != nullptr && *handler && !Stopping()) {
            Inbox::Item item;
            item.kind = Inbox::Item::Lost;
            item.code = code;
            inbox->Push(inbox, std::move(item));
        }
        return;
    }
    if (handOver == nullptr || handler == nullptr || !*handler || Stopping())
        return;
    handOver->Deliver([handler, code] { (*handler)(code); });
}

std::shared_ptr<CSerialWnd::Inbox> CSerialWnd::CurrentInbox()
{
    const std::lock_guard<std::mutex> guard(m_targetLock);
    return m_inbox;
}

uint32_t CSerialWnd::NextWaitMs()
{
    std::optional<CBlockFormer::Clock::time_point> deadline = m_former.Deadline();
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    if (inbox) {
        if (const auto held = inbox->HeldUntil(); held && (!deadline || *held < *deadline))
            deadline = held;
    }
    if (!deadline)
        return INFINITE;
    const auto left = *deadline - CBlockFormer::Clock::now();
    if (left <= left.zero())
        return 0;
    // Rounded up: waking early would only mean another wait.
    return static_cast<uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

uint32_t ReadPauseMs(const ST_ReadPace &pace, CBlockFormer::Clock::time_point now)
{
    if (!pace.PaceEnd)
        return 0;
    CBlockFormer::Clock::time_point end = *pace.PaceEnd;
    // No longer than the line takes, at the rate of late, to bring what a read can still take
    // whole: a flood is read at once.
    if (pace.ReadSize > 0)
        end = std::min(end, pace.LastRead + pace.Spacing * static_cast<int64_t>(kPacedReadMost) /
                                                static_cast<int64_t>(pace.ReadSize));
    // Bytes held back past the block's own deadline would be cut off from it: the line is read
    // before then, with room for the rounding up in the wait. A gap's deadline lies a
    // whole gap after the last read, beyond a pace.
    if (pace.BlockDeadline)
        end = std::min(end, *pace.BlockDeadline - std::chrono::milliseconds(2));
    // Rounded down: a pause rounded up to a whole millisecond would hold a flood's every read.
    const auto left = end - now;
    if (left <= left.zero())
        return 0;
    return static_cast<uint32_t>(std::chrono::floor<std::chrono::milliseconds>(left).count());
}

uint32_t CSerialWnd::NextDataPauseMs()
{
    if (!m_lastReadAt)
        return 0;
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    ST_ReadPace pace;
    pace.LastRead = *m_lastReadAt;
    pace.Spacing = m_readSpacing;
    pace.ReadSize = m_readSize;
    pace.PaceEnd = inbox ? inbox->PaceEnd(*m_lastReadAt, m_readSpacing) : std::nullopt;
    pace.BlockDeadline = m_former.Deadline();
    return ReadPauseMs(pace, CBlockFormer::Clock::now());
}

void CSerialWnd::OnWaitExpired()
{
    m_former.Expire(CBlockFormer::Clock::now());
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    if (inbox) {
        QueueFinished(inbox);
        inbox->PostHeld(inbox, CBlockFormer::Clock::now());
    }
}

void CSerialWnd::HoldBlocksFor(uint32_t ms, uint32_t paceMs)
{
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    if (!inbox)
        return;
    const auto now = CBlockFormer::Clock::now();
    {
        // A hold made longer is seen by the listener at the end of its current wait; one made
        // shorter or ended hands over at once what it kept.
        const std::lock_guard<std::mutex> guard(inbox->lock);
        const auto until = now + std::chrono::milliseconds(ms);
        const bool sooner = until < inbox->holdUntil;
        inbox->holdUntil = until;
        inbox->paceMs = ms == 0 ? 0 : paceMs;
        if (!sooner)
            return;
    }
    inbox->PostHeld(inbox, CBlockFormer::Clock::time_point::max());
}

bool CSerialWnd::TakeHeldBlocks()
{
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    if (!inbox || !inbox->TakeHeld())
        return false;
    Drain(inbox);
    return true;
}

void CSerialWnd::SetReadTap(std::shared_ptr<ReadTap> tap)
{
    const std::lock_guard<std::mutex> guard(m_targetLock);
    m_readTap = std::move(tap);
}

void CSerialWnd::SetReadDivert(std::shared_ptr<ReadDivert> divert)
{
    const std::shared_ptr<Inbox> inbox = CurrentInbox();
    if (!inbox)
        return;
    const std::lock_guard<std::mutex> guard(inbox->lock);
    if (inbox->closed)
        return;
    inbox->divert = std::move(divert);
    if (!inbox->divert)
        return;
    // Blocks queued before are older than anything the listener reads from now on; events stay
    // where they are.
    std::deque<Inbox::Item> kept;
    for (Inbox::Item &item : inbox->items) {
        if (item.kind != Inbox::Item::Block) {
            kept.push_back(std::move(item));
            continue;
        }
        inbox->bound.Taken(item.block.bytes.size());
        (*inbox->divert)(item.block);
    }
    inbox->items.swap(kept);
}

bool CSerialWnd::DivertRead(const std::shared_ptr<Inbox> &inbox, const uint8_t *data, size_t size)
{
    const std::lock_guard<std::mutex> guard(inbox->lock);
    if (!inbox->divert || inbox->closed)
        return false;
    // The block still forming (a divert set while it grew) came before this read.
    m_former.Feed(data, size, CBlockFormer::Clock::now());
    m_former.Expire(CBlockFormer::Clock::time_point::max());
    for (CReceivedBlock &block : TakeFinished())
        (*inbox->divert)(block);
    return true;
}

void CSerialWnd::ReadBlocks(uint16_t events, uint16_t errors, const ST_LineCounters &errorCounts)
{
    std::shared_ptr<Inbox> inbox;
    std::shared_ptr<EventHandler> handler;
    std::shared_ptr<ReadTap> tap;
    {
        const std::lock_guard<std::mutex> guard(m_targetLock);
        inbox = m_inbox;
        handler = m_onEvent;
        tap = m_readTap;
    }
    if (!inbox)
        return;
    const bool tell = handler != nullptr && *handler;
    if (events & EV_RXCHAR) {
        // Blocks are queued after every read and the bound is looked at before the next, so it
        // holds however long the line keeps the reads full.
        for (int reads = 1;; ++reads) {
            if (!inbox->WaitForRoom(inbox, tell))
                return;
            uint32_t got = 0;
            Read(m_readBuffer.data(), static_cast<long>(m_readBuffer.size()), &got, 0);
            if (got > 0) {
                // Taken before the tap, whose readers stamp the read too: a block never begins
                // after what its first read's readers were told.
                const CBlockFormer::Clock::time_point readAt = CBlockFormer::Clock::now();
                // Averaged over the last few reads, so that two lines that came close once do
                // not start a pace; a quiet while counts as the longest spacing that matters.
                constexpr std::chrono::microseconds kLongest = CBlockFormer::kBudget;
                const auto spacing =
                    m_lastReadAt
                        ? std::min<std::chrono::microseconds>(
                              std::chrono::duration_cast<std::chrono::microseconds>(readAt - *m_lastReadAt),
                              kLongest)
                        : kLongest;
                m_readSpacing = (3 * m_readSpacing + spacing) / 4;
                m_readSize = (3 * m_readSize + got) / 4;
                m_lastReadAt = readAt;
                if (tap && *tap)
                    (*tap)(m_readBuffer.data(), got);
                if (!DivertRead(inbox, m_readBuffer.data(), got))
                    m_former.Feed(m_readBuffer.data(), got, readAt);
            }
            QueueFinished(inbox);
            if (got < m_readBuffer.size() && (got < kFloodRead || reads >= kFloodReads))
                break;
        }
    }
    QueueFinished(inbox);
    inbox->PostHeld(inbox, CBlockFormer::Clock::now());
    // Breaks, line errors and modem changes follow the blocks finished before them.
    const uint16_t others = static_cast<uint16_t>(events & ~EV_RXCHAR);
    if ((others != 0 || errors != 0) && tell && !Stopping()) {
        // What came before the event is a block of its own: a capture then tells the event
        // between the bytes in the order the line brought them.
        m_former.Expire(CBlockFormer::Clock::time_point::max());
        QueueFinished(inbox);
        Inbox::Item item;
        item.eventMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                               CBlockFormer::Clock::now().time_since_epoch())
                               .count();
        item.kind = Inbox::Item::Event;
        item.events = others;
        item.errors = errors;
        item.errorCounts = errorCounts;
        inbox->Push(inbox, std::move(item));
    }
}

void CSerialWnd::QueueFinished(const std::shared_ptr<Inbox> &inbox)
{
    // Looked at first: an empty deque still costs its first allocations, at every wake-up.
    if (m_former.Finished().empty())
        return;
    for (CReceivedBlock &block : TakeFinished()) {
        Inbox::Item item;
        item.block = std::move(block);
        inbox->Push(inbox, std::move(item));
    }
}

std::deque<CReceivedBlock> CSerialWnd::TakeFinished()
{
    std::deque<CBlockFormer::Block> &finished = m_former.Finished();
    std::deque<CReceivedBlock> blocks;
    if (finished.empty())
        return blocks;
    // Block times move to the rules' clock through one offset, so they keep their order.
    const int64_t offset =
        CSystemClock::Instance().NowMs() -
        std::chrono::duration_cast<std::chrono::milliseconds>(CBlockFormer::Clock::now().time_since_epoch())
            .count();
    auto toMs = [offset](CBlockFormer::Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() + offset;
    };
    while (!finished.empty()) {
        CReceivedBlock block;
        block.bytes = std::move(finished.front().bytes);
        block.beginMs = toMs(finished.front().begin);
        block.endMs = toMs(finished.front().end);
        block.beginSteadyMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(finished.front().begin.time_since_epoch())
                .count();
        block.beginSteadyMicros =
            std::chrono::duration_cast<std::chrono::microseconds>(finished.front().begin.time_since_epoch())
                .count();
        finished.pop_front();
        blocks.push_back(std::move(block));
    }
    return blocks;
}

void CSerialWnd::Drain(const std::shared_ptr<Inbox> &inbox)
{
    // Only what had queued when this drain began, and no longer than a slice: a flood that never
    // lets the queue run dry, or a reader slower than the line (the console's emulator), still
    // leaves the owner thread's other events their turn. Items are taken one at a time, so a
    // handler that runs a nested event loop (a message box) keeps them in order.
    size_t budget = 0;
    {
        const std::lock_guard<std::mutex> guard(inbox->lock);
        budget = inbox->items.size();
    }
    const auto sliceEnd = CBlockFormer::Clock::now() + kDrainSlice;
    for (;;) {
        Inbox::Item item;
        {
            const std::lock_guard<std::mutex> guard(inbox->lock);
            if (inbox->closed || inbox->items.empty()) {
                inbox->posted = false;
                return;
            }
            if (budget == 0 || CBlockFormer::Clock::now() >= sliceEnd)
                break;
            --budget;
            item = std::move(inbox->items.front());
            inbox->items.pop_front();
            inbox->bound.Taken(item.block.bytes.size());
        }
        switch (item.kind) {
        case Inbox::Item::Block:
            item.block.waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      CBlockFormer::Clock::now() - item.queuedAt)
                                      .count();
            inbox->onBlock(item.block);
            break;
        case Inbox::Item::Event:
            if (inbox->onEvent && *inbox->onEvent) {
                *inbox->eventMicros = item.eventMicros;
                (*inbox->onEvent)(item.events, item.errors, item.errorCounts);
                *inbox->eventMicros = 0;
            }
            break;
        case Inbox::Item::Lost:
            if (inbox->onLost && *inbox->onLost)
                (*inbox->onLost)(item.code);
            break;
        }
    }
    inbox->Post(inbox);
}
