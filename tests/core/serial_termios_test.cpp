// The translation of held line settings into terminal settings, without a device. A pty forces
// 8 data bits and drops parity, so this is where those parts of the mapping are checked.
#include "serial/dcb.h"
#include "serial/serial.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <limits>
#include <sys/ioctl.h>
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

TEST(SerialTermios, LineErrorCountsAddUpAndAreNotedOncePerBurst)
{
    ST_LineCounters sum;
    AddLineCounterGrowth(sum, {3, 1, 0, 7, 0}, {4, 1, 2, 10, 0});
    AddLineCounterGrowth(sum, {4, 1, 2, 10, 0}, {4, 1, 2, 1, 5}); // overrun count started again
    EXPECT_EQ(sum.Break, 1);
    EXPECT_EQ(sum.Parity, 2);
    EXPECT_EQ(sum.Overrun, 4);
    EXPECT_EQ(sum.BufOverrun, 5);
    EXPECT_EQ(sum.Frame, 0);

    // A server's notifications count past what an int holds within hours; the sum stops at the top.
    ST_LineCounters flood;
    AddLineCounterGrowth(flood, {}, {0, 3'000'000'000, 0, 0, 0});
    EXPECT_EQ(flood.Frame, 3'000'000'000);
    flood.Frame = std::numeric_limits<int64_t>::max() - 1;
    AddLineCounterGrowth(flood, {}, {0, 5, 0, 0, 0});
    EXPECT_EQ(flood.Frame, std::numeric_limits<int64_t>::max());

    CInboundLoss loss;
    EXPECT_FALSE(loss.BurstPending());
    EXPECT_EQ(loss.StatusText(), "");
    ST_LineCounters counts;
    counts.Overrun = 2;
    counts.Break = 4; // a break is not loss
    loss.AddLineErrors(CE_OVERRUN | CE_BREAK, counts);
    // A bit the driver gave no count for counts once.
    loss.AddLineErrors(CE_OVERRUN | CE_FRAME, ST_LineCounters());
    ASSERT_TRUE(loss.BurstPending());
    EXPECT_EQ(loss.TakeBurstNotes(), std::vector<std::string>{"Line errors: 3 overrun, 1 framing"});
    EXPECT_FALSE(loss.BurstPending());
    EXPECT_TRUE(loss.TakeBurstNotes().empty());

    counts = ST_LineCounters();
    counts.Parity = 1;
    counts.BufOverrun = 6;
    loss.AddLineErrors(CE_RXPARITY | CE_RXOVER, counts);
    loss.AddReadingHeld(32u << 20);
    loss.AddReadingHeld(32u << 20);
    EXPECT_EQ(loss.TakeBurstNotes(),
              (std::vector<std::string>{"Line errors: 1 parity, 6 buffer overflow",
                                        "Reading paused 2 times: the window fell 32 MiB behind the port"}));
    EXPECT_EQ(loss.StatusText(), "Errors:11 Paused:2");
    EXPECT_EQ(loss.StatusDetails(), "Line errors: 3 overrun, 1 framing, 1 parity, 6 buffer overflow\n"
                                    "Reading paused 2 times: the window fell 32 MiB behind the port");
    loss.Reset();
    EXPECT_EQ(loss.StatusText(), "");
    loss.AddReadingHeld(32u << 20);
    EXPECT_EQ(loss.StatusText(), "Paused:1");
    EXPECT_EQ(loss.TakeBurstNotes(),
              std::vector<std::string>{"Reading paused: the window fell 32 MiB behind the port"});
}

TEST(SerialTermios, ReadBackNamesEverySettingTheDriverDropped)
{
    ST_Dcb asked = Line(9600, 7, MARKPARITY, TWOSTOPBITS);
    asked.fOutxCtsFlow = true;
    asked.fRtsControl = RTS_CONTROL_HANDSHAKE;
    asked.fOutX = true;
    asked.fInX = true;
    const KTermios want = MapDcbToTermios(asked, Cooked());
    EXPECT_EQ(UntakenSetting(want, want, false), "");

    struct Drop
    {
        const char *setting;
        uint32_t KTermios::*field;
        uint32_t clear;
        uint32_t set;
    };
    const Drop drops[] = {
        {"data bits", &KTermios::c_cflag, CSIZE, CS8},      // 5/6/7 bits not supported
        {"parity", &KTermios::c_cflag, PARENB | CMSPAR, 0}, // no parity at all
        {"parity", &KTermios::c_cflag, CMSPAR, 0},          // mark became odd
        {"parity", &KTermios::c_cflag, PARODD, 0},          // mark became space
        {"stop bits", &KTermios::c_cflag, CSTOPB, 0},       // 2 stop bits became 1
        {"RTS/CTS flow control", &KTermios::c_cflag, CRTSCTS, 0},
        {"XON/XOFF output flow control", &KTermios::c_iflag, IXON, 0},
        {"XON/XOFF input flow control", &KTermios::c_iflag, IXOFF, 0},
    };
    for (const Drop &d : drops) {
        KTermios got = want;
        got.*d.field = (got.*d.field & ~d.clear) | d.set;
        EXPECT_EQ(UntakenSetting(want, got, false), d.setting) << d.setting;
    }

    // Rates: a driver rounds to its clock (within 3% passes), a rate it could not set fails.
    KTermios got = want;
    got.c_ospeed = 9600 * 102 / 100;
    EXPECT_EQ(UntakenSetting(want, got, false), "");
    got.c_ospeed = 38400;
    EXPECT_EQ(UntakenSetting(want, got, false), "baud rate");

    // Odd and mark/space bits beside parity that is off do not matter.
    const KTermios plain = MapDcbToTermios(Line(9600, 8, NOPARITY, ONESTOPBIT), Cooked());
    got = plain;
    got.c_cflag |= PARODD;
    EXPECT_EQ(UntakenSetting(plain, got, false), "");

    // A pseudo-terminal forces 8 bits and no parity: exempt from those two, held to the rest.
    got = want;
    got.c_cflag = (got.c_cflag & ~(CSIZE | PARENB)) | CS8;
    EXPECT_EQ(UntakenSetting(want, got, false), "data bits");
    EXPECT_EQ(UntakenSetting(want, got, true), "");
    got.c_cflag &= ~CSTOPB;
    EXPECT_EQ(UntakenSetting(want, got, true), "stop bits");
}

TEST(SerialTermios, ModemLineChangesBecomeEventBits)
{
    ST_ModemSnapshot before;
    before.Lines = TIOCM_CTS | TIOCM_CAR;
    before.Cts = 4;
    EXPECT_EQ(ModemLineEvents(before, before), 0u);

    // A level that differs, with or without a driver that counts.
    ST_ModemSnapshot now = before;
    now.Lines = TIOCM_CAR | TIOCM_DSR;
    EXPECT_EQ(ModemLineEvents(before, now), EV_CTS | EV_DSR);
    now.Lines = 0;
    EXPECT_EQ(ModemLineEvents(before, now), EV_CTS | EV_RLSD);

    // A pulse between two looks leaves the levels as they were but the counts grown.
    now = before;
    now.Ring += 2;
    EXPECT_EQ(ModemLineEvents(before, now), EV_RING);
    now.Dcd += 1;
    now.Cts += 1;
    now.Dsr += 1;
    EXPECT_EQ(ModemLineEvents(before, now), EV_RING | EV_RLSD | EV_CTS | EV_DSR);
}

TEST(SerialError, SystemErrorsNeverReadAsOurOwnCodes)
{
    const long ours[] = {ERROR_INVALID_FUNCTION,    ERROR_INVALID_HANDLE, ERROR_NOT_SUPPORTED,
                         ERROR_ALREADY_INITIALIZED, ERROR_TIMEOUT,        E_INVALIDARG};
    for (const long code : ours) {
        EXPECT_EQ(ErrnoOf(code), 0) << code;
        EXPECT_FALSE(IsPortGone(code)) << code;
    }
    for (int e = 1; e < 134; ++e) {
        for (const long code : ours)
            ASSERT_NE(SystemError(e), code) << e;
        EXPECT_EQ(ErrnoOf(SystemError(e)), e);
        EXPECT_NE(SerialErrorText(SystemError(e)), SerialErrorText(ERROR_INVALID_HANDLE)) << e;
        EXPECT_NE(SerialErrorText(SystemError(e)), SerialErrorText(ERROR_INVALID_FUNCTION)) << e;
    }
    // ENXIO is 6 and EPERM 1: a lost port is not "not open", a refused one not "without time-outs".
    EXPECT_EQ(SerialErrorText(SystemError(ENXIO), false), "no device behind this port");
    EXPECT_EQ(SerialErrorText(SystemError(EPERM), false), SerialErrorText(SystemError(EACCES)));
    EXPECT_TRUE(IsPortGone(SystemError(EIO)) && IsPortGone(SystemError(ENXIO)) &&
                IsPortGone(SystemError(ENODEV)));
    EXPECT_FALSE(IsPortGone(SystemError(EBUSY)));
}
