// Finding a lost port's device again, and the modem lines a pseudo-terminal does not have.
#include "Serial/devicereturn.h"

#include "ptypair.h"
#include "serialonpty.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(DeviceReturn, TheByIdNameIsFoundAndPreferred)
{
    TempDir byId;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    EXPECT_EQ(FindByIdName(pty.Path(), byId.path), "");
    const std::string name = byId.File("usb-Maker_Adapter_A1-if00-port0");
    ASSERT_EQ(symlink(pty.Path().c_str(), name.c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", byId.File("dangling").c_str()), 0);
    EXPECT_EQ(FindByIdName(pty.Path(), byId.path), name);
    EXPECT_EQ(FindByIdName(pty.Path(), byId.File("none")), "");
    EXPECT_EQ(FindByIdName("/dev/no-such-port", byId.path), "");

    EXPECT_EQ(ReturnedDevicePath(pty.Path(), name), name);
    EXPECT_EQ(ReturnedDevicePath(pty.Path(), ""), pty.Path());
    // A by-id name whose device is gone: the port's own path, if that is back.
    EXPECT_EQ(ReturnedDevicePath(pty.Path(), byId.File("dangling")), pty.Path());
    EXPECT_EQ(ReturnedDevicePath("/dev/no-such-port", byId.File("dangling")), "");
    // A plain file is no device.
    WriteRaw(byId.File("file"), "x");
    EXPECT_EQ(ReturnedDevicePath(byId.File("file"), ""), "");
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
