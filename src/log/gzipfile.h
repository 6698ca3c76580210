#pragma once
// Compresses a finished capture file to "<path>.gz" beside it. The gzip is written under a
// temporary name, synced and renamed into place, and only then is the original removed: at
// any moment one whole copy of the data is on the disk. No name is followed when it is a link,
// and nothing already at the temporary or the final name is overwritten.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct stat;

// Returns 0 or the errno that left the original as it was (ECANCELED once `cancel` is set);
// `made`, when given, gets the identity of the ".gz".
int GzipFile(const std::string &path, const std::atomic<bool> &cancel, struct stat *made = nullptr);

// The bytes of a capture file, gzipped or not, as the analyser reads both. Throws EFOpenError for
// a file that cannot be read or holds more than `limit` bytes once unpacked.
std::vector<uint8_t> ReadCaptureFile(const std::string &path, size_t limit);
