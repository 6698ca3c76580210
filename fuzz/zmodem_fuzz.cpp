#include "transfer/zmodem.h"

#include "scriptedline.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace zmodem;

namespace {

// Keeps nothing; holds the engine to the sink's order and to the announced size.
class CCheckingSink : public IReceiveSink
{
public:
    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *) override
    {
        if (m_open)
            std::abort();
        m_open = true;
        m_file = file;
        m_taken = 0;
        *resumeAt = file.ResumeOffered ? std::min<uint64_t>(file.Size, 100) : 0;
        m_taken = *resumeAt;
        return true;
    }
    bool Write(const uint8_t *, size_t size, std::string *) override
    {
        if (!m_open || size == 0)
            std::abort();
        m_taken += size;
        if (m_file.SizeKnown && m_taken > m_file.Size)
            std::abort();
        return true;
    }
    EFileEnd Finish(std::string *, std::string *) override
    {
        if (!m_open)
            std::abort();
        m_open = false;
        return EFileEnd::Saved;
    }
    void Abandon(bool) override
    {
        if (!m_open)
            std::abort();
        m_open = false;
    }
    bool Open() const { return m_open; }

private:
    bool m_open = false;
    ST_IncomingFile m_file;
    uint64_t m_taken = 0;
};

const std::vector<ST_TransferFile> &Files()
{
    static const std::vector<ST_TransferFile> files = [] {
        char folder[] = "/tmp/zmodem_fuzz_XXXXXX";
        if (mkdtemp(folder) == nullptr)
            std::abort();
        std::vector<ST_TransferFile> made;
        for (const size_t size : {0, 1500, 5000}) {
            const std::string path = std::string(folder) + "/f" + std::to_string(size);
            std::ofstream(path, std::ios::binary) << std::string(size, '\x18');
            made.push_back(TransferFileAt(path));
        }
        return made;
    }();
    return files;
}

ST_TransferOptions Options(uint8_t choice)
{
    ST_TransferOptions options;
    options.Protocol = ETransferProtocol::Zmodem;
    options.StartTimeoutMs = 0;
    options.AnswerTimeoutMs = 0;
    options.Tries = 3;
    options.EscapeAllControls = (choice & 0x80) != 0;
    return options;
}

void Decode(const uint8_t *data, size_t size, size_t piece, bool ignoreControls)
{
    CDecoder decoder;
    decoder.SetIgnoreControls(ignoreControls);
    size_t at = 0;
    while (at < size) {
        CDecoder::EEvent event = CDecoder::EEvent::None;
        const size_t took = decoder.Feed(data + at, std::min(piece, size - at), &event);
        if (took == 0 || took > piece ||
            (event == CDecoder::EEvent::None && took != std::min(piece, size - at)))
            std::abort();
        if (decoder.DataSize() > CDecoder::kMaxData)
            std::abort();
        at += took;
    }
}

// Whatever we encode, with either CRC and either escaping, decodes to itself.
void RoundTrip(const uint8_t *data, size_t size, uint8_t choice)
{
    const bool crc32 = choice & 0x10, all = choice & 0x20;
    CEncoder encoder;
    encoder.SetEscapeAll(all);
    std::vector<uint8_t> wire;
    const ST_Header sent = PositionHeader(ZDATA, static_cast<uint32_t>(size * 2654435761u));
    if (choice & 0x40)
        encoder.HexHeader(wire, sent);
    else
        encoder.BinaryHeader(wire, sent, crc32);
    const size_t length = std::min(size, CDecoder::kMaxData);
    encoder.Subpacket(wire, data, length, ZCRCW, crc32 && !(choice & 0x40));
    CDecoder decoder;
    decoder.SetIgnoreControls(all);
    CDecoder::EEvent event = CDecoder::EEvent::None;
    size_t at = decoder.Feed(wire.data(), wire.size(), &event);
    if (event != CDecoder::EEvent::Header || decoder.Header().Type != ZDATA ||
        std::memcmp(decoder.Header().Bytes, sent.Bytes, 4) != 0)
        std::abort();
    at += decoder.Feed(wire.data() + at, wire.size() - at, &event);
    if (event != CDecoder::EEvent::Data || decoder.DataEnd() != ZCRCW || decoder.DataSize() != length ||
        !std::equal(data, data + length, decoder.Data()))
        std::abort();
}

} // namespace

// The first byte chooses what runs: the decoder alone, a round trip through the encoder, a
// receive or a send against the input as the peer; and the size of the pieces the input comes in.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    const size_t piece = 1 + ((choice >> 2) & 15) * 97;
    ++data;
    --size;
    switch (choice & 3) {
    case 0:
        Decode(data, size, piece, choice & 0x80);
        break;
    case 1:
        RoundTrip(data, size, choice);
        break;
    case 2: {
        CScriptedLine peer(data, size, piece);
        CCheckingSink sink;
        CZmodemReceive receive(peer, sink, Options(choice));
        const ST_TransferOutcome outcome = receive.Run();
        if (sink.Open() || !outcome.Receiving || outcome.WireBytes != peer.Written ||
            outcome.End == ETransferEnd::Cancelled)
            std::abort();
        break;
    }
    default: {
        CScriptedLine peer(data, size, piece);
        const std::vector<ST_TransferFile> &all = Files();
        std::vector<ST_TransferFile> files(all.begin(), all.begin() + 1 + (choice >> 6) % all.size());
        CZmodemSend send(peer, files, Options(choice));
        const ST_TransferOutcome outcome = send.Run();
        if (outcome.WireBytes != peer.Written || outcome.FilesDone > files.size() ||
            outcome.End == ETransferEnd::Cancelled || outcome.End == ETransferEnd::FileError)
            std::abort();
        break;
    }
    }
    return 0;
}
