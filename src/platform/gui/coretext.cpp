#include "platform/gui/coretext.h"

#include "platform/errors.h"

#include <QCoreApplication>

QString CoreText(const std::string &message)
{
    return QCoreApplication::translate("core", message.c_str());
}

QString CoreErrorText(const std::exception &error)
{
    const auto said = [](const char *text, const std::string &name) {
        return QCoreApplication::translate("core", text).arg(QString::fromLocal8Bit(name));
    };
    if (const auto *number = dynamic_cast<const EConvertError *>(&error))
        return said(QT_TRANSLATE_NOOP("core", "'%1' is not a valid integer value"), number->Text());
    // The reason behind a file's name is the system's own words, which stay as they are.
    const auto *file = dynamic_cast<const EFileError *>(&error);
    const bool created = dynamic_cast<const EFCreateError *>(&error) != nullptr;
    if (file && (created || dynamic_cast<const EFOpenError *>(&error))) {
        if (file->Why().empty())
            return said(created ? QT_TRANSLATE_NOOP("core", "Cannot create file %1")
                                : QT_TRANSLATE_NOOP("core", "Cannot open file %1"),
                        file->Path());
        // One arg() for both, so a '%' in the path is never taken for a place holder.
        return QCoreApplication::translate("core",
                                           created ? QT_TRANSLATE_NOOP("core", "Cannot create file %1: %2")
                                                   : QT_TRANSLATE_NOOP("core", "Cannot open file %1: %2"))
            .arg(QString::fromLocal8Bit(file->Path()), QString::fromLocal8Bit(file->Why()));
    }
    return CoreText(error.what());
}
