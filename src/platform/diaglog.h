#pragma once
// The diagnostic log of the port layer. Lines are only ever appended; a file that cannot be
// opened is silently skipped, since the log must never disturb the operation that failed.
#include <string>

// "kestrum.log" in the app folder.
std::string DiagLogPath();

// Appends `text` and one line break; every line break is written as CR LF.
void AppendLogLine(const std::string &path, const std::string &text);

// printf-style into at most 1023 characters, then AppendLogLine. Callers pass outside text
// only as an argument ("%s"), never as the format.
void AppendLogFormatted(const std::string &path, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
