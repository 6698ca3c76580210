#include "app/TInstanceDoor.h"
#include "platform/appfolder.h"
#include "platform/gui/appsettings.h"
#include "platform/instance.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "guitestenv.h"
#include "guiwait.h"

namespace {

constexpr int kHangMs = 60000; // only ends a hang

using Outcome = TInstanceDoor::Outcome;

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// The tests run as root; the other user is nobody.
const passwd kNobody = *getpwnam("nobody");

bool BecomeNobody()
{
    return setgroups(0, nullptr) == 0 && setresgid(kNobody.pw_gid, kNobody.pw_gid, kNobody.pw_gid) == 0 &&
           setresuid(kNobody.pw_uid, kNobody.pw_uid, kNobody.pw_uid) == 0;
}

// A process of the test's own: `work` runs in it, writes to `ready` once it is in place, and its
// result is the process's exit code. One still running at the end is killed.
class Child
{
public:
    explicit Child(const std::function<int(int ready)> &work)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            _exit(work(fds[1]));
        }
        close(fds[1]);
        m_ready = fds[0];
    }
    ~Child()
    {
        if (m_pid > 0 && m_status < 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_ready >= 0)
            close(m_ready);
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // False when the child ended before it was ready.
    bool Ready()
    {
        char c;
        return m_ready >= 0 && read(m_ready, &c, 1) == 1;
    }
    bool Ended()
    {
        int status;
        if (m_status < 0 && waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
        return m_status >= 0;
    }
    int Result() const { return m_status; }

private:
    pid_t m_pid = -1;
    int m_ready = -1;
    int m_status = -1;
};

// A local socket and the address of `path` for it.
int UnixSocket(const std::string &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

// A door at `path` that says yes to everyone, kept by nobody; the socket file stays root's unless
// `give` hands it over too.
int ServeOkAsNobody(const std::string &path, bool give, int ready)
{
    sockaddr_un address;
    const int fd = UnixSocket(path, address);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return 1;
    if ((give && chown(path.c_str(), kNobody.pw_uid, kNobody.pw_gid) != 0) || !BecomeNobody() ||
        listen(fd, 8) != 0)
        return 2;
    if (write(ready, "r", 1) != 1)
        return 3;
    for (;;) {
        const int peer = accept(fd, nullptr, nullptr);
        char request[kInstanceLineMax];
        if (read(peer, request, sizeof request) > 0 &&
            write(peer, kInstanceOk.data(), kInstanceOk.size()) != static_cast<ssize_t>(kInstanceOk.size()))
            return 4;
        close(peer);
    }
}

class InstanceTest : public testing::Test
{
protected:
    GuiTestEnv env;
    const QString path = env.FilePath(QStringLiteral("door"));
};

TEST_F(InstanceTest, LaterStartIsHandedToTheRunningOneWhichAnswersNothingElse)
{
    int opened = 0;
    TInstanceDoor first(path, [&] { return ++opened > 0; });
    ASSERT_EQ(first.Open(), Outcome::Listening);
    TInstanceDoor second(path, [] {
        ADD_FAILURE() << "the later start serves nobody";
        return false;
    });
    EXPECT_EQ(second.Open(), Outcome::HandedOver);
    EXPECT_EQ(opened, 1);

    QLocalSocket newer;
    newer.connectToServer(path);
    ASSERT_TRUE(newer.waitForConnected(kHangMs));
    newer.write("kestrum 2 new-window\n");
    ASSERT_TRUE(WaitUntil([&] { return newer.canReadLine(); }, kHangMs));
    EXPECT_EQ(newer.readLine(), Bytes(kInstanceOtherVersion));

    QLocalSocket flood;
    flood.connectToServer(path);
    ASSERT_TRUE(flood.waitForConnected(kHangMs));
    flood.write(QByteArray(4096, 'k'));
    EXPECT_TRUE(WaitUntil([&] { return flood.state() == QLocalSocket::UnconnectedState; }, kHangMs));
    EXPECT_EQ(flood.bytesAvailable(), 0);
    EXPECT_EQ(opened, 1);
}

TEST_F(InstanceTest, SocketLeftByACrashedProcessIsTakenOver)
{
    sockaddr_un address;
    const int fd = UnixSocket(path.toStdString(), address);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    TInstanceDoor door(path, [] { return true; });
    ASSERT_EQ(door.Open(), Outcome::Listening);
    TInstanceDoor later(path, [] { return true; });
    EXPECT_EQ(later.Open(), Outcome::HandedOver);
}

TEST_F(InstanceTest, SilentProcessLeavesTheStartFilesOfItsOwn)
{
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(path));
    std::vector<QLocalSocket *> callers;
    QObject::connect(&silent, &QLocalServer::newConnection,
                     [&] { callers.push_back(silent.nextPendingConnection()); });
    TInstanceDoor door(path, [] { return true; });
    EXPECT_EQ(door.Open(), Outcome::NoAnswer);
    EXPECT_EQ(callers.size(), 1u);

    WriteFileAtomic(env.File("Default.sds"), "\"Ping\",0,\"ping\"\r\n");
    QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum")).setValue(QStringLiteral("ShowTime"), 1);
    const std::string own =
        TInstanceDoor::MoveToPrivateFolder(QStringLiteral("the process does not answer")).toStdString();
    EXPECT_EQ(AppFolder(), own);
    EXPECT_EQ(own.substr(own.rfind('/')), "/Instance-" + std::to_string(getpid()));
    std::string copied;
    EXPECT_TRUE(ReadWholeFile(AppFilePath("Default.sds"), copied));
    EXPECT_EQ(copied, "\"Ping\",0,\"ping\"\r\n");
    const QSettings settings = OpenAppSettings();
    EXPECT_TRUE(settings.fileName().startsWith(QString::fromStdString(own)));
    EXPECT_EQ(settings.value(QStringLiteral("ShowTime")).toInt(), 1);
    UsePrivateSettingsFile({});
}

TEST_F(InstanceTest, StartIsAnsweredOnlyOnceAWindowIsThere)
{
    bool window = false;
    int asked = 0;
    TInstanceDoor first(path, [&] {
        ++asked;
        return window;
    });
    ASSERT_EQ(first.Open(), Outcome::Listening);
    QLocalSocket later;
    later.connectToServer(path);
    ASSERT_TRUE(later.waitForConnected(kHangMs));
    later.write(Bytes(kNewWindowRequest));
    ASSERT_TRUE(WaitUntil([&] { return asked == 1; }, kHangMs));
    window = true;
    first.ServeWaiting();
    ASSERT_TRUE(WaitUntil([&] { return later.canReadLine(); }, kHangMs));
    EXPECT_EQ(later.readLine(), Bytes(kInstanceOk));
    EXPECT_EQ(asked, 2);
}

TEST_F(InstanceTest, SocketIsRemovedOnlyByTheProcessThatMadeIt)
{
    auto leaving = std::make_unique<TInstanceDoor>(path, [] { return true; });
    ASSERT_EQ(leaving->Open(), Outcome::Listening);
    // A start that found the leaving process's socket gone has made its own at the same path.
    ASSERT_TRUE(QFile::remove(path));
    TInstanceDoor staying(path, [] { return true; });
    ASSERT_EQ(staying.Open(), Outcome::Listening);
    leaving.reset();
    TInstanceDoor later(path, [] { return true; });
    EXPECT_EQ(later.Open(), Outcome::HandedOver);
}

TEST_F(InstanceTest, LockHeldByAnotherStartIsWaitedForOnlySoLong)
{
    const int held =
        open((path + QStringLiteral(".lock")).toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    TInstanceDoor door(path, [] { return true; });
    EXPECT_EQ(door.Open(), Outcome::NoAnswer);
    close(held);
}

TEST_F(InstanceTest, WhatIsAtTheDoorButNotThisUsersSocketIsNeitherUsedNorRemoved)
{
    const std::string own = path.toStdString();
    const std::string lock = own + ".lock";
    const std::string folder = env.File("run");
    struct Case
    {
        const char *what;
        std::string door;
        std::string left; // what must still be there afterwards
        std::function<std::unique_ptr<Child>()> make;
    };
    const std::vector<Case> cases = {
        {"socket of nobody", own, own,
         [&] {
             return std::make_unique<Child>([&](int ready) { return ServeOkAsNobody(own, true, ready); });
         }},
        {"listener of nobody", own, own,
         [&] {
             return std::make_unique<Child>([&](int ready) { return ServeOkAsNobody(own, false, ready); });
         }},
        {"regular file", own, own,
         [&] {
             WriteFileAtomic(own, "door");
             return nullptr;
         }},
        {"folder of nobody", folder + "/door", folder,
         [&] {
             if (mkdir(folder.c_str(), 0700) != 0 ||
                 chown(folder.c_str(), kNobody.pw_uid, kNobody.pw_gid) != 0)
                 ADD_FAILURE() << "no folder of nobody";
             return nullptr;
         }},
        {"folder that is a link", folder + "/door", folder,
         [&] {
             if (symlink(env.Dir().toLocal8Bit().constData(), folder.c_str()) != 0)
                 ADD_FAILURE() << "no link";
             return nullptr;
         }},
        {"lock of nobody, held", own, lock,
         [&] {
             return std::make_unique<Child>([&](int ready) {
                 const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
                 if (fd < 0 || fchown(fd, kNobody.pw_uid, kNobody.pw_gid) != 0 || !BecomeNobody() ||
                     flock(fd, LOCK_EX) != 0 || write(ready, "r", 1) != 1)
                     return 1;
                 for (;;)
                     pause();
             });
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        {
            const std::unique_ptr<Child> child = c.make();
            ASSERT_TRUE(!child || child->Ready());
            TInstanceDoor door(QString::fromStdString(c.door), [] {
                ADD_FAILURE() << "nobody may ask this process for a window";
                return false;
            });
            EXPECT_EQ(door.Open(), Outcome::Foreign);
            EXPECT_TRUE(door.Why().contains(QString::fromStdString(c.left))) << door.Why().toStdString();
            struct stat st;
            EXPECT_EQ(lstat(c.left.c_str(), &st), 0);
        }
        for (const std::string &made : {own, lock, folder})
            std::remove(made.c_str());
    }
}

TEST_F(InstanceTest, CallerOfAnotherUserIsHungUpOn)
{
    int opened = 0;
    TInstanceDoor door(path, [&] { return ++opened > 0; });
    ASSERT_EQ(door.Open(), Outcome::Listening);
    // Nobody may reach the socket: only the door's own look at its caller is left to stop it.
    ASSERT_EQ(chmod(env.Dir().toLocal8Bit().constData(), 0711), 0);
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0666), 0);
    Child caller([&](int) {
        sockaddr_un address;
        const int fd = UnixSocket(path.toStdString(), address);
        if (!BecomeNobody() ||
            connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            write(fd, kNewWindowRequest.data(), kNewWindowRequest.size()) < 0)
            return 2;
        char answer[kInstanceLineMax];
        return read(fd, answer, sizeof answer) <= 0 ? 0 : 1; // hung up on, with or without a reset
    });
    ASSERT_TRUE(WaitUntil([&] { return caller.Ended(); }, kHangMs));
    EXPECT_EQ(caller.Result(), 0);
    EXPECT_EQ(opened, 0);
}

// The running program's event loop is what answers: any line gets its answer only from there.
bool Serves(const QString &socket)
{
    QLocalSocket probe;
    probe.connectToServer(socket);
    if (!probe.waitForConnected(kHangMs))
        return false;
    probe.write("hello\n");
    return probe.waitForReadyRead(kHangMs) && probe.canReadLine();
}

TEST_F(InstanceTest, SecondProgramHandsOverAndTheFirstEndsCleanlyOnSigterm)
{
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert(QStringLiteral("KESTRUM_HOME"), env.Dir());
    vars.insert(QStringLiteral("XDG_CONFIG_HOME"), env.FilePath(QStringLiteral("config")));
    vars.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first, second;
    for (QProcess *process : {&first, &second}) {
        process->setProcessEnvironment(vars);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    }
    first.start(QStringLiteral(KESTRUM_EXE), {});
    const QString socket = QString::fromStdString(InstanceSocketPath(env.Dir().toStdString()));
    ASSERT_TRUE(WaitUntil([&] { return Serves(socket); }, kHangMs));

    second.start(QStringLiteral(KESTRUM_EXE), {});
    ASSERT_TRUE(second.waitForFinished(kHangMs));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    std::string log;
    ReadWholeFile(env.File("kestrum.log"), log);
    EXPECT_NE(log.find("a second start handed over"), std::string::npos) << log;

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(kHangMs));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(env.FilePath(QStringLiteral("config/Vantrell/Kestrum.conf"))));
    EXPECT_TRUE(FileExists(env.File("TempRec.tmp")));
    EXPECT_FALSE(QFileInfo::exists(socket));
    QFile::remove(socket + QStringLiteral(".lock"));
}

