#pragma once
// A scratch folder removed with everything in it at the end of a test, and raw file access that
// bypasses the code under test.
#include <string>

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
