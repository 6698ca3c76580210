#include "platform/errors.h"
#include "platform/textfile.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

// Runs `check` in a child that has given up root (or as the user the test runs as): the checks
// about files a user may not read are void for root, who may read anything.
bool AsPlainUser(const TempDir &dir, const std::function<bool()> &check)
{
    if (geteuid() != 0)
        return check();
    chmod(dir.path.c_str(), 0755);
    const pid_t child = fork();
    if (child == 0) {
        const bool ok = setgid(65534) == 0 && setuid(65534) == 0 && check();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(TextLines, EveryLineEndAndTheEndOfText)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(SplitTextLines("a\r\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitTextLines(""), Lines{});
    EXPECT_EQ(SplitTextLines("\r"), Lines{""});
    std::vector<size_t> failed;
    EXPECT_EQ(SplitTextLines(std::string("ab\r\nc\0d\r\nef\r\n\0", 14), &failed),
              (Lines{"ab", "", "ef", ""}));
    EXPECT_EQ(failed, (std::vector<size_t>{1, 3})); // a 0x00 fails its own line, not the rest
    EXPECT_EQ(SplitTextLines("\xE9\xFF\r\n\x80"), (Lines{"\xE9\xFF", "\x80"}));
    const std::string big(1 << 20, 'x');
    EXPECT_EQ(SplitTextLines(big + "\r\ny"), (Lines{big, "y"}));
}

TEST(TextFile, ReadsWhatExistsAndTellsWhatDoesNot)
{
    TempDir dir;
    std::string content = "unchanged";
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), content));
    EXPECT_EQ(content, "unchanged");
    Lines lines{"keep"};
    EXPECT_FALSE(ReadTextLines(dir.File("missing"), lines));
    EXPECT_EQ(lines, Lines{"keep"});

    WriteRaw(dir.File("f"), std::string("x\r\ny\0z", 6));
    ASSERT_TRUE(ReadWholeFile(dir.File("f"), content));
    EXPECT_EQ(content, std::string("x\r\ny\0z", 6));
    ASSERT_TRUE(ReadTextLines(dir.File("f"), lines));
    EXPECT_EQ(lines, (Lines{"x", ""}));
    EXPECT_TRUE(FileExists(dir.File("f")));
    EXPECT_FALSE(FileExists(dir.path));

    chmod(dir.File("f").c_str(), 0);
    EXPECT_TRUE(AsPlainUser(dir, [&] {
        std::string unread;
        try {
            ReadWholeFile(dir.File("f"), unread);
        } catch (const EFOpenError &) {
            return true;
        }
        return false;
    }));
}

// Whatever stands at a list's path, the reader neither blocks nor reads without end, and the
// writer never puts a file where something else was.
TEST(TextFile, OnlyRegularFilesAreReadOrReplaced)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink(dir.File("fifo").c_str(), dir.File("tofifo").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.File("todevice").c_str()), 0); // only ever read
    ASSERT_EQ(symlink(dir.File("nothing").c_str(), dir.File("dangling").c_str()), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.File("socket").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    WriteRaw(dir.File("large"), "");
    ASSERT_EQ(truncate(dir.File("large").c_str(), 100 * 1000 * 1000), 0);

    for (const char *name : {"fifo", "tofifo", "folder", "todevice", "socket", "large"}) {
        std::string content = "unchanged";
        try {
            ReadWholeFile(dir.File(name), content);
            ADD_FAILURE() << name << " was read";
        } catch (const EFOpenError &e) {
            EXPECT_NE(std::string(e.what()).find(dir.File(name)), std::string::npos) << e.what();
        }
        EXPECT_EQ(content, "unchanged") << name;
        if (name != std::string("large")) {
            EXPECT_EQ(KeepAside(dir.File(name)), "") << name; // stays where it is
        }
    }
    for (const char *name : {"fifo", "tofifo", "folder", "socket", "dangling"}) {
        struct stat before = {};
        lstat(dir.File(name).c_str(), &before);
        EXPECT_THROW(WriteFileAtomic(dir.File(name), "text"), EFCreateError) << name;
        EXPECT_THROW(AppendFile(dir.File(name), "text"), EFCreateError) << name;
        struct stat after = {};
        ASSERT_EQ(lstat(dir.File(name).c_str(), &after), 0) << name;
        EXPECT_EQ(after.st_mode, before.st_mode) << name;
        EXPECT_EQ(after.st_ino, before.st_ino) << name;
        EXPECT_FALSE(WhyNotOwnFile(dir.File(name)).empty()) << name;
    }
    close(sock);
}

