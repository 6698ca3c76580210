#pragma once
// Appends what the log shows (or the raw received bytes) to a file while traffic runs. Append
// only copies into a buffer, so the receive path never waits for the disk; a writer thread hands
// the buffer to the kernel as soon as it has something, which keeps the file at most a moment
// behind and, since the data are in the kernel once written, whole after the program crashes.
// Only Stop syncs the file to the disk: a machine that stops before then may lose what the
// kernel had not written out yet.
//
// A capture that cannot keep everything ends: the first failed write, or a writer so far behind
// that the buffer passes its bound, stops it taking data, and the failure handler hears of it
// once. A capture never goes on with holes in it.
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CCaptureFile
{
public:
    // The error a capture ends with when more than the buffer's bound waits to be written.
    static constexpr int kOverflow = ENOBUFS;
    static constexpr size_t kBufferLimit = 64u * 1024 * 1024;

    explicit CCaptureFile(size_t bufferLimit = kBufferLimit) : m_bufferLimit(bufferLimit) {}
    ~CCaptureFile(); // Stop()
    CCaptureFile(const CCaptureFile &) = delete;
    CCaptureFile &operator=(const CCaptureFile &) = delete;

    // Called with the error when a running capture fails, on the thread that met the failure
    // (the writer's, or the one whose Append passed the bound), without any lock held. Set it
    // while no capture runs.
    void SetFailureHandler(std::function<void(int error)> handler) { m_onFailure = std::move(handler); }

    // Opens the file for appending (creating it) and starts the writer. Returns 0 or the errno;
    // a capture already running is stopped first.
    int Start(const std::string &path);
    // Writes what is still buffered, syncs the file to the disk and closes it. Returns what ended
    // the capture: the first failed write, kOverflow, or a failed sync or close; 0 when everything
    // appended is on the disk. 0 when no capture runs.
    int Stop();
    bool IsRunning() const { return m_running.load(); }
    const std::string &Path() const { return m_path; }

    // Any thread.
    void Append(const char *data, size_t length);
    void Append(const std::string &text) { Append(text.data(), text.size()); }

    // Bytes in the file so far, counting what was there before the capture began.
    int64_t Size() const { return m_size.load(); }
    // Bytes handed to Append but not yet written.
    size_t Pending() const;
    // The error that ended the capture, or 0 while it takes data.
    int Error() const { return m_error.load(); }
    // Returns once everything appended before the call is in the file (or failed).
    void Flush();

private:
    void Run();
    void Fail(int error);

    const size_t m_bufferLimit;
    std::function<void(int)> m_onFailure;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    std::string m_buffer;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_thread;
    int m_fd = -1;
    std::string m_path;
    std::atomic<bool> m_running{false};
    std::atomic<int64_t> m_size{0};
    std::atomic<int> m_error{0};
};
