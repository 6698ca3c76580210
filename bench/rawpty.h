#pragma once
// A raw pseudo-terminal pair for the benches that measure a line: the slave's name is the device
// the measured side opens, the master is the far end the bench drives.
#include <pty.h>
#include <termios.h>

struct Pair
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
};

inline Pair MakePair()
{
    Pair p;
    termios raw{};
    cfmakeraw(&raw);
    openpty(&p.master, &p.slave, p.name, &raw, nullptr);
    return p;
}
