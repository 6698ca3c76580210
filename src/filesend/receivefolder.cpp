#include "filesend/receivefolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kNameMax = 255;
// Longer tails are no extension worth keeping when a name is cut or numbered.
constexpr size_t kExtensionMax = 16;
const char *const kPartSuffix = ".part";
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

// Into place under `to` only if nothing is there yet: EEXIST otherwise. File systems without the
// atomic rename get a hard link and an unlink, which is as safe against a file appearing there.
int MoveNoReplace(const std::string &from, const std::string &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

} // namespace

CReceiveFolder::CReceiveFolder(std::string folder, std::string fixedName)
    : m_folder(std::move(folder)), m_fixedName(std::move(fixedName))
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

std::string CReceiveFolder::PartPath() const
{
    return m_folder + "/." + Cut(m_name, kNameMax - 1 - std::strlen(kPartSuffix)) + kPartSuffix;
}

std::string CReceiveFolder::Failed(const char *what, int code) const
{
    return std::string("Could not ") + what + " " + m_name + " in " + m_folder + ": " + std::strerror(code) +
           ".";
}

bool CReceiveFolder::Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error)
{
    Abandon(false);
    *resumeAt = 0;
    m_file = file;
    m_written = 0;
    m_name = SafeName(file.Name.empty() && !m_fixedName.empty() ? m_fixedName : file.Name);
    const std::string part = PartPath();
    if (file.ResumeOffered) {
        m_fd = open(part.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        struct stat st
        {
        };
        if (m_fd >= 0 && fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) &&
            (!file.SizeKnown || static_cast<uint64_t>(st.st_size) <= file.Size)) {
            m_written = static_cast<uint64_t>(st.st_size);
            *resumeAt = m_written;
            return true;
        }
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    // A stale part, or whatever else took its name, is not written through.
    unlink(part.c_str());
    m_fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        *error = Failed("create", errno);
        m_name.clear();
        return false;
    }
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

bool CReceiveFolder::Finish(std::string *finalPath, std::string *error)
{
    if (m_fd < 0) {
        *error = Failed("write", EBADF);
        return false;
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
        return false;
    }
    const std::string part = PartPath();
    for (int n = 0; n <= kNumberMax; ++n) {
        const std::string path = m_folder + "/" + Numbered(m_name, n);
        const int rc = MoveNoReplace(part, path);
        if (rc == EEXIST)
            continue;
        if (rc != 0) {
            *error = Failed("save", rc);
            return false;
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
        return true;
    }
    *error = Failed("save", EEXIST);
    return false;
}

void CReceiveFolder::Abandon(bool keepForResume)
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!keepForResume && !m_name.empty())
        unlink(PartPath().c_str());
    m_name.clear();
}
