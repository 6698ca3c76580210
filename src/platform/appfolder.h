#pragma once
// Where the working files ("Default.cps", "Default.sds", "Default.sym", "Default.ass",
// "TempRec.tmp") and the diagnostic log live: $KESTRUM_HOME when set, else the executable's
// folder when it is writable and not an installed bin folder, else $XDG_DATA_HOME/kestrum
// (created on first use).
#include <string>

// The folder without a trailing separator. Looked up on every call so tests can move it.
std::string AppFolder();

// The folder for the program at `executable` when $KESTRUM_HOME is not set.
std::string AppFolderFor(const std::string &executable);

// AppFolder() + "/" + name.
std::string AppFilePath(const std::string &name);
// The same for a path asked for many times a second (the diagnostic log's): the folder is looked
// for (and made) again only when the environment that decides it has changed.
std::string RememberedAppFilePath(const std::string &name);

// The running executable's full path, or the empty text when it cannot be found.
std::string ExecutablePath();
