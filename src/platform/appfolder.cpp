#include "platform/appfolder.h"

#include <climits>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsWritableDir(const std::string &dir)
{
    struct stat st = {};
    return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(dir.c_str(), W_OK) == 0;
}

void MakePath(const std::string &dir)
{
    for (size_t pos = dir.find('/', 1); pos != std::string::npos; pos = dir.find('/', pos + 1))
        mkdir(dir.substr(0, pos).c_str(), 0755);
    mkdir(dir.c_str(), 0755);
}

std::string StripTrailingSlash(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::string FileIn(const std::string &dir, const std::string &name)
{
    return dir == "/" ? "/" + name : dir + "/" + name;
}

} // namespace

std::string ExecutablePath()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string AppFolderFor(const std::string &executable)
{
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos) {
        std::string dir = slash == 0 ? "/" : executable.substr(0, slash);
        // An installed program's bin folder is shared by every program on the system: even where
        // it is writable (run as root) the working files do not belong there.
        const bool installed = dir.size() >= 4 && dir.compare(dir.size() - 4, 4, "/bin") == 0;
        if (!installed && IsWritableDir(dir))
            return dir;
    }
    std::string data;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char *userHome = std::getenv("HOME"); userHome && *userHome)
        data = std::string(userHome) + "/.local/share";
    else
        data = "/tmp";
    std::string dir = StripTrailingSlash(data) + "/kestrum";
    MakePath(dir);
    return dir;
}

std::string AppFolder()
{
    if (const char *home = std::getenv("KESTRUM_HOME"); home && *home) {
        std::string dir = StripTrailingSlash(home);
        MakePath(dir);
        return dir;
    }
    return AppFolderFor(ExecutablePath());
}

std::string AppFilePath(const std::string &name)
{
    return FileIn(AppFolder(), name);
}

std::string RememberedAppFilePath(const std::string &name)
{
    // AppFolder reads these and nothing else that can change while the program runs.
    static std::mutex lock;
    static std::string decidedBy;
    static std::string folder;
    std::string now;
    for (const char *variable : {"KESTRUM_HOME", "XDG_DATA_HOME", "HOME"}) {
        const char *value = std::getenv(variable);
        now += value ? value : "";
        now += '\0';
    }
    const std::lock_guard<std::mutex> guard(lock);
    if (folder.empty() || now != decidedBy) {
        folder = AppFolder();
        decidedBy = std::move(now);
    }
    return FileIn(folder, name);
}
