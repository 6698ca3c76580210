#include "transfer/zmodem.h"
#include "transfer/transferline.h"

#include "portbase/serialerror.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace zmodem;
using EEvent = CDecoder::EEvent;
using EWait = CLink::EWait;

using namespace transferline;

namespace {

// A write is cut into slices this long, so a cancel reaches a line that does not drain.
constexpr uint32_t kSliceMs = 100;
constexpr size_t kBlock = 1024;
// Subpackets are gathered up to this much before a write: big writes, few wake-ups.
constexpr size_t kWriteGather = 16384;
// How long the receiver waits for "OO" after its ZFIN; many senders never send it.
constexpr uint32_t kOverMs = 1000;
// The sender waits for the answer to its ZFIN this many times; every file was taken by then.
constexpr int kFinTries = 3;

bool Fail(ST_Failure *failure, ETransferEnd end, long code = 0)
{
    *failure = {end, code};
    return false;
}

} // namespace

// ---- The line ----

CLink::CLink(ITransferChannel &channel, const ST_TransferOptions &options)
    : m_channel(channel), m_answerMs(options.AnswerTimeoutMs), m_rx(65536)
{
    Encoder.SetEscapeAll(options.EscapeAllControls);
    Decoder.SetIgnoreControls(options.EscapeAllControls);
}

void CLink::Cancel()
{
    m_cancel.store(true);
    m_channel.Wake();
}

bool CLink::Flush(ST_Failure *failure)
{
    const Clock::time_point deadline = After(m_answerMs);
    size_t sent = 0;
    while (sent < Out.size()) {
        if (m_cancel)
            return Fail(failure, ETransferEnd::Cancelled);
        size_t written = 0;
        const long rc = m_channel.Write(Out.data() + sent, Out.size() - sent,
                                        std::min(kSliceMs, MsLeft(deadline)), &written);
        sent += written;
        Wire += written;
        if (rc == 0)
            break;
        if (rc != ERROR_TIMEOUT)
            return Fail(failure, ETransferEnd::WriteFailed, rc);
        if (MsLeft(deadline) == 0)
            return Fail(failure, ETransferEnd::NoAnswer);
    }
    Out.clear();
    return true;
}

bool CLink::SendHex(const ST_Header &header, ST_Failure *failure)
{
    Encoder.HexHeader(Out, header);
    return Flush(failure);
}

EWait CLink::Next(uint32_t timeoutMs, EEvent *event)
{
    const Clock::time_point deadline = After(timeoutMs);
    for (;;) {
        while (m_rxHead < m_rxSize) {
            m_rxHead += Decoder.Feed(m_rx.data() + m_rxHead, m_rxSize - m_rxHead, event);
            if (*event != EEvent::None)
                return EWait::Event;
        }
        if (m_cancel)
            return EWait::Cancelled;
        const size_t got = m_channel.Read(m_rx.data(), m_rx.size(), MsLeft(deadline));
        if (m_cancel)
            return EWait::Cancelled;
        if (got == 0)
            return EWait::TimedOut;
        m_rxHead = 0;
        m_rxSize = got;
    }
}

void CLink::AwaitOver(uint32_t timeoutMs)
{
    const Clock::time_point deadline = After(timeoutMs);
    int seen = 0;
    for (;;) {
        for (; m_rxHead < m_rxSize; ++m_rxHead)
            if (m_rx[m_rxHead] == 'O' && ++seen == 2) {
                ++m_rxHead; // what follows is no longer the transfer's
                return;
            }
        if (m_cancel)
            return;
        m_rxSize = m_channel.Read(m_rx.data(), m_rx.size(), MsLeft(deadline));
        m_rxHead = 0;
        if (m_rxSize == 0)
            return;
    }
}

void CLink::SkipHexTail()
{
    for (const uint8_t tail : {uint8_t('\r'), uint8_t('\n'), uint8_t(0x11)})
        if (m_rxHead < m_rxSize && (m_rx[m_rxHead] & 0x7F) == tail)
            ++m_rxHead;
}

void CLink::GiveBack()
{
    if (m_rxHead < m_rxSize)
        m_channel.Unread(m_rx.data() + m_rxHead, m_rxSize - m_rxHead);
    m_rxHead = m_rxSize = 0;
}

void CLink::SendAbort()
{
    Out = AbortBytes(10);
    size_t written = 0;
    m_channel.Write(Out.data(), Out.size(), m_answerMs, &written);
    Wire += written;
    Out.clear();
}

