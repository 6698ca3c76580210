#pragma once
// The board's home: the one folder its shell lists, shows and sends from and its transfers
// receive into. A name from a command line is one plain component of that folder or nothing:
// no folder part, no "." or "..", no hidden file (the receiving folder keeps its own records
// there), and a link is never followed, so nothing outside the folder is read.
#include <cstddef>
#include <string>
#include <vector>

namespace demo {

bool IsHomeName(const std::string &name);

// The regular files of the folder a listing shows, sorted.
struct ST_HomeFile
{
    std::string Name;
    unsigned long long Size = 0;
};
std::vector<ST_HomeFile> HomeFiles(const std::string &folder);

enum class EHomeRead : unsigned char { Read, NotAllowed, Missing, NotAFile };
// Up to `max` bytes of the file; `*cut` tells whether there was more.
EHomeRead ReadHomeFile(const std::string &folder, const std::string &name, size_t max, std::string *bytes,
                       bool *cut);

// The files a fresh board has, where they are missing. Throws EFCreateError.
void SeedHome(const std::string &folder);

} // namespace demo
