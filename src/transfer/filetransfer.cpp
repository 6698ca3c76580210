#include "transfer/filetransfer.h"
#include "transfer/transferline.h"

#include "platform/errors.h"
#include "platform/trnoop.h"
#include "portbase/serialerror.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

using namespace transferline;

namespace {

// A raw write is cut into slices this long, so a cancel reaches a line that does not drain.
constexpr uint32_t kRawSliceMs = 100;
constexpr size_t kRawPiece = 4096;

uint16_t Crc16(const uint8_t *data, size_t size)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<uint8_t> Block(uint8_t number, const uint8_t *data, size_t size, size_t length, bool crc)
{
    std::vector<uint8_t> block;
    block.reserve(length + 5);
    block.push_back(length == kLongBlock ? STX : SOH);
    block.push_back(number);
    block.push_back(static_cast<uint8_t>(~number));
    block.insert(block.end(), data, data + size);
    block.resize(3 + length, SUB);
    if (crc) {
        const uint16_t sum = Crc16(block.data() + 3, length);
        block.push_back(static_cast<uint8_t>(sum >> 8));
        block.push_back(static_cast<uint8_t>(sum));
    } else {
        uint8_t sum = 0;
        for (size_t i = 3; i < block.size(); ++i)
            sum = static_cast<uint8_t>(sum + block[i]);
        block.push_back(sum);
    }
    return block;
}

// Reads into `buffer` until it is full or the file ends; false on a read failure.
bool ReadUpTo(std::ifstream &in, std::vector<uint8_t> &buffer, size_t want)
{
    buffer.resize(want);
    in.read(reinterpret_cast<char *>(buffer.data()), static_cast<std::streamsize>(want));
    buffer.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

} // namespace

ST_TransferFile TransferFileAt(const std::string &path)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !std::ifstream(path, std::ios::binary))
        throw EFOpenError(path);
    ST_TransferFile file;
    file.Path = path;
    const size_t slash = path.find_last_of('/');
    file.Name = slash == std::string::npos ? path : path.substr(slash + 1);
    file.Size = static_cast<uint64_t>(st.st_size);
    file.ModifiedTime = static_cast<int64_t>(st.st_mtime);
    file.Mode = static_cast<uint32_t>(st.st_mode);
    return file;
}

const char *TransferProtocolName(ETransferProtocol protocol)
{
    switch (protocol) {
    case ETransferProtocol::Raw:
        return "Raw";
    case ETransferProtocol::Xmodem:
        return "XMODEM";
    case ETransferProtocol::Xmodem1K:
        return "XMODEM-1K";
    case ETransferProtocol::Ymodem:
        return "YMODEM";
    case ETransferProtocol::Zmodem:
        return "ZMODEM";
    }
    return "";
}

const char *TransferEndText(ETransferEnd end, bool receiving)
{
    switch (end) {
    case ETransferEnd::Done:
        return receiving ? KESTRUM_TR_NOOP("core", "Received") : KESTRUM_TR_NOOP("core", "Sent");
    case ETransferEnd::Cancelled:
        return KESTRUM_TR_NOOP("core", "Cancelled");
    case ETransferEnd::ReceiverCancelled:
        return KESTRUM_TR_NOOP("core", "Cancelled by the receiver");
    case ETransferEnd::NoAnswer:
        return KESTRUM_TR_NOOP("core", "The receiver does not answer");
    case ETransferEnd::TooManyErrors:
        return KESTRUM_TR_NOOP("core", "The receiver refused a block too often");
    case ETransferEnd::WriteFailed:
        return KESTRUM_TR_NOOP("core", "The port failed to write");
    case ETransferEnd::FileError:
        return KESTRUM_TR_NOOP("core", "The file could not be read");
    case ETransferEnd::SenderCancelled:
        return KESTRUM_TR_NOOP("core", "Cancelled by the sender");
    case ETransferEnd::DiskError:
        return KESTRUM_TR_NOOP("core", "A received file could not be written");
    case ETransferEnd::Incomplete:
        return KESTRUM_TR_NOOP("core", "A file ended short of its size");
    }
    return "";
}

CFileTransfer::CFileTransfer(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                             const ST_TransferOptions &options)
    : m_channel(channel), m_files(std::move(files)), m_options(options)
{
    const bool single =
        options.Protocol == ETransferProtocol::Xmodem || options.Protocol == ETransferProtocol::Xmodem1K;
    if (single && m_files.size() > 1)
        throw std::invalid_argument("XMODEM sends one file");
    if (options.Protocol == ETransferProtocol::Zmodem)
        throw std::invalid_argument("ZMODEM has an engine of its own");
    for (const ST_TransferFile &file : m_files)
        m_total += file.Size;
}

