#include "serial/portholders.h"

#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {

struct ST_Held
{
    dev_t device;
    int holder;
};

std::mutex g_lock;
std::vector<ST_Held> g_held;

bool DeviceOf(const std::string &path, dev_t *device)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    *device = st.st_rdev;
    return true;
}

} // namespace

void NotePortHolder(const std::string &device, int holder)
{
    dev_t id = 0;
    if (holder <= 0 || !DeviceOf(device, &id))
        return;
    std::lock_guard<std::mutex> hold(g_lock);
    for (ST_Held &held : g_held)
        if (held.holder == holder) {
            held.device = id;
            return;
        }
    g_held.push_back({id, holder});
}

void ForgetPortHolder(int holder)
{
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto it = g_held.begin(); it != g_held.end(); ++it)
        if (it->holder == holder) {
            g_held.erase(it);
            return;
        }
}

int PortHolder(const std::string &device)
{
    dev_t id = 0;
    if (!DeviceOf(device, &id))
        return 0;
    std::lock_guard<std::mutex> hold(g_lock);
    for (const ST_Held &held : g_held)
        if (held.device == id)
            return held.holder;
    return 0;
}
