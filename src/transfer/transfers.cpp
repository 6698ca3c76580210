#include "transfer/transfers.h"
#include "transfer/transferline.h"

#include "transfer/blockreceive.h"
#include "transfer/receivefolder.h"
#include "transfer/zmodem.h"

std::vector<uint8_t> TransferAbortBytes()
{
    return transferline::AbortBytes();
}

std::unique_ptr<ITransfer> MakeSend(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                                    const ST_TransferOptions &options)
{
    if (options.Protocol == ETransferProtocol::Zmodem)
        return std::make_unique<CZmodemSend>(channel, std::move(files), options);
    return std::make_unique<CFileTransfer>(channel, std::move(files), options);
}

bool CanReceive(ETransferProtocol protocol)
{
    switch (protocol) {
    case ETransferProtocol::Xmodem:
    case ETransferProtocol::Xmodem1K:
    case ETransferProtocol::Ymodem:
    case ETransferProtocol::Zmodem:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<ITransfer> MakeReceive(ITransferChannel &channel, IReceiveSink &sink,
                                       ETransferProtocol protocol, const ST_TransferOptions &options)
{
    if (!CanReceive(protocol))
        return nullptr;
    if (protocol == ETransferProtocol::Zmodem)
        return std::make_unique<CZmodemReceive>(channel, sink, options);
    return std::make_unique<CBlockReceive>(channel, sink, protocol, options);
}

std::shared_ptr<IReceiveSink> MakeReceiveFolder(std::string folder, std::string fixedName,
                                                const ST_ReceiveLimits &limits)
{
    return std::make_shared<CReceiveFolder>(std::move(folder), std::move(fixedName), limits);
}

std::vector<std::string> ReceivedPaths(const IReceiveSink &sink)
{
    if (const auto *folder = dynamic_cast<const CReceiveFolder *>(&sink))
        return folder->Received();
    return {};
}
