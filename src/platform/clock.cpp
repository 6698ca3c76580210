#include "platform/clock.h"

#include <ctime>
#include <sys/time.h>

int64_t CSystemClock::NowMs() const
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return (static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff) * 1000 + ts.tv_nsec / 1000000;
}

const CSystemClock &CSystemClock::Instance()
{
    static const CSystemClock clock;
    return clock;
}
