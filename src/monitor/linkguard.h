#pragma once
// Symbolic links that must not outlive the process. A guarded link is removed at Stop by its
// owner; if the process dies of a fatal signal first, the signal handler removes it, provided it
// still points where it was made to point. The handlers are installed with the first guard, chain
// to whatever was installed before them (keeping a run-once handler run-once) and are removed when
// the last guard is released; a signal whose handler the program chose itself
// (SIGTERM, SIGINT, SIGHUP with a function of its own) is left to that handler, which is expected
// to stop the monitor the ordinary way.
#include <string>

// A slot for `path` -> `target`, registered before the link is made (the handler checks the
// target, so an entry for a link not yet there does no harm); -1 when the table is full, which
// only loses the crash cleanup.
int GuardLink(const std::string &path, const std::string &target);
// Called after the owner removed the link itself.
void ReleaseLink(int slot);
// Some monitor of this process holds a link at `path`.
bool LinkGuarded(const std::string &path);
