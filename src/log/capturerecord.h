#pragma once
// Which files a capture made, so that its budget removes those and nothing else: not a user's
// file that happens to fit the pattern, nor the file another capture is writing. The record is a
// hidden file ".kestrum-capture-<random>" in the capture's folder, locked (flock) while its
// capture runs, that lists each file made with its device and inode; a file put in its place
// under the same name is not taken for it. A capture of the same pattern started later takes
// over the records no running capture holds, so a budget goes on counting the files of earlier
// runs (after a restart of the program, or a crash, which lets the lock go).
//
// The record is only ever appended to, a line a change, so a capture that stops halfway through
// a line loses no more than that line. Any thread.
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

struct stat;

class CCaptureRecord
{
public:
    struct ST_File
    {
        std::string name; // in the record's folder
        uint64_t dev;
        uint64_t ino;
    };

    CCaptureRecord() = default;
    ~CCaptureRecord(); // Close()
    CCaptureRecord(const CCaptureRecord &) = delete;
    CCaptureRecord &operator=(const CCaptureRecord &) = delete;

    // Makes and locks a new record in `folder` for the captures known by `key` (the pattern with
    // its link, port and window filled in) and takes over the ended records of the same key.
    // Returns 0 or the errno.
    int Open(const std::string &folder, const std::string &key);
    // Lets the record go for the next capture of its key; one that lists nothing is removed.
    void Close();

    void Made(const std::string &name, const struct stat &info);
    void Gone(const std::string &name);
    std::vector<ST_File> Files() const;
    // Whether `info` (of the file now under `file.name`) is still the file listed.
    static bool Same(const ST_File &file, const struct stat &info);
    // The files the text of a record lists; false when it is no record of `key`.
    static bool Parse(const std::string &text, const std::string &key, std::vector<ST_File> &files);

private:
    void TakeOver(const std::string &name);
    void Append(const std::string &line);

    mutable std::mutex m_lock;
    std::string m_folder, m_key, m_path;
    int m_fd = -1;
    std::vector<ST_File> m_files;
};
