#include "log/capturefile.h"

#include "log/capturerecord.h"
#include "log/gzipfile.h"
#include "platform/diaglog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <dirent.h>
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

bool Exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

int64_t DayOf(int64_t localMs)
{
    return localMs >= 0 ? localMs / kMsPerDay : -((-localMs + kMsPerDay - 1) / kMsPerDay);
}

} // namespace

// Compresses finished files and keeps the budget, one job after the other, so a file is never
// removed while it is being compressed.
class CCaptureHousekeeper
{
public:
    struct ST_Job
    {
        std::string finished; // empty: only the budget
        bool compress = false;
        std::shared_ptr<const CCaptureNames> names;
        std::shared_ptr<CCaptureRecord> record;
        int keepFiles = 0;
        int64_t keepBytes = 0;
    };

    CCaptureHousekeeper() : m_thread(&CCaptureHousekeeper::Run, this) {}
    ~CCaptureHousekeeper()
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_quit = true;
        }
        m_cancel = true;
        m_wake.notify_all();
        m_thread.join();
    }
    void SetCurrent(const std::string &path)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_current = path;
    }
    void Post(ST_Job job)
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_all();
    }
    void Wait()
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_idle.wait(guard, [this] { return m_jobs.empty() && !m_busy; });
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                break;
            ST_Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = true;
            guard.unlock();
            if (job.compress && !job.finished.empty() && job.record)
                Compress(job);
            if ((job.keepFiles > 0 || job.keepBytes > 0) && job.record)
                KeepBudget(job);
            // The record of a capture that stopped is let go once its last job is done.
            job = ST_Job();
            guard.lock();
            m_busy = false;
            m_idle.notify_all();
        }
        m_busy = false;
        m_idle.notify_all();
    }

    // A file that cannot be compressed stays as it is.
    void Compress(const ST_Job &job)
    {
        struct stat made
        {
        };
        const int error = GzipFile(job.finished, m_cancel, &made);
        const std::string name = job.finished.substr(job.names->Folder().size() + 1);
        if (error == 0) {
            job.record->Made(name + ".gz", made);
            job.record->Gone(name);
        } else if (error != ECANCELED) {
            AppendLogFormatted(DiagLogPath(), "CCaptureFile - %s left uncompressed: %s", job.finished.c_str(),
                               std::strerror(error));
        }
    }

    void KeepBudget(const ST_Job &job)
    {
        struct ST_Entry
        {
            int64_t mtimeNs;
            std::string name;
            int64_t size;
        };
        std::string current;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            current = m_current;
        }
        std::vector<ST_Entry> finished;
        int64_t bytes = 0;
        int count = 0;
        const std::string &folder = job.names->Folder();
        for (const CCaptureRecord::ST_File &file : job.record->Files()) {
            const std::string path = folder + "/" + file.name;
            struct stat info
            {
            };
            // Removed, or another file put under its name: nothing of this capture any more.
            if (::lstat(path.c_str(), &info) != 0 || !CCaptureRecord::Same(file, info)) {
                job.record->Gone(file.name);
                continue;
            }
            ++count;
            bytes += info.st_size;
            if (path != current)
                finished.push_back(
                    {static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, file.name,
                     static_cast<int64_t>(info.st_size)});
        }
        std::sort(finished.begin(), finished.end(), [](const ST_Entry &a, const ST_Entry &b) {
            return a.mtimeNs != b.mtimeNs ? a.mtimeNs < b.mtimeNs : a.name < b.name;
        });
        for (const ST_Entry &oldest : finished) {
            if ((job.keepFiles <= 0 || count <= job.keepFiles) &&
                (job.keepBytes <= 0 || bytes <= job.keepBytes))
                break;
            if (::unlink((folder + "/" + oldest.name).c_str()) == 0) {
                job.record->Gone(oldest.name);
                --count;
                bytes -= oldest.size;
            }
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake, m_idle;
    std::deque<ST_Job> m_jobs;
    std::string m_current;
    bool m_quit = false;
    bool m_busy = false;
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;
};

char *CCaptureFile::CBuffer::Grow(size_t length)
{
    if (m_capacity - m_size < length) {
        const size_t capacity = std::max({m_size + length, m_capacity * 2, size_t{64} << 10});
        std::unique_ptr<char[]> grown(new char[capacity]);
        if (m_size > 0)
            std::memcpy(grown.get(), m_data.get(), m_size);
        m_data = std::move(grown);
        m_capacity = capacity;
    }
    char *at = m_data.get() + m_size;
    m_size += length;
    return at;
}

void CCaptureFile::CBuffer::Append(const std::string &text)
{
    if (!text.empty())
        std::memcpy(Grow(text.size()), text.data(), text.size());
}

CCaptureFile::CCaptureFile(size_t bufferLimit, const IClock &clock)
    : m_bufferLimit(bufferLimit), m_clock(clock)
{
}

CCaptureFile::~CCaptureFile()
{
    Stop();
}

