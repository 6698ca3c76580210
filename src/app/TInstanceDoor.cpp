#include "app/TInstanceDoor.h"

#include "platform/appfolder.h"
#include "platform/diaglog.h"
#include "platform/gui/appsettings.h"
#include "platform/instance.h"

#include <QEventLoop>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// A peer that closes without answering is usually a process on its way out: once its socket is
// gone this start takes over. A peer that keeps doing so is given up on.
constexpr int kAttempts = 3;

// Sends what is buffered before closing.
void Reply(QLocalSocket *peer, std::string_view reply)
{
    peer->write(reply.data(), static_cast<qint64>(reply.size()));
    peer->disconnectFromServer();
}

} // namespace

TInstanceDoor::TInstanceDoor(const QString &socketPath, std::function<bool()> openWindow)
    : m_door(socketPath.toStdString()), m_openWindow(std::move(openWindow))
{
}

TInstanceDoor::~TInstanceDoor() = default;

TInstanceDoor::Outcome TInstanceDoor::Open()
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const DoorKnock knock = m_door.KnockOrListen();
        switch (knock.result) {
        case DoorResult::Listening:
            m_calls = std::make_unique<QSocketNotifier>(m_door.ListenFd(), QSocketNotifier::Read);
            connect(m_calls.get(), &QSocketNotifier::activated, this, &TInstanceDoor::TakeCalls);
            return Outcome::Listening;
        case DoorResult::Busy:
            return Outcome::NoAnswer;
        case DoorResult::Foreign:
            m_why = QString::fromStdString(knock.why);
            return Outcome::Foreign;
        case DoorResult::Failed:
            std::fprintf(stderr, "kestrum: %s\n", knock.why.c_str());
            return Outcome::NoDoor;
        case DoorResult::Called:
            break;
        }
        QLocalSocket socket;
        if (!socket.setSocketDescriptor(knock.fd)) {
            close(knock.fd);
            return Outcome::NoAnswer;
        }
        switch (AskForWindow(socket)) {
        case Knock::Answered:
            return Outcome::HandedOver;
        case Knock::Closed:
            continue;
        case Knock::Refused:
        case Knock::Silent:
            return Outcome::NoAnswer;
        }
    }
    return Outcome::NoAnswer;
}

TInstanceDoor::Knock TInstanceDoor::AskForWindow(QLocalSocket &socket)
{
    socket.setReadBufferSize(kInstanceLineMax + 1);
    socket.write(kNewWindowRequest.data(), static_cast<qint64>(kNewWindowRequest.size()));
    // The running process may be this very one's GUI thread in a test, so the answer is awaited
    // with the event loop running rather than with a blocking wait.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine() || socket.bytesAvailable() > static_cast<qint64>(kInstanceLineMax))
            loop.quit();
    });
    connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    deadline.start(kAnswerMs);
    if (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState)
        loop.exec();
    if (socket.canReadLine()) {
        const QByteArray line = socket.readLine(static_cast<qint64>(kInstanceLineMax));
        return line == QByteArray(kInstanceOk.data(), static_cast<qsizetype>(kInstanceOk.size()))
                   ? Knock::Answered
                   : Knock::Refused;
    }
    if (socket.bytesAvailable() > 0)
        return Knock::Refused;
    return socket.state() == QLocalSocket::ConnectedState ? Knock::Silent : Knock::Closed;
}

void TInstanceDoor::TakeCalls()
{
    for (int fd; (fd = m_door.Accept()) >= 0;) {
        auto *peer = new QLocalSocket(this);
        if (!peer->setSocketDescriptor(fd)) {
            close(fd);
            delete peer;
            continue;
        }
        Serve(peer);
    }
}

void TInstanceDoor::Serve(QLocalSocket *peer)
{
    peer->setReadBufferSize(kInstanceLineMax + 1);
    auto *idle = new QTimer(peer);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, peer, &QLocalSocket::abort);
    idle->start(kIdlePeerMs);
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] { Answer(peer); });
    if (peer->bytesAvailable() > 0)
        Answer(peer);
}

void TInstanceDoor::Answer(QLocalSocket *peer)
{
    if (!peer->canReadLine()) {
        if (peer->bytesAvailable() > static_cast<qint64>(kInstanceLineMax))
            peer->abort();
        return;
    }
    // One request per connection: whatever follows the first line is not read.
    disconnect(peer, &QLocalSocket::readyRead, this, nullptr);
    QByteArray line = peer->readLine(static_cast<qint64>(kInstanceLineMax) + 1);
    if (!line.endsWith('\n')) {
        peer->abort();
        return;
    }
    line.chop(1);
    const InstanceRequest request = ParseInstanceRequest(std::string_view(line.constData(), line.size()));
    if (request == InstanceRequest::NewWindow)
        Grant(peer);
    else
        Reply(peer, InstanceReply(request));
}

// The start ends on "ok", so it is sent only once there is a window for it to end into.
void TInstanceDoor::Grant(QLocalSocket *peer)
{
    const QPointer<QLocalSocket> guard(peer);
    if (!m_openWindow()) {
        if (guard)
            m_waiting.push_back(guard);
        return;
    }
    AppendLogLine(DiagLogPath(), "TInstanceDoor - a second start handed over to this process");
    if (guard)
        Reply(peer, kInstanceOk);
}

void TInstanceDoor::ServeWaiting()
{
    std::vector<QPointer<QLocalSocket>> waiting;
    waiting.swap(m_waiting);
    for (const QPointer<QLocalSocket> &peer : waiting)
        if (peer && peer->state() == QLocalSocket::ConnectedState)
            Grant(peer);
}

QString TInstanceDoor::MoveToPrivateFolder(const QString &why)
{
    const std::string shared = AppFolder();
    const std::string folder = MakePrivateAppFolder(shared, static_cast<long>(getpid()));
    const QString settingsFile = QString::fromStdString(folder + "/Kestrum.ini");
    {
        const QSettings user = OpenAppSettings();
        QSettings own(settingsFile, QSettings::IniFormat);
        own.clear();
        for (const QString &key : user.allKeys())
            own.setValue(key, user.value(key));
    }
    UsePrivateSettingsFile(settingsFile);
    setenv("KESTRUM_HOME", folder.c_str(), 1);
    AppendLogFormatted(DiagLogPath(), "TInstanceDoor - %s; working files of this process in %s",
                       why.toLocal8Bit().constData(), folder.c_str());
    return QString::fromStdString(folder);
}