// ---- Sending ----

CZmodemSend::CZmodemSend(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                         const ST_TransferOptions &options)
    : m_link(channel, options), m_files(std::move(files)), m_options(options)
{
    for (const ST_TransferFile &file : m_files)
        m_total += file.Size;
}

void CZmodemSend::Report(size_t index, bool begins, uint64_t fileSent)
{
    if (m_onProgress)
        m_onProgress(SendProgress(m_files, index, begins, fileSent, m_sentBefore, m_total, m_link.Wire));
}

ST_TransferOutcome CZmodemSend::Ended(ETransferEnd end, long code)
{
    m_link.GiveBack();
    ST_TransferOutcome outcome;
    outcome.End = end;
    outcome.Code = code;
    outcome.FilesDone = m_filesDone;
    outcome.WireBytes = m_link.Wire;
    return outcome;
}

bool CZmodemSend::Ends(const ST_Header &header, ST_Failure *failure)
{
    switch (header.Type) {
    case ZCAN:
    case ZABORT:
    case ZFIN:
        *failure = {ETransferEnd::ReceiverCancelled};
        return true;
    default:
        return false;
    }
}

ST_TransferOutcome CZmodemSend::Run()
{
    ST_Failure failure;
    bool heard = false;
    auto fail = [&] {
        const bool tell = failure.End == ETransferEnd::Cancelled ||
                          (heard && failure.End != ETransferEnd::ReceiverCancelled &&
                           failure.End != ETransferEnd::WriteFailed);
        if (tell)
            m_link.SendAbort();
        return Ended(failure.End, failure.Code);
    };
    if (m_link.CancelRequested()) {
        failure = {ETransferEnd::Cancelled};
        return fail();
    }
    // "rz" starts a receiver where the line ends at a shell.
    m_link.Out = {'r', 'z', '\r'};
    if (!m_link.Flush(&failure) || !AwaitReceiver(&failure))
        return fail();
    heard = true;
    m_crc32 = (m_receiverFlags & CANFC32) != 0;
    if ((m_receiverFlags & ESCCTL) != 0)
        m_link.Encoder.SetEscapeAll(true);
    if (m_options.EscapeAllControls && (m_receiverFlags & ESCCTL) == 0 && !SendInit(&failure))
        return fail();
    for (size_t index = 0; index < m_files.size(); ++index)
        if (!SendFile(index, &failure))
            return fail();
    if (!SendFinish(&failure))
        return fail();
    return Ended(ETransferEnd::Done);
}

bool CZmodemSend::AwaitReceiver(ST_Failure *failure)
{
    const Clock::time_point deadline = After(m_options.StartTimeoutMs);
    if (!m_link.SendHex(PositionHeader(ZRQINIT, 0), failure))
        return false;
    for (;;) {
        EEvent event = EEvent::None;
        switch (m_link.Next(std::min(m_options.AnswerTimeoutMs, MsLeft(deadline)), &event)) {
        case EWait::Cancelled:
            return Fail(failure, ETransferEnd::Cancelled);
        case EWait::TimedOut:
            if (MsLeft(deadline) == 0)
                return Fail(failure, ETransferEnd::NoAnswer);
            if (!m_link.SendHex(PositionHeader(ZRQINIT, 0), failure))
                return false;
            continue;
        case EWait::Event:
            break;
        }
        if (event == EEvent::Cancel)
            return Fail(failure, ETransferEnd::ReceiverCancelled);
        if (event != EEvent::Header)
            continue;
        const ST_Header &header = m_link.Decoder.Header();
        m_link.Decoder.HuntHeader();
        if (header.Type == ZRINIT) {
            m_receiverFlags = header.Flag(0);
            m_receiverBuffer = header.Bytes[0] | (uint32_t(header.Bytes[1]) << 8);
            return true;
        }
        if (header.Type == ZCHALLENGE && !m_link.SendHex(PositionHeader(ZACK, header.Position()), failure))
            return false;
        if (header.Type == ZCAN || header.Type == ZABORT)
            return Fail(failure, ETransferEnd::ReceiverCancelled);
    }
}

