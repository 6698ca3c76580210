#pragma once
// Where a receive puts the files the sender hands over. The protocol engines (XMODEM, YMODEM,
// ZMODEM) know only this; the folder, the names and the disk are the sink's.
//
// A sink is used on the transfer's thread only, one file at a time: Begin, Write..., then Finish
// or Abandon.
#include <cstddef>
#include <cstdint>
#include <string>

// A sender's file name as notes, tooltips and progress show it: data, never layout. Control bytes
// and DEL become "\xNN" (no line of its own in the log, no forged note), and so does a backslash,
// so no name can pass for an escaped one. Everything else is kept as it came.
inline std::string ShownFileName(const std::string &sent)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(sent.size());
    for (const char c : sent) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F || byte == '\\') {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}

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

// How far a receive may fill the disk, and what is left of a file that broke off.
struct ST_ReceiveLimits
{
    // A part left by a cancelled or failed receive is kept for a sender that offers to continue
    // it; otherwise it is deleted.
    bool KeepPartsForResume = false;
    // The most a file whose sender announces no size may take.
    uint64_t UnknownSizeMax = 1024ull << 20;
    // What every file leaves free on the disk.
    uint64_t FreeSpaceReserve = 64ull << 20;
};

enum class EFileEnd : uint8_t {
    Saved,
    Short, // ended before its announced size: kept under its part name
    Failed,
};

class IReceiveSink
{
public:
    virtual ~IReceiveSink() = default;
    // Opens where the file's bytes go. `*resumeAt` receives the offset the receiver asks the
    // sender to continue from: the length of a part this sink's folder kept from an earlier broken
    // receive of the same name when `file.ResumeOffered`, else 0. False with `*error` (a sentence
    // naming the file and the reason) when nothing can be written.
    virtual bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error) = 0;
    // Appends; never more than the announced size is kept, nor more than the limits allow. False
    // with `*error` on a write error (a full disk, a limit...): the engine then cancels the sender.
    virtual bool Write(const uint8_t *data, size_t size, std::string *error) = 0;
    // The sender says the file is complete. Saved: synced and renamed into place under a name no
    // existing file has, `*finalPath` receives where it went. Short: fewer bytes came than were
    // announced; the file stays under its part name (`*finalPath`) and `*error` says how many
    // came. Failed: `*error` says why.
    virtual EFileEnd Finish(std::string *finalPath, std::string *error) = 0;
    // The file broke off: nothing appears under the real name. `resumable` when the line broke
    // (a later resume may continue the part), not the disk; the part is kept only when that is so
    // and the limits keep parts.
    virtual void Abandon(bool resumable) = 0;
};
