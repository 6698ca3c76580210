#include "platform/textfile.h"

#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> SplitTextLines(const std::string &text)
{
    std::vector<std::string> lines;
    const size_t end = std::min(text.size(), text.find('\0'));
    size_t start = 0;
    size_t i = 0;
    while (i < end) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text, start, i - start);
            i += (c == '\r' && i + 1 < end && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end)
        lines.emplace_back(text, start, end - start);
    return lines;
}

bool FileExists(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::string &path, std::string &content)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        throw EFOpenError(path);
    }
    struct stat st = {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        return false;
    }
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            throw EFOpenError(path);
        }
        if (n == 0)
            break;
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    content = std::move(data);
    return true;
}

bool ReadTextLines(const std::string &path, std::vector<std::string> &lines)
{
    std::string content;
    if (!ReadWholeFile(path, content))
        return false;
    lines = SplitTextLines(content);
    return true;
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

// A new sibling that no other writer can be using: created exclusively with mode 0666, so the
// process umask applies as it would to a plain create (reading the umask is not thread-safe).
int CreateSibling(const std::string &path, std::string &tmp)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

void WriteAtomicWith(const std::string &path, const BodyWriter &body)
{
    if (path.empty())
        throw EFCreateError(path);
    struct stat old = {};
    const bool replacing = stat(path.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        throw EFCreateError(path);
    std::string tmp;
    const int fd = CreateSibling(path, tmp);
    if (fd < 0)
        throw EFCreateError(path);
    bool ok = false;
    try {
        ok = (!replacing || fchmod(fd, old.st_mode & 07777) == 0) && body(fd) && fsync(fd) == 0;
    } catch (...) {
        close(fd);
        unlink(tmp.c_str());
        throw;
    }
    if (close(fd) != 0 || !ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        throw EFCreateError(path);
    }
}

void AppendWith(const std::string &path, const BodyWriter &body)
{
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EFCreateError(path);
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
