#pragma once
// The time stamp of a log line: the locale's long time format without the parts a log line has no
// room for. A zone name repeated on every line says nothing new and milliseconds were never shown.
#include <QString>
#include <cstdint>
#include <string>

// `localeFormat` is a Qt time format; returns it without zone and millisecond fields, or
// "hh:mm:ss" when nothing with hours is left.
QString LogTimeFormat(const QString &localeFormat);

// The time of day `ageMs` before now in the system locale's long format, cleaned as above, as
// Latin-1 bytes. GUI thread only: the text is kept for the rest of the second.
std::string LogTimeText(int64_t ageMs = 0);
