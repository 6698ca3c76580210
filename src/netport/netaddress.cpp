#include "netport/netaddress.h"

#include <arpa/inet.h>
#include <cctype>

namespace {

struct Scheme
{
    const char *prefix;
    ENetKind kind;
};
constexpr Scheme kSchemes[] = {{"rfc2217://", ENetKind::Rfc2217}, {"socket://", ENetKind::Raw}};

bool StartsWithNoCase(const std::string &text, const std::string &prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

const Scheme *SchemeOf(const std::string &name)
{
    for (const Scheme &s : kSchemes)
        if (StartsWithNoCase(name, s.prefix))
            return &s;
    return nullptr;
}

bool Fail(std::string *error, const char *why)
{
    if (error)
        *error = why;
    return false;
}

// Letters, digits, '-', '_' and '.', as names in hosts files and DNS are written.
bool IsHostName(const std::string &host)
{
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            return false;
    return true;
}

// An IPv6 address, optionally with a zone ("fe80::1%eth0") as link-local addresses need.
bool IsIpv6(const std::string &host)
{
    const std::string address = host.substr(0, host.find('%'));
    if (address.size() + 1 == host.size())
        return false; // a '%' with no zone after it
    in6_addr parsed{};
    return inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

} // namespace

bool IsNetworkPortName(const std::string &name)
{
    return SchemeOf(name) != nullptr;
}

bool ParseNetAddress(const std::string &name, ST_NetAddress *address, std::string *error)
{
    const Scheme *scheme = SchemeOf(name);
    if (!scheme)
        return Fail(error, "not a network address (rfc2217://HOST:PORT or socket://HOST:PORT)");
    const std::string rest = name.substr(std::string(scheme->prefix).size());
    if (rest.empty())
        return Fail(error, "no host after the scheme");

    std::string host;
    std::string afterHost;
    if (rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos)
            return Fail(error, "no closing bracket after the IPv6 address");
        host = rest.substr(1, close - 1);
        if (!IsIpv6(host))
            return Fail(error, "not a valid IPv6 address in the brackets");
        afterHost = rest.substr(close + 1);
    } else {
        const size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        afterHost = colon == std::string::npos ? std::string() : rest.substr(colon);
        if (host.empty())
            return Fail(error, "no host before the port number");
        if (afterHost.find(':', 1) != std::string::npos)
            return Fail(error, "an IPv6 address must be written in brackets");
        if (!IsHostName(host))
            return Fail(error, "the host name has characters a host name cannot have");
    }

    if (afterHost.empty() || afterHost == ":")
        return Fail(error, "no port number after the host");
    if (afterHost[0] != ':')
        return Fail(error, "no colon between the host and the port number");
    const std::string portText = afterHost.substr(1);
    for (char c : portText)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return Fail(error, "the port number is not a number");
    unsigned long port = 0;
    for (size_t i = 0; i < portText.size() && port <= 65535; ++i)
        port = port * 10 + static_cast<unsigned long>(portText[i] - '0');
    if (port < 1 || port > 65535)
        return Fail(error, "the port number must be from 1 to 65535");

    if (address) {
        address->Kind = scheme->kind;
        address->Host = host;
        address->Port = static_cast<uint16_t>(port);
    }
    return true;
}

std::string HostPortText(const ST_NetAddress &address)
{
    const std::string port = std::to_string(address.Port);
    if (address.Host.find(':') != std::string::npos)
        return "[" + address.Host + "]:" + port;
    return address.Host + ":" + port;
}
