#pragma once
// Where a receive puts the files the sender hands over. The protocol engines (XMODEM, YMODEM,
// ZMODEM) know only this; the folder, the names and the disk are the sink's.
//
// A sink is used on the transfer's thread only, one file at a time: Begin, Write..., then Finish
// or Abandon.
#include <cstddef>
#include <cstdint>
#include <string>

struct ST_IncomingFile
{
    // As the sender gave it: may hold folders, "..", control characters or be empty (XMODEM names
    // no file). The sink makes it safe.
    std::string Name;
    uint64_t Size = 0;
    bool SizeKnown = false;   // XMODEM and some YMODEM senders announce none
    int64_t ModifiedTime = 0; // seconds since 1970, UTC
    bool TimeKnown = false;
    uint32_t Mode = 0; // 0: not given
    // ZMODEM: the sender offers to continue a file the receiver holds in part.
    bool ResumeOffered = false;
};

class IReceiveSink
{
public:
    virtual ~IReceiveSink() = default;
    // Opens where the file's bytes go. `*resumeAt` receives the offset the receiver asks the
    // sender to continue from: the length of a part kept from an earlier broken receive of the same
    // name when `file.ResumeOffered`, else 0. False with `*error` (a sentence naming the file and
    // the reason) when nothing can be written.
    virtual bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error) = 0;
    // Appends; never more than the announced size is kept. False with `*error` on a write error
    // (a full disk...): the engine then cancels the sender.
    virtual bool Write(const uint8_t *data, size_t size, std::string *error) = 0;
    // The file is complete: synced and renamed into place under a name no existing file has.
    // `*finalPath` receives where it went.
    virtual bool Finish(std::string *finalPath, std::string *error) = 0;
    // The file broke off: nothing appears under the real name. With `keepForResume` the part is
    // kept (under its temporary name) for a sender that offers to continue it later.
    virtual void Abandon(bool keepForResume) = 0;
};
