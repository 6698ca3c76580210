// Port discovery against a made-up sysfs and /dev, and against the machine's own.
#include "Serial/portlist.h"
#include "ptypair.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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
