#pragma once
// Appends what the log shows (or the raw received bytes) to a file while traffic runs. Append
// only copies into a buffer, so the receive path never waits for the disk; a writer thread hands
// the buffer to the kernel as soon as it has something, which keeps the file at most a moment
// behind and, since the data are in the kernel once written, whole after the program crashes.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class CCaptureFile
{
public:
    CCaptureFile() = default;
    ~CCaptureFile(); // Stop()
    CCaptureFile(const CCaptureFile &) = delete;
    CCaptureFile &operator=(const CCaptureFile &) = delete;

    // Opens the file for appending (creating it) and starts the writer. Returns 0 or the errno;
    // a capture already running is stopped first.
    int Start(const std::string &path);
    // Writes what is still buffered, ends the writer and closes the file.
    void Stop();
    bool IsRunning() const { return m_running.load(); }
    const std::string &Path() const { return m_path; }

    // Any thread.
    void Append(const char *data, size_t length);
    void Append(const std::string &text) { Append(text.data(), text.size()); }

    // Bytes in the file so far, counting what was there before the capture began.
    int64_t Size() const { return m_size.load(); }
    // Bytes handed to Append but not yet written.
    size_t Pending() const;
    // The errno of the first failed write, or 0; the capture drops data from then on.
    int Error() const { return m_error.load(); }
    // Returns once everything appended before the call is in the file (or failed).
    void Flush();

private:
    void Run();

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
