#pragma once
// The names a capture gives its files. A pattern is a path whose last part may hold {link},
// {port}, {window}, {date}, {time} and {seq}; the folder part is taken as written. The values
// of {link}, {port} and {window} are the user's own text and a device path, so they are made
// into plain name parts first: no value can lead out of the pattern's folder.
#include <cstdint>
#include <regex>
#include <string>

struct ST_CaptureNameValues
{
    std::string link, port, window;
};

// `text` as one part of a file name: separators, characters other systems refuse and control
// characters become '_', and leading dots too, so ".." or ".hidden" cannot come out. "/dev/" is
// left off a device path. Never empty.
std::string CaptureNamePart(const std::string &text);

// "2026-12-10" and "2026-12-10 00:20:22" (".123" added with `ms`) for local milliseconds as
// IClock counts them.
std::string LocalDateText(int64_t localMs);
std::string LocalDateTimeText(int64_t localMs, bool ms);

class CCaptureNames
{
public:
    CCaptureNames(const std::string &pattern, const ST_CaptureNameValues &values);

    const std::string &Folder() const { return m_folder; }
    bool HasSeq() const { return m_hasSeq; }
    // The full path for a file begun at `localMs`. `seq` 0 with a pattern without {seq} is the
    // name as written; otherwise a pattern without {seq} gets "-<seq>" before its extension.
    std::string Path(int64_t localMs, int seq) const;
    // Whether a numbered file ("-<seq>" or {seq}) of the name `localMs` gives is in the folder,
    // compressed or not: the name as written then no longer sorts after every file made.
    bool NumberedExists(int64_t localMs) const;
    // The last part with {link}, {port} and {window} filled in: what tells the files of one
    // capture from those of another in the folder.
    std::string Key() const;
    // Whether `name` (no folder) is one this pattern makes, compressed or not; its number, or 0
    // for a name without one, goes to `seq`.
    bool Made(const std::string &name, int *seq = nullptr) const;
    // The highest number among the pattern's files in its folder now; 0 when there are none.
    int HighestSeq() const;

private:
    std::string Render(int64_t localMs, const std::string &seqText, bool numbered) const;

    std::string m_folder;
    std::string m_name;
    ST_CaptureNameValues m_values;
    bool m_hasSeq = false;
    std::regex m_made;
};
