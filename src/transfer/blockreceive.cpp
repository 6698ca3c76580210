#include "transfer/blockreceive.h"
#include "transfer/transferline.h"

#include "transfer/receivefolder.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <stdexcept>

using namespace transferline;

namespace {

// Asks with 'C' before a sender that has not answered is taken for one that knows only NAK.
constexpr int kCrcAsks = 3;
// How often the receiver asks while the sender has not begun: a first ask often goes to a shell
// that has not started the sender yet.
constexpr uint32_t kAskIntervalMs = 3000;
// After a broken block the rest of it is let go by until the line is this long quiet, so the
// sender's repeat is read from its start.
constexpr uint32_t kQuietMs = 1000;

// Digits in `base` from `*at`, after any spaces; false when there are none or the value does
// not fit.
bool Number(const uint8_t *data, size_t size, size_t *at, unsigned base, uint64_t *value)
{
    while (*at < size && data[*at] == ' ')
        ++*at;
    uint64_t result = 0;
    size_t digits = 0;
    for (; *at < size; ++*at, ++digits) {
        const uint8_t c = data[*at];
        if (c < '0' || c >= '0' + base)
            break;
        const unsigned digit = c - '0';
        if (result > (std::numeric_limits<uint64_t>::max() - digit) / base)
            return false;
        result = result * base + digit;
    }
    *value = result;
    return digits > 0;
}

} // namespace

