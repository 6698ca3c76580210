// Port discovery against a made-up sysfs and /dev, and against the machine's own.
#include "ptypair.h"
#include "serial/portlist.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

void Tty(const fs::path &sys, const std::string &name, const std::string &deviceTarget)
{
    fs::create_directories(sys / "class/tty" / name);
    if (!deviceTarget.empty())
        fs::create_directory_symlink(deviceTarget, sys / "class/tty" / name / "device");
}

} // namespace

TEST(PortList, FindsRealPortsWithDescriptionsAndSkipsGhosts)
{
    CTempHome home;
    CTestPty pty;
    const fs::path root = home.Dir();
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    fs::create_directories(sys / "devices/platform/serial8250");
    fs::create_directories(sys / "devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0");
    fs::create_directories(sys / "devices/pci0/usb1/1-2/1-2:1.0");
    Write(sys / "devices/pci0/usb1/1-1/idVendor", "0403");
    Write(sys / "devices/pci0/usb1/1-1/manufacturer", "Acme Devices");
    Write(sys / "devices/pci0/usb1/1-1/product", "USB Serial Cable");
    Write(sys / "devices/pci0/usb1/1-2/idVendor", "2341");
    Write(sys / "devices/pci0/usb1/1-2/product", "Data Logger");

    Tty(sys, "ttyS0", "../../../devices/platform/serial8250");
    Write(sys / "class/tty/ttyS0/type", "4");
    Tty(sys, "ttyS1", "../../../devices/platform/serial8250"); // a slot with no UART behind it
    Write(sys / "class/tty/ttyS1/type", "0");
    Tty(sys, "ttyUSB0", "../../../devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0");
    Tty(sys, "ttyACM0", "../../../devices/pci0/usb1/1-2/1-2:1.0");
    Tty(sys, "ttyUSB9", "");                                               // left behind without a device
    Tty(sys, "ttyUSB1", "../../../devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0"); // no node in /dev
    Tty(sys, "tty0", "../../../devices/platform/serial8250");              // a console, not a serial port
    Tty(sys, "console", "");

    fs::create_directories(dev / "serial/by-id");
    for (const char *name : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM0"})
        Write(dev / name, "");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-Acme_USB_Serial_Cable-if00-port0");

    const fs::path vports = root / "vports";
    fs::create_directories(vports);
    fs::permissions(vports, fs::perms::owner_all);
    fs::create_symlink(pty.Path(), vports / "vport0");
    fs::create_symlink("/dev/kestrum-gone", vports / "vport1");

    const std::vector<ST_PortInfo> ports =
        EnumerateSerialPortsIn((sys / "class/tty").string(), dev.string(), vports.string());
    std::vector<std::string> names;
    for (const ST_PortInfo &p : ports)
        names.push_back(p.Name);
    const std::string byId = (dev / "serial/by-id/usb-Acme_USB_Serial_Cable-if00-port0").string();
    const std::string vport = (vports / "vport0").string();
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0", byId, vport}));
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].Description, "Data Logger");
    EXPECT_EQ(ports[1].Path, (dev / "ttyS0").string());
    EXPECT_EQ(ports[1].Description, "");
    EXPECT_EQ(ports[2].Description, "Acme Devices USB Serial Cable");
    EXPECT_EQ(ports[3].Path, byId);
    EXPECT_EQ(ports[3].Description, "Acme Devices USB Serial Cable (ttyUSB0)");
    EXPECT_EQ(ports[4].Description, "Virtual port");
    EXPECT_TRUE(EnumerateSerialPortsIn((root / "none").string(), (root / "none").string(), "").empty());
}

