#pragma once
// Sends files to the device: as they are (Raw), or to a receiver that asks for them with XMODEM
// (128-byte blocks, checksum or CRC as the receiver asks), XMODEM-1K (1024-byte blocks, CRC) or
// YMODEM (a batch: each file's name, size and modification time go ahead of it in block 0).
//
// A transfer runs on whatever thread calls Run (the port's sender thread), against a channel that
// writes to the port and reads what the port received. While a block protocol runs, the received
// bytes belong to it; a raw send reads none. Cancel may come from any other thread: it wakes a
// wait for the receiver at once, and the receiver is told with CAN. A block in flight is written
// to its end first, so the receiver reads the CANs where it looks for a block's start; only a
// line that has stopped taking data cuts a block short.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The port as a transfer sees it. Write and Read are called on the transfer's thread only.
class ITransferChannel
{
public:
    virtual ~ITransferChannel() = default;
    // Writes within `timeoutMs` (at least one attempt): 0 when every byte went out, ERROR_TIMEOUT
    // when the line did not take them all in time, otherwise the port's code of the failure.
    // `written` receives the count that went out in any case.
    virtual long Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written) = 0;
    // Waits up to `timeoutMs` for received bytes and takes up to `max` of them; 0 when none came
    // in time or the channel was woken.
    virtual size_t Read(uint8_t *data, size_t max, uint32_t timeoutMs) = 0;
    // Any thread: the Read in progress and every later one return at once.
    virtual void Wake() = 0;
    // Bytes read but not the transfer's (a shell's prompt right behind its last words), put back
    // in front of what is still to be read, for the line's owner once the transfer ended.
    virtual void Unread(const uint8_t *data, size_t size)
    {
        (void)data;
        (void)size;
    }
};

// Zmodem runs in an engine of its own (zmodem.h), not in CFileTransfer.
enum class ETransferProtocol : uint8_t { Raw, Xmodem, Xmodem1K, Ymodem, Zmodem };

struct ST_TransferOptions
{
    ETransferProtocol Protocol = ETransferProtocol::Raw;
    // Raw: a pause after each LF.
    uint32_t LineDelayMs = 0;
    // How long the receiver may take to ask for the first block (and, in a batch, for each file).
    uint32_t StartTimeoutMs = 60000;
    // How long a block, or an end of file, waits for its answer; also how long the line may hold
    // a block before the receiver counts as gone.
    uint32_t AnswerTimeoutMs = 10000;
    // Tries of one block before the transfer gives up.
    int Tries = 10;
    // YMODEM: how long the empty block that closes the batch waits for its answer. Receivers in
    // the field often leave it unanswered, so silence after this wait ends the batch as sent.
    uint32_t BatchEndAnswerMs = 2000;
    // ZMODEM: escape every control character, for lines that eat XON/XOFF or other controls.
    bool EscapeAllControls = false;
};

// One file to send, as found when the transfer was set up.
struct ST_TransferFile
{
    std::string Path;
    std::string Name; // without its folder: what a YMODEM receiver is told
    uint64_t Size = 0;
    int64_t ModifiedTime = 0; // seconds since 1970, UTC
    uint32_t Mode = 0;        // the file's type and permission bits
};

// Throws EFOpenError when `path` is not a regular file this process can read.
ST_TransferFile TransferFileAt(const std::string &path);

struct ST_TransferProgress
{
    size_t FileIndex = 0;
    size_t FileCount = 0;
    std::string FileName;
    bool FileBegins = false; // the first report of this file, before any of its bytes went out
    uint64_t FileSent = 0;   // acknowledged by the receiver (Raw: written)
    uint64_t FileSize = 0;
    uint64_t Sent = 0; // the same over every file so far
    uint64_t Total = 0;
    uint64_t WireBytes = 0; // everything written to the port, protocol bytes and resends included
};

enum class ETransferEnd : uint8_t {
    Done,
    Cancelled,         // by Cancel
    ReceiverCancelled, // the receiver sent CAN CAN
    NoAnswer,          // the receiver stopped answering (or never asked), after every try
    TooManyErrors,     // the receiver refused a block every try
    WriteFailed,       // the port failed a write (Code tells why)
    FileError,         // a file could no longer be read
    SenderCancelled,   // receiving: the sender sent CAN CAN (or ZCAN)
    DiskError,         // receiving: a file could not be written (Detail names it and why)
    Incomplete,        // receiving: a file ended short of its announced size (Detail says how much came)
};

