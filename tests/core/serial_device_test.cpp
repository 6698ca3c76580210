// The device on a real pseudo-terminal: open and close, result codes, the settings it holds and
// puts on the line, and the diagnostic lines of its failures.
#include "serialonpty.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr unsigned kBother = 0010000; // the arbitrary-rate code, not in glibc's headers

KTermios LineOf(const CTestPty &pty)
{
    KTermios t;
    EXPECT_TRUE(GetKernelTermios(pty.Slave(), &t));
    return t;
}

using SerialDevice = CSerialOnPty;

} // namespace

TEST_F(SerialDevice, OpenCloseReopenAndNames)
{
    ASSERT_TRUE(pty.Ok());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);

    EXPECT_EQ(port.Open("\\\\.\\" + pty.Path()), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Open(pty.Path()), ERROR_ALREADY_INITIALIZED);
    EXPECT_EQ(port.GetLastError(), ERROR_ALREADY_INITIALIZED);
    // The refused second open left the first one working.
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Write("ping"), 0);
    const auto got = pty.Receive(4);
    EXPECT_EQ(std::string(got.begin(), got.end()), "ping");

    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Open(pty.Path(), 1024, 1024), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(home.LogText(), "");

    EXPECT_EQ(CSerial::DevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(CSerial::DevicePath("\\\\.\\ttyACM1"), "/dev/ttyACM1");
    EXPECT_EQ(CSerial::DevicePath("/dev/serial/by-id/usb-x-if00"), "/dev/serial/by-id/usb-x-if00");
}

TEST_F(SerialDevice, OpenFailuresGiveDistinctCodesAndLeaveItClosed)
{
    EXPECT_EQ(port.Open("/dev/kestrum-no-such-port"), SystemError(ENOENT));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(home.LogText(), "CSerial::Open - Unable to open port\r\n\r\n");
    EXPECT_EQ(SerialErrorText(SystemError(ENOENT)), "no such port");

    // Held by another program (here: another device object), root included.
    CSerial first;
    ASSERT_EQ(first.Open(pty.Path()), 0);
    const long busy = port.Open(pty.Path());
    EXPECT_TRUE(busy == SystemError(EBUSY) || busy == SystemError(EWOULDBLOCK)) << busy;
    EXPECT_EQ(SerialErrorText(busy), "the port is in use by another program");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(SerialErrorText(SystemError(EACCES)), SerialErrorText(busy));
    first.Close();
    EXPECT_EQ(port.Open(pty.Path()), 0);
    port.Close();

    // A file that is no terminal is no port.
    const std::string file = home.Dir() + "/plain";
    close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    EXPECT_EQ(port.Open(file), SystemError(ENOTTY));
    EXPECT_FALSE(port.IsOpen());

    EXPECT_EQ(port.Open(pty.Path(), -1, 0), SystemError(EINVAL));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(home.LogText().find("CSerial::Open - Unable to setup the COM-port\r\n"), std::string::npos);
}

TEST_F(SerialDevice, StateRightAfterOpen)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    EXPECT_EQ(port.GetEventMask(), 0x00C1u);
    const ST_CommTimeouts t = port.GetTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 10u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 10u);
    EXPECT_EQ(port.GetBaudrate(), 9600);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.GetStopBits(), 0);
    EXPECT_EQ(port.GetHandshaking(), CSerial::NoHandshake);
    // A raw line: no echo, no line editing, no translation of CR and LF.
    const KTermios line = LineOf(pty);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_ospeed, 9600u);
}

TEST_F(SerialDevice, ClosedDeviceFailsWithLogLines)
{
    EXPECT_EQ(port.Setup(9600, 8, 0, 0), ERROR_INVALID_HANDLE);
    uint32_t written = 99;
    EXPECT_EQ(port.Write("x", &written), ERROR_INVALID_HANDLE);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port.GetBaudrate(), -1);
    EXPECT_EQ(port.GetEventChar(), 0);
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(port.GetCTS());
    EXPECT_EQ(port.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(port.GetRLSD());
    EXPECT_EQ(home.LogText(), "CSerial::Setup - Device is not opened\r\n\r\n"
                              "CSerial::Write - Device is not opened\r\n\r\n"
                              "CSerial::GetBaudrate - Device is not opened\r\n\r\n"
                              "CSerial::GetEventChar - Device is not opened\r\n\r\n"
                              "CSerial::GetEventMask - Device is not opened\r\n\r\n"
                              "CSerial::GetCTS - Unable to obtain the modem status\r\n\r\n"
                              "CSerial::GetRLSD - Unable to obtain the modem status\r\n");
    EXPECT_EQ(SerialErrorText(ERROR_INVALID_HANDLE, false), "the port is not open");
}

