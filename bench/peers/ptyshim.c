// Loaded with LD_PRELOAD into the other terminals the peer bench runs: a pseudo-terminal has no
// modem lines, so its TIOCM* calls fail and those programs close the port at once. Here such a
// call on a pty that the kernel refused succeeds against a remembered set of lines (all up), so
// the program reads a cable that is plugged in. Every other call, and every real port, is left
// to the kernel.
//
// One program also asks the device database for the port before it keeps it open, and that
// database accepts only entries on sysfs, where a pty has none. The bench gives it one on a
// small tmpfs in a private mount namespace; the statfs calls below call that tmpfs sysfs, and
// nothing else.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#define SYSFS_MAGIC_NUMBER 0x62656572
#define TMPFS_MAGIC_NUMBER 0x01021994

static int lines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;

// Unix98 pty slaves use majors 136 to 143.
static int IsPtySlave(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

static int ModemCall(unsigned long request, int *arg)
{
    switch (request) {
    case TIOCMGET:
        *arg = __atomic_load_n(&lines, __ATOMIC_RELAXED);
        return 0;
    case TIOCMSET:
        __atomic_store_n(&lines, *arg, __ATOMIC_RELAXED);
        return 0;
    case TIOCMBIS:
        __atomic_fetch_or(&lines, *arg, __ATOMIC_RELAXED);
        return 0;
    case TIOCMBIC:
        __atomic_fetch_and(&lines, ~*arg, __ATOMIC_RELAXED);
        return 0;
    default:
        return -1;
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    const int result = real(fd, request, arg);
    if (result == 0 || (errno != ENOTTY && errno != EINVAL) || !arg)
        return result;
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        return result;
    if (!IsPtySlave(fd))
        return result;
    const int saved = errno;
    if (ModemCall(request, (int *)arg) == 0)
        return 0;
    errno = saved;
    return result;
}

static int UnderSys(const char *path)
{
    return strncmp(path, "/sys/", 5) == 0;
}

static void PassTmpfsAsSysfs(struct statfs64 *buf, const char *path)
{
    if (buf->f_type == TMPFS_MAGIC_NUMBER && path && UnderSys(path))
        buf->f_type = SYSFS_MAGIC_NUMBER;
}

int fstatfs64(int fd, struct statfs64 *buf)
{
    static int (*real)(int, struct statfs64 *);
    if (!real)
        real = (int (*)(int, struct statfs64 *))dlsym(RTLD_NEXT, "fstatfs64");
    const int result = real(fd, buf);
    if (result == 0 && buf->f_type == TMPFS_MAGIC_NUMBER) {
        char link[64], path[4096];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t length = readlink(link, path, sizeof path - 1);
        if (length > 0) {
            path[length] = 0;
            PassTmpfsAsSysfs(buf, path);
        }
    }
    return result;
}

int statfs64(const char *path, struct statfs64 *buf)
{
    static int (*real)(const char *, struct statfs64 *);
    if (!real)
        real = (int (*)(const char *, struct statfs64 *))dlsym(RTLD_NEXT, "statfs64");
    const int result = real(path, buf);
    if (result == 0)
        PassTmpfsAsSysfs(buf, path);
    return result;
}
