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

    bool Ready(const std::string &to, size_t adding, size_t limit)
    {
        if (fd < 0 || path != to || !Current()) {
            if (!Open(to))
                return false;
        }
        if (size > 0 && size + adding > limit) {
            Close();
            std::rename(to.c_str(), (to + ".1").c_str());
            return Open(to);
        }
        return true;
    }

    void Append(const std::string &to, const std::string &line, size_t limit)
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!Ready(to, line.size(), limit))
            return;
        // One write per line on an O_APPEND descriptor keeps lines whole, also against another
        // instance of the program logging into the same file.
        const char *p = line.data();
        size_t left = line.size();
        while (left > 0) {
            const ssize_t n = write(fd, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<size_t>(n);
            size += static_cast<size_t>(n);
        }
    }
};

OpenLog &Log()
{
    static OpenLog log;
    return log;
}

OpenLog &FailureLog()
{
    static OpenLog log;
    return log;
}

std::string CrLfLine(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    out += "\r\n";
    return out;
}

} // namespace

std::string DiagLogPath()
{
    return RememberedAppFilePath("kestrum.log");
}

std::string DiagFailurePath(const std::string &logPath)
{
    const size_t slash = logPath.rfind('/');
    const size_t dot = logPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? logPath.substr(0, dot) : logPath) + "-failures.log";
}

void AppendLogLine(const std::string &path, const std::string &text)
{
    const std::string line = CrLfLine(text);
    Log().Append(path, line, kDiagLogLimit);
    FailureLog().Append(DiagFailurePath(path), line, kDiagFailureLimit);
}

void AppendLogTrace(const std::string &path, const std::string &text)
{
    Log().Append(path, CrLfLine(text), kDiagLogLimit);
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
