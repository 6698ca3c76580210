#pragma once
// The serial ports the capture program offers as interfaces of its own: those the port list finds
// (the demo devices aside, which only a window plays) that no process holds open. A port a window
// has open is captured through that window instead, and opening it would only be refused.
#include "serial/portlist.h"

#include <set>
#include <sys/types.h>
#include <vector>

// The character devices any process under `proc` (/proc) holds open, by device number. Processes
// of other users are seen only as far as the system lets this one look.
std::set<dev_t> DevicesHeldOpen(const std::string &proc = "/proc");

std::vector<ST_PortInfo> FreeSerialPorts();
