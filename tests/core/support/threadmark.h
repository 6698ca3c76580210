#pragma once
// Lets a test act on a blocking call once it is really under way on another thread, instead of
// guessing how long that thread needs to get there.
#include <atomic>
#include <sys/types.h>

class CThreadMark
{
public:
    // On the thread to watch, just before its blocking call.
    void Mark();
    // Waits until the marked thread sleeps in the kernel; false after `ms`.
    bool WaitAsleep(int ms = 3000) const;

private:
    std::atomic<pid_t> tid_{0};
};