// The receiver's next header within the answer time; a cancel on either side fails the transfer.
CZmodemSend::EAnswer CZmodemSend::NextHeader(ST_Header *header, ST_Failure *failure)
{
    for (;;) {
        EEvent event = EEvent::None;
        const EWait wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
        if (wait == EWait::Cancelled) {
            Fail(failure, ETransferEnd::Cancelled);
            return EAnswer::Failed;
        }
        if (wait == EWait::TimedOut)
            return EAnswer::TimedOut;
        if (event == EEvent::Cancel) {
            Fail(failure, ETransferEnd::ReceiverCancelled);
            return EAnswer::Failed;
        }
        if (event != EEvent::Header)
            continue;
        *header = m_link.Decoder.Header();
        m_link.Decoder.HuntHeader();
        return EAnswer::Header;
    }
}

// Asks the receiver to escape every control character too.
bool CZmodemSend::SendInit(ST_Failure *failure)
{
    const uint8_t attention = 0;
    for (int attempt = 0; attempt < std::max(1, m_options.Tries); ++attempt) {
        m_link.Encoder.BinaryHeader(m_link.Out, FlagsHeader(ZSINIT, TESCCTL), m_crc32);
        m_link.Encoder.Subpacket(m_link.Out, &attention, 1, ZCRCW, m_crc32);
        if (!m_link.Flush(failure))
            return false;
        for (;;) {
            ST_Header header;
            const EAnswer answer = NextHeader(&header, failure);
            if (answer == EAnswer::Failed)
                return false;
            if (answer == EAnswer::TimedOut)
                break;
            if (header.Type == ZACK)
                return true;
            if (Ends(header, failure))
                return false;
            if (header.Type == ZRINIT || header.Type == ZNAK)
                break;
        }
    }
    return Fail(failure, ETransferEnd::NoAnswer);
}

void CZmodemSend::AnswerCrc(size_t index, uint32_t length)
{
    std::ifstream in(m_files[index].Path, std::ios::binary);
    uint64_t left = length == 0 ? m_files[index].Size : length;
    uint32_t crc = 0xFFFFFFFFu;
    std::vector<uint8_t> buffer(65536);
    while (left > 0 && in) {
        in.read(reinterpret_cast<char *>(buffer.data()),
                static_cast<std::streamsize>(std::min<uint64_t>(left, buffer.size())));
        const size_t got = static_cast<size_t>(in.gcount());
        if (got == 0)
            break;
        crc = Crc32Update(crc, buffer.data(), got);
        left -= got;
    }
    ST_Failure ignored;
    m_link.SendHex(PositionHeader(ZCRC, ~crc), &ignored);
}

bool CZmodemSend::SendFile(size_t index, ST_Failure *failure)
{
    const ST_TransferFile &file = m_files[index];
    std::ifstream in(file.Path, std::ios::binary);
    if (!in)
        return Fail(failure, ETransferEnd::FileError);
    Report(index, true, 0);
    // name NUL size mtime(octal) mode(octal) serial files-left bytes-left NUL
    char info[160];
    snprintf(info, sizeof info, "%llu %llo %o 0 %zu %llu", static_cast<unsigned long long>(file.Size),
             static_cast<unsigned long long>(std::max<int64_t>(0, file.ModifiedTime)), file.Mode,
             m_files.size() - index, static_cast<unsigned long long>(m_total - m_sentBefore));
    std::string subpacket = file.Name + '\0' + info + '\0';
    if (subpacket.size() > kBlock)
        subpacket = file.Name.substr(0, kBlock / 2) + '\0' + info + '\0';
    for (int attempt = 0; attempt < std::max(1, m_options.Tries); ++attempt) {
        m_link.Encoder.BinaryHeader(m_link.Out, FlagsHeader(ZFILE, ZCBIN), m_crc32);
        m_link.Encoder.Subpacket(m_link.Out, reinterpret_cast<const uint8_t *>(subpacket.data()),
                                 subpacket.size(), ZCRCW, m_crc32);
        if (!m_link.Flush(failure))
            return false;
        for (;;) {
            ST_Header header;
            const EAnswer answer = NextHeader(&header, failure);
            if (answer == EAnswer::Failed)
                return false;
            if (answer == EAnswer::TimedOut)
                break;
            if (Ends(header, failure))
                return false;
            switch (header.Type) {
            case ZRPOS:
                if (!SendData(index, in, std::min<uint64_t>(header.Position(), file.Size), attempt, failure))
                    return false;
                m_sentBefore += file.Size;
                ++m_filesDone;
                return true;
            case ZSKIP:
                m_sentBefore += file.Size;
                return true;
            case ZCRC:
                AnswerCrc(index, header.Position());
                continue;
            case ZRINIT:
            case ZNAK:
                break;
            default:
                continue;
            }
            break;
        }
    }
    return Fail(failure, ETransferEnd::NoAnswer);
}

