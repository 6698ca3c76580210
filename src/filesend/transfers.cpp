#include "filesend/transfers.h"
#include "filesend/transferline.h"

#if __has_include("filesend/zmodem.h")
#include "filesend/zmodem.h"
#define KESTRUM_HAS_ZMODEM 1
#endif
#if __has_include("filesend/blockreceive.h")
#include "filesend/blockreceive.h"
#define KESTRUM_HAS_BLOCK_RECEIVE 1
#endif
#if __has_include("filesend/receivefolder.h")
#include "filesend/receivefolder.h"
#define KESTRUM_HAS_RECEIVE_FOLDER 1
#endif

std::vector<uint8_t> TransferAbortBytes()
{
    return transferline::AbortBytes();
}

std::unique_ptr<ITransfer> MakeSend(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                                    const ST_TransferOptions &options)
{
    if (options.Protocol == ETransferProtocol::Zmodem) {
#ifdef KESTRUM_HAS_ZMODEM
        return std::make_unique<CZmodemSend>(channel, std::move(files), options);
#else
        return nullptr;
#endif
    }
    return std::make_unique<CFileTransfer>(channel, std::move(files), options);
}

bool CanReceive(ETransferProtocol protocol)
{
    switch (protocol) {
    case ETransferProtocol::Xmodem:
    case ETransferProtocol::Xmodem1K:
    case ETransferProtocol::Ymodem:
#ifdef KESTRUM_HAS_BLOCK_RECEIVE
        return true;
#else
        return false;
#endif
    case ETransferProtocol::Zmodem:
#ifdef KESTRUM_HAS_ZMODEM
        return true;
#else
        return false;
#endif
    default:
        return false;
    }
}

std::unique_ptr<ITransfer> MakeReceive([[maybe_unused]] ITransferChannel &channel,
                                       [[maybe_unused]] IReceiveSink &sink, ETransferProtocol protocol,
                                       [[maybe_unused]] const ST_TransferOptions &options)
{
    if (!CanReceive(protocol))
        return nullptr;
#ifdef KESTRUM_HAS_ZMODEM
    if (protocol == ETransferProtocol::Zmodem)
        return std::make_unique<CZmodemReceive>(channel, sink, options);
#endif
#ifdef KESTRUM_HAS_BLOCK_RECEIVE
    if (protocol != ETransferProtocol::Zmodem)
        return std::make_unique<CBlockReceive>(channel, sink, protocol, options);
#endif
    return nullptr;
}

std::shared_ptr<IReceiveSink> MakeReceiveFolder([[maybe_unused]] std::string folder,
                                                [[maybe_unused]] std::string fixedName,
                                                [[maybe_unused]] const ST_ReceiveLimits &limits)
{
#ifdef KESTRUM_HAS_RECEIVE_FOLDER
    return std::make_shared<CReceiveFolder>(std::move(folder), std::move(fixedName), limits);
#else
    return nullptr;
#endif
}

std::vector<std::string> ReceivedPaths([[maybe_unused]] const IReceiveSink &sink)
{
#ifdef KESTRUM_HAS_RECEIVE_FOLDER
    if (const auto *folder = dynamic_cast<const CReceiveFolder *>(&sink))
        return folder->Received();
#endif
    return {};
}
