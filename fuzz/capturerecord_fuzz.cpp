#include "log/capturerecord.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

// A capture record as found in a folder after a crash or a meddler: whatever it holds, each name
// is listed once and no name holds a line break, and what is read, written back, reads the same.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    std::vector<CCaptureRecord::ST_File> files;
    if (!CCaptureRecord::Parse("kestrum-capture 1\tcapture.log\n" + body, "capture.log", files))
        std::abort();
    std::set<std::string> names;
    std::string again = "kestrum-capture 1\tcapture.log\n";
    for (const CCaptureRecord::ST_File &file : files) {
        if (!names.insert(file.name).second || file.name.find('\n') != std::string::npos)
            std::abort();
        again += "+\t" + std::to_string(file.dev) + "\t" + std::to_string(file.ino) + "\t" + file.name + "\n";
    }
    std::vector<CCaptureRecord::ST_File> back;
    if (!CCaptureRecord::Parse(again, "capture.log", back) || back.size() != files.size())
        std::abort();
    for (size_t i = 0; i < back.size(); ++i)
        if (back[i].name != files[i].name || back[i].dev != files[i].dev || back[i].ino != files[i].ino)
            std::abort();
    // Another pattern's record is not this one's.
    std::vector<CCaptureRecord::ST_File> other;
    if (CCaptureRecord::Parse(again, "capture.log.", other))
        std::abort();
    return 0;
}
