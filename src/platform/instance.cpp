#include "platform/instance.h"

#include "platform/errors.h"
#include "platform/textfile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// sockaddr_un holds 108 bytes with its terminating zero; a folder that leaves too little room
// for our name is passed over for /tmp.
constexpr size_t kSocketPathMax = 100;

bool IsDir(const char *path)
{
    struct stat st = {};
    return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// FNV-1a: the same name in every process and every build, which std::hash does not promise.
uint64_t Fnv1a(const std::string &text)
{
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string Canonical(const std::string &path)
{
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

} // namespace

InstanceRequest ParseInstanceRequest(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    constexpr std::string_view kMagic = "kestrum ";
    if (line.substr(0, kMagic.size()) != kMagic)
        return InstanceRequest::Unknown;
    line.remove_prefix(kMagic.size());
    const size_t blank = line.find(' ');
    const std::string_view version = line.substr(0, blank);
    if (version.empty() || version.find_first_not_of("0123456789") != std::string_view::npos)
        return InstanceRequest::Unknown;
    if (version != "1")
        return InstanceRequest::OtherVersion;
    if (blank == std::string_view::npos || line.substr(blank + 1) != "new-window")
        return InstanceRequest::Unknown;
    return InstanceRequest::NewWindow;
}

std::string_view InstanceReply(InstanceRequest request)
{
    switch (request) {
    case InstanceRequest::NewWindow:
        return kInstanceOk;
    case InstanceRequest::OtherVersion:
        return kInstanceOtherVersion;
    case InstanceRequest::Unknown:
        break;
    }
    return kInstanceUnknown;
}

std::string InstanceDoorFolder(size_t nameRoom)
{
    const std::string uid = std::to_string(static_cast<unsigned long>(geteuid()));
    std::string dir;
    std::string folder = "kestrum-" + uid;
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); IsDir(runtime)) {
        dir = runtime;
        folder = "kestrum";
    } else if (const char *tmp = std::getenv("TMPDIR"); IsDir(tmp)) {
        dir = tmp;
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty() || dir.size() + folder.size() + nameRoom + 2 > kSocketPathMax) {
        dir = "/tmp";
        folder = "kestrum-" + uid;
    }
    return (dir == "/" ? "" : dir) + "/" + folder;
}

std::string InstanceSocketPath(const std::string &appFolder)
{
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Fnv1a(Canonical(appFolder))));
    return InstanceDoorFolder(std::char_traits<char>::length(name)) + "/" + name;
}

std::string MakePrivateAppFolder(const std::string &appFolder, long pid)
{
    const std::string folder = Canonical(appFolder) + "/Instance-" + std::to_string(pid);
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        throw EFCreateError(folder);
    for (const char *name : {"Default.cps", "Default.sds", "Default.sym", "Default.ass", "History.sds"}) {
        std::string content;
        if (ReadWholeFile(appFolder + "/" + name, content))
            WriteFileAtomic(folder + "/" + name, content);
    }
    return folder;
}