std::string CCaptureFile::Path() const
{
    const std::lock_guard<std::mutex> guard(m_pathLock);
    return m_path;
}

int CCaptureFile::OpenNew(int64_t nowMs)
{
    // A pattern without {seq} names a file as written while that name is new and no numbered
    // file of it is there; otherwise the name as written would sort before older files.
    bool plain = !m_names->HasSeq() && !m_names->NumberedExists(nowMs);
    for (int tries = 0;; ++tries) {
        const std::string path = m_names->Path(nowMs, plain ? 0 : m_seq + 1);
        if (!plain)
            ++m_seq;
        plain = false;
        if (Exists(path + ".gz") || Exists(path + ".gz.part"))
            continue;
        // O_EXCL follows no link: a name taken by anything, a link too, is passed over.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0644);
        {
            const std::lock_guard<std::mutex> guard(m_pathLock);
            m_path = path;
        }
        if (fd < 0 && errno == EEXIST && tries < 100000)
            continue;
        if (fd < 0)
            return errno;
        struct stat info
        {
        };
        if (m_record && ::fstat(fd, &info) == 0)
            m_record->Made(path.substr(m_names->Folder().size() + 1), info);
        m_fd = fd;
        m_size = 0;
        return 0;
    }
}

int CCaptureFile::NextFile(int64_t nowMs)
{
    int error = SyncError(m_fd);
    if (::close(m_fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    m_fd = -1;
    if (error != 0)
        return error;
    const std::string finished = Path();
    if ((error = OpenNew(nowMs)) != 0)
        return error;
    if (m_options.compress || m_options.keepFiles > 0 || m_options.keepBytes > 0) {
        m_housekeeper->SetCurrent(Path());
        m_housekeeper->Post(
            {finished, m_options.compress, m_names, m_record, m_options.keepFiles, m_options.keepBytes});
    }
    return 0;
}

void CCaptureFile::NewFile()
{
    if (!m_running.load() || m_options.newFile != ST_CaptureOptions::NewFile::AtConnect)
        return;
    const int64_t now = m_clock.NowMs();
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_error.load() != 0 || m_fileBytes == 0)
            return;
        CutLocked(now);
        m_idle = false;
    }
    m_wake.notify_one();
}

void CCaptureFile::CutLocked(int64_t nowMs)
{
    m_cuts.push_back({m_buffer.size(), nowMs});
    m_fileBytes = 0;
    m_headerDue = true;
}

int CCaptureFile::Start(const std::string &pattern, const ST_CaptureOptions &options)
{
    Stop();
    m_options = options;
    m_names = std::make_shared<CCaptureNames>(pattern, options.names);
    m_seq = m_names->HighestSeq();
    const int64_t now = m_clock.NowMs();
    m_day = DayOf(now);
    m_cuts.clear();
    m_fd = -1;
    const bool budget = options.keepFiles > 0 || options.keepBytes > 0;
    const bool oneFile = options.newFile == ST_CaptureOptions::NewFile::Never && !m_names->HasSeq();
    m_record.reset();
    if (!oneFile || budget) {
        auto record = std::make_shared<CCaptureRecord>();
        const int error = record->Open(m_names->Folder(), m_names->Key());
        // One file appended to needs no record: without one its budget leaves the folder alone.
        if (error != 0 && !oneFile)
            return error;
        if (error == 0)
            m_record = std::move(record);
    }
    if (oneFile) {
        const std::string path = m_names->Path(now, 0);
        {
            const std::lock_guard<std::mutex> guard(m_pathLock);
            m_path = path;
        }
        // A pipe or a terminal may be written to; a link is never followed, and a file of
        // someone else's is not ours to add to.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int error = errno;
            m_record.reset();
            return error;
        }
        struct stat info
        {
        };
        const int error = ::fstat(fd, &info) != 0                               ? errno
                          : S_ISREG(info.st_mode) && info.st_uid != ::geteuid() ? EPERM
                                                                                : 0;
        if (error != 0) {
            ::close(fd);
            m_record.reset();
            return error;
        }
        m_size = static_cast<int64_t>(info.st_size);
        m_fd = fd;
    } else if (const int error = OpenNew(now); error != 0) {
        m_record.reset();
        return error;
    }
    m_fileBytes = m_size.load();
    m_headerDue = true;
    if (options.compress || options.keepFiles > 0 || options.keepBytes > 0) {
        if (!m_housekeeper)
            m_housekeeper = std::make_unique<CCaptureHousekeeper>();
        m_housekeeper->SetCurrent(Path());
        // Files of this pattern from before count against the budget from the start.
        if (budget && m_record)
            m_housekeeper->Post(
                {std::string(), false, m_names, m_record, options.keepFiles, options.keepBytes});
    }
    m_error = 0;
    m_stopping = false;
    m_idle = false;
    m_gathering = false;
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
    int error = m_fd >= 0 ? SyncError(m_fd) : 0;
    if (m_fd >= 0 && ::close(m_fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    m_fd = -1;
    // Housekeeping still to do holds the record; it is let go after that.
    m_record.reset();
    m_running = false;
    // The handler is for failures nobody asked about; Stop's caller hears this one.
    int none = 0;
    m_error.compare_exchange_strong(none, error);
    return m_error.load();
}

void CCaptureFile::Append(const char *data, size_t length)
{
    AppendWith(length, [data, length](char *at) { std::memcpy(at, data, length); });
}

void CCaptureFile::AppendFilled(size_t length, void (*fill)(char *at, const void *context),
                                const void *context)
{
    if (length == 0 || !m_running.load())
        return;
    using NewFile = ST_CaptureOptions::NewFile;
    const bool dated = m_options.newFile == NewFile::EachDay || m_options.dateNotes;
    const int64_t now = dated ? m_clock.NowMs() : 0;
    bool wake = false;
    int none = 0;
    bool overflow = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_error.load() != 0)
            return;
        const size_t cuts = m_cuts.size();
        if (dated && DayOf(now) != m_day) {
            m_day = DayOf(now);
            if (m_options.newFile == NewFile::EachDay)
                CutLocked(now);
            if (m_options.dateNotes) {
                const std::string note = "Note :Date " + LocalDateText(now) + "\r\n";
                m_buffer.Append(note);
                m_fileBytes += static_cast<int64_t>(note.size());
            }
        }
        if (m_options.newFile == NewFile::AtSize && m_fileBytes > 0 &&
            m_fileBytes + static_cast<int64_t>(length) > m_options.sizeBytes)
            CutLocked(m_clock.NowMs());
        if (m_headerDue && !m_options.fileHeader.empty()) {
            m_buffer.Append(m_options.fileHeader);
            m_fileBytes += static_cast<int64_t>(m_options.fileHeader.size());
        }
        m_headerDue = false;
        // What passes the bound is still kept, so the file ends with everything appended up
        // to the moment the capture stopped.
        fill(m_buffer.Grow(length), context);
        m_fileBytes += static_cast<int64_t>(length);
        overflow = m_buffer.size() > m_bufferLimit && m_error.compare_exchange_strong(none, kOverflow);
        // A gathering writer is woken only for what cuts its wait short, once.
        const bool urgent = m_cuts.size() != cuts ||
                            (m_buffer.size() >= kGatherBytes && m_buffer.size() - length < kGatherBytes);
        wake = m_idle || (m_gathering && urgent);
        m_idle = false;
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
    ++m_flushing;
    m_wake.notify_all();
    m_written.wait(guard, [this] { return m_buffer.empty() && m_cuts.empty() && !m_writing; });
    --m_flushing;
}

