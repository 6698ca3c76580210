#include "app/HelpContent.h"

#include "platform/textfile.h"

#include <QApplication>
#include <QMessageBox>

std::string HelpFilePath(const std::string &executable)
{
    const size_t slash = executable.find_last_of('/');
    const size_t dot = executable.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? executable.substr(0, dot) : executable) + ".chm";
}

void ShowHelpContent(QWidget *owner, const std::string &executable,
                     const std::function<bool(const QUrl &)> &open)
{
    const std::string path = HelpFilePath(executable);
    if (!executable.empty() && FileExists(path)) {
        open(QUrl::fromLocalFile(QString::fromLocal8Bit(path)));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QStringLiteral("Help file not found!"), QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
}
