#include "portbase/demoports.h"

#include <atomic>
#include <cctype>
#include <strings.h>

namespace {

constexpr char kScheme[] = "demo://";
constexpr size_t kSchemeSize = sizeof kScheme - 1;

std::atomic<IDemoPorts *> g_ports{nullptr};
std::atomic<IDemoPorts *> g_replays{nullptr};
constexpr char kReplayScheme[] = "replay://";
constexpr size_t kReplaySchemeSize = sizeof kReplayScheme - 1;

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

void RegisterReplayPorts(IDemoPorts *ports)
{
    g_replays.store(ports);
}

IDemoPorts *ReplayPorts()
{
    return g_replays.load();
}

bool IsReplayPortName(const std::string &name)
{
    return name.size() >= kReplaySchemeSize &&
           strncasecmp(name.c_str(), kReplayScheme, kReplaySchemeSize) == 0;
}

std::string ReplayFileOf(const std::string &name)
{
    return IsReplayPortName(name) ? name.substr(kReplaySchemeSize) : std::string();
}

std::string ReplayPortName(const std::string &file)
{
    return kReplayScheme + file;
}

std::unique_ptr<IDemoPort> StartPlayedPort(const std::string &name, std::string *error)
{
    const bool replay = IsReplayPortName(name);
    IDemoPorts *ports = replay ? ReplayPorts() : DemoPorts();
    if (!ports) {
        *error =
            name + (replay ? ": this program plays no recordings" : ": this program plays no demo devices");
        return nullptr;
    }
    return ports->Start(replay ? ReplayFileOf(name) : DemoKindOf(name), error);
}

bool PlayedPortStartWaits(const std::string &name)
{
    const bool replay = IsReplayPortName(name);
    if (!replay && !IsDemoPortName(name))
        return false;
    IDemoPorts *ports = replay ? ReplayPorts() : DemoPorts();
    return ports != nullptr && ports->StartWaits(replay ? ReplayFileOf(name) : DemoKindOf(name));
}
