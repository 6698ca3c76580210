#include "portbase/demoports.h"

#include <atomic>
#include <cctype>
#include <strings.h>

namespace {

constexpr char kScheme[] = "demo://";
constexpr size_t kSchemeSize = sizeof kScheme - 1;

std::atomic<IDemoPorts *> g_ports{nullptr};

} // namespace

void RegisterDemoPorts(IDemoPorts *ports)
{
    g_ports.store(ports);
}

IDemoPorts *DemoPorts()
{
    return g_ports.load();
}

bool IsDemoPortName(const std::string &name)
{
    return name.size() >= kSchemeSize && strncasecmp(name.c_str(), kScheme, kSchemeSize) == 0;
}

std::string DemoKindOf(const std::string &name)
{
    std::string kind = IsDemoPortName(name) ? name.substr(kSchemeSize) : std::string();
    for (char &c : kind)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kind;
}

std::string DemoPortName(const std::string &kind)
{
    return kScheme + kind;
}
