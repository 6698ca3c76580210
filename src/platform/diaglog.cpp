#include "platform/diaglog.h"

#include "platform/appfolder.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

std::string DiagLogPath()
{
    return AppFilePath("kestrum.log");
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

    // One write per line on an O_APPEND descriptor keeps lines from several threads whole.
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const char *p = out.data();
    size_t left = out.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    close(fd);
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
