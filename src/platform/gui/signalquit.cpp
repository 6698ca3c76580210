#include "platform/gui/signalquit.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do almost nothing; it writes one byte that the event loop then reads.
int g_wakeFds[2] = {-1, -1};
bool g_requested = false;

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_wakeFds[0], &byte, 1);
    errno = saved;
}

} // namespace

void QuitOnTerminationSignals()
{
    // The handler's end never blocks: a full pair means a quit is pending already, and a handler
    // stuck in write() would leave only SIGKILL to end the program.
    if (g_wakeFds[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_wakeFds) != 0 ||
        fcntl(g_wakeFds[0], F_SETFL, fcntl(g_wakeFds[0], F_GETFL) | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_wakeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        char byte;
        [[maybe_unused]] const ssize_t n = read(g_wakeFds[1], &byte, 1);
        notifier->setEnabled(false);
        g_requested = true;
        // A dialog's own loop would outlive quit(), which before the main loop runs does nothing
        // at all: a start-up message would hold the program until someone clicked it.
        while (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool TerminationRequested()
{
    return g_requested;
}
