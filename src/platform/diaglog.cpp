#include "platform/diaglog.h"

#include "platform/appfolder.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The one file kept open. Another path (a test's scratch folder, a second log) closes it and
// opens that one; a file removed behind our back is noticed and started again.
struct OpenLog
{
    std::mutex lock;
    std::string path;
    int fd = -1;
    size_t size = 0;

    void Close()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }

    bool Open(const std::string &to)
    {
        Close();
        path = to;
        // Never waits on a FIFO put there, nor writes to a device.
        fd = open(to.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
        struct stat st
        {
        };
        if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            Close();
            return false;
        }
        size = static_cast<size_t>(st.st_size);
        return true;
    }

    // Not removed behind our back (the user deleting the log). An fstat is far cheaper than the
    // open and close it saves, having no path to walk.
    bool Current() const
    {
        struct stat st
        {
        };
        return fstat(fd, &st) == 0 && st.st_nlink > 0;
    }

    bool Ready(const std::string &to, size_t adding)
    {
        if (fd < 0 || path != to || !Current()) {
            if (!Open(to))
                return false;
        }
        if (size > 0 && size + adding > kDiagLogLimit) {
            Close();
            std::rename(to.c_str(), (to + ".1").c_str());
            return Open(to);
        }
        return true;
    }
};

OpenLog &Log()
{
    static OpenLog log;
    return log;
}

} // namespace

std::string DiagLogPath()
{
    return RememberedAppFilePath("kestrum.log");
}

void AppendLogLine(const std::string &path, const std::string &text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    out += "\r\n";

    OpenLog &log = Log();
    const std::lock_guard<std::mutex> guard(log.lock);
    if (!log.Ready(path, out.size()))
        return;
    // One write per line on an O_APPEND descriptor keeps lines whole, also against another
    // instance of the program logging into the same file.
    const char *p = out.data();
    size_t left = out.size();
    while (left > 0) {
        const ssize_t n = write(log.fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
        log.size += static_cast<size_t>(n);
    }
}

void AppendLogFormatted(const std::string &path, const char *format, ...)
{
    char buf[1024] = "";
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    AppendLogLine(path, buf);
}
