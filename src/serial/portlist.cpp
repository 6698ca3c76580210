#include "serial/portlist.h"

#include "portbase/demoports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <linux/serial.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::vector<std::string> ListDir(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr)
        return names;
    while (const dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFirstLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

bool Exists(const std::string &path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0;
}

std::string RealPath(const std::string &path)
{
    char *resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string out = resolved;
    std::free(resolved);
    return out;
}

std::string BaseName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A UART slot the kernel reserved for hardware that is not there reports the type "unknown" (0).
// Newer kernels show every slot under the same driver, so the type is the telling sign; where a
// kernel has no type file, a slot with neither an I/O port nor a memory address, or without a
// clock, has no UART behind it. Only sysfs is asked: opening a tty to ask the driver would raise
// and drop DTR and RTS, which resets many boards that hang on a serial line. A slot sysfs says
// nothing about is listed (the user may still try it).
bool IsGhostUart(const std::string &ttyDir)
{
    const std::string type = ReadFirstLine(ttyDir + "/type");
    if (!type.empty())
        return std::atoi(type.c_str()) == PORT_UNKNOWN;
    const std::string clock = ReadFirstLine(ttyDir + "/uartclk");
    if (!clock.empty() && std::strtoul(clock.c_str(), nullptr, 0) == 0)
        return true;
    const std::string port = ReadFirstLine(ttyDir + "/port");
    const std::string memory = ReadFirstLine(ttyDir + "/iomem_base");
    return !port.empty() && !memory.empty() && std::strtoul(port.c_str(), nullptr, 0) == 0 &&
           std::strtoul(memory.c_str(), nullptr, 0) == 0;
}

// The sysfs folder of the USB device above a tty, walking up from its device folder (resolved),
// or the empty text when it is on no USB bus.
std::string UsbDeviceDir(const std::string &deviceDir)
{
    std::string dir = deviceDir;
    for (int depth = 0; depth < 6 && dir.size() > 1; ++depth) {
        if (Exists(dir + "/idVendor"))
            return dir;
        dir = dir.substr(0, dir.find_last_of('/'));
    }
    return {};
}

// Maker and product of the USB device above a tty.
std::string UsbDescription(const std::string &deviceDir)
{
    const std::string dir = UsbDeviceDir(RealPath(deviceDir));
    if (dir.empty())
        return {};
    const std::string maker = ReadFirstLine(dir + "/manufacturer");
    const std::string product = ReadFirstLine(dir + "/product");
    if (maker.empty() || product.rfind(maker, 0) == 0)
        return product;
    return product.empty() ? maker : maker + " " + product;
}

bool IsSerialTty(const std::string &name)
{
    static const char *const prefixes[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA",   "ttymxc", "ttySC",
                                           "ttyO", "ttyTHS", "ttyMSM", "ttyXRUSB", "rfcomm", "ttyGS"};
    for (const char *p : prefixes)
        if (name.rfind(p, 0) == 0)
            return true;
    return false;
}

bool StartsWith(const std::string &text, const char *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

int PortRank(const std::string &name)
{
    if (StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM") || StartsWith(name, "ttyXRUSB"))
        return 0;
    if (name.find("/serial/by-id/") != std::string::npos)
        return 1;
    static const char *const boardUarts[] = {"ttyS", "ttyAMA", "ttymxc", "ttyO", "ttyTHS", "ttyMSM"};
    for (const char *prefix : boardUarts)
        if (StartsWith(name, prefix) && name.size() > std::strlen(prefix) &&
            std::isdigit(static_cast<unsigned char>(name[std::strlen(prefix)])))
            return 3;
    return 2;
}

// Runs of digits compare by their value, the rest by its characters.
bool NaturalLess(const std::string &a, const std::string &b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            const size_t za = na.find_first_not_of('0'), zb = nb.find_first_not_of('0');
            const std::string va = za == std::string::npos ? "" : na.substr(za);
            const std::string vb = zb == std::string::npos ? "" : nb.substr(zb);
            if (va.size() != vb.size())
                return va.size() < vb.size();
            if (va != vb)
                return va < vb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool RankedBefore(const std::string &a, const std::string &b)
{
    const int ra = PortRank(a), rb = PortRank(b);
    return ra != rb ? ra < rb : NaturalLess(a, b);
}

bool RankedPortBefore(const ST_PortInfo &a, const ST_PortInfo &b)
{
    if (a.Demo || b.Demo)
        return !a.Demo && b.Demo;
    return RankedBefore(a.Name, b.Name);
}

} // namespace

void RankPorts(std::vector<ST_PortInfo> &ports)
{
    std::stable_sort(ports.begin(), ports.end(), RankedPortBefore);
}

std::string ProposedPortName(const std::vector<std::string> &names)
{
    std::vector<std::string> found;
    std::copy_if(names.begin(), names.end(), std::back_inserter(found),
                 [](const std::string &name) { return !IsDemoPortName(name); });
    const auto best = std::min_element(found.begin(), found.end(), RankedBefore);
    return best == found.end() ? std::string("ttyS0") : *best;
}

std::string VirtualPortDir()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0')
        return std::string(runtime) + "/kestrum-vport";
    return "/tmp/kestrum-vport-" + std::to_string(getuid());
}

bool TrustedVirtualPortDir(const std::string &dir, std::string *why)
{
    struct stat st
    {
    };
    const char *wrong = lstat(dir.c_str(), &st) != 0 ? "it is not there"
                        : S_ISLNK(st.st_mode)        ? "it is a link"
                        : !S_ISDIR(st.st_mode)       ? "it is not a folder"
                        : st.st_uid != geteuid()     ? "another user owns it"
                        : (st.st_mode & 077) != 0    ? "others may open it (its mode is not 0700)"
                                                     : nullptr;
    if (wrong && why)
        *why = wrong;
    return wrong == nullptr;
}

std::vector<ST_PortInfo> EnumerateSerialPortsIn(const std::string &sysClassTty, const std::string &dev,
                                                const std::string &vportDir)
{
    std::vector<ST_PortInfo> ports;
    for (const std::string &name : ListDir(sysClassTty)) {
        const std::string ttyDir = sysClassTty + "/" + name;
        if (!IsSerialTty(name) || !Exists(ttyDir + "/device"))
            continue;
        const std::string devPath = dev + "/" + name;
        if (!Exists(devPath))
            continue; // no device node here (a container, or udev still at work)
        if (name.rfind("ttyS", 0) == 0 && IsGhostUart(ttyDir))
            continue;
        ports.push_back({name, devPath, UsbDescription(ttyDir + "/device")});
    }
    const std::string byId = dev + "/serial/by-id";
    for (const std::string &name : ListDir(byId)) {
        const std::string path = byId + "/" + name;
        const std::string target = BaseName(RealPath(path));
        std::string description;
        for (const ST_PortInfo &p : ports)
            if (p.Name == target)
                description = p.Description;
        ports.push_back({path, path, description.empty() ? target : description + " (" + target + ")"});
    }
    if (!TrustedVirtualPortDir(vportDir))
        return ports;
    for (const std::string &name : ListDir(vportDir)) {
        const std::string path = vportDir + "/" + name;
        if (RealPath(path).empty())
            continue; // the tool that made it has ended
        ports.push_back({path, path, "Virtual port"});
    }
    return ports;
}

std::string DeviceIdentity(const std::string &devicePath, const std::string &sysRoot)
{
    struct stat st
    {
    };
    if (stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    const std::string root = RealPath(sysRoot);
    const std::string node =
        sysRoot + "/dev/char/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    // A pseudo-terminal or a virtual console has no device folder: nothing to know it by.
    const std::string device = RealPath(node + "/device");
    if (root.empty() || device.size() <= root.size() || device.compare(0, root.size(), root) != 0)
        return {};
    const std::string usb = UsbDeviceDir(device);
    if (usb.empty()) // a UART on the board or a card: where it sits is what it is
        return "device " + device.substr(root.size());
    std::string identity =
        "usb " + ReadFirstLine(usb + "/idVendor") + ":" + ReadFirstLine(usb + "/idProduct");
    // Without a serial number two adapters of one make look alike; the socket then tells them
    // apart, so the same adapter must come back in the same socket.
    const std::string serial = ReadFirstLine(usb + "/serial");
    identity += serial.empty() ? " at " + BaseName(usb) : " serial " + serial;
    // A chip with several ports has one serial number for all of them.
    for (std::string dir = device; dir.size() > usb.size(); dir = dir.substr(0, dir.find_last_of('/'))) {
        const std::string interface = ReadFirstLine(dir + "/bInterfaceNumber");
        if (!interface.empty()) {
            identity += " interface " + interface;
            break;
        }
    }
    const std::string port = ReadFirstLine(device + "/port_number");
    if (!port.empty())
        identity += " port " + port;
    return identity;
}

std::vector<ST_PortInfo> DemoPortList()
{
    std::vector<ST_PortInfo> ports;
    if (IDemoPorts *demo = DemoPorts())
        for (const ST_DemoKind &kind : demo->Kinds()) {
            const std::string name = DemoPortName(kind.Name);
            ports.push_back({name, name, kind.Description, true});
        }
    return ports;
}

std::vector<ST_PortInfo> EnumerateSerialPorts()
{
    std::vector<ST_PortInfo> ports = EnumerateSerialPortsIn("/sys/class/tty", "/dev", VirtualPortDir());
    for (ST_PortInfo &demo : DemoPortList())
        ports.push_back(std::move(demo));
    return ports;
}
