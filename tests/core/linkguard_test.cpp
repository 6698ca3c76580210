#include "monitor/linkguard.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_heard = 0;

void HearOnce(int)
{
    g_heard = g_heard + 1;
}

// Runs `child` in a process of its own, where signal handlers can be changed freely, and returns
// its wait status.
template <typename Child> int InChild(Child child)
{
    const pid_t pid = fork();
    if (pid == 0) {
        child();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

void InstallRunOnce()
{
    struct sigaction once = {};
    once.sa_handler = HearOnce;
    sigemptyset(&once.sa_mask);
    once.sa_flags = SA_RESETHAND;
    sigaction(SIGTERM, &once, nullptr);
}

} // namespace

// A program whose first SIGTERM asks for an orderly stop ends at the second, also while a
// virtual port's link is guarded.
TEST(LinkGuard, ASecondSignalStillEndsAProgramWhoseHandlerRunsOnce)
{
    const int status = InChild([] {
        InstallRunOnce();
        const int slot = GuardLink("/nonexistent/kestrum-link", "/dev/pts/999");
        raise(SIGTERM);
        if (g_heard != 1)
            _exit(2);
        raise(SIGTERM);
        (void)slot;
        _exit(3); // still alive: the run-once handler ran again
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

// With no link left to guard, the program's own handlers are back in place.
TEST(LinkGuard, TheLastReleaseGivesTheSignalsBack)
{
    const int status = InChild([] {
        InstallRunOnce();
        ReleaseLink(GuardLink("/nonexistent/kestrum-link", "/dev/pts/999"));
        struct sigaction now = {};
        sigaction(SIGTERM, nullptr, &now);
        _exit(now.sa_handler == HearOnce && (now.sa_flags & SA_RESETHAND) ? 0 : 4);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
