#include "platform/textfile.h"

#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> SplitTextLines(const std::string &text, std::vector<size_t> *failed)
{
    std::vector<std::string> lines;
    const size_t end = text.size();
    size_t start = 0;
    size_t i = 0;
    bool nul = false;
    const auto take = [&](size_t to) {
        if (nul) {
            if (failed)
                failed->push_back(lines.size());
            lines.emplace_back();
        } else {
            lines.emplace_back(text, start, to - start);
        }
        nul = false;
    };
    while (i < end) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            take(i);
            i += (c == '\r' && i + 1 < end && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            nul = nul || c == '\0';
            ++i;
        }
    }
    if (start < end)
        take(end);
    return lines;
}

bool FileExists(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

namespace {

const char *KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder, not a file";
    if (S_ISFIFO(mode))
        return "a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device, not a regular file";
    if (S_ISSOCK(mode))
        return "a socket, not a regular file";
    return "not a regular file";
}

std::string TooLarge(size_t limit)
{
    return "larger than " + std::to_string(limit / (1024 * 1024)) + " MiB";
}

} // namespace

bool ReadWholeFile(const std::string &path, std::string &content, size_t limit)
{
    // Non-blocking, so a FIFO with no writer opens at once and the check below refuses it; a
    // link is followed, but only to a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return false;
        throw EFOpenError(path, std::strerror(errno));
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::string why = S_ISREG(st.st_mode) ? std::strerror(errno) : KindOf(st.st_mode);
        close(fd);
        throw EFOpenError(path, why);
    }
    if (static_cast<uint64_t>(st.st_size) > limit) {
        close(fd);
        throw EFOpenError(path, TooLarge(limit));
    }
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            close(fd);
            throw EFOpenError(path, std::strerror(error));
        }
        if (n == 0)
            break;
        if (data.size() + static_cast<size_t>(n) > limit) { // it grew while being read
            close(fd);
            throw EFOpenError(path, TooLarge(limit));
        }
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    content = std::move(data);
    return true;
}

bool ReadTextLines(const std::string &path, std::vector<std::string> &lines, std::vector<size_t> *failed)
{
    std::string content;
    if (!ReadWholeFile(path, content))
        return false;
    lines = SplitTextLines(content, failed);
    return true;
}

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

std::string KeepAside(const std::string &path)
{
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::string();
    const time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path + ".unreadable-" + stamp;
    for (int n = 0; n < 100; ++n) {
        const std::string aside = n == 0 ? base : base + "-" + std::to_string(n);
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno != EEXIST)
            return std::string();
    }
    return std::string();
}

namespace {

bool WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new sibling that no other writer can be using: created exclusively with mode 0644, less the
// process umask as for a plain create (reading the umask is not thread-safe).
int CreateSibling(const std::string &path, std::string &tmp)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

using BodyWriter = std::function<bool(int fd)>;

// Writes `piece`, which may be empty, then every piece that follows it.
bool WritePieces(int fd, const TextPieces &pieces, std::string &piece)
{
    do {
        if (!WriteAll(fd, piece.data(), piece.size()))
            return false;
        piece.clear();
    } while (pieces(piece));
    return true;
}

// Where a save of `path` goes: the path itself, or the target of a link there. Something that
// is not a regular file is never replaced: a device, FIFO or folder, or a link to one, may be
// anything (as root the save once put a text file where a device node had been). "" with `why`
// when the save must not go anywhere.
std::string FindSaveTarget(const std::string &path, struct stat &old, bool &replacing, std::string &why)
{
    replacing = false;
    if (lstat(path.c_str(), &old) != 0) {
        if (errno == ENOENT)
            return path;
        why = std::strerror(errno);
        return std::string();
    }
    std::string target = path;
    if (S_ISLNK(old.st_mode)) {
        char *resolved = realpath(path.c_str(), nullptr);
        if (resolved) {
            target = resolved;
            std::free(resolved);
        }
        if (!resolved || lstat(target.c_str(), &old) != 0)
            why = "a link to nothing that can be written";
        else if (!S_ISREG(old.st_mode))
            why = std::string("a link to ") + KindOf(old.st_mode);
        else if (old.st_uid != geteuid())
            why = "a link to a file of another user";
    } else if (!S_ISREG(old.st_mode)) {
        why = KindOf(old.st_mode);
    }
    if (!why.empty())
        return std::string();
    replacing = true;
    return target;
}

std::string SaveTarget(const std::string &path, struct stat &old, bool &replacing)
{
    std::string why;
    const std::string target = FindSaveTarget(path, old, replacing, why);
    if (!why.empty())
        throw EFCreateError(path, why);
    return target;
}

} // namespace

std::string WhyNotOwnFile(const std::string &path)
{
    struct stat st = {};
    bool replacing = false;
    std::string why;
    FindSaveTarget(path, st, replacing, why);
    return why;
}

namespace {

void WriteAtomicWith(const std::string &path, const BodyWriter &body)
{
    if (path.empty())
        throw EFCreateError(path);
    struct stat old = {};
    bool replacing = false;
    const std::string target = SaveTarget(path, old, replacing);
    std::string tmp;
    const int fd = CreateSibling(target, tmp);
    if (fd < 0)
        throw EFCreateError(path);
    bool ok = false;
    try {
        ok = (!replacing || fchmod(fd, old.st_mode & 0777) == 0) && body(fd) && fsync(fd) == 0;
    } catch (...) {
        close(fd);
        unlink(tmp.c_str());
        throw;
    }
    if (close(fd) != 0 || !ok || rename(tmp.c_str(), target.c_str()) != 0) {
        unlink(tmp.c_str());
        throw EFCreateError(path);
    }
}

void AppendWith(const std::string &path, const BodyWriter &body)
{
    struct stat old = {};
    bool existing = false;
    const std::string target = SaveTarget(path, old, existing);
    const int fd =
        open(target.c_str(),
             O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (existing ? 0 : O_CREAT),
             0644);
    if (fd < 0)
        throw EFCreateError(path);
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw EFCreateError(path, KindOf(st.st_mode));
    }
    bool ok = false;
    try {
        ok = body(fd);
    } catch (...) {
        close(fd);
        throw;
    }
    if (close(fd) != 0 || !ok)
        throw EFCreateError(path);
}

} // namespace

void WriteFileAtomic(const std::string &path, const std::string &content)
{
    WriteAtomicWith(path, [&content](int fd) { return WriteAll(fd, content.data(), content.size()); });
}

TextPieces WholeText(std::string text)
{
    return [text = std::move(text), given = false](std::string &piece) mutable {
        if (given)
            return false;
        given = true;
        piece.swap(text);
        return true;
    };
}

void WriteFileAtomic(const std::string &path, const TextPieces &pieces)
{
    std::string piece;
    WriteAtomicWith(path, [&pieces, &piece](int fd) { return WritePieces(fd, pieces, piece); });
}

void AppendFile(const std::string &path, const std::string &content)
{
    AppendWith(path, [&content](int fd) { return WriteAll(fd, content.data(), content.size()); });
}

void AppendFile(const std::string &path, const TextPieces &pieces)
{
    std::string piece;
    if (!pieces(piece))
        return;
    AppendWith(path, [&pieces, &piece](int fd) { return WritePieces(fd, pieces, piece); });
}

void WriteTextLines(const std::string &path, const std::vector<std::string> &lines)
{
    size_t total = 0;
    for (const auto &line : lines)
        total += line.size() + 2;
    std::string content;
    content.reserve(total);
    for (const auto &line : lines) {
        content += line;
        content += "\r\n";
    }
    WriteFileAtomic(path, content);
}
