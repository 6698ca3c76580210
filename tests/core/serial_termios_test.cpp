// The translation of held line settings into terminal settings, without a device. A pty forces
// 8 data bits and drops parity, so this is where those parts of the mapping are checked.
#include "Serial/Serial.h"
#include "Serial/dcb.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace {

constexpr unsigned kBother = 0010000;

KTermios Cooked()
{
    KTermios t;
    t.c_iflag = ICRNL | IXON | BRKINT | ISTRIP | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = B38400 | CS7 | PARENB | CSTOPB | HUPCL | CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    return t;
}

ST_Dcb Line(uint32_t baud, uint8_t bits, uint8_t parity, uint8_t stop)
{
    ST_Dcb d;
    d.BaudRate = baud;
    d.ByteSize = bits;
    d.Parity = parity;
    d.StopBits = stop;
    d.fParity = parity != NOPARITY;
    return d;
}

} // namespace

TEST(SerialTermios, RawLineWithSizeParityAndStopBits)
{
    KTermios t = MapDcbToTermios(Line(9600, 8, NOPARITY, ONESTOPBIT), Cooked());
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | BRKINT | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<unsigned>(CS8));
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<unsigned>(CREAD | CLOCAL));
    EXPECT_NE(t.c_cflag & HUPCL, 0u); // what the port had and the settings do not name is kept
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<unsigned>(B9600));
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    const unsigned parityBits = PARENB | PARODD | CMSPAR;
    t = MapDcbToTermios(Line(9600, 7, ODDPARITY, ONESTOPBIT), Cooked());
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<unsigned>(CS7));
    EXPECT_EQ(t.c_cflag & parityBits, static_cast<unsigned>(PARENB | PARODD));
    t = MapDcbToTermios(Line(9600, 6, EVENPARITY, TWOSTOPBITS), Cooked());
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<unsigned>(CS6));
    EXPECT_EQ(t.c_cflag & parityBits, static_cast<unsigned>(PARENB));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    t = MapDcbToTermios(Line(9600, 8, MARKPARITY, ONESTOPBIT), Cooked());
    EXPECT_EQ(t.c_cflag & parityBits, static_cast<unsigned>(PARENB | PARODD | CMSPAR));
    t = MapDcbToTermios(Line(9600, 5, SPACEPARITY, ONE5STOPBITS), Cooked());
    EXPECT_EQ(t.c_cflag & parityBits, static_cast<unsigned>(PARENB | CMSPAR));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<unsigned>(CS5));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u); // after 5 data bits the UART makes that 1.5

    // Parity is only on the line when the parity flag says so.
    ST_Dcb unflagged = Line(9600, 8, EVENPARITY, ONESTOPBIT);
    unflagged.fParity = false;
    EXPECT_EQ(MapDcbToTermios(unflagged, Cooked()).c_cflag & parityBits, 0u);
}

TEST(SerialTermios, RatesAndFlowControl)
{
    KTermios t = MapDcbToTermios(Line(14400, 8, NOPARITY, ONESTOPBIT), Cooked());
    EXPECT_EQ(t.c_cflag & CBAUD, kBother);
    EXPECT_EQ(t.c_cflag & CIBAUD, 0u); // input follows output
    EXPECT_EQ(t.c_ospeed, 14400u);
    EXPECT_EQ(t.c_ispeed, 14400u);
    t = MapDcbToTermios(Line(921600, 8, NOPARITY, ONESTOPBIT), Cooked());
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<unsigned>(B921600));

    ST_Dcb hw = Line(9600, 8, NOPARITY, ONESTOPBIT);
    hw.fOutxCtsFlow = true;
    hw.fRtsControl = RTS_CONTROL_HANDSHAKE;
    EXPECT_NE(MapDcbToTermios(hw, KTermios{}).c_cflag & CRTSCTS, 0u);
    ST_Dcb soft = Line(9600, 8, NOPARITY, ONESTOPBIT);
    soft.fOutX = true;
    soft.fInX = true;
    soft.XonChar = 0x01;
    soft.XoffChar = 0x02;
    t = MapDcbToTermios(soft, Cooked());
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<unsigned>(IXON | IXOFF));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    soft.fInX = false;
    EXPECT_EQ(MapDcbToTermios(soft, Cooked()).c_iflag & (IXON | IXOFF), static_cast<unsigned>(IXON));
}

TEST(SerialTermios, SettingsNoLineCanCarry)
{
    EXPECT_EQ(CheckDcb(Line(9600, 8, NOPARITY, ONESTOPBIT)), "");
    EXPECT_EQ(CheckDcb(Line(345600, 5, MARKPARITY, ONE5STOPBITS)), "");
    EXPECT_NE(CheckDcb(Line(9600, 8, NOPARITY, ONE5STOPBITS)), "");
    EXPECT_NE(CheckDcb(Line(9600, 5, NOPARITY, TWOSTOPBITS)), "");
    EXPECT_NE(CheckDcb(Line(9600, 4, NOPARITY, ONESTOPBIT)), "");
    EXPECT_NE(CheckDcb(Line(9600, 9, NOPARITY, ONESTOPBIT)), "");
    EXPECT_NE(CheckDcb(Line(9600, 8, 5, ONESTOPBIT)), "");
    EXPECT_NE(CheckDcb(Line(9600, 8, NOPARITY, 3)), "");
    EXPECT_NE(CheckDcb(Line(0, 8, NOPARITY, ONESTOPBIT)), "");
}

TEST(SerialTermios, LineCounterGrowthBecomesErrorAndEventBits)
{
    const ST_LineCounters before{3, 1, 0, 7, 0};
    ST_LineCounters now = before;
    EXPECT_EQ(LineErrorBits(before, now), 0u);
    EXPECT_EQ(LineErrorEvents(0), 0u);
    now.Overrun += 1;
    EXPECT_EQ(LineErrorBits(before, now), CE_OVERRUN);
    EXPECT_EQ(LineErrorEvents(CE_OVERRUN), EV_ERR);
    now.BufOverrun += 2;
    now.Parity += 1;
    EXPECT_EQ(LineErrorBits(before, now), CE_OVERRUN | CE_RXOVER | CE_RXPARITY);
    now = before;
    now.Break += 1;
    now.Frame += 1; // a break usually comes with a framing error
    EXPECT_EQ(LineErrorBits(before, now), CE_BREAK | CE_FRAME);
    EXPECT_EQ(LineErrorEvents(CE_BREAK | CE_FRAME), EV_BREAK | EV_ERR);
    EXPECT_EQ(LineErrorEvents(CE_BREAK), EV_BREAK);
}
