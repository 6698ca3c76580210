#pragma once
// Time as the program's rules see it: local wall-clock milliseconds. Days are whole multiples of
// kMsPerDay, so `now % kMsPerDay` is the local time of day while differences stay right across
// midnight. Injected wherever timing matters, so tests run without sleeping.
#include <cstdint>

constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

class IClock
{
public:
    virtual ~IClock() = default;
    // Local time in milliseconds since 1970-01-01 00:00 local time.
    virtual int64_t NowMs() const = 0;
};

class CSystemClock : public IClock
{
public:
    int64_t NowMs() const override;
    static const CSystemClock &Instance();
};

inline int64_t TimeOfDayMs(int64_t localMs)
{
    const int64_t r = localMs % kMsPerDay;
    return r < 0 ? r + kMsPerDay : r;
}
