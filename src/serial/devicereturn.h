#pragma once
// Finding a lost port's device again, and no other. A USB adapter that is pulled and plugged back
// may come back under another /dev name, while another adapter takes its old one; what the
// device is, not the name it had, decides. So the device is noted when its port opens: its
// /dev/serial/by-id name, and what sysfs says identifies it.
#include <cstdint>
#include <string>

constexpr const char *kSerialByIdFolder = "/dev/serial/by-id";
constexpr const char *kSysfsRoot = "/sys";

// Where the system names its devices; tests make folders of their own.
struct ST_DeviceRoots
{
    std::string ByIdFolder = kSerialByIdFolder;
    std::string SysRoot = kSysfsRoot;
};

// What is noted of a port's device when it opens, to know the device when it returns.
struct ST_DeviceMark
{
    std::string Path;     // the device opened: a node, or a link to one
    std::string ById;     // its entry in the by-id folder, if it has one
    std::string Identity; // what sysfs says identifies it (DeviceIdentity), if anything
    uint64_t Node = 0;    // its device number
};

// The full path of the entry in `byIdFolder` that links to the same device as the port `port`
// (a name as links store it, or a path), or the empty text when none does.
std::string FindByIdName(const std::string &port, const std::string &byIdFolder);

ST_DeviceMark MarkDevice(const std::string &port, const ST_DeviceRoots &roots);

// The path to reopen once the device of `mark` is back, or the empty text while it is not (or
// another device stands under its name). A demo device ("demo://board") is always back.
std::string ReturnedDevicePath(const ST_DeviceMark &mark, const ST_DeviceRoots &roots);
