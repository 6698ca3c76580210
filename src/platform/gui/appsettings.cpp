#include "platform/gui/appsettings.h"

namespace {

// Set once at start-up, before any window reads its settings.
QString &PrivateFile()
{
    static QString path;
    return path;
}

} // namespace

QSettings OpenAppSettings()
{
    if (!PrivateFile().isEmpty())
        return QSettings(PrivateFile(), QSettings::IniFormat);
    return QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"));
}

void UsePrivateSettingsFile(const QString &path)
{
    PrivateFile() = path;
}

bool ReadSettingsInteger(const QSettings &settings, const char *name, int &value)
{
    const QVariant stored = settings.value(QLatin1String(name));
    if (!stored.isValid())
        return false;
    bool ok = false;
    const int number = stored.toString().trimmed().toInt(&ok);
    if (ok)
        value = number;
    return ok;
}

bool ReadSettingsFlag(const QSettings &settings, const char *name)
{
    int value = 0;
    return ReadSettingsInteger(settings, name, value) && value != 0;
}
