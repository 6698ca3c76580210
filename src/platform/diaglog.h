#pragma once
// The diagnostic log of the port layer. Lines are only ever appended; a file that cannot be
// opened is silently skipped, since the log must never disturb the operation that failed.
//
// The log is on the receive path (the listener writes a line per event), so the file stays open
// between lines instead of being opened for each one. Every line is still handed to the kernel
// before the call returns, so a crash loses nothing already logged. It is bounded: a line that
// would take the file past kDiagLogLimit first moves it to "<name>.1" (replacing the older one)
// and starts a new file.
//
// The listener traces every wait it begins, which under a flood of line events fills both
// generations within seconds. So that such traces never push out what went wrong, every line
// but a trace is also appended to a smaller file of its own, "<name>-failures.log" beside the
// log (kestrum-failures.log), bounded the same way at kDiagFailureLimit with one older file.
#include <cstddef>
#include <string>

constexpr size_t kDiagLogLimit = 1024 * 1024;
constexpr size_t kDiagFailureLimit = 256 * 1024;

// "kestrum.log" in the app folder.
std::string DiagLogPath();

// The failures' file of the log at `logPath`: "/x/kestrum.log" gives "/x/kestrum-failures.log".
std::string DiagFailurePath(const std::string &logPath);

// Appends `text` and one line break to the log and to its failures' file; every line break is
// written as CR LF. Safe from any thread.
void AppendLogLine(const std::string &path, const std::string &text);
// The same into the log only: for the lines that trace normal work, not failures or notes.
void AppendLogTrace(const std::string &path, const std::string &text);

// printf-style into at most 1023 characters, then AppendLogLine. Callers pass outside text
// only as an argument ("%s"), never as the format.
void AppendLogFormatted(const std::string &path, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
