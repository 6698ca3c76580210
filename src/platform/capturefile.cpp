#include "platform/capturefile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Beyond this a receiver faster than the disk loses the newest data rather than the memory.
constexpr size_t kBufferLimit = 64u * 1024 * 1024;

int WriteAll(int fd, const char *data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

CCaptureFile::~CCaptureFile()
{
    Stop();
}

int CCaptureFile::Start(const std::string &path)
{
    Stop();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    struct stat info
    {
    };
    m_size = ::fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
    m_fd = fd;
    m_path = path;
    m_error = 0;
    m_stopping = false;
    m_running = true;
    m_thread = std::thread(&CCaptureFile::Run, this);
    return 0;
}

void CCaptureFile::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    ::close(m_fd);
    m_fd = -1;
    m_running = false;
}

void CCaptureFile::Append(const char *data, size_t length)
{
    if (length == 0 || !m_running.load())
        return;
    bool wake = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_error.load() != 0 || m_buffer.size() + length > kBufferLimit)
            return;
        wake = m_buffer.empty();
        m_buffer.append(data, length);
    }
    if (wake)
        m_wake.notify_one();
}

size_t CCaptureFile::Pending() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_buffer.size();
}

void CCaptureFile::Flush()
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_written.wait(guard, [this] { return m_buffer.empty() && !m_writing; });
}

void CCaptureFile::Run()
{
    std::string batch;
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stopping || !m_buffer.empty(); });
        if (m_buffer.empty() && m_stopping)
            break;
        batch.swap(m_buffer);
        m_writing = true;
        guard.unlock();
        // Whatever arrives while this write runs forms the next batch.
        const int error = m_error.load() == 0 ? WriteAll(m_fd, batch.data(), batch.size()) : 0;
        if (error != 0)
            m_error = error;
        else
            m_size += static_cast<int64_t>(batch.size());
        batch.clear();
        guard.lock();
        m_writing = false;
        m_written.notify_all();
    }
    m_written.notify_all();
}
