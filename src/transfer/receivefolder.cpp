#include "transfer/receivefolder.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr size_t kNameMax = 255;
// Longer tails are no extension worth keeping when a name is cut or numbered.
constexpr size_t kExtensionMax = 16;
const char *const kPartSuffix = ".part";
// The free space is looked at again after this much is written.
constexpr uint64_t kRoomCheckEvery = 1 << 20;
// Where numbering gives up: a folder that full of one name is a folder gone wrong.
constexpr int kNumberMax = 9999;

// At most `max` bytes, never ending inside a UTF-8 sequence; bytes that are no UTF-8 are cut
// where they fall rather than lose the whole name.
std::string Cut(const std::string &text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t end = max;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end > 0 ? end : max);
}

// "name.ext" as "name" and ".ext"; a name with no dot past its first byte has no extension.
void Split(const std::string &name, std::string *stem, std::string *extension)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kExtensionMax) {
        *stem = name;
        extension->clear();
        return;
    }
    *stem = name.substr(0, dot);
    *extension = name.substr(dot);
}

// `stem` + `insert` + `extension` in kNameMax bytes: the stem gives way, unless there is none
// left of it, then the extension is cut too.
std::string Fit(const std::string &stem, const std::string &insert, const std::string &extension)
{
    const std::string tail = insert + extension;
    if (tail.size() < kNameMax) {
        const std::string cut = Cut(stem, kNameMax - tail.size());
        if (!cut.empty())
            return cut + tail;
    }
    return Cut(stem + tail, kNameMax);
}

// The name a finished file tries, the n-th time.
std::string Numbered(const std::string &name, int n)
{
    if (n == 0)
        return name;
    std::string stem, extension;
    Split(name, &stem, &extension);
    return Fit(stem, " (" + std::to_string(n) + ")", extension);
}

} // namespace

CReceiveFolder::CReceiveFolder(std::string folder, std::string fixedName, ST_ReceiveLimits limits)
    : m_folder(std::move(folder)), m_fixedName(std::move(fixedName)), m_limits(limits)
{
    while (m_folder.size() > 1 && m_folder.back() == '/')
        m_folder.pop_back();
}

// A receive that never ended is left as one that broke off.
CReceiveFolder::~CReceiveFolder()
{
    Abandon(true);
}

std::string CReceiveFolder::SafeName(const std::string &sent)
{
    const size_t separator = sent.find_last_of("/\\");
    std::string name = separator == std::string::npos ? sent : sent.substr(separator + 1);
    for (char &c : name) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = '_';
    }
    name.erase(0, name.find_first_not_of('.'));
    if (name.empty())
        return "received";
    if (name.size() <= kNameMax)
        return name;
    std::string stem, extension;
    Split(name, &stem, &extension);
    return Fit(stem, "", extension);
}

std::string CReceiveFolder::PartPathFor(const std::string &name) const
{
    return m_folder + "/." + Cut(name, kNameMax - 1 - std::strlen(kPartSuffix)) + kPartSuffix;
}

std::string CReceiveFolder::Failed(const char *what, int code) const
{
    return std::string("Could not ") + what + " " + ShownFileName(m_name) + " in " + m_folder + ": " +
           std::strerror(code) + ".";
}

std::vector<std::pair<uint64_t, std::string>> CReceiveFolder::ReadRecord() const
{
    std::vector<std::pair<uint64_t, std::string>> entries;
    const int fd =
        open((m_folder + "/" + kRecordName).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return entries;
    struct stat st
    {
    };
    std::string text;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_size < (1 << 20)) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos || space == 0)
            continue;
        char *end = nullptr;
        const unsigned long long inode = std::strtoull(line.c_str(), &end, 10);
        if (end == line.c_str() + space)
            entries.emplace_back(inode, line.substr(space + 1));
    }
    return entries;
}

// Into place by a rename, so a crash leaves the old record or the new one.
void CReceiveFolder::WriteRecord(const std::vector<std::pair<uint64_t, std::string>> &entries) const
{
    const std::string path = m_folder + "/" + kRecordName;
    const std::string temporary = path + ".new";
    unlink(temporary.c_str());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::string text;
    for (const auto &[inode, name] : entries)
        text += std::to_string(inode) + " " + name + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool synced = fsync(fd) == 0;
    close(fd);
    if (!written || !synced || rename(temporary.c_str(), path.c_str()) != 0)
        unlink(temporary.c_str());
}

// Adds the current part to the record, or takes it off.
void CReceiveFolder::Record(bool add)
{
    const std::string name = m_partPath.substr(m_partPath.rfind('/') + 1);
    std::vector<std::pair<uint64_t, std::string>> entries = ReadRecord();
    const size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const auto &entry) { return entry.second == name; }),
                  entries.end());
    if (add)
        entries.emplace_back(m_partInode, name);
    if (add || entries.size() != before)
        WriteRecord(entries);
}

