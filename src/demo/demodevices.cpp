#include "demo/demodevices.h"

#include "demo/board.h"
#include "demo/demorunner.h"
#include "demo/gps.h"
#include "demo/modbusserver.h"
#include "platform/trnoop.h"

#include <algorithm>
#include <exception>

namespace demo {

namespace {

// Every byte goes back as it came: a device for trying the program's commands on.
class CEchoDevice final : public IDemoDevice
{
public:
    void Start(IDemoOutput &, Clock::time_point) override {}
    void Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point) override
    {
        out.Write(data, size);
    }
};

using Make = std::unique_ptr<IDemoDevice> (*)(const std::string &folder);

struct ST_KindEntry
{
    const char *Name;
    const char *Description;
    Make Maker;
};

template <typename T> std::unique_ptr<IDemoDevice> MakeOf(const std::string &)
{
    return std::make_unique<T>();
}

// The board keeps its files in the folder the runner made for it, and only there.
std::unique_ptr<IDemoDevice> MakeBoard(const std::string &folder)
{
    return std::make_unique<CBoardDevice>(folder);
}

// One line a kind, in the order the port list shows them.
const ST_KindEntry kKinds[] = {
    {"board", KESTRUM_TR_NOOP("core", "Demo board (simulated)"), MakeBoard},
    {"modbus", KESTRUM_TR_NOOP("core", "Demo Modbus server (simulated)"), MakeOf<CModbusServer>},
    {"gps", KESTRUM_TR_NOOP("core", "Demo GPS receiver (simulated)"), MakeOf<CGpsDevice>},
    {"echo", KESTRUM_TR_NOOP("core", "Demo echo (simulated)"), MakeOf<CEchoDevice>},
};

class CDemoPort final : public IDemoPort
{
public:
    explicit CDemoPort(std::unique_ptr<CDemoRunner> runner) : m_runner(std::move(runner)) {}
    const std::string &SlavePath() const override { return m_runner->SlavePath(); }
    void Opened() override { m_runner->Opened(); }

private:
    std::unique_ptr<CDemoRunner> m_runner;
};

class CDemoPorts final : public IDemoPorts
{
public:
    std::vector<ST_DemoKind> Kinds() const override { return DemoKinds(); }
    std::unique_ptr<IDemoPort> Start(const std::string &kind, std::string *error) override
    {
        const std::vector<ST_DemoKind> kinds = DemoKinds();
        if (std::none_of(kinds.begin(), kinds.end(),
                         [&kind](const ST_DemoKind &k) { return k.Name == kind; })) {
            *error = NoSuchDemoDevice(kind);
            return nullptr;
        }
        std::string why;
        std::unique_ptr<CDemoRunner> runner;
        // The serial layer returns codes: a device that cannot be made says why in words.
        try {
            runner =
                CDemoRunner::Make([&kind](const std::string &folder) { return MakeDemoDevice(kind, folder); },
                                  EDemoStart::WhenTold, &why);
        } catch (const std::exception &e) {
            why = e.what();
        }
        if (!runner) {
            *error = DemoPortName(kind) + ": " + why;
            return nullptr;
        }
        return std::make_unique<CDemoPort>(std::move(runner));
    }
};

} // namespace

std::unique_ptr<IDemoDevice> MakeDemoDevice(const std::string &kind, const std::string &folder)
{
    for (const ST_KindEntry &entry : kKinds)
        if (kind == entry.Name && entry.Maker)
            return entry.Maker(folder);
    return nullptr;
}

std::vector<ST_DemoKind> DemoKinds()
{
    std::vector<ST_DemoKind> kinds;
    for (const ST_KindEntry &entry : kKinds)
        if (entry.Maker)
            kinds.push_back({entry.Name, entry.Description});
    return kinds;
}

std::string NoSuchDemoDevice(const std::string &kind)
{
    std::string names;
    for (const ST_DemoKind &k : DemoKinds())
        names += (names.empty() ? "" : ", ") + k.Name;
    return DemoPortName(kind) + ": no such demo device (" + names + ")";
}

void InstallDemoPorts()
{
    static CDemoPorts ports;
    RegisterDemoPorts(&ports);
}

} // namespace demo
