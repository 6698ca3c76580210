#include "app/TInstanceDoor.h"
#include "app/TWindowManager.h"
#include "app/screenshot.h"
#include "demo/demodevices.h"
#include "mainwindow/TfrmMain.h"
#include "platform/appfolder.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/coretext.h"
#include "platform/gui/language.h"
#include "platform/gui/signalquit.h"
#include "platform/gui/startnotices.h"
#include "platform/instance.h"
#include "replay/replayports.h"
#include "script/headless.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: kestrum [OPTION]\n"
    "       kestrum --run FILE (--link NAME | --port PORT [SETTINGS]) [--log FILE [--log-view VIEW]]\n"
    "               [--junit FILE] [--timeout S]\n"
    "A terminal for one serial port at a time: links, a traffic log, send lists and automatic sending.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Tool option, for the pictures of the manual:\n"
    "  --screenshot FILE [WINDOW]  save a picture of the main window (or of WINDOW) as it first\n"
    "                              appears, then exit; WINDOW is one of main, portsetting,\n"
    "                              openport, senddatalist, dataedit, recdatalist, asctable,\n"
    "                              editsymbol, autosendsetting, singlerecord, grouprecord, eventedit,\n"
    "                              about\n"
    "\n"
    "Working files live in $KESTRUM_HOME when set, else beside the program when its folder is\n"
    "writable, else in $XDG_DATA_HOME/kestrum. A second start on the same working folder asks the\n"
    "running kestrum to open a window and exits; when that one does not answer within two seconds,\n"
    "the new one says so and keeps its files and settings in the folder's Instance-PID subfolder,\n"
    "as it does when the start-up door (a socket in $XDG_RUNTIME_DIR/kestrum, else in\n"
    "/tmp/kestrum-UID) holds anything that is not the user's own.\n"
    "SIGTERM and SIGINT end the program as Exit does. The manual opens with F1 or Help > Content.\n";

// Answers --help and --version before any window system is needed; -1 when neither was asked.
int AnswerInfoOption(int argc, char **argv)
{
    if (argc < 2)
        return -1;
    const char *option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::fputs(kUsage, stdout);
        std::fputs("\nScripts, with or without a display:\n", stdout);
        std::fputs(HeadlessUsage(), stdout);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0 || std::strcmp(option, "-V") == 0) {
        std::printf("kestrum %s\n", KESTRUM_VERSION);
        return 0;
    }
    return -1;
}

// A later start on this app folder gets a window of its own here; true when it has one. Before
// the first window is up (a start-up message box runs the event loop) there is nothing to add a
// window to: the start is served once there is.
bool OpenForAnotherStart(TWindowManager *windows)
{
    if (!windows || windows->Windows().empty())
        return false;
    try {
        windows->OpenWindow();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), CoreErrorText(e));
        return false;
    }
    return true;
}

// The running process did not answer, or the door is not this user's: this one works beside
// whatever is there, on files of its own. False when even that is impossible.
bool StartAside(const QApplication &app, const TInstanceDoor &door, TInstanceDoor::Outcome outcome)
{
    const QString shared = QString::fromStdString(AppFolder());
    const bool foreign = outcome == TInstanceDoor::Outcome::Foreign;
    // Kept in the private folder's note for whoever finds it; in English, as the folder's files are.
    const QString why = foreign ? QStringLiteral("the start-up door is not usable: %1").arg(door.Why())
                                : QStringLiteral("the Kestrum working on %1 does not answer").arg(shared);
    QString own;
    try {
        own = TInstanceDoor::MoveToPrivateFolder(why);
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, app.applicationName(), CoreErrorText(e));
        return false;
    }
    const QString head =
        foreign ? QCoreApplication::translate("main",
                                              "Kestrum cannot tell whether another Kestrum is working on the "
                                              "folder %1: %2, which it leaves as it is.")
                      .arg(shared, door.Why())
                : QCoreApplication::translate(
                      "main", "Another Kestrum is working on the folder %1 but does not answer.")
                      .arg(shared);
    const QString text =
        head + QStringLiteral("\n\n") +
        QCoreApplication::translate("main", "This one keeps its working files and settings in "
                                            "%1, so neither overwrites the other's.")
            .arg(own);
    std::fprintf(stderr, "kestrum: %s\n", qPrintable(text));
    QMessageBox::warning(nullptr, app.applicationName(), text);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // A write to a network port whose server has just gone fails with EPIPE, which the port
    // tells as a lost port; the signal would end the program before anyone heard of it, with the
    // monitor's virtual port left behind. Before any thread starts, so every thread has it.
    std::signal(SIGPIPE, SIG_IGN);
    // Before anything can open a port: "demo://board" opens like any other in every window, the
    // monitor and a headless run; so does a recording as "replay://FILE".
    demo::InstallDemoPorts();
    InstallReplayPorts();
    if (const int answered = AnswerInfoOption(argc, argv); answered >= 0)
        return answered;
    // No window, no display: a script against a port, for a bench or a CI machine.
    if (WantsHeadless(argc, argv)) {
        ST_HeadlessOptions options;
        std::string error;
        if (!ParseHeadlessArgs(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
            std::fprintf(stderr, "kestrum: %s\n%s", error.c_str(), HeadlessUsage());
            return kUsageExitCode;
        }
        return RunHeadless(options, stdout);
    }
    Q_INIT_RESOURCE(kestrum);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrum"));
    // Ties the windows to the installed menu entry and its icon (Wayland matches by this name).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantrell.Kestrum"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vantrell.Kestrum")));
    // A desktop session that ends takes the program with it: nobody answers a box any more.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [](QSessionManager &) { MarkSessionEnding(); });
    // What goes wrong with the files read at start is told once the window is up, not in boxes
    // that hold the start.
    BeginStartNotices();
    // Before the first message box, so everything the user reads is in the language in force.
    Language::Install(app, OpenAppSettings());
    QuitOnTerminationSignals();
    const bool screenshot = (argc == 3 || argc == 4) && std::strcmp(argv[1], "--screenshot") == 0;
    std::unique_ptr<TWindowManager> windows;
    // The windows are closed before the door closes: a later start finds this process until its
    // files are written.
    TInstanceDoor door(QString::fromStdString(InstanceSocketPath(AppFolder())),
                       [&windows] { return OpenForAnotherStart(windows.get()); });
    if (!screenshot) {
        const TInstanceDoor::Outcome outcome = door.Open();
        if (outcome == TInstanceDoor::Outcome::HandedOver)
            return 0;
        if ((outcome == TInstanceDoor::Outcome::NoAnswer || outcome == TInstanceDoor::Outcome::Foreign) &&
            !StartAside(app, door, outcome))
            return 1;
        if (TerminationRequested())
            return 0;
    }
    windows = std::make_unique<TWindowManager>();
    TfrmMain *first = nullptr;
    try {
        first = windows->Start();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, app.applicationName(), CoreErrorText(e));
        return 1;
    }
    if (screenshot)
        return SaveScreenshot(*first, QString::fromLocal8Bit(argv[2]),
                              argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    windows->ShowAll();
    ShowStartNotices(first);
    door.ServeWaiting();
    const int code = TerminationRequested() ? 0 : app.exec();
    windows.reset();
    return code;
}