// The part at the file's own part name, if this folder left it and nothing else took its place.
bool CReceiveFolder::Resume(const ST_IncomingFile &file, uint64_t *resumeAt)
{
    const std::string part = PartPathFor(m_name);
    const int fd = open(part.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    const std::string name = part.substr(part.rfind('/') + 1);
    const auto entries = ReadRecord();
    const auto ours = [&] {
        return std::any_of(entries.begin(), entries.end(), [&](const auto &entry) {
            return entry.second == name && entry.first == static_cast<uint64_t>(st.st_ino);
        });
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != geteuid() ||
        !ours() || (file.SizeKnown && static_cast<uint64_t>(st.st_size) > file.Size)) {
        close(fd);
        return false;
    }
    m_fd = fd;
    m_partPath = part;
    m_partInode = static_cast<uint64_t>(st.st_ino);
    m_written = static_cast<uint64_t>(st.st_size);
    *resumeAt = m_written;
    // Ours again until it ends; an end that keeps it records it anew.
    Record(false);
    return true;
}

bool CReceiveFolder::Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error)
{
    Abandon(false);
    *resumeAt = 0;
    m_file = file;
    m_written = 0;
    m_roomChecked = 0;
    m_roomKnown = false;
    m_name = SafeName(file.Name.empty() && !m_fixedName.empty() ? m_fixedName : file.Name);
    if (file.ResumeOffered && Resume(file, resumeAt))
        return true;
    // Whatever holds a part's name is not ours to write through or delete: a name beside it.
    int code = EEXIST;
    for (int n = 0; n <= kNumberMax && code == EEXIST; ++n) {
        m_partPath = PartPathFor(Numbered(m_name, n));
        m_fd = open(m_partPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        code = m_fd >= 0 ? 0 : errno;
    }
    struct stat st
    {
    };
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        *error = Failed("create", code != 0 ? code : errno);
        if (m_fd >= 0) {
            close(m_fd);
            unlink(m_partPath.c_str());
        }
        m_fd = -1;
        m_name.clear();
        return false;
    }
    m_partInode = static_cast<uint64_t>(st.st_ino);
    return true;
}

// A file of unknown size stops at the limit; every file stops short of the reserve.
bool CReceiveFolder::RoomFor(size_t size, std::string *error)
{
    if (!m_file.SizeKnown && m_written + size > m_limits.UnknownSizeMax) {
        *error = "Could not write " + ShownFileName(m_name) + " in " + m_folder +
                 ": a file of unknown size may take " + std::to_string(m_limits.UnknownSizeMax >> 20) +
                 " MiB at most.";
        return false;
    }
    if (m_roomKnown && m_written + size - m_roomChecked < kRoomCheckEvery)
        return true;
    struct statvfs fs
    {
    };
    if (fstatvfs(m_fd, &fs) != 0)
        return true;
    const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (free < m_limits.FreeSpaceReserve + size + kRoomCheckEvery) {
        *error = "Could not write " + ShownFileName(m_name) + " in " + m_folder + ": the disk keeps " +
                 std::to_string(m_limits.FreeSpaceReserve >> 20) + " MiB free.";
        return false;
    }
    m_roomKnown = true;
    m_roomChecked = m_written;
    return true;
}

bool CReceiveFolder::Write(const uint8_t *data, size_t size, std::string *error)
{
    if (m_fd < 0) {
        *error = Failed("write", EBADF);
        return false;
    }
    if (m_file.SizeKnown)
        size = static_cast<size_t>(std::min<uint64_t>(size, m_file.Size - std::min(m_file.Size, m_written)));
    if (size == 0)
        return true;
    if (!RoomFor(size, error))
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(m_fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = Failed("write", n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_written += size;
    return true;
}

EFileEnd CReceiveFolder::Finish(std::string *finalPath, std::string *error)
{
    if (m_fd < 0) {
        *error = Failed("write", EBADF);
        return EFileEnd::Failed;
    }
    if (m_file.TimeKnown) {
        const timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(m_file.ModifiedTime), 0}};
        futimens(m_fd, times);
    }
    const int synced = fsync(m_fd) == 0 ? 0 : errno;
    const int closed = close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    if (synced != 0 || closed != 0) {
        *error = Failed("write", synced != 0 ? synced : closed);
        return EFileEnd::Failed;
    }
    if (m_file.SizeKnown && m_written < m_file.Size) {
        // What came is kept where a resume finds it.
        Record(true);
        m_received.push_back(m_partPath);
        *finalPath = m_partPath;
        *error = ShownFileName(m_name) + ": incomplete: " + std::to_string(m_written) + " of " +
                 std::to_string(m_file.Size) + " bytes, kept as " + m_partPath;
        m_name.clear();
        return EFileEnd::Short;
    }
    for (int n = 0; n <= kNumberMax; ++n) {
        const std::string path = m_folder + "/" + Numbered(m_name, n);
        const int rc = MoveNoReplace(m_partPath, path);
        if (rc == EEXIST)
            continue;
        if (rc != 0) {
            *error = Failed("save", rc);
            return EFileEnd::Failed;
        }
        // The rename itself survives a crash only once the folder is synced.
        const int folder = open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
        m_received.push_back(path);
        *finalPath = path;
        m_name.clear();
        return EFileEnd::Saved;
    }
    *error = Failed("save", EEXIST);
    return EFileEnd::Failed;
}

void CReceiveFolder::Abandon(bool resumable)
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!m_name.empty()) {
        if (resumable && m_limits.KeepPartsForResume)
            Record(true);
        else
            unlink(m_partPath.c_str());
    }
    m_name.clear();
}
