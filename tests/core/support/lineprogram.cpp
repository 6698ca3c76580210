#include "lineprogram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t StartOnLine(int line, const std::string &folder, std::vector<std::string> args, std::string environment,
                  bool blocking)
{
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    char *envp[] = {environment.data(), nullptr};
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(line, 0);
        dup2(line, 1);
        dup2(null, 2);
        if (blocking)
            fcntl(0, F_SETFL, fcntl(0, F_GETFL) & ~O_NONBLOCK);
        if (chdir(folder.c_str()) == 0)
            execvpe(argv[0], argv.data(), envp);
        _exit(127);
    }
    close(null);
    return pid;
}

int WaitEnded(pid_t pid)
{
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
