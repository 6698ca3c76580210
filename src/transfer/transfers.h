#pragma once
// The one place that knows which engine runs which transfer: the session and the window ask here
// for a send, a receive or the folder a receive writes to, and never name an engine themselves.
#include "transfer/filetransfer.h"
#include "transfer/receivesink.h"

#include <memory>
#include <string>
#include <vector>

// What tells the other end that a transfer is over, whatever the protocol (transferline.h).
std::vector<uint8_t> TransferAbortBytes();

// Throws std::invalid_argument for files the protocol cannot carry (more than one for XMODEM).
// Null when this build has no engine for the protocol.
std::unique_ptr<ITransfer> MakeSend(ITransferChannel &channel, std::vector<ST_TransferFile> files,
                                    const ST_TransferOptions &options);
// XMODEM, XMODEM-1K, YMODEM or ZMODEM into `sink`, which must outlive the transfer. Null when this
// build has no engine for the protocol.
std::unique_ptr<ITransfer> MakeReceive(ITransferChannel &channel, IReceiveSink &sink,
                                       ETransferProtocol protocol, const ST_TransferOptions &options);
// Whether MakeReceive has an engine for `protocol`.
bool CanReceive(ETransferProtocol protocol);

// Received files go into `folder`; `fixedName` names the file of a protocol that names none.
// Null when this build cannot write received files.
std::shared_ptr<IReceiveSink> MakeReceiveFolder(std::string folder, std::string fixedName = {},
                                                const ST_ReceiveLimits &limits = {});
// The final paths of the files a sink made by MakeReceiveFolder finished, in order (a file that
// ended short: the part it stays under).
std::vector<std::string> ReceivedPaths(const IReceiveSink &sink);
