#pragma once
// ZMODEM both ways: CZmodemSend hands a batch of files to a receiver, CZmodemReceive takes a batch
// from a sender and gives each file to a sink. Data streams in subpackets the peer does not
// answer one by one; the receiver asks with ZRPOS for the data again from where it went wrong,
// or, on a resume, from where the part it holds ends.
//
// Both run on whatever thread calls Run, against a channel like the block protocols'. Cancel may
// come from any other thread: it wakes the wait for the peer at once, and the peer is told with
// the usual abort string (eight CANs and backspaces), which ZMODEM takes wherever it reads.
#include "transfer/filetransfer.h"
#include "transfer/receivesink.h"
#include "transfer/zmodemframe.h"

#include <atomic>
#include <fstream>

namespace zmodem {

struct ST_Failure
{
    ETransferEnd End = ETransferEnd::Done;
    long Code = 0;
};

// The line as both directions use it: frames out, decoder events in, time-outs, the cancel.
class CLink
{
public:
    CLink(ITransferChannel &channel, const ST_TransferOptions &options);

    void Cancel(); // any thread
    bool CancelRequested() const { return m_cancel.load(); }

    // Writes Out and empties it.
    bool Flush(ST_Failure *failure);
    bool SendHex(const ST_Header &header, ST_Failure *failure);

    enum class EWait : uint8_t { Event, TimedOut, Cancelled };
    // The next event of the decoder within `timeoutMs` (0: only from what already came).
    EWait Next(uint32_t timeoutMs, CDecoder::EEvent *event);
    // Reads past everything else for two 'O's, the sender's last words.
    void AwaitOver(uint32_t timeoutMs);
    void SendAbort();
    // Reads past the line end (and XON) that closes a hex header, where it came with the header.
    void SkipHexTail();
    // Hands what was read past the transfer's last event back to the channel.
    void GiveBack();

    CEncoder Encoder;
    CDecoder Decoder;
    std::vector<uint8_t> Out;
    uint64_t Wire = 0;

private:
    ITransferChannel &m_channel;
    const uint32_t m_answerMs;
    std::atomic<bool> m_cancel{false};
    std::vector<uint8_t> m_rx;
    size_t m_rxHead = 0;
    size_t m_rxSize = 0;
};

} // namespace zmodem

class CZmodemSend : public ITransfer
{
public:
    CZmodemSend(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                const ST_TransferOptions &options);
    CZmodemSend(const CZmodemSend &) = delete;
    CZmodemSend &operator=(const CZmodemSend &) = delete;

    void SetProgressHandler(ProgressHandler handler) override { m_onProgress = std::move(handler); }
    ST_TransferOutcome Run() override;
    void Cancel() override { m_link.Cancel(); }

private:
    using ST_Failure = zmodem::ST_Failure;
    bool AwaitReceiver(ST_Failure *failure);
    bool SendInit(ST_Failure *failure);
    bool SendFile(size_t index, ST_Failure *failure);
    // `extraOffers`: how many times the file was offered again, each a request for `from` to come.
    bool SendData(size_t index, std::ifstream &in, uint64_t from, int extraOffers, ST_Failure *failure);
    bool SendFinish(ST_Failure *failure);
    // A header the peer may send at any time: true when it ends the transfer (`failure` says how).
    bool Ends(const zmodem::ST_Header &header, ST_Failure *failure);
    enum class EAnswer : uint8_t { Header, TimedOut, Failed };
    EAnswer NextHeader(zmodem::ST_Header *header, ST_Failure *failure);
    void AnswerCrc(size_t index, uint32_t length);
    void Report(size_t index, bool begins, uint64_t fileSent);
    ST_TransferOutcome Ended(ETransferEnd end, long code = 0);

    zmodem::CLink m_link;
    const std::vector<ST_TransferFile> m_files;
    const ST_TransferOptions m_options;
    ProgressHandler m_onProgress;

    uint8_t m_receiverFlags = 0;
    uint32_t m_receiverBuffer = 0; // 0: it takes a stream of any length
    bool m_crc32 = false;
    uint64_t m_total = 0;
    uint64_t m_sentBefore = 0;
    size_t m_filesDone = 0;
    std::vector<uint8_t> m_block;
};

class CZmodemReceive : public ITransfer
{
public:
    CZmodemReceive(ITransferChannel &channel, IReceiveSink &sink, const ST_TransferOptions &options);
    CZmodemReceive(const CZmodemReceive &) = delete;
    CZmodemReceive &operator=(const CZmodemReceive &) = delete;

    void SetProgressHandler(ProgressHandler handler) override { m_onProgress = std::move(handler); }
    ST_TransferOutcome Run() override;
    void Cancel() override { m_link.Cancel(); }

private:
    using ST_Failure = zmodem::ST_Failure;
    enum class ENext : uint8_t { File, Fin, Failed };
    ENext AwaitFile(uint32_t timeoutMs, ST_IncomingFile *file, ST_Failure *failure);
    bool ReceiveFile(const ST_IncomingFile &file, ST_Failure *failure);
    // Takes one subpacket of file data at the current position.
    bool Take(const ST_IncomingFile &file, ST_Failure *failure);
    bool SendRinit(ST_Failure *failure);
    bool Retry(ST_Failure *failure, ETransferEnd end);
    void Report(bool begins);
    ST_TransferOutcome Ended(ETransferEnd end, long code = 0);

    zmodem::CLink m_link;
    IReceiveSink &m_sink;
    const ST_TransferOptions m_options;
    ProgressHandler m_onProgress;

    size_t m_filesDone = 0;
    uint64_t m_receivedBefore = 0;
    std::string m_detail;
    // The file in progress.
    std::string m_name;
    uint64_t m_size = 0;
    uint64_t m_position = 0; // the sender's offset of the next byte
    uint64_t m_kept = 0;     // what went to the sink (never past the announced size)
    size_t m_filesLeft = 0;
    uint64_t m_bytesLeft = 0;
    bool m_fileOpen = false;
    bool m_incomplete = false; // a file ended short of its size
    int m_errors = 0;
    bool m_headerLost = false; // a header came spoilt since we last asked for the data again
};
