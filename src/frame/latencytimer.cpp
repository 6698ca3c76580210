#include "frame/latencytimer.h"

#include <fstream>

std::optional<int> LatencyFloorMs(const std::string &device, const std::string &sysRoot)
{
    const std::string name = device.substr(device.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    // The tty's device is the usb-serial port, which carries the timer; some kernels put it on
    // the interface above it.
    const std::string paths[] = {
        sysRoot + "/class/tty/" + name + "/device/latency_timer",
        sysRoot + "/bus/usb-serial/devices/" + name + "/latency_timer",
        sysRoot + "/class/tty/" + name + "/device/../latency_timer",
    };
    for (const std::string &path : paths) {
        std::ifstream file(path);
        int ms = -1;
        if (file >> ms && ms >= 0 && ms <= 255)
            return ms;
    }
    return std::nullopt;
}
