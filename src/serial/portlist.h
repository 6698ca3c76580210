#pragma once
// The serial ports present: UARTs that really exist, USB serial adapters, modems (ACM), the
// stable /dev/serial/by-id names, the virtual ports kestrum-vport announces, and after them the
// demo devices this program plays (always there). A port another program holds is still listed.
// Found from sysfs and /dev alone: no device is ever opened.
#include <string>
#include <vector>

struct ST_PortInfo
{
    std::string Name;        // what a link stores: "ttyUSB0", or a full path for by-id and virtual ports
    std::string Path;        // the device to open
    std::string Description; // maker and product for USB devices, empty when the system has none
    bool Demo = false;       // played by this program ("demo://board"), not found on the machine
};

std::vector<ST_PortInfo> EnumerateSerialPorts();
// The demo devices alone, as ports: what DemoPorts() plays, described in English.
std::vector<ST_PortInfo> DemoPortList();

// The same from other roots, for tests: `sysClassTty` is /sys/class/tty, `dev` is /dev,
// `vportDir` the folder of virtual port links (VirtualPortDir()).
std::vector<ST_PortInfo> EnumerateSerialPortsIn(const std::string &sysClassTty, const std::string &dev,
                                                const std::string &vportDir);

// The order in which ports are offered to a new link: USB adapters first, as the one just plugged
// in for the work at hand is the likeliest choice, then their stable by-id names, then whatever
// else was found (virtual ports, Bluetooth, gadgets), then the UARTs of the board: those are
// there whether anything hangs on them or not; the demo devices come last, in the order they were
// listed. Within a kind, "ttyUSB2" comes before "ttyUSB10".
void RankPorts(std::vector<ST_PortInfo> &ports);

// The port a new link is proposed: the first of `names` in the order above that is on the machine
// (a demo device never is), or "ttyS0", the first UART of a PC, when none was found.
std::string ProposedPortName(const std::vector<std::string> &names);

// Where kestrum-vport puts a link to each pseudo-terminal it serves:
// $XDG_RUNTIME_DIR/kestrum-vport, or /tmp/kestrum-vport-<uid>.
std::string VirtualPortDir();

// Whether `dir` may be taken as the folder of virtual ports: a folder, not a link, of the user's
// own that nobody else may open. In /tmp anyone can make the folder first, with links to their
// own devices in it. Otherwise `why` says what is wrong.
bool TrustedVirtualPortDir(const std::string &dir, std::string *why = nullptr);

// What sysfs says identifies the device behind the node `devicePath` (found by its device number
// under `sysRoot`, which is /sys): USB vendor and product with the serial number (or, without
// one, the socket), interface and port; for a device on no USB bus the place it sits. The empty
// text when sysfs says nothing (a pseudo-terminal) or the path is no device. Reads sysfs only.
std::string DeviceIdentity(const std::string &devicePath, const std::string &sysRoot);