void CCaptureFile::WaitHousekeeping()
{
    if (m_housekeeper)
        m_housekeeper->Wait();
}

void CCaptureFile::Fail(int error)
{
    int none = 0;
    if (m_error.compare_exchange_strong(none, error) && m_onFailure)
        m_onFailure(error);
}

void CCaptureFile::Run()
{
    CBuffer batch;
    std::vector<ST_Cut> cuts;
    // After a failed write nothing more is written: data behind a hole would pass for whole.
    bool failed = false;
    auto write = [this, &batch, &failed](size_t from, size_t to) {
        if (failed || from == to)
            return;
        size_t written = 0;
        const int error = WriteAll(m_fd, batch.data() + from, to - from, written);
        m_size += static_cast<int64_t>(written);
        if (error != 0) {
            failed = true;
            Fail(error);
        }
    };
    std::unique_lock<std::mutex> guard(m_lock);
    using Steady = std::chrono::steady_clock;
    Steady::time_point nextWrite;
    bool gather = false;
    for (;;) {
        if (gather) {
            m_gathering = true;
            m_wake.wait_until(guard, nextWrite, [this] {
                return m_stopping || m_flushing > 0 || !m_cuts.empty() || m_buffer.size() >= kGatherBytes;
            });
            m_gathering = false;
        }
        if (m_buffer.empty() && m_cuts.empty()) {
            if (m_stopping)
                break;
            // Quiet: the next record is written as soon as it comes.
            m_idle = true;
            m_wake.wait(guard, [this] { return m_stopping || !m_buffer.empty() || !m_cuts.empty(); });
            m_idle = false;
            if (m_buffer.empty() && m_cuts.empty())
                break;
        }
        nextWrite = Steady::now() + std::chrono::milliseconds(kGatherMs);
        gather = true;
        batch.swap(m_buffer);
        cuts.swap(m_cuts);
        m_writing = true;
        guard.unlock();
        // Whatever arrives while this write runs forms the next batch.
        size_t done = 0;
        for (const ST_Cut &cut : cuts) {
            write(done, cut.at);
            done = cut.at;
            if (failed)
                break;
            if (const int error = NextFile(cut.nowMs); error != 0) {
                failed = true;
                Fail(error);
            }
        }
        write(done, batch.size());
        batch.clear();
        cuts.clear();
        guard.lock();
        m_writing = false;
        m_written.notify_all();
    }
    m_written.notify_all();
}
