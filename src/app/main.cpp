#include "app/MainWindow.h"
#include "app/Screenshot.h"
#include "app/WindowManager.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

namespace {

const char kUsage[] =
    "Usage: kestrum [OPTION]\n"
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
    "writable, else in $XDG_DATA_HOME/kestrum. The manual opens with F1 or Help > Content.\n";

// Answers --help and --version before any window system is needed; -1 when neither was asked.
int AnswerInfoOption(int argc, char **argv)
{
    if (argc < 2)
        return -1;
    const char *option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0 || std::strcmp(option, "-V") == 0) {
        std::printf("kestrum %s\n", KESTRUM_VERSION);
        return 0;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (const int answered = AnswerInfoOption(argc, argv); answered >= 0)
        return answered;
    Q_INIT_RESOURCE(kestrum);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrum"));
    // Ties the windows to the installed menu entry and its icon (Wayland matches by this name).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantrell.Kestrum"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vantrell.Kestrum")));
    auto windows = std::make_unique<TWindowManager>();
    TfrmMain *first = nullptr;
    try {
        first = windows->Start();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, app.applicationName(), QString::fromLocal8Bit(e.what()));
        return 1;
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--screenshot") == 0)
        return SaveScreenshot(*first, QString::fromLocal8Bit(argv[2]),
                              argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    windows->ShowAll();
    const int code = app.exec();
    windows.reset();
    return code;
}
