// Preloaded into the lrzsz receivers the transfer tests run. They purge their input right after
// each answer, and their output as they exit: on a cable the sender's reply and their last answer
// are still on the wire then, but on a pseudo-terminal they already sit in the queue that the
// purge empties, so the test would lose bytes no real line loses.
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <termios.h>

extern "C" int tcflush(int, int) noexcept
{
    return 0;
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (request == TCFLSH)
        return 0;
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, arg);
}