void CFileTransfer::Cancel()
{
    {
        const std::lock_guard<std::mutex> guard(m_pauseLock);
        m_cancel.store(true);
    }
    m_pauseWake.notify_all();
    m_channel.Wake();
}

ST_TransferOutcome CFileTransfer::Run()
{
    return m_options.Protocol == ETransferProtocol::Raw ? RunRaw() : RunBlocks();
}

ST_TransferOutcome CFileTransfer::Ended(ETransferEnd end, long code)
{
    ST_TransferOutcome outcome;
    outcome.End = end;
    outcome.Code = code;
    outcome.FilesDone = m_filesDone;
    outcome.WireBytes = m_wire;
    outcome.EndUnacknowledged = end == ETransferEnd::Done && m_endUnacknowledged;
    return outcome;
}

ST_TransferProgress SendProgress(const std::vector<ST_TransferFile> &files, size_t index, bool begins,
                                 uint64_t fileSent, uint64_t sentBefore, uint64_t total, uint64_t wire)
{
    ST_TransferProgress progress;
    progress.FileIndex = index;
    progress.FileCount = files.size();
    progress.FileName = files[index].Name;
    progress.FileBegins = begins;
    progress.FileSent = fileSent;
    progress.FileSize = files[index].Size;
    progress.Sent = sentBefore + fileSent;
    progress.Total = total;
    progress.WireBytes = wire;
    return progress;
}

void CFileTransfer::Report(size_t index, bool begins, uint64_t fileSent)
{
    if (m_onProgress)
        m_onProgress(SendProgress(m_files, index, begins, fileSent, m_sentBefore, m_total, m_wire));
}

bool CFileTransfer::Pause(uint32_t ms)
{
    std::unique_lock<std::mutex> lock(m_pauseLock);
    return !m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_cancel.load(); });
}

// ---- Raw ----

ST_TransferOutcome CFileTransfer::RunRaw()
{
    std::vector<uint8_t> piece;
    for (size_t index = 0; index < m_files.size(); ++index) {
        std::ifstream in(m_files[index].Path, std::ios::binary);
        if (!in)
            return Ended(ETransferEnd::FileError);
        Report(index, true, 0);
        uint64_t fileSent = 0;
        for (;;) {
            if (m_cancel)
                return Ended(ETransferEnd::Cancelled);
            if (!ReadUpTo(in, piece, kRawPiece))
                return Ended(ETransferEnd::FileError);
            if (piece.empty())
                break;
            size_t begin = 0;
            while (begin < piece.size()) {
                size_t end = piece.size();
                if (m_options.LineDelayMs > 0) {
                    const auto lf =
                        std::find(piece.begin() + static_cast<std::ptrdiff_t>(begin), piece.end(), '\n');
                    end = lf == piece.end() ? piece.size() : static_cast<size_t>(lf - piece.begin()) + 1;
                }
                Failure failure{ETransferEnd::Done};
                if (!WriteRaw(piece.data() + begin, end - begin, &failure))
                    return Ended(failure.End, failure.Code);
                fileSent += end - begin;
                Report(index, false, fileSent);
                if (m_options.LineDelayMs > 0 && piece[end - 1] == '\n' && !Pause(m_options.LineDelayMs))
                    return Ended(ETransferEnd::Cancelled);
                begin = end;
            }
        }
        m_sentBefore += fileSent;
        ++m_filesDone;
    }
    return Ended(ETransferEnd::Done);
}

// A line that stops taking data is waited for, slice by slice, until a cancel.
bool CFileTransfer::WriteRaw(const uint8_t *data, size_t size, Failure *failure)
{
    size_t sent = 0;
    while (sent < size) {
        if (m_cancel) {
            *failure = {ETransferEnd::Cancelled};
            return false;
        }
        size_t written = 0;
        const long rc = m_channel.Write(data + sent, size - sent, kRawSliceMs, &written);
        sent += written;
        m_wire += written;
        if (rc != 0 && rc != ERROR_TIMEOUT) {
            *failure = {ETransferEnd::WriteFailed, rc};
            return false;
        }
    }
    return true;
}

// ---- The block protocols ----

