// Preloaded into the lrzsz receivers the transfer tests run. They purge their input right after
// each answer, and their output as they exit: on a cable the sender's reply and their last answer
// are still on the wire then, but on a pseudo-terminal they already sit in the queue that the
// purge empties, so the test would lose bytes no real line loses. With NOPURGE_INPUT_ONLY set,
// only the purges of the input are left out: the purge at the exit may then eat the last answer,
// as a sender meets with receivers that never give one.
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

bool Skipped(long queue)
{
    static const bool inputOnly = std::getenv("NOPURGE_INPUT_ONLY") != nullptr;
    return !inputOnly || queue == TCIFLUSH;
}

} // namespace

extern "C" int tcflush(int fd, int queue) noexcept
{
    if (Skipped(queue))
        return 0;
    using Real = int (*)(int, int);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcflush"));
    return real(fd, queue);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (request == TCFLSH && Skipped(reinterpret_cast<long>(arg)))
        return 0;
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, arg);
}