// Streams from `from` to the end and closes with ZEOF. A ZRPOS, at any time, takes the stream
// back to where the receiver lost it; one at the same place again and again gives up.
bool CZmodemSend::SendData(size_t index, std::ifstream &in, uint64_t from, int extraOffers,
                           ST_Failure *failure)
{
    const uint64_t size = m_files[index].Size;
    const bool fullDuplex = (m_receiverFlags & CANFDX) != 0;
    const size_t block = m_receiverBuffer > 0 ? std::min<size_t>(kBlock, m_receiverBuffer) : kBlock;
    const int tries = std::max(1, m_options.Tries);
    uint64_t position = from;
    uint64_t lastRepositioned = from;
    int errors = 0;
    int staleLeft = extraOffers; // answers still to come to the file's offers
    m_block.resize(block);

    // A ZRPOS (or a refusal) sends the data again from `to`: true while tries are left.
    auto reposition = [&](uint64_t to) {
        to = std::min(to, size);
        errors = to > lastRepositioned ? 1 : errors + 1;
        staleLeft = 0;
        lastRepositioned = to;
        position = to;
        if (errors > tries) {
            *failure = {ETransferEnd::TooManyErrors};
            return false;
        }
        return true;
    };
    // What the receiver says between subpackets, or while it is waited for. 1: go on; 0: send
    // again from `position`; -1: stop (`failure` says how, Done for a file the receiver skipped).
    // `streaming`: data is on its way and nothing is waited for.
    auto answer = [&](EEvent event, uint64_t *acked, bool streaming) -> int {
        if (event == EEvent::Cancel) {
            *failure = {ETransferEnd::ReceiverCancelled};
            return -1;
        }
        if (event != EEvent::Header)
            return 1;
        const ST_Header header = m_link.Decoder.Header();
        m_link.Decoder.HuntHeader();
        if (Ends(header, failure))
            return -1;
        switch (header.Type) {
        case ZRPOS:
            // A file offered again is answered again: a request for where the data began, while
            // it streams, may be the answer to an offer already taken. Going back for it would
            // meet the receiver further on, which refuses the stream and its end of file, each
            // refusal one more request to go back. A receiver that lost the start asks again.
            if (streaming && staleLeft > 0 && header.Position() <= from) {
                --staleLeft;
                return 1;
            }
            return reposition(header.Position()) ? 0 : -1;
        case ZNAK:
            return reposition(*acked) ? 0 : -1;
        case ZACK:
            *acked = std::max<uint64_t>(*acked, header.Position());
            return 2;
        case ZSKIP:
        case ZRINIT:
            *failure = {ETransferEnd::Done};
            return -1;
        default:
            return 1;
        }
    };

    for (;;) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(position));
        if (!in)
            return Fail(failure, ETransferEnd::FileError);
        uint64_t acked = position;
        uint64_t sinceAck = 0;
        bool again = false;
        bool atEnd = position >= size;
        // Nothing left (an empty file, a resume of a whole one): straight to the end of file.
        if (!atEnd)
            m_link.Encoder.BinaryHeader(m_link.Out, PositionHeader(ZDATA, static_cast<uint32_t>(position)),
                                        m_crc32);
        while (!atEnd && !again) {
            if (m_link.CancelRequested())
                return Fail(failure, ETransferEnd::Cancelled);
            const size_t want = static_cast<size_t>(std::min<uint64_t>(block, size - position));
            in.read(reinterpret_cast<char *>(m_block.data()), static_cast<std::streamsize>(want));
            if (static_cast<size_t>(in.gcount()) != want)
                return Fail(failure, ETransferEnd::FileError);
            position += want;
            sinceAck += want;
            atEnd = position >= size;
            const bool windowFull = m_receiverBuffer > 0 && sinceAck + block > m_receiverBuffer;
            const uint8_t end = atEnd ? ZCRCE : windowFull || !fullDuplex ? ZCRCW : ZCRCG;
            m_link.Encoder.Subpacket(m_link.Out, m_block.data(), want, end, m_crc32);
            if (end == ZCRCG && m_link.Out.size() < kWriteGather)
                continue;
            if (!m_link.Flush(failure))
                return false;
            Report(index, false, position);
            if (end == ZCRCW) {
                // Wait for the receiver to catch up.
                for (;;) {
                    EEvent event = EEvent::None;
                    const EWait wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
                    if (wait == EWait::Cancelled)
                        return Fail(failure, ETransferEnd::Cancelled);
                    if (wait == EWait::TimedOut) {
                        if (!reposition(acked))
                            return Fail(failure, ETransferEnd::NoAnswer);
                        again = true;
                        break;
                    }
                    const int next = answer(event, &acked, false);
                    if (next < 0)
                        return failure->End == ETransferEnd::Done;
                    if (next == 0) {
                        again = true;
                        break;
                    }
                    if (next == 2 && acked >= position)
                        break;
                }
                sinceAck = 0;
                continue;
            }
            // Whatever the receiver said meanwhile, without waiting.
            EEvent event = EEvent::None;
            while (!again && m_link.Next(0, &event) == EWait::Event) {
                const int next = answer(event, &acked, true);
                if (next < 0)
                    return failure->End == ETransferEnd::Done;
                again = next == 0;
            }
        }
        if (again)
            continue;
        if (m_link.CancelRequested())
            return Fail(failure, ETransferEnd::Cancelled);
        if (!m_link.Out.empty() && !m_link.Flush(failure))
            return false;
        // The end of the file, until the receiver asks for the next one.
        for (int attempt = 0; attempt < tries && !again; ++attempt) {
            m_link.Encoder.BinaryHeader(m_link.Out, PositionHeader(ZEOF, static_cast<uint32_t>(size)),
                                        m_crc32);
            if (!m_link.Flush(failure))
                return false;
            for (;;) {
                EEvent event = EEvent::None;
                const EWait wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
                if (wait == EWait::Cancelled)
                    return Fail(failure, ETransferEnd::Cancelled);
                if (wait == EWait::TimedOut)
                    break;
                const int next = answer(event, &acked, false);
                if (next < 0)
                    return failure->End == ETransferEnd::Done;
                if (next == 0) {
                    again = true;
                    break;
                }
            }
        }
        if (!again)
            return Fail(failure, ETransferEnd::NoAnswer);
    }
}

