#include "guitestenv.h"

#include <QDir>
#include <QSettings>

GuiTestEnv::GuiTestEnv() : m_oldHome(qgetenv("KESTRUM_HOME"))
{
    qputenv("KESTRUM_HOME", m_dir.path().toLocal8Bit());
    const QString config = m_dir.filePath(QStringLiteral("config"));
    QDir().mkpath(config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, config + QStringLiteral("/system"));
}

GuiTestEnv::~GuiTestEnv()
{
    if (m_oldHome.isNull())
        qunsetenv("KESTRUM_HOME");
    else
        qputenv("KESTRUM_HOME", m_oldHome);
}

void GuiTestEnv::ClearSettings()
{
    QSettings settings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"));
    settings.clear();
    settings.sync();
}
