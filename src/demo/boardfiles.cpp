#include "demo/boardfiles.h"

#include "platform/textfile.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace demo {

bool IsHomeName(const std::string &name)
{
    if (name.empty() || name.size() > 255 || name[0] == '.')
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
    });
}

std::vector<ST_HomeFile> HomeFiles(const std::string &folder)
{
    std::vector<ST_HomeFile> files;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return files;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat info
        {
        };
        if (IsHomeName(name) && fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            files.push_back({name, static_cast<unsigned long long>(info.st_size)});
    }
    closedir(dir);
    std::sort(files.begin(), files.end(),
              [](const ST_HomeFile &a, const ST_HomeFile &b) { return a.Name < b.Name; });
    return files;
}

EHomeRead ReadHomeFile(const std::string &folder, const std::string &name, size_t max, std::string *bytes,
                       bool *cut)
{
    bytes->clear();
    *cut = false;
    if (!IsHomeName(name))
        return EHomeRead::NotAllowed;
    // Non-blocking: a FIFO someone left there must not hold the board's shell.
    const int fd = open((folder + "/" + name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP ? EHomeRead::NotAFile : EHomeRead::Missing;
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return EHomeRead::NotAFile;
    }
    char buffer[16384];
    while (bytes->size() <= max) {
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, max + 1 - bytes->size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (bytes->size() > max) {
        bytes->resize(max);
        *cut = true;
    }
    return EHomeRead::Read;
}

void SeedHome(const std::string &folder)
{
    static const char *const kFiles[][2] = {
        {"readme.txt", "This board is simulated inside the terminal.\n"
                       "Try: help, ls, cat config.json, sensors, stream 20, top,\n"
                       "crc 010300000001, sz readme.txt, rz, reboot.\n"},
        {"config.json",
         "{\n  \"name\": \"demo\",\n  \"baudrate\": 115200,\n  \"sensors\": [\"temp\", \"hum\", "
         "\"press\"],\n  \"interval_ms\": 100\n}\n"},
        {"log.txt", "[    1.204133] eth0: link up, 100 Mbps, full duplex\n"
                    "[    2.310020] sensor0: calibrated\n"
                    "[    5.000001] app: started, 3 sensors\n"},
    };
    for (const auto &file : kFiles) {
        const std::string path = folder + "/" + file[0];
        struct stat info
        {
        };
        if (lstat(path.c_str(), &info) != 0)
            WriteFileAtomic(path, file[1]);
    }
}

} // namespace demo
