#pragma once
// Network port names. A link's port name may name a port served over TCP instead of a device:
// "rfc2217://HOST:PORT" (a telnet server with the com-port option, which carries line settings
// and modem lines) or "socket://HOST:PORT" (raw bytes both ways). HOST is a name, an IPv4
// address or an IPv6 address in brackets. The scheme is matched without regard to case.
#include <cstdint>
#include <string>

enum class ENetKind : uint8_t { Rfc2217, Raw };

struct ST_NetAddress
{
    ENetKind Kind = ENetKind::Raw;
    std::string Host; // without the brackets of an IPv6 address
    uint16_t Port = 0;
};

// The name starts with one of the two schemes (whether or not the rest is well formed).
bool IsNetworkPortName(const std::string &name);

// False for a name that is no network name, or one that is malformed; then `error` (when given)
// says what is wrong in words fit for a message ("no port number after the host").
bool ParseNetAddress(const std::string &name, ST_NetAddress *address, std::string *error = nullptr);

// "lab-pi:7000", "192.168.1.20:7000", "[fe80::1]:7000": the address as messages name it.
std::string HostPortText(const ST_NetAddress &address);