struct ST_TransferOutcome
{
    ETransferEnd End = ETransferEnd::Done;
    long Code = 0;
    size_t FilesDone = 0;
    uint64_t WireBytes = 0; // what the transfer wrote to the line
    uint64_t ReadBytes = 0; // what the line's owner handed it (a session fills it in)
    // YMODEM: every file was acknowledged, the block that closes the batch was not.
    bool EndUnacknowledged = false;
    // Receiving: what the status bar and the log say besides the end (the file and the reason of a
    // DiskError, a file that was renamed, a resume).
    std::string Detail;
    bool Receiving = false;
};

// A sender's report of file `index`, `fileSent` bytes of it gone, `sentBefore` of the files before.
ST_TransferProgress SendProgress(const std::vector<ST_TransferFile> &files, size_t index, bool begins,
                                 uint64_t fileSent, uint64_t sentBefore, uint64_t total, uint64_t wire);

// A short English sentence for the status bar or a message box ("Sent", or "Received" for a
// receive that ended well).
const char *TransferEndText(ETransferEnd end, bool receiving = false);

// The name the dialog lists and the log writes: "Raw", "XMODEM", "XMODEM-1K", "YMODEM", "ZMODEM".
const char *TransferProtocolName(ETransferProtocol protocol);

// Anything the session runs on its sender thread while it holds the line: a send or a receive,
// of any protocol. The session feeds the channel the transfer was made with.
class ITransfer
{
public:
    using ProgressHandler = std::function<void(const ST_TransferProgress &)>;
    virtual ~ITransfer() = default;
    // Called on the transfer's thread at the start of each file and as its bytes go. Set before Run.
    virtual void SetProgressHandler(ProgressHandler handler) = 0;
    // Once. Returns when the transfer ended, however it ended.
    virtual ST_TransferOutcome Run() = 0;
    // Any thread, any time (also before Run, which then ends at once).
    virtual void Cancel() = 0;
};

class CFileTransfer : public ITransfer
{
public:
    // XMODEM and XMODEM-1K send one file: a list of more throws std::invalid_argument, as does
    // ZMODEM.
    CFileTransfer(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                  const ST_TransferOptions &options);
    CFileTransfer(const CFileTransfer &) = delete;
    CFileTransfer &operator=(const CFileTransfer &) = delete;

    // Reports at the start of each file and after each block (Raw: each piece written).
    void SetProgressHandler(ProgressHandler handler) override { m_onProgress = std::move(handler); }
    ST_TransferOutcome Run() override;
    void Cancel() override;
    bool CancelRequested() const { return m_cancel.load(); }

private:
    enum class EReply : uint8_t { Ack, Nak, Crc, ReceiverCancel, TimedOut, Cancelled };
    struct Failure
    {
        ETransferEnd End;
        long Code = 0;
    };

    ST_TransferOutcome RunRaw();
    ST_TransferOutcome RunBlocks();
    EReply NextReply(uint32_t timeoutMs);
    EReply AwaitStart(uint32_t timeoutMs);
    bool SendFile(size_t index, Failure *failure);
    bool SendBlock(uint8_t number, const uint8_t *data, size_t size, Failure *failure);
    bool SendEndOfFile(Failure *failure);
    bool SendBatchEnd(Failure *failure);
    bool Exchange(const std::vector<uint8_t> &bytes, uint32_t answerMs, Failure *failure,
                  bool *unanswered = nullptr);
    bool WriteBlock(const std::vector<uint8_t> &bytes, Failure *failure);
    bool WriteRaw(const uint8_t *data, size_t size, Failure *failure);
    bool Pause(uint32_t ms);
    void SendCancel();
    void Report(size_t index, bool begins, uint64_t fileSent);
    ST_TransferOutcome Ended(ETransferEnd end, long code = 0);

    ITransferChannel &m_channel;
    const std::vector<ST_TransferFile> m_files;
    const ST_TransferOptions m_options;
    ProgressHandler m_onProgress;

    std::atomic<bool> m_cancel{false};
    std::mutex m_pauseLock;
    std::condition_variable m_pauseWake;

    // Transfer-thread state.
    bool m_crc = true;
    uint64_t m_wire = 0;
    uint64_t m_sentBefore = 0; // acknowledged bytes of the files before the current one
    uint64_t m_total = 0;
    size_t m_filesDone = 0;
    std::vector<uint8_t> m_rx;
    size_t m_rxHead = 0;
    bool m_lastWasCan = false;
    bool m_endUnacknowledged = false;
};
