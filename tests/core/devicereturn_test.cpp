// Finding a lost port's device again, and the modem lines a pseudo-terminal does not have.
#include "serial/devicereturn.h"

#include "ptypair.h"
#include "serialonpty.h"
#include "tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Gives the node `device` a sysfs entry under `sys`, as the kernel does for a tty, whose device
// folder is `deviceDir` (relative to `sys`).
void SysfsEntry(const fs::path &sys, const std::string &device, const std::string &deviceDir)
{
    struct stat st
    {
    };
    ASSERT_EQ(stat(device.c_str(), &st), 0);
    const fs::path entry =
        sys / "dev/char" / (std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    fs::remove_all(entry);
    fs::create_directories(entry);
    fs::create_directories(sys / deviceDir);
    fs::create_directory_symlink(sys / deviceDir, entry / "device");
}

// A USB adapter with one port, as usb-serial drivers lay it out.
void UsbAdapter(const fs::path &sys, const std::string &device, const std::string &serial)
{
    const fs::path usb = sys / "devices/pci0/usb1/1-1";
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    WriteRaw((usb / "idVendor").string(), "0403\n");
    WriteRaw((usb / "idProduct").string(), "6001\n");
    fs::remove(usb / "serial");
    if (!serial.empty())
        WriteRaw((usb / "serial").string(), serial + "\n");
    WriteRaw((usb / "1-1:1.0/bInterfaceNumber").string(), "00\n");
    WriteRaw((usb / "1-1:1.0/ttyUSB0/port_number").string(), "0\n");
    SysfsEntry(sys, device, "devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0");
}

} // namespace

// The by-id name decides, wherever it points now; the old /dev name no longer counts.
TEST(DeviceReturn, APortWithAByIdNameComesBackOnlyUnderIt)
{
    TempDir byId;
    CTestPty first, second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    const ST_DeviceRoots roots{byId.path, byId.File("sys")};
    EXPECT_EQ(FindByIdName(first.Path(), byId.path), "");
    const std::string name = byId.File("usb-Maker_Adapter_A1-if00-port0");
    ASSERT_EQ(symlink(first.Path().c_str(), name.c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", byId.File("dangling").c_str()), 0);
    EXPECT_EQ(FindByIdName(first.Path(), byId.File("none")), "");
    EXPECT_EQ(FindByIdName("/dev/no-such-port", byId.path), "");

    const ST_DeviceMark mark = MarkDevice(first.Path(), roots);
    EXPECT_EQ(mark.ById, name);
    EXPECT_EQ(MarkDevice(name, roots).ById, name) << "a link made with the by-id name";
    EXPECT_EQ(ReturnedDevicePath(mark, roots), name);
    // The adapter is gone while another device has its old node.
    ASSERT_EQ(unlink(name.c_str()), 0);
    EXPECT_EQ(ReturnedDevicePath(mark, roots), "");
    ASSERT_EQ(symlink(byId.File("nonexistent").c_str(), name.c_str()), 0);
    EXPECT_EQ(ReturnedDevicePath(mark, roots), "") << "named, but no device yet";
    // Back under another node.
    ASSERT_EQ(unlink(name.c_str()), 0);
    ASSERT_EQ(symlink(second.Path().c_str(), name.c_str()), 0);
    EXPECT_EQ(ReturnedDevicePath(mark, roots), name);
}

// Without a by-id name, what sysfs says of the device under the old name must be what it said.
TEST(DeviceReturn, WithoutAByIdNameSysfsMustKnowTheDevice)
{
    TempDir root;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    const fs::path sys = root.File("sys");
    const ST_DeviceRoots roots{root.File("by-id"), sys.string()};
    UsbAdapter(sys, pty.Path(), "A1");
    const ST_DeviceMark mark = MarkDevice(pty.Path(), roots);
    EXPECT_EQ(mark.Identity, "usb 0403:6001 serial A1 interface 00 port 0");
    EXPECT_EQ(ReturnedDevicePath(mark, roots), pty.Path()) << "the same adapter";
    UsbAdapter(sys, pty.Path(), "B2");
    EXPECT_EQ(ReturnedDevicePath(mark, roots), "") << "another adapter of the same make";

    // No serial number: the socket tells two of a make apart.
    UsbAdapter(sys, pty.Path(), "");
    EXPECT_EQ(MarkDevice(pty.Path(), roots).Identity, "usb 0403:6001 at 1-1 interface 00 port 0");

    // A UART on the board is known by where it sits.
    SysfsEntry(sys, pty.Path(), "devices/platform/serial8250/serial8250.0");
    const ST_DeviceMark uart = MarkDevice(pty.Path(), roots);
    EXPECT_EQ(uart.Identity, "device /devices/platform/serial8250/serial8250.0");
    SysfsEntry(sys, pty.Path(), "devices/platform/serial8250/serial8250.1");
    EXPECT_EQ(ReturnedDevicePath(uart, roots), "");
}

// A pseudo-terminal says nothing in sysfs: the same node, or a link its maker keeps, is accepted;
// a real device now standing there is not.
TEST(DeviceReturn, ADeviceSysfsSaysNothingOfIsKnownByItsNodeOrLink)
{
    TempDir root;
    CTestPty first, second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    const fs::path sys = root.File("sys");
    const ST_DeviceRoots roots{root.File("by-id"), sys.string()};
    const ST_DeviceMark mark = MarkDevice(first.Path(), roots);
    EXPECT_EQ(mark.Identity, "");
    EXPECT_EQ(ReturnedDevicePath(mark, roots), first.Path());

    const std::string link = root.File("vport0");
    ASSERT_EQ(symlink(first.Path().c_str(), link.c_str()), 0);
    const ST_DeviceMark linked = MarkDevice(link, roots);
    ASSERT_EQ(unlink(link.c_str()), 0);
    EXPECT_EQ(ReturnedDevicePath(linked, roots), "");
    ASSERT_EQ(symlink(second.Path().c_str(), link.c_str()), 0);
    EXPECT_EQ(ReturnedDevicePath(linked, roots), link);

    UsbAdapter(sys, first.Path(), "A1");
    EXPECT_EQ(ReturnedDevicePath(mark, roots), "");
    // A plain file is no device.
    WriteRaw(root.File("file"), "x");
    EXPECT_EQ(ReturnedDevicePath(MarkDevice(root.File("file"), roots), roots), "");
    // A demo device is played by the program itself: it is there whenever it is asked for.
    EXPECT_EQ(ReturnedDevicePath(MarkDevice("demo://echo", roots), roots), "demo://echo");
}

using ModemLines = CSerialOnPty;

TEST_F(ModemLines, APseudoTerminalRefusesThemAndSaysSo)
{
    EXPECT_FALSE(port.HasModemLines()) << "closed";
    EXPECT_NE(port.SetDTR(true), 0) << "closed";
    ASSERT_EQ(port.Open(pty.Path()), 0);
    EXPECT_FALSE(port.HasModemLines());
    EXPECT_NE(port.SetDTR(false), 0);
    EXPECT_EQ(port.GetLastError(), port.SetRTS(true));
    EXPECT_NE(port.GetLastError(), 0);
    EXPECT_FALSE(port.GetRING());
    EXPECT_NE(home.LogText().find("CSerial::SetDTR - "), std::string::npos);
    // The port still carries data afterwards.
    uint32_t written = 0;
    EXPECT_EQ(port.Write("ok", &written), 0);
    EXPECT_EQ(pty.Receive(2), (std::vector<uint8_t>{'o', 'k'}));
}
