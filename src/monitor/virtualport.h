#pragma once
// The far end a program under test opens as its serial port: a pseudo-terminal whose slave is
// reached through a symbolic link at a path the user names. The monitor holds the master.
//
// What the master can learn of the program's line settings: Linux keeps a pseudo-terminal's
// settings in its slave, and the termios calls on the master read them. With the master in packet
// mode and EXTPROC set in the slave's local flags, every change the program makes brings a status
// byte with TIOCPKT_IOCTL to the master's reader. The rate (any rate, including those without a
// fixed code), the stop bits and the flow control (CRTSCTS, IXON/IXOFF) can be seen that way.
// What cannot: the kernel forces a pseudo-terminal to 8 data bits and no parity whatever the
// program asks for, and the modem lines (DTR, RTS) and a break the program sets never reach the
// master. A program that clears EXTPROC (writing its local flags whole) still signals that one
// change; the flag is then set again from the master so the next ones are signalled too. A change
// the program makes in the moment between that re-reading and re-setting can be lost.
//
// The monitor holds a slave descriptor of its own, never read, so that the master stays open and
// quiet while no program has the port open (without one, the master reports a hang-up at every
// wait until a program opens it again).
#include "Serial/dcb.h"

#include <cstdint>
#include <string>

// The line settings a program on the virtual port chose that a real port can follow.
struct ST_FollowedLine
{
    uint32_t Baud = 0;
    bool TwoStopBits = false;
    uint8_t Handshake = 0; // CSerial::EHandshake

    bool operator==(const ST_FollowedLine &o) const
    {
        return Baud == o.Baud && TwoStopBits == o.TwoStopBits && Handshake == o.Handshake;
    }
    bool operator!=(const ST_FollowedLine &o) const { return !(*this == o); }
};

// "115200 baud, 1 stop bit, no flow control".
std::string FollowedLineText(const ST_FollowedLine &line);

class CVirtualPort
{
public:
    CVirtualPort() = default;
    ~CVirtualPort();
    CVirtualPort(const CVirtualPort &) = delete;
    CVirtualPort &operator=(const CVirtualPort &) = delete;

    // Makes the pseudo-terminal, raw with the settings of `dcb` (so a program finds the real
    // port's settings there), and the link at `path`. A symbolic link to a pseudo-terminal found
    // at `path` is taken as left by a run that ended without removing it, and replaced; anything
    // else there is refused. On failure nothing stays made and `error` says why.
    bool Make(const std::string &path, const ST_Dcb &dcb, std::string &error);
    // Removes the link (if it still points at this pseudo-terminal) and closes it.
    void Remove();

    int Master() const { return master_; }
    const std::string &SlavePath() const { return slavePath_; }
    const std::string &LinkPath() const { return linkPath_; }
    // Readable when the program closed the port.
    int CloseWatch() const { return watch_; }

    // After a status byte: what the program holds now. Sets EXTPROC again where the program
    // cleared it. False when the settings cannot be read.
    bool ProgramLine(ST_FollowedLine *line);
    // After CloseWatch was readable: takes its news, and lifts an exclusive hold the program left
    // behind (it would keep the program out when it opens the port again, since the terminal lives
    // on with the master; on a real port the hold ends with the last close).
    void OnProgramClosed();

private:
    bool MakeLink(const std::string &path, std::string &error);

    int master_ = -1;
    int slave_ = -1;
    int watch_ = -1;
    int guard_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

// `path` with a leading "~/" expanded; empty with `error` set for a path that is not absolute.
std::string VirtualLinkPath(const std::string &path, std::string &error);
