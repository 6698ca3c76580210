#include "app/TInstanceDoor.h"
#include "platform/appfolder.h"
#include "platform/gui/appsettings.h"
#include "platform/instance.h"
#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "guitestenv.h"
#include "guiwait.h"

namespace {

constexpr int kHangMs = 60000; // only ends a hang

using Outcome = TInstanceDoor::Outcome;

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
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
    TInstanceDoor first(path, [&] { ++opened; });
    ASSERT_EQ(first.Open(), Outcome::Listening);
    TInstanceDoor second(path, [] { ADD_FAILURE() << "the later start serves nobody"; });
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
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    std::copy(name.begin(), name.end(), address.sun_path);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    TInstanceDoor door(path, [] {});
    ASSERT_EQ(door.Open(), Outcome::Listening);
    TInstanceDoor later(path, [] {});
    EXPECT_EQ(later.Open(), Outcome::HandedOver);
}

TEST_F(InstanceTest, SilentProcessLeavesTheStartFilesOfItsOwn)
{
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(path));
    std::vector<QLocalSocket *> callers;
    QObject::connect(&silent, &QLocalServer::newConnection,
                     [&] { callers.push_back(silent.nextPendingConnection()); });
    TInstanceDoor door(path, [] {});
    EXPECT_EQ(door.Open(), Outcome::NoAnswer);
    EXPECT_EQ(callers.size(), 1u);

    WriteFileAtomic(env.File("Default.sds"), "\"Ping\",0,\"ping\"\r\n");
    QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum")).setValue(QStringLiteral("ShowTime"), 1);
    const std::string own = TInstanceDoor::MoveToPrivateFolder().toStdString();
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

} // namespace
