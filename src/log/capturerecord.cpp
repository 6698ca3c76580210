#include "log/capturerecord.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kPrefix[] = ".kestrum-capture-";

std::string Header(const std::string &key)
{
    return "kestrum-capture 1\t" + key + "\n";
}

std::string RandomPart()
{
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Without the kernel's randomness the name only has to differ from the others in the
        // folder, which the exclusive creation checks.
        const uint64_t mixed = static_cast<uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                               static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&bytes));
        for (size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(mixed >> (8 * i));
    }
    char text[17];
    for (size_t i = 0; i < sizeof bytes; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
    return text;
}

bool ReadAll(int fd, std::string &out)
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(chunk, static_cast<size_t>(n));
    }
}

} // namespace

bool CCaptureRecord::Parse(const std::string &text, const std::string &key, std::vector<ST_File> &files)
{
    const std::string header = Header(key);
    if (text.compare(0, header.size(), header) != 0)
        return false;
    std::map<std::string, std::pair<uint64_t, uint64_t>> listed;
    for (const ST_File &file : files)
        listed[file.name] = {file.dev, file.ino};
    const auto number = [](const std::string &line, size_t &at, uint64_t &value) {
        const char *end = line.data() + line.size();
        const auto [stop, error] = std::from_chars(line.data() + at, end, value);
        if (error != std::errc() || stop == end || *stop != '\t')
            return false;
        at = static_cast<size_t>(stop - line.data()) + 1;
        return true;
    };
    // A last line without its line break was cut short and says nothing.
    for (size_t at = header.size(), end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        if (line.compare(0, 2, "-\t") == 0) {
            listed.erase(line.substr(2));
            continue;
        }
        size_t field = 2;
        uint64_t dev = 0, ino = 0;
        if (line.compare(0, 2, "+\t") == 0 && number(line, field, dev) && number(line, field, ino))
            listed[line.substr(field)] = {dev, ino};
    }
    files.clear();
    for (const auto &[name, id] : listed)
        files.push_back({name, id.first, id.second});
    return true;
}

CCaptureRecord::~CCaptureRecord()
{
    Close();
}

int CCaptureRecord::Open(const std::string &folder, const std::string &key)
{
    Close();
    std::string plainKey = key;
    std::replace(plainKey.begin(), plainKey.end(), '\n', '?');
    int fd = -1;
    std::string path;
    for (int tries = 0; fd < 0; ++tries) {
        path = folder + "/" + kPrefix + RandomPart();
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0 && (errno != EEXIST || tries >= 16))
            return errno;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return error;
    }
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_folder = folder;
        m_key = plainKey;
        m_path = path;
        m_fd = fd;
        m_files.clear();
    }
    Append(Header(plainKey));
    if (DIR *dir = ::opendir(folder.c_str())) {
        std::vector<std::string> records;
        const std::string own = path.substr(folder.size() + 1);
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, sizeof kPrefix - 1, kPrefix) == 0 && name != own)
                records.push_back(name);
        }
        ::closedir(dir);
        for (const std::string &name : records)
            TakeOver(name);
    }
    return 0;
}

void CCaptureRecord::TakeOver(const std::string &name)
{
    const std::string path = m_folder + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info
    {
    };
    std::string text;
    std::vector<ST_File> listed;
    // Someone else's record is no word on which files are ours; a record of another pattern is
    // left unlocked, for a capture of that pattern starting at the same time.
    bool ours = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                ReadAll(fd, text) && Parse(text, m_key, listed);
    // Held: its capture still runs. Unlinked once locked: another capture took it over first.
    ours = ours && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0;
    // Read again under the lock: its capture may have listed more before it ended.
    text.clear();
    listed.clear();
    if (ours && ::lseek(fd, 0, SEEK_SET) == 0 && ReadAll(fd, text) && Parse(text, m_key, listed)) {
        for (const ST_File &file : listed) {
            struct stat now
            {
            };
            if (::lstat((m_folder + "/" + file.name).c_str(), &now) == 0 && Same(file, now))
                Made(file.name, now);
        }
        // Only once its files are in this record, so a stop in between loses none of them.
        ::unlink(path.c_str());
    }
    ::close(fd);
}

void CCaptureRecord::Close()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_fd < 0)
        return;
    if (m_files.empty())
        ::unlink(m_path.c_str());
    ::close(m_fd);
    m_fd = -1;
    m_files.clear();
}

void CCaptureRecord::Made(const std::string &name, const struct stat &info)
{
    // A name with a line break cannot be listed; such a file is left alone.
    if (name.find('\n') != std::string::npos)
        return;
    const ST_File file{name, static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_fd < 0)
            return;
        m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                     [&name](const ST_File &f) { return f.name == name; }),
                      m_files.end());
        m_files.push_back(file);
    }
    Append("+\t" + std::to_string(file.dev) + "\t" + std::to_string(file.ino) + "\t" + name + "\n");
}

void CCaptureRecord::Gone(const std::string &name)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        const auto it = std::remove_if(m_files.begin(), m_files.end(),
                                       [&name](const ST_File &f) { return f.name == name; });
        if (it == m_files.end())
            return;
        m_files.erase(it, m_files.end());
    }
    Append("-\t" + name + "\n");
}

std::vector<CCaptureRecord::ST_File> CCaptureRecord::Files() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_files;
}

bool CCaptureRecord::Same(const ST_File &file, const struct stat &info)
{
    return S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_dev) == file.dev &&
           static_cast<uint64_t>(info.st_ino) == file.ino;
}

void CCaptureRecord::Append(const std::string &line)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_fd < 0)
        return;
    // A line the record could not take only leaves that file out of later budgets: it is kept.
    for (size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}