ST_BlockZero ParseBlockZero(const uint8_t *data, size_t size)
{
    ST_BlockZero zero;
    const size_t nameEnd = static_cast<size_t>(std::find(data, data + size, 0) - data);
    if (nameEnd == 0) {
        zero.BatchEnd = true;
        return zero;
    }
    zero.File.Name.assign(reinterpret_cast<const char *>(data), nameEnd);
    const size_t infoEnd =
        nameEnd < size ? static_cast<size_t>(std::find(data + nameEnd + 1, data + size, 0) - data) : size;
    size_t at = nameEnd + 1;
    uint64_t value = 0;
    if (at >= infoEnd || !Number(data, infoEnd, &at, 10, &value))
        return zero;
    zero.File.Size = value;
    zero.File.SizeKnown = true;
    if (!Number(data, infoEnd, &at, 8, &value) ||
        value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return zero;
    // A time of 0 is how senders say they have none.
    zero.File.ModifiedTime = static_cast<int64_t>(value);
    zero.File.TimeKnown = value != 0;
    if (Number(data, infoEnd, &at, 8, &value) && value <= std::numeric_limits<uint32_t>::max())
        zero.File.Mode = static_cast<uint32_t>(value);
    return zero;
}

CBlockReceive::CBlockReceive(ITransferChannel &channel, IReceiveSink &sink, ETransferProtocol protocol,
                             const ST_TransferOptions &options)
    : m_channel(channel), m_sink(sink), m_protocol(protocol), m_options(options)
{
    if (protocol != ETransferProtocol::Xmodem && protocol != ETransferProtocol::Xmodem1K &&
        protocol != ETransferProtocol::Ymodem)
        throw std::invalid_argument("XMODEM and YMODEM only");
}

void CBlockReceive::Cancel()
{
    m_cancel.store(true);
    m_channel.Wake();
}

ST_TransferOutcome CBlockReceive::Run()
{
    Failure failure;
    const auto fail = [this](const Failure &how) {
        if (how.End != ETransferEnd::SenderCancelled && how.End != ETransferEnd::WriteFailed)
            SendCancel();
        return Ended(how);
    };
    if (m_cancel)
        return fail({ETransferEnd::Cancelled, 0, {}});
    if (m_protocol != ETransferProtocol::Ymodem) {
        EFrame first = EFrame::TimedOut;
        if (!AwaitFirst(1, &first, &failure) || !ReceiveFile(first, &failure))
            return fail(failure);
        return Ended(failure);
    }
    for (;;) {
        EFrame first = EFrame::TimedOut;
        if (!AwaitFirst(0, &first, &failure))
            return fail(failure);
        const ST_BlockZero zero = ParseBlockZero(m_block.data(), m_block.size());
        if (zero.BatchEnd)
            return Send(ACK, &failure) ? Ended(failure) : fail(failure);
        if (!OpenFile(zero.File, &failure) || !Send(ACK, &failure) ||
            !Send(m_useCrc ? CRC_REQUEST : NAK, &failure))
            return fail(failure);
        if (!ReceiveFile(ReadFrame(m_options.AnswerTimeoutMs), &failure))
            return fail(failure);
    }
}

ST_TransferOutcome CBlockReceive::Ended(const Failure &how)
{
    if (how.End != ETransferEnd::Done && m_fileOpen) {
        m_sink.Abandon(false);
        m_fileOpen = false;
    }
    ST_TransferOutcome outcome;
    outcome.End = how.End == ETransferEnd::Done && m_incomplete ? ETransferEnd::Incomplete : how.End;
    outcome.Code = how.Code;
    outcome.FilesDone = m_filesDone;
    outcome.WireBytes = m_wire;
    outcome.Detail = how.End == ETransferEnd::Done ? m_detail : how.Detail;
    outcome.Receiving = true;
    return outcome;
}

// ---- The line ----

bool CBlockReceive::Take(uint8_t *data, size_t count, Clock::time_point deadline, EInput *how)
{
    uint8_t chunk[1100];
    size_t got = 0;
    while (got < count) {
        if (m_cancel) {
            *how = EInput::Cancelled;
            return false;
        }
        if (m_rxHead < m_rx.size()) {
            const size_t n = std::min(count - got, m_rx.size() - m_rxHead);
            std::copy_n(m_rx.begin() + static_cast<std::ptrdiff_t>(m_rxHead), n, data + got);
            m_rxHead += n;
            got += n;
            continue;
        }
        const size_t n = m_channel.Read(chunk, sizeof chunk, MsLeft(deadline));
        if (m_cancel) {
            *how = EInput::Cancelled;
            return false;
        }
        if (n == 0) {
            *how = EInput::TimedOut;
            return false;
        }
        m_rx.assign(chunk, chunk + n);
        m_rxHead = 0;
    }
    *how = EInput::Byte;
    return true;
}

void CBlockReceive::Purge()
{
    m_rx.clear();
    m_rxHead = 0;
    const Clock::time_point deadline = After(m_options.AnswerTimeoutMs);
    uint8_t chunk[256];
    while (!m_cancel && MsLeft(deadline) > 0) {
        const size_t n = m_channel.Read(chunk, sizeof chunk, std::min(kQuietMs, MsLeft(deadline)));
        if (n == 0)
            break;
    }
}

bool CBlockReceive::Send(uint8_t byte, Failure *failure)
{
    size_t written = 0;
    const long rc = m_channel.Write(&byte, 1, m_options.AnswerTimeoutMs, &written);
    m_wire += written;
    if (rc == 0)
        return true;
    *failure = {ETransferEnd::WriteFailed, rc, {}};
    return false;
}

void CBlockReceive::SendCancel()
{
    const std::vector<uint8_t> bytes = AbortBytes();
    size_t written = 0;
    m_channel.Write(bytes.data(), bytes.size(), m_options.AnswerTimeoutMs, &written);
    m_wire += written;
}

// A block is taken into m_block and m_number whole and checked; whatever the sender writes
// between blocks (its messages, noise) is passed over. A lone CAN is passed over too, only two
// in a row cancel.
CBlockReceive::EFrame CBlockReceive::ReadFrame(uint32_t timeoutMs)
{
    const Clock::time_point deadline = After(timeoutMs);
    EInput how = EInput::Byte;
    uint8_t start = 0;
    for (;;) {
        if (!Take(&start, 1, deadline, &how))
            return how == EInput::Cancelled ? EFrame::Cancelled : EFrame::TimedOut;
        if (start == SOH || start == STX)
            break;
        if (start == EOT)
            return EFrame::EndOfFile;
        if (start == CAN) {
            uint8_t next = 0;
            if (!Take(&next, 1, deadline, &how))
                return how == EInput::Cancelled ? EFrame::Cancelled : EFrame::TimedOut;
            if (next == CAN)
                return EFrame::SenderCancel;
            --m_rxHead; // it may start a block
        }
        if (MsLeft(deadline) == 0)
            return EFrame::TimedOut;
    }
    const size_t length = start == STX ? kLongBlock : kShortBlock;
    const size_t checkSize = m_useCrc ? 2 : 1;
    uint8_t frame[2 + kLongBlock + 2];
    if (!Take(frame, 2 + length + checkSize, After(m_options.AnswerTimeoutMs), &how))
        return how == EInput::Cancelled ? EFrame::Cancelled : EFrame::Bad;
    if (static_cast<uint8_t>(frame[0] ^ frame[1]) != 0xFF)
        return EFrame::Bad;
    const uint8_t *data = frame + 2;
    const uint8_t *check = data + length;
    if (m_useCrc) {
        if (m_crc16.Compute(data, length) != (static_cast<uint32_t>(check[0]) << 8 | check[1]))
            return EFrame::Bad;
    } else {
        uint8_t sum = 0;
        for (size_t i = 0; i < length; ++i)
            sum = static_cast<uint8_t>(sum + data[i]);
        if (sum != check[0])
            return EFrame::Bad;
    }
    m_number = frame[0];
    m_block.assign(data, data + length);
    return EFrame::Block;
}

// ---- The protocol ----

// Asks for the block numbered `wanted` (XMODEM's first data block, or a YMODEM block 0) until the
// sender begins or the start time is over; `*first` is the frame it began with. The first
// file of a receive asks with 'C' and falls back to NAK; later files ask as the first was sent.
bool CBlockReceive::AwaitFirst(uint8_t wanted, EFrame *first, Failure *failure)
{
    const Clock::time_point deadline = After(m_options.StartTimeoutMs);
    const uint32_t interval = std::min(kAskIntervalMs, m_options.AnswerTimeoutMs);
    const bool mayFallBack = m_filesDone == 0;
    int asks = 0, errors = 0;
    for (;;) {
        if (mayFallBack && asks >= kCrcAsks)
            m_useCrc = false;
        if (!Send(m_useCrc ? CRC_REQUEST : NAK, failure))
            return false;
        ++asks;
        const Clock::time_point askAgain = std::min(deadline, After(interval));
        bool answered = false;
        while (!answered) {
            switch (ReadFrame(MsLeft(askAgain))) {
            case EFrame::Block:
                if (m_number == wanted) {
                    *first = EFrame::Block;
                    return true;
                }
                answered = true;
                ++errors;
                Purge();
                break;
            case EFrame::EndOfFile:
                if (wanted == 1) { // XMODEM: a file with no block
                    *first = EFrame::EndOfFile;
                    return true;
                }
                // The last file's end again: our answer to it was lost.
                if (!Send(ACK, failure))
                    return false;
                break;
            case EFrame::Bad:
                answered = true;
                ++errors;
                Purge();
                break;
            case EFrame::TimedOut:
                answered = true;
                break;
            case EFrame::SenderCancel:
                *failure = {ETransferEnd::SenderCancelled, 0, {}};
                return false;
            case EFrame::Cancelled:
                *failure = {ETransferEnd::Cancelled, 0, {}};
                return false;
            }
        }
        if (errors >= std::max(1, m_options.Tries)) {
            *failure = {ETransferEnd::TooManyErrors, 0, {}};
            return false;
        }
        if (MsLeft(deadline) == 0) {
            *failure = {ETransferEnd::NoAnswer, 0, {}};
            return false;
        }
    }
}

// The blocks of one file from `frame` on, to its end: the first EOT is refused, as noise may
// look like one, and the sender's repeat of it taken. A repeated block (our ACK was lost) is
// acknowledged again and dropped.
bool CBlockReceive::ReceiveFile(EFrame frame, Failure *failure)
{
    const bool batch = m_protocol == ETransferProtocol::Ymodem;
    uint8_t expected = 1;
    bool endSeen = false, lastTimedOut = false, anyBlock = false;
    int errors = 0;
    for (;;) {
        uint8_t answer = NAK;
        bool error = false;
        switch (frame) {
        case EFrame::Block:
            endSeen = false;
            if (m_number == expected) {
                if (!Deliver(m_block.data(), m_block.size(), failure))
                    return false;
                anyBlock = true;
                ++expected;
                errors = 0;
                answer = ACK;
            } else if (m_number == static_cast<uint8_t>(expected - 1)) {
                answer = ACK;
                // A block 0 again: its sender waits for the data to be asked for as well.
                if (batch && !anyBlock) {
                    if (!Send(ACK, failure))
                        return false;
                    answer = m_useCrc ? CRC_REQUEST : NAK;
                }
            } else {
                error = true;
                Purge();
            }
            break;
        case EFrame::EndOfFile:
            if (!endSeen) {
                endSeen = true;
                break;
            }
            if (!FinishFile(failure))
                return false;
            return Send(ACK, failure);
        case EFrame::Bad:
            error = true;
            Purge();
            break;
        case EFrame::TimedOut:
            error = true;
            if (batch && !anyBlock && !endSeen)
                answer = m_useCrc ? CRC_REQUEST : NAK;
            break;
        case EFrame::SenderCancel:
            *failure = {ETransferEnd::SenderCancelled, 0, {}};
            return false;
        case EFrame::Cancelled:
            *failure = {ETransferEnd::Cancelled, 0, {}};
            return false;
        }
        if (error) {
            lastTimedOut = frame == EFrame::TimedOut;
            if (++errors >= std::max(1, m_options.Tries)) {
                *failure = {lastTimedOut ? ETransferEnd::NoAnswer : ETransferEnd::TooManyErrors, 0, {}};
                return false;
            }
        }
        if (!Send(answer, failure))
            return false;
        frame = ReadFrame(m_options.AnswerTimeoutMs);
    }
}

bool CBlockReceive::OpenFile(const ST_IncomingFile &file, Failure *failure)
{
    m_file = file;
    m_fileReceived = 0;
    m_held.clear();
    uint64_t resumeAt = 0;
    std::string error;
    if (!m_sink.Begin(file, &resumeAt, &error)) {
        *failure = {ETransferEnd::DiskError, 0, error};
        return false;
    }
    m_fileOpen = true;
    m_fileIndex = m_filesDone;
    Report(true);
    return true;
}

// A file of unknown size may end in padding: its last block is held until the end shows which
// block was the last.
bool CBlockReceive::Deliver(const uint8_t *data, size_t size, Failure *failure)
{
    if (!m_fileOpen && !OpenFile({}, failure))
        return false;
    std::string error;
    if (m_file.SizeKnown) {
        size = static_cast<size_t>(
            std::min<uint64_t>(size, m_file.Size - std::min(m_file.Size, m_fileReceived)));
        if (size > 0 && !m_sink.Write(data, size, &error)) {
            *failure = {ETransferEnd::DiskError, 0, error};
            return false;
        }
    } else {
        if (!m_held.empty() && !m_sink.Write(m_held.data(), m_held.size(), &error)) {
            *failure = {ETransferEnd::DiskError, 0, error};
            return false;
        }
        m_held.assign(data, data + size);
    }
    m_fileReceived += size;
    Report(false);
    return true;
}

bool CBlockReceive::FinishFile(Failure *failure)
{
    if (!m_fileOpen && !OpenFile({}, failure))
        return false;
    while (!m_held.empty() && m_held.back() == SUB) {
        m_held.pop_back();
        --m_fileReceived;
    }
    std::string error;
    if (!m_held.empty() && !m_sink.Write(m_held.data(), m_held.size(), &error)) {
        *failure = {ETransferEnd::DiskError, 0, error};
        return false;
    }
    std::string path;
    const EFileEnd ended = m_sink.Finish(&path, &error);
    if (ended == EFileEnd::Failed) {
        *failure = {ETransferEnd::DiskError, 0, error};
        return false;
    }
    m_fileOpen = false;
    if (ended == EFileEnd::Short) {
        m_incomplete = true;
        m_detail += (m_detail.empty() ? "" : "; ") + error;
        m_receivedBefore += m_fileReceived;
        return true;
    }
    ++m_filesDone;
    const std::string saved = path.substr(path.rfind('/') + 1);
    if (!m_file.Name.empty() && saved != m_file.Name)
        m_detail += (m_detail.empty() ? "" : "; ") + ShownFileName(m_file.Name) + " saved as " + saved;
    m_receivedBefore += m_fileReceived;
    return true;
}

void CBlockReceive::Report(bool begins)
{
    if (!m_onProgress)
        return;
    ST_TransferProgress progress;
    progress.FileIndex = m_fileIndex;
    progress.FileCount = m_fileIndex + 1;
    progress.FileName = ShownFileName(m_file.Name);
    progress.FileBegins = begins;
    progress.FileSent = m_fileReceived;
    progress.FileSize = m_file.SizeKnown ? m_file.Size : 0;
    progress.Sent = m_receivedBefore + m_fileReceived;
    progress.Total = m_receivedBefore + progress.FileSize;
    progress.WireBytes = m_wire;
    m_onProgress(progress);
}
