#include "Serial/devicereturn.h"

#include "Serial/Serial.h"

#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

std::string RealPath(const std::string &path)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool IsCharDevice(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

std::string FindByIdName(const std::string &port, const std::string &byIdFolder)
{
    const std::string device = RealPath(CSerial::DevicePath(port));
    if (device.empty())
        return std::string();
    DIR *dir = opendir(byIdFolder.c_str());
    if (!dir)
        return std::string();
    std::string found;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = byIdFolder + "/" + name;
        if (path != CSerial::DevicePath(port) && RealPath(path) == device) {
            found = path;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string ReturnedDevicePath(const std::string &port, const std::string &byIdName)
{
    if (!byIdName.empty() && IsCharDevice(byIdName))
        return byIdName;
    const std::string own = CSerial::DevicePath(port);
    return IsCharDevice(own) ? own : std::string();
}
