#include "platform/capturefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Returns 0 or the errno of the write that failed; `written` counts what the kernel took before,
// which on a full disk is the part that still fitted.
int WriteAll(int fd, const char *data, size_t length, size_t &written)
{
    written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd, data + written, length - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<size_t>(n);
    }
    return 0;
}

// A pipe or a terminal has nothing to sync, which is no failure of the capture.
int SyncError(int fd)
{
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return 0;
    return errno;
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

int CCaptureFile::Stop()
{
    if (!m_thread.joinable())
        return 0;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    int error = SyncError(m_fd);
    if (::close(m_fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    m_fd = -1;
    m_running = false;
    // The handler is for failures nobody asked about; Stop's caller hears this one.
    int none = 0;
    m_error.compare_exchange_strong(none, error);
    return m_error.load();
}

void CCaptureFile::Append(const char *data, size_t length)
{
    if (length == 0 || !m_running.load())
        return;
    bool wake = false;
    int none = 0;
    bool overflow = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_error.load() != 0)
            return;
        wake = m_buffer.empty();
        // What passes the bound is still kept, so the file ends with everything appended up
        // to the moment the capture stopped.
        m_buffer.append(data, length);
        overflow = m_buffer.size() > m_bufferLimit && m_error.compare_exchange_strong(none, kOverflow);
    }
    if (wake)
        m_wake.notify_one();
    if (overflow && m_onFailure)
        m_onFailure(kOverflow);
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

void CCaptureFile::Fail(int error)
{
    int none = 0;
    if (m_error.compare_exchange_strong(none, error) && m_onFailure)
        m_onFailure(error);
}

void CCaptureFile::Run()
{
    std::string batch;
    // After a failed write nothing more is written: data behind a hole would pass for whole.
    bool failed = false;
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stopping || !m_buffer.empty(); });
        if (m_buffer.empty() && m_stopping)
            break;
        batch.swap(m_buffer);
        m_writing = true;
        guard.unlock();
        // Whatever arrives while this write runs forms the next batch.
        if (!failed) {
            size_t written = 0;
            const int error = WriteAll(m_fd, batch.data(), batch.size(), written);
            m_size += static_cast<int64_t>(written);
            if (error != 0) {
                failed = true;
                Fail(error);
            }
        }
        batch.clear();
        guard.lock();
        m_writing = false;
        m_written.notify_all();
    }
    m_written.notify_all();
}
