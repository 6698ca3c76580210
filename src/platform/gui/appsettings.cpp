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