bool CZmodemSend::SendFinish(ST_Failure *failure)
{
    for (int attempt = 0; attempt < std::min(kFinTries, std::max(1, m_options.Tries)); ++attempt) {
        if (!m_link.SendHex(PositionHeader(ZFIN, 0), failure))
            return false;
        for (;;) {
            EEvent event = EEvent::None;
            const EWait wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
            if (wait == EWait::Cancelled)
                return Fail(failure, ETransferEnd::Cancelled);
            if (wait == EWait::TimedOut)
                break;
            if (event == EEvent::Cancel)
                return Fail(failure, ETransferEnd::ReceiverCancelled);
            if (event == EEvent::Header && m_link.Decoder.Header().Type == ZFIN) {
                // What follows the receiver's last header (the shell's prompt) is no longer ours.
                m_link.SkipHexTail();
                m_link.Out = {'O', 'O'};
                return m_link.Flush(failure);
            }
            m_link.Decoder.HuntHeader();
        }
    }
    // Every file was taken; a receiver that leaves the end unanswered has them all the same.
    return true;
}

// ---- Receiving ----

CZmodemReceive::CZmodemReceive(ITransferChannel &channel, IReceiveSink &sink,
                               const ST_TransferOptions &options)
    : m_link(channel, options), m_sink(sink), m_options(options)
{
}

void CZmodemReceive::Report(bool begins)
{
    if (!m_onProgress)
        return;
    ST_TransferProgress progress;
    progress.FileIndex = m_filesDone;
    progress.FileCount = m_filesDone + std::max<size_t>(1, m_filesLeft);
    progress.FileName = m_name;
    progress.FileBegins = begins;
    progress.FileSent = m_position;
    progress.FileSize = m_size;
    progress.Sent = m_receivedBefore + m_position;
    progress.Total = m_receivedBefore + std::max(m_bytesLeft, m_size);
    progress.WireBytes = m_link.Wire;
    m_onProgress(progress);
}

