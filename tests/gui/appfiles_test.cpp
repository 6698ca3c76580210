#include "app/TWindowManager.h"
#include "autosend/rulelist.h"
#include "link/linklist.h"
#include "mainwindow/TfrmMain.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/startnotices.h"
#include "platform/textfile.h"

#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "guitestenv.h"
#include "tempdir.h"

namespace {

// What was put where a file of the app folder belongs.
enum class Kind { Fifo, LinkToFifo, Folder, Socket, Large, NulInLine2, Unreadable, Garbage };

const char *Name(Kind kind)
{
    static const char *const names[] = {"FIFO",   "link to a FIFO", "folder",     "socket",
                                        "100 MB", "0x00 in line 2", "unreadable", "garbage"};
    return names[static_cast<int>(kind)];
}

const std::string kLine = "\"a\",Hex,\"01 \"\r\n";

struct Placed
{
    std::string path;
    Kind kind;
    struct stat before = {};
    std::string bytes;
};

Placed Place(const std::string &path, Kind kind, const TempDir &scratch)
{
    Placed placed;
    placed.path = path;
    placed.kind = kind;
    switch (kind) {
    case Kind::Fifo:
        mkfifo(path.c_str(), 0644);
        break;
    case Kind::LinkToFifo: // in place of a device: no real device node is ever a test's target
        mkfifo(scratch.File("fifo").c_str(), 0644);
        symlink(scratch.File("fifo").c_str(), path.c_str());
        break;
    case Kind::Folder:
        mkdir(path.c_str(), 0755);
        break;
    case Kind::Socket: {
        const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address);
        close(sock);
        break;
    }
    case Kind::Large:
        WriteRaw(path, "");
        truncate(path.c_str(), 100 * 1000 * 1000);
        break;
    case Kind::NulInLine2:
        placed.bytes = kLine + std::string("\"b\",Hex,\"0\0 \"\r\n", 15) + kLine;
        WriteRaw(path, placed.bytes);
        break;
    case Kind::Garbage: // to the settings: a section never closed
        placed.bytes = "[General\nx=1\n";
        WriteRaw(path, placed.bytes);
        break;
    case Kind::Unreadable:
        placed.bytes = kLine;
        WriteRaw(path, placed.bytes);
        chmod(path.c_str(), 0);
        break;
    }
    lstat(path.c_str(), &placed.before);
    return placed;
}

bool SameBytes(const std::string &path, const Placed &placed)
{
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != placed.before.st_size)
        return false;
    if (placed.kind == Kind::Large)
        return true;
    chmod(path.c_str(), 0600);
    const bool same = ReadRaw(path) == placed.bytes;
    chmod(path.c_str(), placed.before.st_mode & 0777);
    return same;
}

// Still there as it was, or, for a file that could not be read whole, kept beside it whole.
bool Unchanged(const Placed &placed)
{
    struct stat now = {};
    if (!S_ISREG(placed.before.st_mode))
        return lstat(placed.path.c_str(), &now) == 0 && now.st_mode == placed.before.st_mode &&
               now.st_ino == placed.before.st_ino;
    if (SameBytes(placed.path, placed))
        return true;
    const size_t slash = placed.path.rfind('/');
    const std::string folder = placed.path.substr(0, slash);
    const std::string prefix = placed.path.substr(slash + 1) + ".unreadable-";
    bool kept = false;
    DIR *dir = opendir(folder.c_str());
    while (dirent *entry = readdir(dir))
        kept = kept || (std::string(entry->d_name).rfind(prefix, 0) == 0 &&
                        SameBytes(folder + "/" + entry->d_name, placed));
    closedir(dir);
    return kept;
}

// Root may read anything: the unreadable cases run as nobody, in folders nobody may write.
class AsUser
{
public:
    explicit AsUser(bool nobody) : m_switched(nobody && geteuid() == 0)
    {
        if (m_switched && (setegid(65534) != 0 || seteuid(65534) != 0))
            ADD_FAILURE() << "cannot become nobody";
    }
    ~AsUser()
    {
        if (m_switched && (seteuid(0) != 0 || setegid(0) != 0))
            std::abort();
    }

private:
    bool m_switched;
};

void OpenToAll(const GuiTestEnv &env)
{
    for (const QString &folder : {env.Dir(), env.FilePath(QStringLiteral("config"))})
        chmod(QFile::encodeName(folder).constData(), 0777);
}

