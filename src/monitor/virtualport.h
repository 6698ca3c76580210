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
// EXTPROC also tells the kernel that input processing happens elsewhere: what the device sends
// reaches the program exactly as sent, whatever input modes the program chose (no CR/NL
// translation, no echo, no signal characters, no XON/XOFF taken out, reads that return what has
// arrived rather than whole lines). That is what a serial program sets for itself anyway, and the
// XON/XOFF it asked for is done by the real port, with the device. Output processing the program
// turns on (OPOST) still applies.
//
// The monitor holds a slave descriptor of its own, never read, so that the master stays open and
// quiet while no program has the port open (without one, the master reports a hang-up at every
// wait until a program opens it again). It watches the program's opens and closes instead: while
// no program has the port open, what the device sends is not written to it (a real port would
// drop it too, and written it would fill the terminal and hold up the device's side), and the
// last close drops what the program left unread, so the next program does not read old data.
#include "serial/dcb.h"

#include <atomic>
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

    int Master() const { return m_master; }
    const std::string &SlavePath() const { return m_slavePath; }
    const std::string &LinkPath() const { return m_linkPath; }
    // Readable when a program opened or closed the port.
    int OpenWatch() const { return m_watch; }
    // A program has the port open (or the opens cannot be watched); any thread.
    bool ProgramAttached() const { return m_watch < 0 || m_opens.load() > 0; }

    // After a status byte: what the program holds now. Sets EXTPROC again where the program
    // cleared it. False when the settings cannot be read.
    bool ProgramLine(ST_FollowedLine *line);
    // After OpenWatch was readable: counts the opens and closes. At the last close it drops the
    // unread input and lifts an exclusive hold the program left behind (it would keep the program
    // out when it opens the port again, since the terminal lives on with the master; on a real
    // port the hold ends with the last close), and returns true.
    bool OnOpenWatch();
    // Drops what the program left unread: once more after a last close, when a writer that found
    // the port attached just before it has finished.
    void DropUnread();

private:
    bool MakeLink(const std::string &path, std::string &error);

    int m_master = -1;
    int m_slave = -1;
    int m_watch = -1;
    std::atomic<int> m_opens{0};
    int m_guard = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

// `path` with a leading "~/" expanded; empty with `error` set for a path that is not absolute.
std::string VirtualLinkPath(const std::string &path, std::string &error);
