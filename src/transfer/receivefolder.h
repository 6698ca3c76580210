#pragma once
// Received files in one folder. The sender's name is only a suggestion: it is cut to a safe base
// name, so nothing lands outside the folder. A file is written under a hidden temporary name
// (".<name>.part") and appears under its own name only when complete and synced; an existing file
// is never replaced, the new one becomes "name (1).ext", "name (2).ext"... The permissions are
// this process's usual ones whatever the sender says; only the modification time is taken over.
//
// A part is continued (a ZMODEM resume) only when it is one this folder left: a record in the
// folder (".received-parts") names each part a receive kept, with its inode, and the part must
// still be a regular file of one link owned by this user. Any other file at a part's name stays
// untouched: the new part takes a numbered name beside it.
#include "transfer/receivesink.h"

#include <string>
#include <utility>
#include <vector>

class CReceiveFolder : public IReceiveSink
{
public:
    // `fixedName`: the name for a file whose sender gives none (XMODEM).
    explicit CReceiveFolder(std::string folder, std::string fixedName = {}, ST_ReceiveLimits limits = {});
    ~CReceiveFolder() override;
    CReceiveFolder(const CReceiveFolder &) = delete;
    CReceiveFolder &operator=(const CReceiveFolder &) = delete;

    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error) override;
    bool Write(const uint8_t *data, size_t size, std::string *error) override;
    EFileEnd Finish(std::string *finalPath, std::string *error) override;
    void Abandon(bool resumable) override;

    // Where every finished file went, in order (one that ended short: its part).
    std::vector<std::string> Received() const { return m_received; }

    // The base name a sender's name becomes: its last component (after '/' or '\'), control
    // characters and DEL as '_', without leading dots (no hidden file, no "." or ".."), at most
    // 255 bytes cut on a character's boundary with the extension kept; "received" when nothing is
    // left.
    static std::string SafeName(const std::string &sent);

    // The record of the parts kept, in the folder.
    static constexpr const char *kRecordName = ".received-parts";

private:
    std::string PartPathFor(const std::string &name) const;
    std::string Failed(const char *what, int code) const;
    bool Resume(const ST_IncomingFile &file, uint64_t *resumeAt);
    bool RoomFor(size_t size, std::string *error);
    // The record: "inode name" a line.
    std::vector<std::pair<uint64_t, std::string>> ReadRecord() const;
    void WriteRecord(const std::vector<std::pair<uint64_t, std::string>> &entries) const;
    void Record(bool add);

    std::string m_folder;
    std::string m_fixedName;
    ST_ReceiveLimits m_limits;
    std::vector<std::string> m_received;

    // The file being received.
    int m_fd = -1;
    std::string m_name; // safe
    std::string m_partPath;
    uint64_t m_partInode = 0;
    ST_IncomingFile m_file;
    uint64_t m_written = 0;
    uint64_t m_roomChecked = 0; // m_written when the free space was last looked at
    bool m_roomKnown = false;
};
