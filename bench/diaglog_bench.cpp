// Lines a second into the diagnostic log, against opening and closing the file for every line
// (how the log was written before). Prints figures; not a test.
#include "platform/diaglog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
int kLines = 200000;
const std::string kLine = "CSerialEx::ThreadProc - Begin";

template <typename Append> double LinesPerSecond(Append append)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kLines; ++i)
        append();
    return kLines / std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    // --smoke: a short run that only shows the bench still works.
    if (argc > 1 && std::string(argv[1]) == "--smoke")
        kLines = 2000;
    char dir[] = "/tmp/kestrum-diaglog-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return 1;
    const std::string kept = std::string(dir) + "/kestrum.log";
    const std::string reopened = std::string(dir) + "/reopened.log";
    const std::string out = kLine + "\r\n";

    const double keptRate = LinesPerSecond([&] { AppendLogLine(kept, kLine); });
    const double reopenRate = LinesPerSecond([&] {
        const int fd = open(reopened.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            (void)!write(fd, out.data(), out.size());
            close(fd);
        }
    });
    std::printf("diagnostic log, %d lines of %zu bytes\n", kLines, out.size());
    std::printf("  kept open, bounded:     %10.0f lines/s\n", keptRate);
    std::printf("  open/close every line:  %10.0f lines/s\n", reopenRate);
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
    return 0;
}