TEST(PortList, VirtualPortsOfAFolderNotTheUsersOwnAreNotListed)
{
    CTempHome home;
    CTestPty pty;
    const fs::path root = home.Dir();
    const auto listed = [&root](const fs::path &vports) {
        return EnumerateSerialPortsIn((root / "none").string(), (root / "none").string(), vports.string())
            .size();
    };
    const fs::path own = root / "own";
    fs::create_directories(own);
    fs::permissions(own, fs::perms::owner_all);
    fs::create_symlink(pty.Path(), own / "vport0");
    ASSERT_EQ(listed(own), 1u);

    const fs::path linked = root / "linked";
    fs::create_directory_symlink(own, linked);
    EXPECT_EQ(listed(linked), 0u);
    fs::permissions(own, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EQ(listed(own), 0u) << "mode 0755";
    fs::permissions(own, fs::perms::owner_all);
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(listed(own), 0u) << "another user's";
}

TEST(PortList, MachinePortsAreRealOnes)
{
    for (const ST_PortInfo &p : EnumerateSerialPorts()) {
        EXPECT_FALSE(p.Name.empty());
        EXPECT_TRUE(fs::exists(p.Path)) << p.Path;
        if (p.Name.rfind("ttyS", 0) == 0) {
            std::ifstream type("/sys/class/tty/" + p.Name + "/type");
            int value = -1;
            if (type >> value) {
                EXPECT_NE(value, 0) << p.Name;
            }
        }
    }
}

TEST(PortList, GhostsAreToldFromSysfsAloneAndNoDeviceIsOpened)
{
    CTempHome home;
    const fs::path root = home.Dir();
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    fs::create_directories(sys / "devices/platform/serial8250");
    const std::string uart = "../../../devices/platform/serial8250";
    // Kernels without the type file: a slot without a clock, or without any address, is empty.
    Tty(sys, "ttyS0", uart);
    Write(sys / "class/tty/ttyS0/uartclk", "1843200");
    Write(sys / "class/tty/ttyS0/port", "0x3F8");
    Write(sys / "class/tty/ttyS0/iomem_base", "0x0");
    Tty(sys, "ttyS1", uart);
    Write(sys / "class/tty/ttyS1/uartclk", "0");
    Tty(sys, "ttyS2", uart);
    Write(sys / "class/tty/ttyS2/port", "0x0");
    Write(sys / "class/tty/ttyS2/iomem_base", "0x0");
    Tty(sys, "ttyS3", uart); // sysfs tells nothing: listed, for the user to try
    for (const char *name : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"})
        Write(dev / name, "");

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dev.c_str(), IN_OPEN), 0);
    std::vector<std::string> names;
    for (const ST_PortInfo &p : EnumerateSerialPortsIn((sys / "class/tty").string(), dev.string(), ""))
        names.push_back(p.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyS0", "ttyS3"}));

    // Opening a tty raises DTR and RTS, which resets many boards: listing must not.
    alignas(inotify_event) char events[4096];
    const ssize_t n = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < n;) {
        const auto *e = reinterpret_cast<const inotify_event *>(events + at);
        EXPECT_TRUE(e->len == 0 || (e->mask & IN_ISDIR)) << "opened " << e->name;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
    close(watch);
}

// A new link is proposed the port the user most likely means: an adapter plugged in for the work
// at hand before a UART the board always has.
TEST(PortList, ANewLinkIsProposedAnAdapterBeforeABuiltInUart)
{
    const std::string byId = "/dev/serial/by-id/usb-Acme_Cable-if00-port0";
    const std::string vport = "/run/user/1000/kestrum-vport/vport0";
    // The demo devices keep their own order, after everything on the machine.
    std::vector<ST_PortInfo> ports = {{"demo://echo", "demo://echo", "", true},
                                      {"demo://board", "demo://board", "", true}};
    for (const char *name : {"ttyACM0", "ttyAMA0", "ttyS0", "ttyS10", "ttyS2", "ttyUSB10", "ttyUSB2"})
        ports.push_back({name, std::string("/dev/") + name, ""});
    ports.push_back({byId, byId, ""});
    ports.push_back({vport, vport, ""});
    RankPorts(ports);
    std::vector<std::string> names;
    for (const ST_PortInfo &p : ports)
        names.push_back(p.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10", byId, vport, "ttyAMA0",
                                               "ttyS0", "ttyS2", "ttyS10", "demo://echo", "demo://board"}));

    EXPECT_EQ(ProposedPortName({"ttyS0", "ttyS1", "ttyUSB0"}), "ttyUSB0");
    EXPECT_EQ(ProposedPortName({"ttyS1", byId}), byId);
    EXPECT_EQ(ProposedPortName({}), "ttyS0");
    EXPECT_EQ(ProposedPortName({"demo://echo", "demo://board"}), "ttyS0");
}
