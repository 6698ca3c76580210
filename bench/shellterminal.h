#pragma once
// A shell on a pseudo-terminal of its own, as a board's shell sits behind its serial line: the
// benches copy what it writes into the port's pseudo-terminal.
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Runs `command` with `bash --norc -c` on a new terminal whose master end is put in *term.
// Returns the shell's process id, or -1 when no terminal could be had.
inline pid_t StartShellOnTerminal(const std::string &command, int *term)
{
    *term = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (*term < 0 || grantpt(*term) != 0 || unlockpt(*term) != 0)
        return -1;
    const std::string slave = ptsname(*term);
    const pid_t shell = fork();
    if (shell == 0) {
        setsid();
        const int tty = open(slave.c_str(), O_RDWR);
        dup2(tty, 0);
        dup2(tty, 1);
        dup2(tty, 2);
        execlp("bash", "bash", "--norc", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    return shell;
}
