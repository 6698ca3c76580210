#pragma once
// The far end of a file-transfer test: a program (lrzsz's sz, rz, sx, rb...) with its standard
// input and output on one end of a pseudo-terminal, as a board's shell runs it on its console.
#include <string>
#include <sys/types.h>
#include <vector>

// Runs `args` in `folder` with stdin and stdout on `line`, its errors thrown away, and `environment`
// (such as "LD_PRELOAD=...") as its whole environment. Everything the child needs is made before the
// fork, since the child of a threaded process may only exec. `blocking` clears O_NONBLOCK on the
// line, as a terminal program expects it. The child's pid, or -1 when it could not be made.
pid_t StartOnLine(int line, const std::string &folder, std::vector<std::string> args, std::string environment,
                  bool blocking = false);

// Waits for `pid`: its exit status, or 128 + the signal that ended it.
int WaitEnded(pid_t pid);
