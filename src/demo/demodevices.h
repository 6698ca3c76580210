#pragma once
// The demo devices by kind ("board", "echo"): what the port list shows of them, how one is made,
// and the registration that lets the serial layer open "demo://KIND".
#include "demo/demodevice.h"
#include "portbase/demoports.h"

#include <memory>
#include <string>
#include <vector>

namespace demo {

// The device of `kind` with `folder` for its files, or null for a kind there is none of.
std::unique_ptr<IDemoDevice> MakeDemoDevice(const std::string &kind, const std::string &folder);
// Every kind there is, in the order users are shown them.
std::vector<ST_DemoKind> DemoKinds();
// "demo://foo: no such demo device (board, echo)".
std::string NoSuchDemoDevice(const std::string &kind);

// Registers the demo devices with the serial layer (RegisterDemoPorts), once for the process.
void InstallDemoPorts();

} // namespace demo
