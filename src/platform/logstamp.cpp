#include "platform/logstamp.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

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

std::string IsoLocalTimeText(int64_t utcMs)
{
    int64_t ms = utcMs % 1000;
    if (ms < 0)
        ms += 1000;
    const time_t seconds = static_cast<time_t>((utcMs - ms) / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    // A zone is less than a day from UTC.
    const int offset = static_cast<int>(local.tm_gmtoff / 60 % (24 * 60));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms), offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
    return text;
}
