#include "serial/devicereturn.h"

#include "serial/portlist.h"
#include "serial/serial.h"

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

// The device number of a character device, 0 for anything else.
uint64_t CharDeviceNumber(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) ? static_cast<uint64_t>(info.st_rdev) : 0;
}

bool IsLink(const std::string &path)
{
    struct stat info
    {
    };
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
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
        if (RealPath(path) == device) {
            found = path;
            break;
        }
    }
    closedir(dir);
    return found;
}

ST_DeviceMark MarkDevice(const std::string &port, const ST_DeviceRoots &roots)
{
    ST_DeviceMark mark;
    mark.Path = CSerial::DevicePath(port);
    mark.ById = FindByIdName(mark.Path, roots.ByIdFolder);
    mark.Identity = DeviceIdentity(mark.Path, roots.SysRoot);
    mark.Node = CharDeviceNumber(mark.Path);
    return mark;
}

std::string ReturnedDevicePath(const ST_DeviceMark &mark, const ST_DeviceRoots &roots)
{
    // Played by this program, so never gone: waiting for it to appear would wait for ever.
    if (IsPlayedPortName(mark.Path))
        return mark.Path;
    // The by-id name is made from the device's maker, model and serial number: the device that
    // shows up under it is the one that left, whatever /dev name it has now.
    if (!mark.ById.empty())
        return CharDeviceNumber(mark.ById) != 0 ? mark.ById : std::string();
    if (CharDeviceNumber(mark.Path) == 0)
        return std::string();
    const std::string identity = DeviceIdentity(mark.Path, roots.SysRoot);
    if (!mark.Identity.empty())
        return identity == mark.Identity ? mark.Path : std::string();
    // Nothing told the device apart (a pseudo-terminal): a real device there now is another one.
    if (!identity.empty())
        return std::string();
    // A link is a name its maker keeps for whatever serves it (kestrum-vport's names for the
    // pseudo-terminals it makes), so it is followed like a by-id name. A bare node has only its
    // number: a pseudo-terminal never comes back itself, but the program that served it, started
    // again, usually gets the same number, and that is what its user waits for; a pseudo-terminal
    // with another number is another one.
    if (IsLink(mark.Path) || CharDeviceNumber(mark.Path) == mark.Node)
        return mark.Path;
    return std::string();
}
