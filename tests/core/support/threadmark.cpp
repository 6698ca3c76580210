#include "threadmark.h"

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

void CThreadMark::Mark()
{
    tid_ = gettid();
}

bool CThreadMark::WaitAsleep(int ms) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (const pid_t tid = tid_.load()) {
            std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
            std::string line;
            std::getline(stat, line);
            // The state follows the name, which is in parentheses and may hold spaces.
            const size_t close = line.rfind(')');
            if (close != std::string::npos && close + 2 < line.size()) {
                const char state = line[close + 2];
                if (state == 'S' || state == 'D')
                    return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
