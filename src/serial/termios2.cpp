// This file exists because glibc's <termios.h> and the kernel's <asm/termbits.h> cannot be
// included together, and only the kernel's termios2 carries an arbitrary baud rate (BOTHER).
// It also applies settings with TCSETS2 rather than tcsetattr, which can report a false EINVAL
// on a pseudo-terminal after the settings were applied.
#include "serial/dcb.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static_assert(sizeof(KTermios) == sizeof(struct termios2), "KTermios must mirror termios2");
static_assert(sizeof(KTermios::c_cc) == NCCS, "KTermios must mirror termios2");

namespace {

struct RateCode
{
    uint32_t rate;
    uint32_t code;
};

constexpr RateCode kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

uint32_t RateCodeFor(uint32_t rate)
{
    for (const RateCode &r : kStandardRates)
        if (r.rate == rate)
            return r.code;
    return BOTHER;
}

bool RateClose(uint32_t want, uint32_t got)
{
    const uint64_t diff = want > got ? want - got : got - want;
    return diff * 100 <= static_cast<uint64_t>(want) * 3;
}

} // namespace

std::string UntakenSetting(const KTermios &want, const KTermios &got, bool pseudoTerminal)
{
    const auto differs = [&](uint32_t KTermios::*field, uint32_t bits) {
        return ((want.*field) & bits) != ((got.*field) & bits);
    };
    if (!pseudoTerminal) {
        if (differs(&KTermios::c_cflag, CSIZE))
            return "data bits";
        // Odd and mark/space only mean something with parity on.
        const uint32_t parityBits = (want.c_cflag & PARENB) ? (PARENB | PARODD | CMSPAR) : PARENB;
        if (differs(&KTermios::c_cflag, parityBits))
            return "parity";
    }
    if (differs(&KTermios::c_cflag, CSTOPB))
        return "stop bits";
    if (differs(&KTermios::c_cflag, CRTSCTS))
        return "RTS/CTS flow control";
    if (differs(&KTermios::c_iflag, IXON))
        return "XON/XOFF output flow control";
    if (differs(&KTermios::c_iflag, IXOFF))
        return "XON/XOFF input flow control";
    if (!RateClose(want.c_ospeed, got.c_ospeed))
        return "baud rate";
    return {};
}

bool IsPseudoTerminal(int fd)
{
    // Unix98 pty slaves have majors 136-143, the old BSD-style ones major 3.
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return (m >= 136 && m <= 143) || m == 3;
}

std::string CheckDcb(const ST_Dcb &dcb)
{
    if (dcb.BaudRate == 0)
        return "baud rate 0";
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8)
        return "byte size " + std::to_string(dcb.ByteSize);
    if (dcb.Parity > SPACEPARITY)
        return "parity " + std::to_string(dcb.Parity);
    if (dcb.StopBits > TWOSTOPBITS)
        return "stop bits " + std::to_string(dcb.StopBits);
    // A UART sends 1.5 stop bits only after 5 data bits, and only 1.5 (not 2) there.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)
        return "1.5 stop bits need 5 data bits";
    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)
        return "2 stop bits cannot follow 5 data bits";
    return {};
}

KTermios MapDcbToTermios(const ST_Dcb &dcb, const KTermios &base)
{
    KTermios t = base;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK |
                   IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG | IEXTEN |
                   NOFLSH | TOSTOP);
    t.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;

    const uint32_t code = RateCodeFor(dcb.BaudRate);
    t.c_cflag |= code;
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;

    switch (dcb.ByteSize) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;

    if (dcb.fParity) {
        switch (dcb.Parity) {
        case ODDPARITY:
            t.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            t.c_cflag |= PARENB;
            break;
        case MARKPARITY:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
        }
    }

    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    if (dcb.fOutX)
        t.c_iflag |= IXON;
    if (dcb.fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<uint8_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<uint8_t>(dcb.XoffChar);
    // With the descriptor non-blocking, VMIN 1 makes an empty queue answer EAGAIN, leaving a read
    // of 0 to mean the terminal has hung up (VMIN 0 would answer 0 for both).
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return t;
}

bool GetKernelTermios(int fd, KTermios *out)
{
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    std::memcpy(static_cast<void *>(out), &t, sizeof t);
    return true;
}

bool SetKernelTermios(int fd, const KTermios &settings)
{
    struct termios2 t
    {
    };
    std::memcpy(&t, &settings, sizeof t);
    return ioctl(fd, TCSETS2, &t) == 0;
}
