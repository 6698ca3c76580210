#pragma once
// A private world for one GUI test: the working files and the settings live in a fresh temporary
// folder, so no test sees another's files or the user's own settings.
#include <QString>
#include <QTemporaryDir>

class GuiTestEnv
{
public:
    GuiTestEnv();
    ~GuiTestEnv();

    QString Dir() const { return m_dir.path(); }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }
    std::string File(const char *name) const { return FilePath(QString::fromLatin1(name)).toStdString(); }

    // Drops every value of the settings, as on a first start.
    void ClearSettings();

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
};
