#include "log/gzipfile.h"
#include "platform/errors.h"
#include "platform/textfile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

struct ST_Fd
{
    int fd;
    ~ST_Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

int GzipFile(const std::string &path, const std::atomic<bool> &cancel, struct stat *made)
{
    // Names in the capture's folder are never followed: a link put at any of them is refused.
    ST_Fd in{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (in.fd < 0)
        return errno;
    struct stat original
    {
    };
    if (::fstat(in.fd, &original) != 0)
        return errno;
    if (!S_ISREG(original.st_mode))
        return EINVAL;
    const std::string part = path + ".gz.part";
    // Whatever is at the temporary name is not ours to overwrite.
    ST_Fd out{::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
    if (out.fd < 0)
        return errno;
    // zlib closes the descriptor it is given; ours stays open for the sync.
    const int zfd = ::dup(out.fd);
    gzFile gz = zfd >= 0 ? gzdopen(zfd, "wb6") : nullptr;
    if (!gz) {
        const int error = zfd < 0 ? errno : ENOMEM;
        if (zfd >= 0)
            ::close(zfd);
        ::unlink(part.c_str());
        return error;
    }
    std::vector<char> chunk(1 << 20);
    int error = 0;
    for (;;) {
        if (cancel.load()) {
            error = ECANCELED;
            break;
        }
        const ssize_t n = ::read(in.fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        if (gzwrite(gz, chunk.data(), static_cast<unsigned>(n)) != static_cast<int>(n)) {
            error = errno != 0 ? errno : EIO;
            break;
        }
    }
    errno = 0;
    if (gzclose(gz) != Z_OK && error == 0)
        error = errno != 0 ? errno : EIO;
    if (error == 0 && ::fsync(out.fd) != 0)
        error = errno;
    if (error == 0 && made && ::fstat(out.fd, made) != 0)
        error = errno;
    // Nor is a file already at the final name.
    if (error == 0)
        error = MoveNoReplace(part, path + ".gz");
    if (error != 0) {
        ::unlink(part.c_str());
        return error;
    }
    // The original goes only while it is still the file that was compressed.
    struct stat now
    {
    };
    if (::lstat(path.c_str(), &now) == 0 && now.st_dev == original.st_dev && now.st_ino == original.st_ino)
        ::unlink(path.c_str());
    return 0;
}

std::vector<uint8_t> ReadCaptureFile(const std::string &path, size_t limit)
{
    gzFile file = gzopen(path.c_str(), "rb"); // reads a file that is not compressed as it is
    if (!file)
        throw EFOpenError(path);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const int n = gzread(file, chunk, sizeof chunk);
        if (n < 0) {
            int code = 0;
            const std::string why = gzerror(file, &code);
            gzclose(file);
            throw EFOpenError(path, why);
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            gzclose(file);
            throw EFOpenError(path, "larger than " + std::to_string(limit >> 20) + " MB");
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    gzclose(file);
    return bytes;
}