TEST(TextFile, ALinkIsWrittenThroughAndANewFileIsNotExecutableByAll)
{
    TempDir dir;
    TempDir outside;
    WriteRaw(outside.File("real.cps"), "old\r\n");
    chmod(outside.File("real.cps").c_str(), 0600);
    ASSERT_EQ(symlink(outside.File("real.cps").c_str(), dir.File("Default.cps").c_str()), 0);
    EXPECT_EQ(WhyNotOwnFile(dir.File("Default.cps")), "");
    WriteTextLines(dir.File("Default.cps"), {"new"});
    struct stat st = {};
    ASSERT_EQ(lstat(dir.File("Default.cps").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a copy";
    EXPECT_EQ(ReadRaw(outside.File("real.cps")), "new\r\n");
    ASSERT_EQ(stat(outside.File("real.cps").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(outside.EntryCount(), 1);

    const mode_t oldMask = umask(0);
    WriteFileAtomic(dir.File("fresh.sds"), "x");
    umask(oldMask);
    ASSERT_EQ(stat(dir.File("fresh.sds").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(TextFile, AFileNotReadWholeIsKeptAsideUnderANote)
{
    TempDir dir;
    WriteRaw(dir.File("TempRec.tmp"), "keep me");
    const std::string aside = KeepAside(dir.File("TempRec.tmp"));
    EXPECT_EQ(aside.rfind(dir.File("TempRec.tmp.unreadable-"), 0), 0u) << aside;
    EXPECT_EQ(ReadRaw(aside), "keep me");
    EXPECT_FALSE(FileExists(dir.File("TempRec.tmp")));
    WriteRaw(dir.File("TempRec.tmp"), "again");
    const std::string second = KeepAside(dir.File("TempRec.tmp"));
    EXPECT_NE(second, aside); // the same second: a name of its own, the first one kept
    EXPECT_EQ(ReadRaw(aside), "keep me");
    EXPECT_EQ(KeepAside(dir.File("TempRec.tmp")), "");
}

TEST(TextFile, WritesCrLfAfterEveryLineAndReplacesWhole)
{
    TempDir dir;
    const std::string path = dir.File("out.txt");
    WriteTextLines(path, {"one", "", "three"});
    EXPECT_EQ(ReadRaw(path), "one\r\n\r\nthree\r\n");
    WriteTextLines(path, {});
    EXPECT_EQ(ReadRaw(path), "");
    WriteFileAtomic(path, std::string("a\0b", 3));
    EXPECT_EQ(ReadRaw(path), std::string("a\0b", 3));

    chmod(path.c_str(), 0640);
    WriteFileAtomic(path, "again");
    struct stat st = {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // a replaced file keeps its permissions
    EXPECT_EQ(dir.EntryCount(), 1);      // and no temporary is left beside it
}

TEST(TextFile, PiecesGoOutInOrderAndAFailingProducerLeavesTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("TempRec.tmp");
    const std::vector<std::string> parts{"one\r\n", "", "two\r\n"};
    auto from = [&parts](size_t failAt) {
        return [&parts, failAt, next = size_t{0}](std::string &piece) mutable {
            if (next == failAt)
                throw EFCreateError("producer");
            if (next == parts.size())
                return false;
            piece = parts[next++];
            return true;
        };
    };
    WriteFileAtomic(path, from(SIZE_MAX));
    AppendFile(path, from(SIZE_MAX));
    EXPECT_EQ(ReadRaw(path), "one\r\ntwo\r\none\r\ntwo\r\n");
    EXPECT_THROW(WriteFileAtomic(path, from(2)), EFCreateError);
    EXPECT_EQ(ReadRaw(path), "one\r\ntwo\r\none\r\ntwo\r\n");
    AppendFile(dir.File("nothing.txt"), [](std::string &) { return false; });
    EXPECT_EQ(dir.EntryCount(), 1);
}

TEST(TextFile, FailedWriteThrowsAndLeavesTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("Default.cps");
    WriteRaw(path, "old content\r\n");

    try {
        WriteFileAtomic(dir.File("no/such/dir/x.cps"), "data");
        FAIL() << "no error for a missing folder";
    } catch (const EFCreateError &e) {
        EXPECT_STREQ(e.what(), ("Cannot create file " + dir.File("no/such/dir/x.cps")).c_str());
    }
    EXPECT_THROW(WriteFileAtomic(dir.path, "data"), EFCreateError); // target is a folder
    EXPECT_THROW(WriteFileAtomic("", "data"), EFCreateError);

    // A write that fails half way (here: the file size limit) must not touch the old file.
    struct rlimit old = {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        WriteTextLines(path, {"a much longer new content"});
    } catch (const EFCreateError &) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadRaw(path), "old content\r\n");
    EXPECT_EQ(dir.EntryCount(), 1);

    if (geteuid() != 0) {
        chmod(dir.path.c_str(), 0555);
        EXPECT_THROW(WriteTextLines(path, {"x"}), EFCreateError);
        chmod(dir.path.c_str(), 0755);
        EXPECT_EQ(ReadRaw(path), "old content\r\n");
    }
}
