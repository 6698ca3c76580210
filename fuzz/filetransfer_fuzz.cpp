#include "transfer/filetransfer.h"

#include "scriptedline.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::vector<ST_TransferFile> &Files()
{
    static const std::vector<ST_TransferFile> files = [] {
        char folder[] = "/tmp/filetransfer_fuzz_XXXXXX";
        std::vector<ST_TransferFile> made;
        if (mkdtemp(folder) == nullptr)
            std::abort();
        for (const size_t size : {0, 100, 1500, 5000}) {
            const std::string path = std::string(folder) + "/f" + std::to_string(size);
            std::ofstream(path, std::ios::binary) << std::string(size, 'x');
            made.push_back(TransferFileAt(path));
        }
        return made;
    }();
    return files;
}

} // namespace

// The first byte chooses the protocol, the file (or, for a batch, how many files) and the size
// of the pieces the receiver's bytes arrive in.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    ST_TransferOptions options;
    options.Protocol = static_cast<ETransferProtocol>(1 + data[0] % 3);
    options.StartTimeoutMs = 0;
    options.AnswerTimeoutMs = 0;
    const size_t choice = (data[0] >> 2) & 3;
    std::vector<ST_TransferFile> files;
    if (options.Protocol == ETransferProtocol::Ymodem)
        files.assign(Files().begin(), Files().begin() + static_cast<std::ptrdiff_t>(choice + 1));
    else
        files.push_back(Files()[choice]);
    CScriptedLine receiver(data + 1, size - 1, 1 + (data[0] >> 4));
    CFileTransfer transfer(receiver, files, options);
    const ST_TransferOutcome outcome = transfer.Run();
    if (outcome.WireBytes != receiver.Written)
        std::abort();
    if (outcome.End == ETransferEnd::Done && outcome.FilesDone != files.size())
        std::abort();
    if (outcome.End == ETransferEnd::Cancelled || outcome.End == ETransferEnd::WriteFailed ||
        outcome.End == ETransferEnd::FileError)
        std::abort();
    return 0;
}