// A save that fails on the way out after a SIGTERM is told at the next start, not in a box
// that would hold the ending program until someone came.
TEST_F(InstanceTest, AFailingSaveAtTheEndOfASigtermEndsAndIsToldNextTime)
{
    ASSERT_TRUE(QDir().mkpath(env.FilePath(QStringLiteral("TempRec.tmp"))));
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert(QStringLiteral("KESTRUM_HOME"), env.Dir());
    vars.insert(QStringLiteral("XDG_CONFIG_HOME"), env.FilePath(QStringLiteral("config")));
    vars.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess start;
    start.setProcessEnvironment(vars);
    start.setProcessChannelMode(QProcess::ForwardedChannels);
    start.start(QStringLiteral(KESTRUM_EXE), {});
    const QString socket = QString::fromStdString(InstanceSocketPath(env.Dir().toStdString()));
    ASSERT_TRUE(WaitUntil([&] { return Serves(socket); }, kHangMs));
    start.terminate();
    ASSERT_TRUE(start.waitForFinished(kHangMs)) << "held by a box at the end";
    EXPECT_EQ(start.exitCode(), 0);
    std::string notes;
    ASSERT_TRUE(ReadWholeFile(env.File("kestrum.notes"), notes));
    EXPECT_NE(notes.find(env.File("TempRec.tmp")), std::string::npos) << notes;
    QFile::remove(socket + QStringLiteral(".lock"));
}

// The start-up's own message box (the door is another user's) does not outlast a SIGTERM.
TEST_F(InstanceTest, AStartHeldByItsWarningEndsOnSigterm)
{
    const QString runtime = env.FilePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime + QStringLiteral("/kestrum")));
    ASSERT_EQ(chown(QFile::encodeName(runtime + QStringLiteral("/kestrum")).constData(), kNobody.pw_uid,
                    kNobody.pw_gid),
              0);
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert(QStringLiteral("KESTRUM_HOME"), env.Dir());
    vars.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    vars.insert(QStringLiteral("XDG_CONFIG_HOME"), env.FilePath(QStringLiteral("config")));
    vars.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess start;
    start.setProcessEnvironment(vars);
    start.setReadChannel(QProcess::StandardError);
    start.start(QStringLiteral(KESTRUM_EXE), {});
    QByteArray said;
    while (!said.contains("cannot tell") && start.waitForReadyRead(kHangMs))
        said += start.readAllStandardError();
    ASSERT_TRUE(said.contains("cannot tell")) << said.toStdString();

    start.terminate();
    ASSERT_TRUE(start.waitForFinished(kHangMs)) << "still held by its message box";
    EXPECT_EQ(start.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(start.exitCode(), 0);
}

} // namespace
