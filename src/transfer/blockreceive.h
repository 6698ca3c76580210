#pragma once
// Receives files from a sender of XMODEM (one file, 128- or 1024-byte blocks) or YMODEM (a batch,
// each file announced by its block 0) into a sink. The receiver drives: it asks for the first
// block with 'C' (CRC), and after a few unanswered asks with NAK, for senders that know only
// checksums. Blocks of either length are taken in every mode.
//
// Like a send it runs on the thread that calls Run, and Cancel may come from any other: the
// sender is then told with CAN. A sink that fails (a full disk) cancels the sender too.
#include "data/checksum.h"
#include "transfer/filetransfer.h"
#include "transfer/receivesink.h"

#include <atomic>
#include <chrono>

// What a YMODEM block 0 says: "name NUL size mtime mode", the size in decimal, the time and mode
// in octal, each part optional after the name. An empty name closes the batch.
struct ST_BlockZero
{
    bool BatchEnd = false;
    ST_IncomingFile File;
};
ST_BlockZero ParseBlockZero(const uint8_t *data, size_t size);

class CBlockReceive : public ITransfer
{
public:
    // `protocol`: Xmodem, Xmodem1K (received alike) or Ymodem; any other throws
    // std::invalid_argument. `options.Protocol` is not looked at.
    CBlockReceive(ITransferChannel &channel, IReceiveSink &sink, ETransferProtocol protocol,
                  const ST_TransferOptions &options);
    CBlockReceive(const CBlockReceive &) = delete;
    CBlockReceive &operator=(const CBlockReceive &) = delete;

    // Reports at the start of each file and after each block taken. FileCount is the files begun
    // so far (a batch does not say how many follow); FileSize is 0 when the sender names none.
    // WireBytes, there and in the outcome, counts the line both ways: a receive writes next to
    // nothing.
    void SetProgressHandler(ProgressHandler handler) override { m_onProgress = std::move(handler); }
    ST_TransferOutcome Run() override;
    void Cancel() override;

private:
    enum class EFrame : uint8_t { Block, EndOfFile, SenderCancel, TimedOut, Cancelled, Bad };
    struct Failure
    {
        ETransferEnd End = ETransferEnd::Done;
        long Code = 0;
        std::string Detail;
    };

    enum class EInput : uint8_t { Byte, TimedOut, Cancelled };
    using Clock = std::chrono::steady_clock;
    bool Take(uint8_t *data, size_t count, Clock::time_point deadline, EInput *how);
    EFrame ReadFrame(uint32_t timeoutMs);
    void Purge();
    bool Send(uint8_t byte, Failure *failure);
    bool AwaitFirst(uint8_t wanted, EFrame *first, Failure *failure);
    bool ReceiveFile(EFrame frame, Failure *failure);
    bool OpenFile(const ST_IncomingFile &file, Failure *failure);
    bool Deliver(const uint8_t *data, size_t size, Failure *failure);
    bool FinishFile(Failure *failure);
    void Report(bool begins);
    void SendCancel();
    ST_TransferOutcome Ended(const Failure &how);

    ITransferChannel &m_channel;
    IReceiveSink &m_sink;
    const ETransferProtocol m_protocol;
    const ST_TransferOptions m_options;
    ProgressHandler m_onProgress;
    std::atomic<bool> m_cancel{false};

    // Transfer-thread state.
    const CChecksum m_crc16{{EChecksumKind::Crc16Xmodem, {}, EByteOrder::BigEndian}};
    bool m_useCrc = true;
    std::vector<uint8_t> m_rx;
    size_t m_rxHead = 0;
    std::vector<uint8_t> m_block; // the data of the last frame read
    uint8_t m_number = 0;         // and its number
    uint64_t m_wire = 0;
    size_t m_filesDone = 0;
    uint64_t m_receivedBefore = 0;
    std::string m_detail;

    // The file being received.
    bool m_fileOpen = false;
    bool m_incomplete = false; // a file ended short of its size
    ST_IncomingFile m_file;
    size_t m_fileIndex = 0;
    uint64_t m_fileReceived = 0;
    std::vector<uint8_t> m_held; // size unknown: the last block, whose padding shows only at EOT
};
