#include "platform/logstamp.h"

#include <cstdio>

namespace {

constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

} // namespace

std::string TimeOfDayMsText(int64_t msOfDay)
{
    int64_t ms = msOfDay % kMsPerDay;
    if (ms < 0)
        ms += kMsPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                  static_cast<int>(ms % 1000));
    return text;
}

std::string SincePreviousText(int64_t ms)
{
    if (ms < 0)
        ms = 0;
    char text[32];
    std::snprintf(text, sizeof text, "+%lld.%03d", static_cast<long long>(ms / 1000),
                  static_cast<int>(ms % 1000));
    return text;
}

std::string JoinStamp(const std::string &time, const std::string &since)
{
    if (time.empty())
        return since;
    if (since.empty())
        return time;
    return time + " " + since;
}
