#pragma once
// Appends what the log shows (or the raw received bytes) to a file while traffic runs. Append
// only copies into a buffer, so the receive path never waits for the disk; a writer thread hands
// the buffer to the kernel, which keeps the file at most a moment behind and, since the data are
// in the kernel once written, whole after the program crashes. The first record after a quiet
// while is written at once; while records stream, the writer gathers them for kGatherMs between
// writes, so a stream costs a few wake-ups a second however finely it comes.
// Only Stop syncs the file to the disk: a machine that stops before then may lose what the
// kernel had not written out yet.
//
// A capture that cannot keep everything ends: the first failed write, or a writer so far behind
// that the buffer passes its bound, stops it taking data, and the failure handler hears of it
// once. A capture never goes on with holes in it.
//
// A capture may go on in new files: each day, at a size or when asked (a connect). Each Append is
// one record (a line of the log) and goes wholly into one file; the writer syncs and closes the
// old file before it names the next, and a next file that cannot be made ends the capture as a
// failed write does, with Path() naming the file that could not be made. Finished files are
// compressed and the oldest removed to keep a budget on a housekeeping thread of their own,
// which nothing waits for but the destructor (and that only for the chunk in hand).
//
// The budget removes only files a capture of the same pattern made (CCaptureRecord), never a
// user's file that fits the pattern nor one another running capture made. No name in the folder
// is followed when it is a link: a capture makes its files new (O_EXCL), and appends only to a
// file that is no link and, when a regular file, is the user's own.
#include "log/capturenames.h"
#include "platform/clock.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct ST_CaptureOptions
{
    enum class NewFile { Never, EachDay, AtSize, AtConnect };
    NewFile newFile = NewFile::Never;
    int64_t sizeBytes = 0; // AtSize
    bool compress = false;
    int keepFiles = 0;      // at most this many of the pattern's files, the current one counted; 0: any
    int64_t keepBytes = 0;  // at most this many bytes in them; 0: any
    bool dateNotes = false; // a text capture: a "Note :Date" line when the day changes
    // What each file begins with (a binary format's header), before its first record; a file
    // appended to gets it too, as a format of sections that follow one another allows.
    std::string fileHeader;
    ST_CaptureNameValues names;
};

class CCaptureHousekeeper;
class CCaptureRecord;

class CCaptureFile
{
public:
    // The error a capture ends with when more than the buffer's bound waits to be written.
    static constexpr int kOverflow = ENOBUFS;
    static constexpr size_t kBufferLimit = 64u * 1024 * 1024;
    // While records stream, writes are this far apart at least, unless this much waits.
    static constexpr int kGatherMs = 5;
    static constexpr size_t kGatherBytes = 1u << 20;

    explicit CCaptureFile(size_t bufferLimit = kBufferLimit, const IClock &clock = CSystemClock::Instance());
    ~CCaptureFile(); // Stop()
    CCaptureFile(const CCaptureFile &) = delete;
    CCaptureFile &operator=(const CCaptureFile &) = delete;

    // Called with the error when a running capture fails, on the thread that met the failure
    // (the writer's, or the one whose Append passed the bound), without any lock held. Set it
    // while no capture runs.
    void SetFailureHandler(std::function<void(int error)> handler) { m_onFailure = std::move(handler); }

    // Opens the file for appending (creating it) and starts the writer. Returns 0 or the errno;
    // a capture already running is stopped first.
    int Start(const std::string &path) { return Start(path, ST_CaptureOptions()); }
    // `pattern` as CCaptureNames reads it. Without new files the first file is appended to as
    // above; with them every file is a new one, under a name neither it nor its ".gz" has yet,
    // sorting after the names of the pattern's files already there. ELOOP: the file is a link;
    // EPERM: it is someone else's.
    int Start(const std::string &pattern, const ST_CaptureOptions &options);
    // Writes what is still buffered, syncs the file to the disk and closes it. Returns what ended
    // the capture: the first failed write, kOverflow, or a failed sync or close; 0 when everything
    // appended is on the disk. 0 when no capture runs.
    int Stop();
    bool IsRunning() const { return m_running.load(); }
    // The file being written (or that could not be made).
    std::string Path() const;
    // With NewFile::AtConnect, what is appended from now on goes to a new file, made at once.
    void NewFile();

    // Any thread.
    void Append(const char *data, size_t length);
    void Append(const std::string &text) { Append(text.data(), text.size()); }
    // One record of `length` bytes that `fill(char *at)` writes in place, straight into the
    // buffer: a record made for the file alone needs no copy of its own. `fill` runs with the
    // buffer locked, so it must only write those bytes.
    template <typename Fill> void AppendWith(size_t length, const Fill &fill)
    {
        AppendFilled(
            length, [](char *at, const void *context) { (*static_cast<const Fill *>(context))(at); }, &fill);
    }

    // Bytes in the current file so far, counting what was there before the capture began.
    int64_t Size() const { return m_size.load(); }
    // Bytes handed to Append but not yet written.
    size_t Pending() const;
    // The error that ended the capture, or 0 while it takes data.
    int Error() const { return m_error.load(); }
    // Returns once everything appended before the call is in the file (or failed).
    void Flush();
    // Returns once the finished files handed to housekeeping so far are compressed and the
    // budget kept.
    void WaitHousekeeping();

private:
    struct ST_Cut
    {
        size_t at;
        int64_t nowMs;
    };
    // Records waiting for the writer: grown without clearing the bytes a record is put over, as
    // every block of a stream passes through it.
    class CBuffer
    {
    public:
        size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        const char *data() const { return m_data.get(); }
        void clear() { m_size = 0; }
        void swap(CBuffer &other) noexcept
        {
            std::swap(m_data, other.m_data);
            std::swap(m_size, other.m_size);
            std::swap(m_capacity, other.m_capacity);
        }
        // Room for `length` more bytes at the end, which the caller writes.
        char *Grow(size_t length);
        void Append(const std::string &text);

    private:
        std::unique_ptr<char[]> m_data;
        size_t m_size = 0;
        size_t m_capacity = 0;
    };

    void AppendFilled(size_t length, void (*fill)(char *at, const void *context), const void *context);
    void Run();
    void Fail(int error);
    void CutLocked(int64_t nowMs);
    // Writer thread: syncs and closes the current file and opens the next. Returns 0 or the errno.
    int NextFile(int64_t nowMs);
    int OpenNew(int64_t nowMs);

    const size_t m_bufferLimit;
    const IClock &m_clock;
    ST_CaptureOptions m_options;
    std::shared_ptr<const CCaptureNames> m_names;
    std::shared_ptr<CCaptureRecord> m_record; // null: the capture makes no files (appends to one)
    std::unique_ptr<CCaptureHousekeeper> m_housekeeper;
    int m_seq = 0;
    // Append's view, under m_lock: what the current file will hold once the buffer is written,
    // and the day of the last record.
    int64_t m_fileBytes = 0;
    int64_t m_day = 0;
    bool m_headerDue = false;
    std::vector<ST_Cut> m_cuts;
    std::function<void(int)> m_onFailure;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    CBuffer m_buffer;
    bool m_writing = false;
    bool m_stopping = false;
    // The writer waits for records with no end in sight (an Append wakes it), or gathers them
    // after a write, which only a stop, a flush, a cut or kGatherBytes cut short.
    bool m_idle = false;
    bool m_gathering = false;
    int m_flushing = 0;
    std::thread m_thread;
    int m_fd = -1;
    mutable std::mutex m_pathLock;
    std::string m_path;
    std::atomic<bool> m_running{false};
    std::atomic<int64_t> m_size{0};
    std::atomic<int> m_error{0};
};
