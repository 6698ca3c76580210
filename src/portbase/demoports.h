#pragma once
// The demo devices ("demo://board") as the serial layer sees them: ports that a device played in
// this process answers. The demo library plays them; it reaches the serial layer itself (a device
// sends files), so the serial layer cannot include it back and finds it here instead, registered
// once at start-up (demo::InstallDemoPorts). A program that registers nothing has no demo ports:
// opening one fails and the port list shows none.
#include <memory>
#include <string>
#include <vector>

struct ST_DemoKind
{
    std::string Name;        // "board": the port is "demo://board"
    std::string Description; // "Demo board (simulated)", English (marked for translation)
};

// One device being played: the port opens its pseudo-terminal's slave end. The device ends, and
// its files go, when this is destroyed.
class IDemoPort
{
public:
    virtual ~IDemoPort() = default;
    virtual const std::string &SlavePath() const = 0;
    // The port is open and settled (what the open flushed is gone): the device may speak.
    virtual void Opened() = 0;
};

class IDemoPorts
{
public:
    virtual ~IDemoPorts() = default;
    // In the order the port list shows them.
    virtual std::vector<ST_DemoKind> Kinds() const = 0;
    // Null with `error` in words ("demo://foo: no such demo device (board, echo)"). Any thread.
    virtual std::unique_ptr<IDemoPort> Start(const std::string &kind, std::string *error) = 0;
    // Start would wait on a disk (a recording not read yet): an owner whose thread must not wait
    // starts it on another (StartPlayedPort) and hands what it made to the port
    // (CSerial::PreparePlayedPort).
    virtual bool StartWaits(const std::string & /*kind*/) const { return false; }
};

// Not owned; set before any port opens, null removes it.
void RegisterDemoPorts(IDemoPorts *ports);
IDemoPorts *DemoPorts();

// "demo://KIND", the scheme in any letter case.
bool IsDemoPortName(const std::string &name);
// The kind a demo port name names, in lower case ("demo://Board" -> "board").
std::string DemoKindOf(const std::string &name);
std::string DemoPortName(const std::string &kind);

// Recordings played back as ports ("replay://FILE", replay/replayports.h): registered as the demo
// devices are, and started the same way, Start given the file in place of a kind.
void RegisterReplayPorts(IDemoPorts *ports);
IDemoPorts *ReplayPorts();
// "replay://FILE", the scheme in any letter case; the file as written after it.
bool IsReplayPortName(const std::string &name);
std::string ReplayFileOf(const std::string &name);
std::string ReplayPortName(const std::string &file);
// The played port `name` ("demo://KIND" or "replay://FILE") started, on any thread: null with
// `error` in words when it cannot be.
std::unique_ptr<IDemoPort> StartPlayedPort(const std::string &name, std::string *error);
// Its start would wait on a disk (IDemoPorts::StartWaits).
bool PlayedPortStartWaits(const std::string &name);
// A port this program plays (a demo device or a replay): never gone, nothing to wait for.
inline bool IsPlayedPortName(const std::string &name)
{
    return IsDemoPortName(name) || IsReplayPortName(name);
}
