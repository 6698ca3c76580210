#pragma once
// USB serial adapters whose driver holds received bytes back for a latency timer (16 ms unless
// set lower) hand them over in lumps: no silence shorter than the timer can be seen behind them.
#include <optional>
#include <string>

// The timer of `device` ("/dev/ttyUSB0" or "ttyUSB0") in milliseconds, read under `sysRoot`;
// none for a device whose driver has no such timer.
std::optional<int> LatencyFloorMs(const std::string &device, const std::string &sysRoot = "/sys");
