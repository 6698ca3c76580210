#include "help/gui/helpcontent.h"

#include "help/gui/THelpWindow.h"
#include "platform/appfolder.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>

namespace {

std::string g_override;
QPointer<THelpWindow> g_helpWindow;

std::string Parent(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool HasManual(const std::string &folder)
{
    return !folder.empty() && FileExists(folder + "/index.html");
}

struct ST_HelpPage
{
    const char *Window;
    const char *Page;
};

const ST_HelpPage kPages[] = {
    {"frmOpenPort", "links.html"},
    {"frmPortSetting", "links.html"},
    {"frmSendDataList", "sending.html"},
    {"frmDataEdit", "sending.html"},
    {"frmRecDataList", "received.html"},
    {"frmAscTable", "symbols.html"},
    {"frmEditSymbol", "symbols.html"},
    {"frmAutoSendSetting", "autosend.html"},
    {"frmSingleRecord", "autosend.html"},
    {"frmGroupRecord", "autosend.html"},
    {"frmEventEdit", "autosend.html"},
    {"frmRecordTypeSelect", "autosend.html"},
    {"frmMonitorSetting", "monitor.html"},
    {"frmSendFile", "sending.html"},
    {"frmChecksumSetting", "checksums.html"},
    {"frmPlot", "plot.html"},
    {"frmCheckChecksum", "checksums.html"},
    {"frmConsoleSettings", "console.html"},
    {"frmFramingProfiles", "framing.html"},
};

class CHelpKey : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->key() != Qt::Key_F1 ||
            static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier || !watched->isWidgetType())
            return false;
        QWidget *window = static_cast<QWidget *>(watched)->window();
        // An open menu belongs to the window it was opened from.
        if (window->windowType() == Qt::Popup)
            window = QApplication::activeWindow();
        // F1 in the help window itself would only replace the page being read.
        if (!window || qobject_cast<THelpWindow *>(window))
            return false;
        ShowHelpPage(window, HelpPageFor(window));
        return true;
    }
};

} // namespace

std::string ManualFolder(const std::string &executable, const std::string &fallback)
{
    const std::string installed = Parent(Parent(executable)) + "/share/doc/kestrum";
    if (!executable.empty() && HasManual(installed))
        return installed;
    return HasManual(fallback) ? fallback : std::string();
}

std::string CurrentManualFolder()
{
    if (!g_override.empty())
        return HasManual(g_override) ? g_override : std::string();
#ifdef KESTRUM_SOURCE_MANUAL
    return ManualFolder(ExecutablePath(), KESTRUM_SOURCE_MANUAL);
#else
    return ManualFolder(ExecutablePath(), std::string());
#endif
}

void OverrideManualFolder(const std::string &folder)
{
    g_override = folder;
}

QString HelpPageFor(const QWidget *window)
{
    const QString name = window ? window->objectName() : QString();
    for (const ST_HelpPage &entry : kPages)
        if (name == QLatin1String(entry.Window))
            return QString::fromLatin1(entry.Page);
    return QStringLiteral("index.html");
}

void ShowHelpPage(QWidget *owner, const QString &page)
{
    const QString folder = QString::fromStdString(CurrentManualFolder());
    if (folder.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                        QCoreApplication::translate("THelpWindow", "Help file not found!"), QMessageBox::Ok,
                        owner);
        box.setObjectName(QStringLiteral("msgBox"));
        box.exec();
        return;
    }
    QWidget *window = owner ? owner->window() : nullptr;
    if (g_helpWindow && g_helpWindow->Folder() != folder)
        delete g_helpWindow.data();
    if (!g_helpWindow)
        g_helpWindow = new THelpWindow(window, folder);
    // Owned by the window it was asked from: under a modal dialog only its own windows take input.
    if (g_helpWindow->parentWidget() != window)
        g_helpWindow->setParent(window, Qt::Window);
    g_helpWindow->ShowPage(page);
    if (!g_helpWindow->isVisible())
        g_helpWindow->PlaceOver(window);
    g_helpWindow->show();
    g_helpWindow->raise();
    g_helpWindow->activateWindow();
}

void InstallHelpKey()
{
    static QPointer<CHelpKey> installed;
    if (installed || !qApp)
        return;
    installed = new CHelpKey(qApp);
    qApp->installEventFilter(installed);
}
