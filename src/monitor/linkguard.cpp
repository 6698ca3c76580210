#include "monitor/linkguard.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

// What the handler may touch: fixed storage, atomics and async-signal-safe calls only.
struct Slot
{
    enum : int { Free = 0, Busy = 1, Armed = 2 };
    std::atomic<int> state{Free};
    char path[4096];
    char target[256];
};

constexpr int kSlots = 16;
Slot g_slots[kSlots];

constexpr int kSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[NSIG];
bool g_installed = false; // under g_lock
// Orders the owners' changes among themselves; the handler takes no lock, it only reads slots
// that are armed, whose text does not change while they are.
std::mutex g_lock;

bool IsFault(int sig)
{
    return sig == SIGSEGV || sig == SIGABRT || sig == SIGBUS || sig == SIGFPE || sig == SIGILL;
}

void RemoveArmedLinks()
{
    char seen[sizeof Slot::target];
    for (Slot &slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) != Slot::Armed)
            continue;
        const ssize_t n = readlink(slot.path, seen, sizeof seen - 1);
        if (n < 0)
            continue;
        seen[n] = '\0';
        if (std::strcmp(seen, slot.target) == 0)
            unlink(slot.path);
    }
}

void OnSignal(int sig, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    const struct sigaction &previous = g_previous[sig];
    const bool ownHandler = (previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_DFL;
    // A fault ends the process whoever handles it; a termination request handled by the program
    // may be answered by an orderly stop, which removes the link itself.
    if (IsFault(sig) || !ownHandler)
        RemoveArmedLinks();
    if (!ownHandler) {
        // The default action, once this handler returns and unblocks the signal (a fault then
        // strikes again, with the default action in place).
        sigaction(sig, &previous, nullptr);
        raise(sig);
    } else {
        // A handler installed to run once (SA_RESETHAND: "a second Ctrl-C ends it") would have
        // been reset by the kernel before it ran; the guard stands in its place, so it does the
        // reset, and the next such signal takes the default action.
        const struct sigaction once = previous;
        if (once.sa_flags & SA_RESETHAND) {
            g_previous[sig].sa_flags = 0;
            g_previous[sig].sa_handler = SIG_DFL;
        }
        if (once.sa_flags & SA_SIGINFO)
            once.sa_sigaction(sig, info, context);
        else
            once.sa_handler(sig);
    }
    errno = savedErrno;
}

bool IsOurs(const struct sigaction &action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == OnSignal;
}

// Under g_lock.
void InstallHandlers()
{
    for (int sig : kSignals) {
        struct sigaction previous
        {
        };
        if (sigaction(sig, nullptr, &previous) != 0)
            continue;
        // An ignored signal does not end the process, so the link must stay.
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN)
            continue;
        g_previous[sig] = previous;
        struct sigaction ours
        {
        };
        ours.sa_sigaction = OnSignal;
        sigemptyset(&ours.sa_mask);
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        sigaction(sig, &ours, nullptr);
    }
    g_installed = true;
}

// Under g_lock, once no link is armed: each signal gets back what it had, or what the stand-in
// for a run-once handler left, unless something else took the signal over since.
void RemoveHandlers()
{
    for (int sig : kSignals) {
        struct sigaction current
        {
        };
        if (sigaction(sig, nullptr, &current) == 0 && IsOurs(current))
            sigaction(sig, &g_previous[sig], nullptr);
    }
    g_installed = false;
}

} // namespace

int GuardLink(const std::string &path, const std::string &target)
{
    if (path.size() >= sizeof Slot::path || target.size() >= sizeof Slot::target)
        return -1;
    const std::lock_guard<std::mutex> guard(g_lock);
    if (!g_installed)
        InstallHandlers();
    for (int i = 0; i < kSlots; ++i) {
        Slot &slot = g_slots[i];
        if (slot.state.load() != Slot::Free)
            continue;
        slot.state.store(Slot::Busy);
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        std::memcpy(slot.target, target.c_str(), target.size() + 1);
        slot.state.store(Slot::Armed, std::memory_order_release);
        return i;
    }
    return -1;
}

void ReleaseLink(int slot)
{
    if (slot < 0 || slot >= kSlots)
        return;
    const std::lock_guard<std::mutex> guard(g_lock);
    g_slots[slot].state.store(Slot::Free, std::memory_order_release);
    for (const Slot &other : g_slots)
        if (other.state.load() != Slot::Free)
            return;
    RemoveHandlers();
}

bool LinkGuarded(const std::string &path)
{
    const std::lock_guard<std::mutex> guard(g_lock);
    for (const Slot &slot : g_slots)
        if (slot.state.load() == Slot::Armed && path == slot.path)
            return true;
    return false;
}
