#pragma once
// Compresses a finished capture file to "<path>.gz" beside it. The gzip is written under a
// temporary name, synced and renamed into place, and only then is the original removed: at
// any moment one whole copy of the data is on the disk. No name is followed when it is a link,
// and nothing already at the temporary or the final name is overwritten.
#include <atomic>
#include <string>

struct stat;

// Returns 0 or the errno that left the original as it was (ECANCELED once `cancel` is set);
// `made`, when given, gets the identity of the ".gz".
int GzipFile(const std::string &path, const std::atomic<bool> &cancel, struct stat *made = nullptr);