ST_TransferOutcome CZmodemReceive::Ended(ETransferEnd end, long code)
{
    m_link.GiveBack();
    if (m_fileOpen) {
        // A part that broke off on the line may be continued by a later resume.
        m_sink.Abandon(end != ETransferEnd::DiskError);
        m_fileOpen = false;
    }
    ST_TransferOutcome outcome;
    outcome.End = end;
    outcome.Code = code;
    outcome.FilesDone = m_filesDone;
    outcome.WireBytes = m_link.Wire;
    outcome.Detail = m_detail;
    outcome.Receiving = true;
    return outcome;
}

bool CZmodemReceive::SendRinit(ST_Failure *failure)
{
    uint8_t flags = CANFDX | CANOVIO | CANFC32;
    if (m_options.EscapeAllControls)
        flags |= ESCCTL;
    return m_link.SendHex(FlagsHeader(ZRINIT, flags), failure);
}

ST_TransferOutcome CZmodemReceive::Run()
{
    ST_Failure failure;
    auto fail = [&] {
        if (failure.End == ETransferEnd::Cancelled || failure.End == ETransferEnd::DiskError ||
            failure.End == ETransferEnd::NoAnswer || failure.End == ETransferEnd::TooManyErrors)
            m_link.SendAbort();
        return Ended(failure.End, failure.Code);
    };
    if (m_link.CancelRequested()) {
        failure = {ETransferEnd::Cancelled};
        return fail();
    }
    uint32_t wait = m_options.StartTimeoutMs;
    for (;;) {
        ST_IncomingFile file;
        switch (AwaitFile(wait, &file, &failure)) {
        case ENext::Failed:
            // Nobody ever started: no abort string into a line that may be a shell.
            if (failure.End == ETransferEnd::NoAnswer && m_filesDone == 0)
                return Ended(failure.End);
            return fail();
        case ENext::Fin:
            if (!m_link.SendHex(PositionHeader(ZFIN, 0), &failure))
                return fail();
            m_link.AwaitOver(std::min(kOverMs, m_options.AnswerTimeoutMs));
            return Ended(m_incomplete ? ETransferEnd::Incomplete : ETransferEnd::Done);
        case ENext::File:
            break;
        }
        if (!ReceiveFile(file, &failure))
            return fail();
        wait = m_options.AnswerTimeoutMs * static_cast<uint32_t>(std::max(1, m_options.Tries));
    }
}

namespace {

// name NUL size mtime(octal) mode(octal) serial files-left bytes-left: everything after the name
// may be missing.
ST_IncomingFile ParseFileInfo(const uint8_t *data, size_t size, size_t *filesLeft, uint64_t *bytesLeft)
{
    ST_IncomingFile file;
    const uint8_t *nul = std::find(data, data + size, 0);
    file.Name.assign(reinterpret_cast<const char *>(data), static_cast<size_t>(nul - data));
    const uint8_t *rest = nul == data + size ? nul : nul + 1;
    const std::string info(reinterpret_cast<const char *>(rest),
                           static_cast<size_t>(std::find(rest, data + size, 0) - rest));
    const char *p = info.c_str();
    // Digits only: strtoull would take "-5" as a size of 2^64 - 5. A field that is no number
    // ends the fields.
    auto field = [&](int base, bool *present) -> unsigned long long {
        while (*p == ' ')
            ++p;
        const bool digit = *p >= '0' && *p < '0' + base;
        char *end = nullptr;
        errno = 0;
        const unsigned long long value = digit ? std::strtoull(p, &end, base) : 0;
        *present = digit && errno == 0 && (*end == ' ' || *end == '\0');
        p = *present ? end : p + std::strlen(p);
        return *present ? value : 0;
    };
    bool present = false;
    file.Size = field(10, &present);
    // No size a file could have: a sender that knows none.
    file.SizeKnown = present && file.Size <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (!file.SizeKnown)
        file.Size = 0;
    if (present) {
        file.ModifiedTime = static_cast<int64_t>(field(8, &present) & 0x7FFFFFFFFFFFFFFFull);
        file.TimeKnown = present && file.ModifiedTime != 0;
    }
    if (present)
        file.Mode = static_cast<uint32_t>(field(8, &present));
    if (present)
        field(8, &present); // serial number
    *filesLeft = present ? static_cast<size_t>(field(10, &present)) : 0;
    *bytesLeft = present ? field(10, &present) : 0;
    return file;
}

} // namespace

