#include "log/gui/logtime.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>

namespace {

bool IsDroppedField(QChar c)
{
    return c == QLatin1Char('t') || c == QLatin1Char('z') || c == QLatin1Char('Z');
}

// Removes a dropped field together with the separator that joined it to the rest, so
// "HH:mm:ss.zzz t" keeps "HH:mm:ss" rather than "HH:mm:ss. ".
QString DropFields(const QString &format)
{
    QString out;
    int i = 0;
    const int n = format.size();
    while (i < n) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            int j = i + 1;
            while (j < n) {
                if (format.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && format.at(j + 1) == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += format.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (IsDroppedField(c)) {
            while (i < n && IsDroppedField(format.at(i)))
                ++i;
            while (!out.isEmpty() &&
                   (out.back().isSpace() || out.back() == QLatin1Char('.') || out.back() == QLatin1Char(',')))
                out.chop(1);
            continue;
        }
        out += c;
        ++i;
    }
    return out.trimmed();
}

bool HasHours(const QString &format)
{
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('h') || c == QLatin1Char('H')))
            return true;
    }
    return false;
}

// QTime::currentTime looks the zone up (a look at the zone file) at every call, and a busy port
// stamps many blocks a second. Zones change their offset only at the start of a minute, so the
// local time of a minute's start is looked up once and the rest counted from it.
QTime LocalTimeBefore(int64_t ageMs)
{
    static bool known = false;
    static int64_t minuteStart = 0; // ms since the epoch
    static int minuteOfDay = 0;     // its local time, ms since midnight
    const int64_t now = QDateTime::currentMSecsSinceEpoch() - ageMs;
    if (!known || now < minuteStart || now - minuteStart >= 60000) {
        known = true;
        minuteStart = now - (now % 60000 + 60000) % 60000;
        minuteOfDay = QDateTime::fromMSecsSinceEpoch(minuteStart).time().msecsSinceStartOfDay();
    }
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>((minuteOfDay + (now - minuteStart)) % 86400000));
}

} // namespace

QString LogTimeFormat(const QString &localeFormat)
{
    const QString cleaned = DropFields(localeFormat);
    return HasHours(cleaned) ? cleaned : QStringLiteral("hh:mm:ss");
}

std::string LogTimeText(int64_t ageMs)
{
    // Formatting through the locale costs microseconds, and a busy port logs many blocks a second.
    static int cachedSecond = -1;
    static std::string cachedText;
    const QTime now = LocalTimeBefore(ageMs);
    const int second = now.msecsSinceStartOfDay() / 1000;
    if (second == cachedSecond)
        return cachedText;

    const QLocale locale = QLocale::system();
    const QString text = locale.toString(now, LogTimeFormat(locale.timeFormat(QLocale::LongFormat)));
    cachedText = text.toLatin1().toStdString();
    // The log holds 8-bit text; a locale whose day-period names fall outside it gets plain digits.
    for (QChar c : text)
        if (c.unicode() > 0xFF) {
            cachedText = now.toString(QStringLiteral("hh:mm:ss")).toStdString();
            break;
        }
    cachedSecond = second;
    return cachedText;
}
