#include "platform/gui/startnotices.h"

#include "platform/appfolder.h"
#include "platform/diaglog.h"
#include "platform/gui/coretext.h"
#include "platform/gui/signalquit.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

bool g_collecting = false;
bool g_sessionEnding = false;
QStringList g_collected;

constexpr size_t kNotesLimit = 64 * 1024;

} // namespace

std::string PendingNotesPath()
{
    return AppFilePath("kestrum.notes");
}

void BeginStartNotices()
{
    g_collecting = true;
}

void ShowStartNotices(QWidget *window)
{
    g_collecting = false;
    QStringList notes;
    std::string left;
    try {
        if (ReadWholeFile(PendingNotesPath(), left, kNotesLimit)) {
            notes << QCoreApplication::translate("StartNotices", "When Kestrum last ended:") +
                         QLatin1Char('\n') + QString::fromLocal8Bit(left.c_str()).trimmed();
            std::remove(PendingNotesPath().c_str()); // told once
        }
    } catch (const std::exception &e) {
        notes << CoreErrorText(e);
    }
    notes << g_collected;
    g_collected.clear();
    if (notes.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
                                notes.join(QStringLiteral("\n\n")), QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("boxStartNotices"));
    box->setAccessibleName(QCoreApplication::translate("StartNotices", "Problems found at start"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void MarkSessionEnding(bool ending)
{
    g_sessionEnding = ending;
}

bool EndingUnattended()
{
    return g_sessionEnding || TerminationRequested();
}

void TellProblem(QWidget *owner, const QString &text)
{
    if (EndingUnattended()) {
        const std::string line = text.toLocal8Bit().toStdString();
        AppendLogLine(DiagLogPath(), "At the end: " + line);
        try {
            AppendFile(PendingNotesPath(), line + "\n");
        } catch (const std::exception &) {
            // The log has it; the note is only a courtesy.
        }
        return;
    }
    if (g_collecting) {
        if (!g_collected.contains(text))
            g_collected << text;
        return;
    }
    QMessageBox::critical(owner, QApplication::applicationName(), text);
}