TEST_F(SerialDevice, UnknownModesAreRefusedQuietly)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.SetupHandshaking(CSerial::XonXoffHandshake), 0);
    const KTermios before = LineOf(pty);
    EXPECT_EQ(port.SetupHandshaking(3), E_INVALIDARG);
    EXPECT_EQ(port.GetLastError(), E_INVALIDARG);
    EXPECT_EQ(port.GetHandshaking(), CSerial::XonXoffHandshake);
    EXPECT_EQ(LineOf(pty).c_iflag, before.c_iflag);
    EXPECT_EQ(port.SetupReadTimeouts(2), E_INVALIDARG);
    EXPECT_EQ(port.GetTimeouts().ReadIntervalTimeout, 10u);
    EXPECT_EQ(home.LogText(), "");
}

TEST_F(SerialDevice, SetupHoldsAndAppliesListedAndTypedRates)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    const uint32_t rates[] = {110,    300,    600,    1200,   2400,   4800,   9600,    14400,   19200,
                              28800,  38400,  56000,  57600,  115200, 128000, 230400,  256000,  345600,
                              460800, 512000, 691200, 921600, 74880,  250000, 1000000, 3000000, 123457};
    for (const uint32_t rate : rates) {
        ASSERT_EQ(port.Setup(rate, 8, NOPARITY, ONESTOPBIT), 0) << rate;
        EXPECT_EQ(port.GetBaudrate(), static_cast<long>(rate));
        const KTermios line = LineOf(pty);
        EXPECT_EQ(line.c_ospeed, rate);
        EXPECT_EQ(line.c_ispeed, rate);
    }
    ASSERT_EQ(port.Setup(14400, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(LineOf(pty).c_cflag & CBAUD, kBother);
    ASSERT_EQ(port.Setup(250000, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(LineOf(pty).c_cflag & CBAUD, kBother);
    ASSERT_EQ(port.Setup(115200, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(LineOf(pty).c_cflag & CBAUD, static_cast<unsigned>(B115200));
}

TEST_F(SerialDevice, SetupParityAndStopBitEdges)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.Setup(9600, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_FALSE(port.GetDcb().fParity);
    EXPECT_EQ(port.GetParity(), 0);
    // A pty forces 8 data bits and no parity: it is recognised and not held to those two.
    ASSERT_EQ(port.Setup(9600, 7, EVENPARITY, ONESTOPBIT), 0);
    EXPECT_TRUE(port.GetDcb().fParity);
    EXPECT_EQ(port.GetParity(), EVENPARITY);
    EXPECT_EQ(port.GetDataBits(), 7);
    EXPECT_EQ(LineOf(pty).c_cflag & (CSIZE | PARENB), static_cast<unsigned>(CS8));
    ASSERT_EQ(port.Setup(4800, 5, SPACEPARITY, ONE5STOPBITS), 0);
    EXPECT_EQ(port.GetStopBits(), ONE5STOPBITS);
    EXPECT_EQ(port.GetParity(), SPACEPARITY);

    // Settings no line can carry fail and leave what the device held.
    const ST_Dcb held = port.GetDcb();
    EXPECT_EQ(port.Setup(9600, 8, NOPARITY, ONE5STOPBITS), SystemError(EINVAL));
    EXPECT_EQ(port.Setup(9600, 5, NOPARITY, TWOSTOPBITS), SystemError(EINVAL));
    EXPECT_EQ(port.Setup(9600, 9, NOPARITY, ONESTOPBIT), SystemError(EINVAL));
    EXPECT_EQ(port.Setup(9600, 8, 5, ONESTOPBIT), SystemError(EINVAL));
    EXPECT_EQ(port.Setup(0, 8, NOPARITY, ONESTOPBIT), SystemError(EINVAL));
    EXPECT_EQ(port.GetBaudrate(), 4800);
    EXPECT_EQ(port.GetDataBits(), held.ByteSize);
    EXPECT_EQ(port.GetStopBits(), held.StopBits);
    EXPECT_EQ(CountOf(home.LogText(), "CSerial::Setup - Unable to set DCB information\r\n\r\n"), 5);
}

TEST_F(SerialDevice, HandshakingFieldsAndLine)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    // Hardware handshaking is what termios has: RTS/CTS, with DTR left on and the reason logged.
    ASSERT_EQ(port.SetupHandshaking(CSerial::HardwareHandshake), 0);
    ST_Dcb dcb = port.GetDcb();
    EXPECT_TRUE(dcb.fOutxCtsFlow && !dcb.fOutxDsrFlow && !dcb.fOutX && !dcb.fInX);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(port.GetHandshaking(), CSerial::HardwareHandshake);
    EXPECT_NE(LineOf(pty).c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(home.LogText(), "CSerial::SetupHandshaking - DSR output flow control and DTR handshaking are "
                              "not available; RTS/CTS only\r\n\r\n");

    ASSERT_EQ(port.SetupHandshaking(CSerial::XonXoffHandshake), 0);
    dcb = port.GetDcb();
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(port.GetHandshaking(), CSerial::XonXoffHandshake);
    KTermios line = LineOf(pty);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), static_cast<unsigned>(IXON | IXOFF));
    EXPECT_EQ(line.c_cc[VSTART], 0x11);
    EXPECT_EQ(line.c_cc[VSTOP], 0x13);

    // Setup after handshaking keeps the handshaking, as the main window applies them in that order.
    ASSERT_EQ(port.Setup(19200, 8, NOPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(port.GetHandshaking(), CSerial::XonXoffHandshake);
    ASSERT_EQ(port.SetupHandshaking(CSerial::NoHandshake), 0);
    EXPECT_EQ(port.GetHandshaking(), CSerial::NoHandshake);
    line = LineOf(pty);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(line.c_ospeed, 19200u);
}

TEST_F(SerialDevice, EventWordOutsideMaskAndModemLinesOfAPty)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    ASSERT_EQ(port.SetMask(EV_BREAK), 0);
    pty.Send("x");
    // Data alone never ends a wait whose mask does not ask for them.
    EXPECT_EQ(port.WaitEvent(50), ERROR_TIMEOUT);
    ASSERT_EQ(port.SetMask(EV_RXCHAR), 0);
    ASSERT_EQ(port.WaitEvent(1000), 0);
    port.SetMask(EV_BREAK);
    EXPECT_EQ(port.GetEventType(), 0);
    EXPECT_NE(
        home.LogText().find("CSerial::GetEventType - Event 00000001h not within mask 00000040h.\r\n\r\n"),
        std::string::npos);
    EXPECT_EQ(port.GetEventType(), 0); // cleared
    EXPECT_EQ(CountOf(home.LogText(), "GetEventType"), 2);

    // A pty has no modem lines: the queries fail with the driver's answer.
    EXPECT_FALSE(port.GetDSR());
    EXPECT_NE(port.GetLastError(), 0);
    EXPECT_NE(home.LogText().find("CSerial::GetDSR - Unable to obtain the modem status"), std::string::npos);
}

TEST_F(SerialDevice, ModemLineControlsOnAPtyAndBreaks)
{
    ASSERT_EQ(port.Open(pty.Path()), 0);
    EXPECT_FALSE(port.HasModemLines());
    EXPECT_NE(ErrnoOf(port.GetLastError()), 0);
    EXPECT_NE(ErrnoOf(port.SetDTR(false)), 0);
    EXPECT_NE(ErrnoOf(port.SetRTS(true)), 0);
    EXPECT_FALSE(port.GetRING());
    EXPECT_NE(home.LogText().find("CSerial::SetDTR - Unable to set the modem line"), std::string::npos);
    ST_ModemLines lines;
    lines.Dtr = true;
    EXPECT_FALSE(port.GetModemLines(&lines));
    EXPECT_FALSE(lines.Dtr);
    EXPECT_NE(ErrnoOf(port.GetLastError()), 0);

    // A break holds nothing else up, and Close ends a long one.
    EXPECT_EQ(port.SendBreak(5), 0);
    long breakResult = -1;
    std::thread breaker([&] { breakResult = port.SendBreak(10 * 60 * 1000); });
    EXPECT_EQ(port.Write("during"), 0);
    EXPECT_EQ(pty.Receive(6).size(), 6u);
    EXPECT_EQ(port.Close(), 0);
    breaker.join();
    EXPECT_EQ(breakResult, ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SendBreak(1), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(port.HasModemLines());
}
