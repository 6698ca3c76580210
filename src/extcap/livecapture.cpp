#include "extcap/livecapture.h"

#include "platform/instance.h"
#include "platform/instancedoor.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char kSocketPrefix[] = "live-";
const char kInterfacePrefix[] = "kestrum-window-";

// "<pid>-<window>", both whole numbers above 0.
bool IsWindowId(const std::string &id)
{
    const size_t dash = id.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == id.size() || id.size() > 24)
        return false;
    for (size_t i = 0; i < id.size(); ++i)
        if (i != dash && (id[i] < '0' || id[i] > '9'))
            return false;
    return true;
}

std::string Owner(const struct stat &st)
{
    return "user " + std::to_string(st.st_uid);
}

} // namespace

std::string LiveCaptureFolder()
{
    // "live-" and two numbers of a process and a window.
    return InstanceDoorFolder(32);
}

std::string LiveCaptureSocketName(long pid, int window)
{
    return kSocketPrefix + std::to_string(pid) + "-" + std::to_string(window);
}

std::string WindowInterfaceName(const std::string &socketName)
{
    const size_t prefix = sizeof kSocketPrefix - 1;
    if (socketName.compare(0, prefix, kSocketPrefix) != 0 || !IsWindowId(socketName.substr(prefix)))
        return {};
    return kInterfacePrefix + socketName.substr(prefix);
}

std::optional<std::string> SocketNameOfInterface(const std::string &interface)
{
    const size_t prefix = sizeof kInterfacePrefix - 1;
    if (interface.compare(0, prefix, kInterfacePrefix) != 0 || !IsWindowId(interface.substr(prefix)))
        return std::nullopt;
    return kSocketPrefix + interface.substr(prefix);
}

std::string LiveGreeting(int window, const std::string &linkDescription)
{
    return "Kestrum window " + std::to_string(window) + ": " +
           (linkDescription.empty() ? std::string("no port open") : linkDescription);
}

int ConnectLiveWindow(const std::string &path, std::string &why)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    struct stat st = {};
    if (lstat(folder.c_str(), &st) != 0) {
        why = folder + ": " + std::strerror(errno);
        return -1;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
        why = folder + " is not a private folder of this user (it belongs to " + Owner(st) + ")";
        return -1;
    }
    if (lstat(path.c_str(), &st) != 0) {
        why = path + ": " + std::strerror(errno);
        return -1;
    }
    if (!S_ISSOCK(st.st_mode)) {
        why = path + " is not a socket";
        return -1;
    }
    if (st.st_uid != geteuid()) {
        why = path + " belongs to " + Owner(st);
        return -1;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        why = path + ": " + std::strerror(ENAMETOOLONG);
        return -1;
    }
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        why = path + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    // The file says who made it, not who listens on it now.
    uid_t uid = 0;
    if (!PeerIsThisUser(fd, uid)) {
        why = path + " is answered by a process of user " + std::to_string(uid);
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<ST_LiveStart> ParseLiveStart(const uint8_t *data, size_t size)
{
    // Whole blocks only: a block's length follows its type, in the section's byte order, which the
    // section header's magic tells.
    if (size < 12)
        return std::nullopt;
    uint32_t magic = 0;
    std::memcpy(&magic, data + 8, 4);
    const bool swapped = magic == 0x4D3C2B1A;
    if (magic != 0x1A2B3C4D && !swapped)
        throw EPcapngError("the stream does not begin with a pcapng section header");
    size_t whole = 0;
    bool packet = false;
    while (size - whole >= 12 && !packet) {
        uint32_t type = 0, length = 0;
        std::memcpy(&type, data + whole, 4);
        std::memcpy(&length, data + whole + 4, 4);
        if (swapped) {
            type = __builtin_bswap32(type);
            length = __builtin_bswap32(length);
        }
        if (length < 12 || length % 4 != 0 || length > kMostGreetingBytes)
            throw EPcapngError("a block of the stream's start is " + std::to_string(length) + " bytes long");
        if (size - whole < length)
            break;
        whole += length;
        packet = type == 6; // an enhanced packet: the greeting
    }
    if (!packet) {
        if (size >= kMostGreetingBytes)
            throw EPcapngError("the stream's start holds no greeting");
        return std::nullopt;
    }
    ST_PcapngContent content = ParsePcapng(data, whole);
    if (content.Interfaces.empty() || content.Records.empty())
        throw EPcapngError("the stream's start names no interface");
    return ST_LiveStart{std::move(content.Interfaces), std::move(content.Records.front().Comment)};
}

std::optional<ST_LiveStart> ReadLiveStart(int fd, int ms, std::string &why)
{
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        try {
            if (std::optional<ST_LiveStart> start = ParseLiveStart(got.data(), got.size()))
                return start;
        } catch (const EPcapngError &e) {
            why = e.what();
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p = {fd, POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            why = "the window did not answer";
            return std::nullopt;
        }
        uint8_t buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = n == 0 ? "the window hung up" : std::strerror(errno);
            return std::nullopt;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
}