// Starts the windows as the program does and ends them as a signal would; returns what the
// start told.
QString StartAndEnd()
{
    BeginStartNotices();
    QString told;
    {
        TWindowManager windows;
        TfrmMain *first = windows.Start();
        ShowStartNotices(first);
        if (auto *box = first->findChild<QMessageBox *>(QStringLiteral("boxStartNotices")))
            told = box->text();
        MarkSessionEnding();
    }
    MarkSessionEnding(false);
    return told;
}

} // namespace

// Each file read at the start, as each thing it must not be taken for: the window comes up, the
// user is told, and the file is there as it was after the end.
TEST(AppFiles, AFileThatCannotBeReadNeitherHoldsTheStartNorIsLost)
{
    for (const char *name : {"TempRec.tmp", "Default.sds", "History.sds", "Default.sym"}) {
        for (Kind kind : {Kind::Fifo, Kind::LinkToFifo, Kind::Folder, Kind::Socket, Kind::Large,
                          Kind::NulInLine2, Kind::Unreadable}) {
            SCOPED_TRACE(std::string(name) + " as " + Name(kind));
            GuiTestEnv env;
            TempDir scratch;
            OpenToAll(env);
            const Placed placed = Place(env.File(name), kind, scratch);
            QString told;
            {
                AsUser user(kind == Kind::Unreadable);
                told = StartAndEnd();
            }
            EXPECT_TRUE(Unchanged(placed));
            if (kind != Kind::Folder && kind != Kind::NulInLine2) {
                EXPECT_TRUE(told.contains(QString::fromLatin1(name))) << told.toStdString();
            }
        }
    }
}

// The lists read when a dialog opens fail as quickly, with an error naming the file.
TEST(AppFiles, ListsReadByDialogsRefuseWhatIsNoFile)
{
    GuiTestEnv env;
    TempDir scratch;
    for (Kind kind : {Kind::Fifo, Kind::LinkToFifo, Kind::Large}) {
        SCOPED_TRACE(Name(kind));
        const Placed links = Place(env.File("Default.cps"), kind, scratch);
        EXPECT_THROW(LoadLinkList(DefaultLinkFilePath()), EFOpenError);
        const Placed rules = Place(env.File("Default.ass"), kind, scratch);
        EXPECT_THROW(CRuleList().LoadFromFile(env.File("Default.ass")), EFOpenError);
        EXPECT_TRUE(Unchanged(links));
        EXPECT_TRUE(Unchanged(rules));
        std::remove(env.File("Default.cps").c_str());
        std::remove(env.File("Default.ass").c_str());
        std::remove(scratch.File("fifo").c_str());
    }
}

TEST(AppFiles, TheSettingsStoreIsUsedOnlyWhenItIsAFileOfTheUsers)
{
    for (Kind kind : {Kind::Fifo, Kind::LinkToFifo, Kind::Socket, Kind::Unreadable, Kind::Garbage}) {
        SCOPED_TRACE(Name(kind));
        GuiTestEnv env;
        TempDir scratch;
        OpenToAll(env);
        const QString store = UserSettingsPath();
        ASSERT_EQ(store, QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum")).fileName());
        QDir().mkpath(QFileInfo(store).absolutePath());
        chmod(QFile::encodeName(QFileInfo(store).absolutePath()).constData(), 0777);
        const Placed placed = Place(store.toStdString(), kind, scratch);
        QString told;
        {
            AsUser user(kind == Kind::Unreadable);
            told = StartAndEnd();
        }
        EXPECT_TRUE(Unchanged(placed));
        EXPECT_TRUE(told.contains(store)) << told.toStdString();
    }

    // A link to a file elsewhere is the user's way to keep the store there: it is written there.
    GuiTestEnv env;
    TempDir elsewhere;
    const QString store = UserSettingsPath();
    QDir().mkpath(QFileInfo(store).absolutePath());
    WriteRaw(elsewhere.File("Kestrum.conf"), "[General]\nKeptByTheUser=1\n");
    ASSERT_EQ(symlink(elsewhere.File("Kestrum.conf").c_str(), store.toLocal8Bit().constData()), 0);
    EXPECT_EQ(StartAndEnd(), QString());
    struct stat st = {};
    ASSERT_EQ(lstat(store.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(ReadRaw(elsewhere.File("Kestrum.conf")).find("CurDisplayType"), std::string::npos);
    EXPECT_NE(ReadRaw(elsewhere.File("Kestrum.conf")).find("KeptByTheUser=1"), std::string::npos);
}
