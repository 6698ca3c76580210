#pragma once
// Finding a lost port's device again. A USB adapter that is pulled and plugged back may come back
// under another /dev name, but its /dev/serial/by-id name stays the same, so that name is noted
// while the port is open and preferred when the device returns.
#include <string>

constexpr const char *kSerialByIdFolder = "/dev/serial/by-id";

// The full path of the entry in `byIdFolder` that links to the same device as the port `port`
// (a name as links store it), or the empty text when none does.
std::string FindByIdName(const std::string &port, const std::string &byIdFolder);

// The path to reopen once the device is back: the by-id name when it exists, else the port's own
// device when it exists, else the empty text (not back yet).
std::string ReturnedDevicePath(const std::string &port, const std::string &byIdName);
