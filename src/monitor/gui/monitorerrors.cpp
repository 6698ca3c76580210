#include "monitor/gui/monitorerrors.h"

#include "platform/gui/coretext.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

struct ST_MonitorForm
{
    const char *english; // %1 and %2 stand for a name or a reason
    const char *pattern;
};

// The forms of CPortMonitor's and CVirtualPort's reasons. A name never holds ": ", so the first
// ": " after it starts the reason.
const ST_MonitorForm kForms[] = {
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not Open %1: %2"), "^Can not Open (.+?): (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not Open %1"), "^Can not Open (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Error Port Setting: %1: %2"),
     "^Error Port Setting: (.+?): (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not start the monitor: %1"),
     "^Can not start the monitor: (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "The monitor was stopped before it started"),
     "^The monitor was stopped before it started$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "The monitor is already running"),
     "^The monitor is already running$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Port A and port B are the same port: %1"),
     "^Port A and port B are the same port: (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands",
                       "The virtual port path must be a full path (starting with / or ~/): \"%1\""),
     "^The virtual port path must be a full path \\(starting with / or ~/\\): \"(.*)\"$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not make a pseudo-terminal: %1"),
     "^Can not make a pseudo-terminal: (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not set up the pseudo-terminal %1: %2"),
     "^Can not set up the pseudo-terminal (.+?): (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "The virtual port path %1 is in use by another monitor"),
     "^The virtual port path (.+) is in use by another monitor$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands",
                       "The virtual port path %1 is taken by a file that is not a symbolic link"),
     "^The virtual port path (.+) is taken by a file that is not a symbolic link$"},
    {QT_TRANSLATE_NOOP(
         "TMonitorCommands",
         "The virtual port path %1 is a symbolic link to %2, not one left by an earlier monitor"),
     "^The virtual port path (.+) is a symbolic link to (.+), not one left by an earlier monitor$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "The virtual port path %1 is a symbolic link to %2, a "
                                           "pseudo-terminal another program still holds open"),
     "^The virtual port path (.+) is a symbolic link to (.+), a pseudo-terminal another program still holds "
     "open$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not use the virtual port path %1: %2"),
     "^Can not use the virtual port path (.+?): (.+)$"},
    {QT_TRANSLATE_NOOP("TMonitorCommands", "Can not make the virtual port at %1: %2"),
     "^Can not make the virtual port at (.+?): (.+)$"},
};

} // namespace

QString MonitorErrorText(const std::string &error)
{
    const QString text = QString::fromLocal8Bit(error);
    for (const ST_MonitorForm &form : kForms) {
        const QRegularExpressionMatch match =
            QRegularExpression(QString::fromLatin1(form.pattern)).match(text);
        if (!match.hasMatch())
            continue;
        const QString shown = QCoreApplication::translate("TMonitorCommands", form.english);
        // A reason that is one of the serial layer's fixed words is translated too (a name or a
        // system's reason is none of them and stays as it is).
        const auto part = [&match](int index) {
            return CoreText(match.captured(index).toLocal8Bit().toStdString());
        };
        switch (match.lastCapturedIndex()) {
        case 2:
            return shown.arg(part(1), part(2));
        case 1:
            return shown.arg(part(1));
        default:
            return shown;
        }
    }
    return text;
}
