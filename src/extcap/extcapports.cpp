#include "extcap/extcapports.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

std::set<dev_t> DevicesHeldOpen(const std::string &proc)
{
    std::set<dev_t> held;
    DIR *processes = opendir(proc.c_str());
    if (processes == nullptr)
        return held;
    const std::string self = std::to_string(getpid());
    while (const dirent *process = readdir(processes)) {
        const std::string pid = process->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        const std::string fdDir = proc + "/" + pid + "/fd";
        DIR *fds = opendir(fdDir.c_str());
        if (fds == nullptr)
            continue;
        while (const dirent *fd = readdir(fds)) {
            struct stat st = {};
            if (fd->d_name[0] != '.' && stat((fdDir + "/" + fd->d_name).c_str(), &st) == 0 &&
                S_ISCHR(st.st_mode))
                held.insert(st.st_rdev);
        }
        closedir(fds);
    }
    closedir(processes);
    return held;
}

std::vector<ST_PortInfo> FreeSerialPorts()
{
    const std::set<dev_t> held = DevicesHeldOpen();
    std::vector<ST_PortInfo> free;
    for (ST_PortInfo &port : EnumerateSerialPorts()) {
        struct stat st = {};
        if (!port.Demo && stat(port.Path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            held.count(st.st_rdev) == 0)
            free.push_back(std::move(port));
    }
    return free;
}
