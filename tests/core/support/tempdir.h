#pragma once
// A scratch folder removed with everything in it at the end of a test, raw file access that
// bypasses the code under test, and a disk that fills up.
#include <csignal>
#include <string>
#include <sys/resource.h>

struct TempDir
{
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string File(const std::string &name) const { return path + "/" + name; }
    int EntryCount() const;

    std::string path;
};

std::string ReadRaw(const std::string &path);
void WriteRaw(const std::string &path, const std::string &bytes);

// While it lives, no file of this process grows past `bytes`: a write beyond fails with EFBIG
// (the signal that would end the process is ignored), as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(size_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
