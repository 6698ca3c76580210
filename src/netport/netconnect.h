#pragma once
// A TCP connection to a port on another machine, within a bound and cancellable: name lookup
// and connect together take at most the given time, and give up at once when `cancelFd`
// becomes readable (-1: no cancel).
#include "netport/netaddress.h"

#include <chrono>
#include <string>

// 0 with `fd` a connected non-blocking socket (TCP_NODELAY, keep-alive probes that notice a dead
// network in tens of seconds), or the errno of the failure with `words` saying it for a message:
// "connection refused", "timed out" (ETIMEDOUT), "cancelled" (ECANCELED), "unknown host"
// (ENOENT), "network is unreachable"...
int ConnectTcp(const ST_NetAddress &address, int timeoutMs, int cancelFd, int *fd, std::string *words);

// An errno in the lower-case words of a message ("connection refused", "timed out").
std::string ErrnoWords(int e);