CZmodemReceive::ENext CZmodemReceive::AwaitFile(uint32_t timeoutMs, ST_IncomingFile *file,
                                                ST_Failure *failure)
{
    const Clock::time_point deadline = After(timeoutMs);
    if (!SendRinit(failure))
        return ENext::Failed;
    // The subpacket behind a header that carries one.
    auto subpacket = [&](EEvent *event) {
        const EWait wait = m_link.Next(m_options.AnswerTimeoutMs, event);
        if (wait == EWait::Cancelled)
            *event = EEvent::None;
        return wait;
    };
    for (;;) {
        EEvent event = EEvent::None;
        const EWait wait = m_link.Next(std::min(m_options.AnswerTimeoutMs, MsLeft(deadline)), &event);
        if (wait == EWait::Cancelled) {
            Fail(failure, ETransferEnd::Cancelled);
            return ENext::Failed;
        }
        if (wait == EWait::TimedOut) {
            if (MsLeft(deadline) == 0) {
                Fail(failure, ETransferEnd::NoAnswer);
                return ENext::Failed;
            }
            if (!SendRinit(failure))
                return ENext::Failed;
            continue;
        }
        if (event == EEvent::Cancel) {
            Fail(failure, ETransferEnd::SenderCancelled);
            return ENext::Failed;
        }
        if (event != EEvent::Header)
            continue;
        const ST_Header header = m_link.Decoder.Header();
        switch (header.Type) {
        case ZRQINIT:
        case ZEOF:
            if (!SendRinit(failure))
                return ENext::Failed;
            break;
        case ZSINIT: {
            EEvent data = EEvent::None;
            if (subpacket(&data) == EWait::Cancelled) {
                Fail(failure, ETransferEnd::Cancelled);
                return ENext::Failed;
            }
            if (data == EEvent::Data) {
                if ((header.Flag(0) & TESCCTL) != 0)
                    m_link.Encoder.SetEscapeAll(true);
                if (!m_link.SendHex(PositionHeader(ZACK, 0), failure))
                    return ENext::Failed;
            } else if (!m_link.SendHex(PositionHeader(ZNAK, 0), failure)) {
                return ENext::Failed;
            }
            break;
        }
        case ZFILE: {
            EEvent data = EEvent::None;
            if (subpacket(&data) == EWait::Cancelled) {
                Fail(failure, ETransferEnd::Cancelled);
                return ENext::Failed;
            }
            if (data == EEvent::Data) {
                m_link.Decoder.HuntHeader();
                *file = ParseFileInfo(m_link.Decoder.Data(), m_link.Decoder.DataSize(), &m_filesLeft,
                                      &m_bytesLeft);
                file->ResumeOffered = header.Flag(0) == ZCRESUM;
                return ENext::File;
            }
            if (!m_link.SendHex(PositionHeader(ZNAK, 0), failure))
                return ENext::Failed;
            break;
        }
        case ZCOMMAND: {
            // Commands from the other end are never run.
            EEvent data = EEvent::None;
            subpacket(&data);
            if (!m_link.SendHex(PositionHeader(ZCOMPL, 1), failure))
                return ENext::Failed;
            break;
        }
        case ZFREECNT:
            if (!m_link.SendHex(PositionHeader(ZACK, 0), failure))
                return ENext::Failed;
            break;
        case ZFIN:
            return ENext::Fin;
        case ZCAN:
        case ZABORT:
            Fail(failure, ETransferEnd::SenderCancelled);
            return ENext::Failed;
        default:
            break;
        }
        m_link.Decoder.HuntHeader();
    }
}

// An error or a silence asks again for the data from where it went wrong, `Tries` times in a row.
bool CZmodemReceive::Retry(ST_Failure *failure, ETransferEnd end)
{
    if (++m_errors > std::max(1, m_options.Tries))
        return Fail(failure, end);
    m_headerLost = false;
    m_link.Decoder.HuntHeader();
    return m_link.SendHex(PositionHeader(ZRPOS, static_cast<uint32_t>(m_position)), failure);
}

bool CZmodemReceive::Take(const ST_IncomingFile &file, ST_Failure *failure)
{
    const size_t size = m_link.Decoder.DataSize();
    size_t keep = size;
    if (file.SizeKnown)
        keep = static_cast<size_t>(std::min<uint64_t>(keep, file.Size > m_kept ? file.Size - m_kept : 0));
    std::string error;
    if (keep > 0 && !m_sink.Write(m_link.Decoder.Data(), keep, &error)) {
        m_detail = error;
        return Fail(failure, ETransferEnd::DiskError);
    }
    m_kept += keep;
    m_position += size;
    m_errors = 0;
    Report(false);
    return true;
}

