#include "transfer/blockreceive.h"
#include "transfer/receivefolder.h"

#include "scriptedline.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Holds the engine to the sink's rules: one file at a time, nothing past the announced size (a
// file may end short of it: the sender's end of file is what ends it).
class CCheckingSink : public IReceiveSink
{
public:
    explicit CCheckingSink(bool failWrites) : m_failWrites(failWrites) {}
    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *) override
    {
        if (m_open)
            std::abort();
        m_open = true;
        m_file = file;
        m_written = 0;
        *resumeAt = 0;
        return true;
    }
    bool Write(const uint8_t *, size_t size, std::string *error) override
    {
        if (!m_open || (m_file.SizeKnown && m_written + size > m_file.Size))
            std::abort();
        m_written += size;
        if (m_failWrites)
            *error = "full";
        return !m_failWrites;
    }
    EFileEnd Finish(std::string *finalPath, std::string *) override
    {
        if (!m_open)
            std::abort();
        m_open = false;
        ++Finished;
        *finalPath = "/in/" + CReceiveFolder::SafeName(m_file.Name);
        return EFileEnd::Saved;
    }
    void Abandon(bool) override { m_open = false; }
    bool Open() const { return m_open; }
    size_t Finished = 0;

private:
    bool m_failWrites;
    bool m_open = false;
    ST_IncomingFile m_file;
    uint64_t m_written = 0;
};

void CheckSafeName(const std::string &sent)
{
    const std::string name = CReceiveFolder::SafeName(sent);
    if (name.empty() || name.size() > 255 || name == "." || name == ".." || name[0] == '.')
        std::abort();
    for (const char c : name)
        if (c == '/' || c == '\\' || static_cast<uint8_t>(c) < 0x20 || c == 0x7F)
            std::abort();
}

} // namespace

// The first byte chooses the protocol, whether the disk is full and the size of the pieces the
// sender's bytes arrive in. The whole input is also a sender's name and a block 0.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char *>(data), size);
    CheckSafeName(text);
    const ST_BlockZero zero = ParseBlockZero(data, size);
    if (zero.BatchEnd != (data[0] == 0))
        std::abort();
    if (!zero.BatchEnd)
        CheckSafeName(zero.File.Name);

    ST_TransferOptions options;
    options.StartTimeoutMs = 0;
    options.AnswerTimeoutMs = 0;
    const ETransferProtocol protocols[] = {ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K,
                                           ETransferProtocol::Ymodem, ETransferProtocol::Ymodem};
    const ETransferProtocol protocol = protocols[data[0] & 3];
    CCheckingSink sink((data[0] & 4) != 0);
    CScriptedLine sender(data + 1, size - 1, 1 + (data[0] >> 3));
    CBlockReceive transfer(sender, sink, protocol, options);
    const ST_TransferOutcome outcome = transfer.Run();
    if (!outcome.Receiving || sink.Open() || outcome.FilesDone != sink.Finished)
        std::abort();
    if (outcome.End == ETransferEnd::Done && protocol != ETransferProtocol::Ymodem && outcome.FilesDone != 1)
        std::abort();
    if (outcome.End == ETransferEnd::Cancelled || outcome.End == ETransferEnd::WriteFailed ||
        outcome.End == ETransferEnd::FileError || outcome.End == ETransferEnd::ReceiverCancelled)
        std::abort();
    return 0;
}
