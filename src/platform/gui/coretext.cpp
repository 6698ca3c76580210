#include "platform/gui/coretext.h"

#include <QCoreApplication>

QString CoreText(const std::string &message)
{
    return QCoreApplication::translate("core", message.c_str());
}
