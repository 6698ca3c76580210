#include "platform/gui/appsettings.h"

#include "platform/gui/startnotices.h"
#include "platform/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <memory>

namespace {

// Set once at start-up, before any window reads its settings.
QString &PrivateFile()
{
    static QString path;
    return path;
}

// The stores already looked at: each is checked before its first use only once for what Qt
// reports, and told about once.
QStringList &Checked()
{
    static QStringList paths;
    return paths;
}

// This run's values when the store cannot be used: an empty file of the run's own, gone with it.
QString ScratchStore()
{
    static std::unique_ptr<QTemporaryFile> file;
    if (!file) {
        file = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                QStringLiteral("/kestrum-settings-XXXXXX.conf"));
        if (!file->open())
            return QString();
        file->close();
    }
    return file->fileName();
}

QString Native(const std::string &text)
{
    return QString::fromLocal8Bit(text.c_str());
}

// A store that is not a plain file of the user's is not used at all: Qt would block on a FIFO and
// replace a link by a file of its own, or, as root, put one where a device was.
QString UsableStore(const QString &path)
{
    const std::string file = path.toLocal8Bit().toStdString();
    const std::string why = WhyNotOwnFile(file);
    const bool first = !Checked().contains(path);
    if (first)
        Checked() << path;
    if (!why.empty()) {
        if (first)
            TellProblem(nullptr, QCoreApplication::translate("AppSettings",
                                                             "The settings file %1 is not used (%2): "
                                                             "the settings of this run will not be kept.")
                                     .arg(path, Native(why)));
        return ScratchStore();
    }
    if (first) {
        QSettings::Status status;
        {
            const QSettings probe(path, QSettings::IniFormat);
            status = probe.status();
        }
        if (status != QSettings::NoError) {
            const std::string aside = KeepAside(file);
            TellProblem(nullptr,
                        aside.empty()
                            ? QCoreApplication::translate(
                                  "AppSettings", "The settings file %1 cannot be read, so it is not used: "
                                                 "the settings of this run will not be kept.")
                                  .arg(path)
                            : QCoreApplication::translate(
                                  "AppSettings", "The settings file %1 cannot be read; it is kept as %2 "
                                                 "and the settings start anew.")
                                  .arg(path, Native(aside)));
            if (aside.empty())
                return ScratchStore();
        }
    }
    return path;
}

} // namespace

QString UserSettingsPath()
{
    // Qt's own answer for where the user's store lies, asked of a store no one keeps, so that
    // nothing of the real one is read before it is checked.
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral(".kestrum-where"),
                          QStringLiteral("store"));
    const QString folder = QFileInfo(QFileInfo(probe.fileName()).absolutePath()).absolutePath();
    return folder + QStringLiteral("/Vantrell/Kestrum.conf");
}

QSettings OpenAppSettings()
{
    const QString wanted = PrivateFile().isEmpty() ? UserSettingsPath() : PrivateFile();
    const QString store = UsableStore(wanted);
    if (store == wanted && PrivateFile().isEmpty())
        return QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"));
    return QSettings(store, QSettings::IniFormat);
}

void UsePrivateSettingsFile(const QString &path)
{
    PrivateFile() = path;
}
