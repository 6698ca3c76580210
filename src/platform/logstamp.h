#pragma once
// The finer time stamps a log line can carry: the time of day to the millisecond and the time
// since the line before, which after a send is how long the device took to answer.
#include <cstdint>
#include <string>

// "hh:mm:ss.zzz" for a time of day in milliseconds since midnight; values beyond a day wrap.
std::string TimeOfDayMsText(int64_t msOfDay);

// "+s.zzz" in seconds with milliseconds, such as "+0.045" or "+125.300"; a negative span (the
// clock went back) reads as "+0.000".
std::string SincePreviousText(int64_t ms);

// What goes between the stamp's parentheses: the time, the span or both, joined by a blank.
std::string JoinStamp(const std::string &time, const std::string &since);

// The local date and time of `utcMs` (milliseconds since 1970-01-01 UTC) in ISO 8601 with its
// offset from UTC, such as "2024-03-05T14:07:09.042+01:00": a reader elsewhere, or after the
// clocks changed, still knows the instant.
std::string IsoLocalTimeText(int64_t utcMs);
