#include "app/TInstanceDoor.h"

#include "platform/appfolder.h"
#include "platform/diaglog.h"
#include "platform/gui/appsettings.h"
#include "platform/instance.h"

#include <QEventLoop>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A start that finds nobody listening takes the socket over. Two starts at the same moment
// would both do so, the second unlinking the first's fresh socket; the lock lets one decide at
// a time, so the other finds the winner listening. The kernel drops it with the process.
class DecisionLock
{
public:
    explicit DecisionLock(const QString &path)
        : m_fd(open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (m_fd >= 0)
            flock(m_fd, LOCK_EX);
    }
    ~DecisionLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    DecisionLock(const DecisionLock &) = delete;
    DecisionLock &operator=(const DecisionLock &) = delete;

private:
    int m_fd;
};

// A peer that closes without answering is usually a process on its way out: once its socket is
// gone this start takes over. A peer that keeps doing so is given up on.
constexpr int kAttempts = 3;

} // namespace

TInstanceDoor::TInstanceDoor(const QString &socketPath, std::function<void()> openWindow)
    : m_path(socketPath), m_openWindow(std::move(openWindow))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server.nextPendingConnection())
            Serve(peer);
    });
}

TInstanceDoor::~TInstanceDoor() = default;

TInstanceDoor::Outcome TInstanceDoor::Open()
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QLocalSocket socket;
        {
            const DecisionLock lock(m_path + QStringLiteral(".lock"));
            socket.connectToServer(m_path);
            if (!socket.waitForConnected(kAnswerMs)) {
                // A full backlog: someone holds the socket but takes no calls.
                if (socket.error() == QLocalSocket::SocketTimeoutError)
                    return Outcome::NoAnswer;
                // Refused or missing: the socket is stale or was never made.
                QLocalServer::removeServer(m_path);
                if (m_server.listen(m_path))
                    return Outcome::Listening;
                std::fprintf(stderr, "kestrum: cannot listen on %s: %s\n", qPrintable(m_path),
                             qPrintable(m_server.errorString()));
                return Outcome::NoDoor;
            }
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

void TInstanceDoor::Serve(QLocalSocket *peer)
{
    peer->setParent(this);
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
    const QPointer<QLocalSocket> guard(peer);
    if (request == InstanceRequest::NewWindow) {
        m_openWindow();
        AppendLogLine(DiagLogPath(), "TInstanceDoor - a second start handed over to this process");
    }
    if (!guard)
        return;
    const std::string_view reply = InstanceReply(request);
    peer->write(reply.data(), static_cast<qint64>(reply.size()));
    // Sends what is buffered before closing.
    peer->disconnectFromServer();
}

QString TInstanceDoor::MoveToPrivateFolder()
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
    AppendLogFormatted(DiagLogPath(),
                       "TInstanceDoor - the process on %s does not answer; working files in %s",
                       shared.c_str(), folder.c_str());
    return QString::fromStdString(folder);
}