bool CZmodemReceive::ReceiveFile(const ST_IncomingFile &file, ST_Failure *failure)
{
    uint64_t resumeAt = 0;
    std::string error;
    if (!m_sink.Begin(file, &resumeAt, &error)) {
        m_detail = error;
        return Fail(failure, ETransferEnd::DiskError);
    }
    m_fileOpen = true;
    if (!file.ResumeOffered)
        resumeAt = 0;
    if (file.SizeKnown)
        resumeAt = std::min(resumeAt, file.Size);
    if (resumeAt > 0)
        m_detail += (m_detail.empty() ? "" : "; ") + ShownFileName(file.Name) + ": resumed after " +
                    std::to_string(resumeAt) + " bytes";
    m_name = ShownFileName(file.Name);
    m_size = file.SizeKnown ? file.Size : 0;
    m_position = m_kept = resumeAt;
    m_errors = 0;
    Report(true);
    if (!m_link.SendHex(PositionHeader(ZRPOS, static_cast<uint32_t>(resumeAt)), failure))
        return false;
    for (;;) {
        EEvent event = EEvent::None;
        EWait wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
        if (wait == EWait::Cancelled)
            return Fail(failure, ETransferEnd::Cancelled);
        if (wait == EWait::TimedOut) {
            if (!Retry(failure, ETransferEnd::NoAnswer))
                return false;
            continue;
        }
        if (event == EEvent::Cancel)
            return Fail(failure, ETransferEnd::SenderCancelled);
        if (event == EEvent::BadHeader)
            m_headerLost = true;
        if (event != EEvent::Header)
            continue;
        const ST_Header header = m_link.Decoder.Header();
        switch (header.Type) {
        case ZDATA:
            if (header.Position() != static_cast<uint32_t>(m_position)) {
                if (!Retry(failure, ETransferEnd::TooManyErrors))
                    return false;
                continue;
            }
            // Subpackets until one ends the frame; a bad one asks for the data again.
            for (;;) {
                wait = m_link.Next(m_options.AnswerTimeoutMs, &event);
                if (wait == EWait::Cancelled)
                    return Fail(failure, ETransferEnd::Cancelled);
                if (wait == EWait::TimedOut) {
                    if (!Retry(failure, ETransferEnd::NoAnswer))
                        return false;
                    break;
                }
                if (event == EEvent::Cancel)
                    return Fail(failure, ETransferEnd::SenderCancelled);
                if (event != EEvent::Data) {
                    if (!Retry(failure, ETransferEnd::TooManyErrors))
                        return false;
                    break;
                }
                const uint8_t end = m_link.Decoder.DataEnd();
                if (!Take(file, failure))
                    return false;
                if ((end == ZCRCQ || end == ZCRCW) &&
                    !m_link.SendHex(PositionHeader(ZACK, static_cast<uint32_t>(m_position)), failure))
                    return false;
                if (end == ZCRCE || end == ZCRCW)
                    break;
            }
            continue;
        case ZEOF: {
            m_link.Decoder.HuntHeader();
            // An end of file ahead of the data we have mostly comes from a stream we already asked
            // to be sent again; unless the header that began the stream again was lost, and the
            // sender now waits as we do.
            if (header.Position() != static_cast<uint32_t>(m_position)) {
                if (m_headerLost && !Retry(failure, ETransferEnd::TooManyErrors))
                    return false;
                continue;
            }
            std::string finalPath;
            m_fileOpen = false;
            const EFileEnd ended = m_sink.Finish(&finalPath, &error);
            if (ended == EFileEnd::Failed) {
                m_detail = error;
                return Fail(failure, ETransferEnd::DiskError);
            }
            if (ended == EFileEnd::Short) {
                m_incomplete = true;
                m_detail += (m_detail.empty() ? "" : "; ") + error;
            } else {
                ++m_filesDone;
            }
            m_receivedBefore += m_position;
            m_position = 0;
            return true;
        }
        case ZFILE:
            // Our ZRPOS was lost: the sender offers the file again.
            m_link.Next(m_options.AnswerTimeoutMs, &event);
            if (!Retry(failure, ETransferEnd::NoAnswer))
                return false;
            continue;
        case ZFIN:
        case ZCAN:
        case ZABORT:
            return Fail(failure, ETransferEnd::SenderCancelled);
        default:
            m_link.Decoder.HuntHeader();
            continue;
        }
    }
}