// The next byte that means something to the sender. Anything else the receiver sends (noise,
// its own messages) is passed over; a lone CAN is passed over too, only two in a row cancel.
CFileTransfer::EReply CFileTransfer::NextReply(uint32_t timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t chunk[256];
    for (;;) {
        while (m_rxHead < m_rx.size()) {
            const uint8_t byte = m_rx[m_rxHead++];
            const bool can = byte == CAN;
            const bool secondCan = can && m_lastWasCan;
            m_lastWasCan = can && !secondCan;
            if (secondCan)
                return EReply::ReceiverCancel;
            if (byte == ACK)
                return EReply::Ack;
            if (byte == NAK)
                return EReply::Nak;
            if (byte == CRC_REQUEST)
                return EReply::Crc;
        }
        m_rx.clear();
        m_rxHead = 0;
        if (m_cancel)
            return EReply::Cancelled;
        const size_t got = m_channel.Read(chunk, sizeof chunk, MsLeft(deadline));
        if (m_cancel)
            return EReply::Cancelled;
        if (got == 0)
            return EReply::TimedOut;
        m_rx.assign(chunk, chunk + got);
    }
}

// The receiver asks for a file with NAK (checksums) or 'C' (CRC), and its first request decides:
// it reads the first block as it asked. What came in behind that request is passed over, so a
// request repeated while nobody listened, or a stray ACK, is not taken for an answer.
CFileTransfer::EReply CFileTransfer::AwaitStart(uint32_t timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    EReply first = EReply::Ack;
    while (first == EReply::Ack)
        first = NextReply(MsLeft(deadline));
    if (first != EReply::Nak && first != EReply::Crc)
        return first;
    m_crc = first == EReply::Crc;
    for (;;) {
        const EReply more = NextReply(0);
        if (more == EReply::ReceiverCancel || more == EReply::Cancelled)
            return more;
        if (more == EReply::TimedOut)
            return first;
    }
}

bool CFileTransfer::WriteBlock(const std::vector<uint8_t> &bytes, Failure *failure)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_options.AnswerTimeoutMs);
    size_t sent = 0;
    while (sent < bytes.size()) {
        size_t written = 0;
        const long rc = m_channel.Write(bytes.data() + sent, bytes.size() - sent,
                                        std::min(kRawSliceMs, MsLeft(deadline)), &written);
        sent += written;
        m_wire += written;
        if (rc == 0)
            break;
        if (rc != ERROR_TIMEOUT) {
            *failure = {ETransferEnd::WriteFailed, rc};
            return false;
        }
        if (m_cancel) {
            *failure = {ETransferEnd::Cancelled};
            return false;
        }
        if (MsLeft(deadline) == 0) {
            *failure = {ETransferEnd::NoAnswer};
            return false;
        }
    }
    return true;
}

bool CFileTransfer::SendBlock(uint8_t number, const uint8_t *data, size_t size, Failure *failure)
{
    return Exchange(Block(number, data, size, size > kShortBlock ? kLongBlock : kShortBlock, m_crc),
                    m_options.AnswerTimeoutMs, failure);
}

// Receivers commonly refuse the first EOT to make sure it was no noise: it is sent until taken.
bool CFileTransfer::SendEndOfFile(Failure *failure)
{
    return Exchange({EOT}, m_options.AnswerTimeoutMs, failure);
}

// Block 0 with an empty name. A receiver may purge its answer to it as it exits, or send none:
// every file was acknowledged by then, so silence ends the batch as sent (and says so). A
// receiver that asks for the block again still gets it.
bool CFileTransfer::SendBatchEnd(Failure *failure)
{
    const std::vector<uint8_t> empty(kShortBlock, 0);
    return Exchange(Block(0, empty.data(), empty.size(), kShortBlock, m_crc),
                    std::min(m_options.BatchEndAnswerMs, m_options.AnswerTimeoutMs), failure,
                    &m_endUnacknowledged);
}

// Sends `bytes` until the receiver acknowledges them. A refusal ('C' too: a receiver that missed
// the first block asks again) and a silence each cost a try; with `unanswered`, a silence ends
// the exchange instead, as if taken, and sets it.
bool CFileTransfer::Exchange(const std::vector<uint8_t> &bytes, uint32_t answerMs, Failure *failure,
                             bool *unanswered)
{
    bool lastTimedOut = false;
    for (int attempt = 0; attempt < std::max(1, m_options.Tries); ++attempt) {
        if (!WriteBlock(bytes, failure))
            return false;
        switch (NextReply(answerMs)) {
        case EReply::Ack:
            return true;
        case EReply::ReceiverCancel:
            *failure = {ETransferEnd::ReceiverCancelled};
            return false;
        case EReply::Cancelled:
            *failure = {ETransferEnd::Cancelled};
            return false;
        case EReply::TimedOut:
            if (unanswered != nullptr) {
                *unanswered = true;
                return true;
            }
            lastTimedOut = true;
            break;
        case EReply::Nak:
        case EReply::Crc:
            lastTimedOut = false;
            break;
        }
    }
    *failure = {lastTimedOut ? ETransferEnd::NoAnswer : ETransferEnd::TooManyErrors};
    return false;
}

// Long blocks only with CRC: a receiver that asked for checksums may not know them. A tail that
// fits short blocks with less padding goes in short blocks.
bool CFileTransfer::SendFile(size_t index, Failure *failure)
{
    std::ifstream in(m_files[index].Path, std::ios::binary);
    if (!in) {
        *failure = {ETransferEnd::FileError};
        return false;
    }
    const bool longBlocks = m_options.Protocol != ETransferProtocol::Xmodem && m_crc;
    const uint64_t size = m_files[index].Size;
    uint64_t sent = 0;
    uint8_t number = 1;
    std::vector<uint8_t> data;
    for (;;) {
        if (m_cancel) {
            *failure = {ETransferEnd::Cancelled};
            return false;
        }
        const uint64_t left = size > sent ? size - sent : 0;
        const size_t want = longBlocks && left > kLongBlock - kShortBlock ? kLongBlock : kShortBlock;
        if (!ReadUpTo(in, data, want)) {
            *failure = {ETransferEnd::FileError};
            return false;
        }
        if (data.empty())
            break;
        // A file that grew since it was looked at is sent as it was then.
        if (m_options.Protocol == ETransferProtocol::Ymodem && data.size() > left)
            data.resize(static_cast<size_t>(left));
        if (data.empty())
            break;
        if (!SendBlock(number, data.data(), data.size(), failure))
            return false;
        sent += data.size();
        ++number;
        Report(index, false, sent);
    }
    if (!SendEndOfFile(failure))
        return false;
    m_sentBefore += sent;
    return true;
}

ST_TransferOutcome CFileTransfer::RunBlocks()
{
    const bool batch = m_options.Protocol == ETransferProtocol::Ymodem;
    Failure failure{ETransferEnd::Done};
    auto fail = [this](const Failure &how) {
        if (how.End == ETransferEnd::Cancelled)
            SendCancel();
        return Ended(how.End, how.Code);
    };
    auto awaitStart = [&](uint32_t timeoutMs, Failure *how) {
        switch (AwaitStart(timeoutMs)) {
        case EReply::Nak:
        case EReply::Crc:
            return true;
        case EReply::ReceiverCancel:
            *how = {ETransferEnd::ReceiverCancelled};
            return false;
        case EReply::Cancelled:
            *how = {ETransferEnd::Cancelled};
            return false;
        default:
            *how = {ETransferEnd::NoAnswer};
            return false;
        }
    };
    if (m_cancel)
        return fail({ETransferEnd::Cancelled});
    if (!awaitStart(m_options.StartTimeoutMs, &failure))
        return fail(failure);
    for (size_t index = 0; index < m_files.size(); ++index) {
        if (batch) {
            // Block 0: name NUL size mtime mode, in octal after the decimal size.
            const ST_TransferFile &file = m_files[index];
            char info[80];
            snprintf(info, sizeof info, "%llu %llo %o", static_cast<unsigned long long>(file.Size),
                     static_cast<unsigned long long>(std::max<int64_t>(0, file.ModifiedTime)), file.Mode);
            const std::string header = file.Name + '\0' + info;
            Report(index, true, 0);
            std::vector<uint8_t> block0(header.begin(), header.end());
            block0.resize(header.size() < kShortBlock ? kShortBlock : kLongBlock, 0);
            if (block0.size() > kLongBlock)
                block0.resize(kLongBlock);
            // Block 0 is padded with NUL, not SUB: Block pads only what is short of the length.
            if (!SendBlock(0, block0.data(), block0.size(), &failure))
                return fail(failure);
            if (!awaitStart(m_options.AnswerTimeoutMs * static_cast<uint32_t>(std::max(1, m_options.Tries)),
                            &failure))
                return fail(failure);
        } else {
            Report(index, true, 0);
        }
        if (!SendFile(index, &failure))
            return fail(failure);
        ++m_filesDone;
        if (batch && !awaitStart(m_options.StartTimeoutMs, &failure))
            return fail(failure);
    }
    if (batch && !SendBatchEnd(&failure))
        return fail(failure);
    return Ended(ETransferEnd::Done);
}

void CFileTransfer::SendCancel()
{
    const std::vector<uint8_t> bytes = AbortBytes();
    size_t written = 0;
    m_channel.Write(bytes.data(), bytes.size(), m_options.AnswerTimeoutMs, &written);
    m_wire += written;
}
