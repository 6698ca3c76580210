#include "platform/errors.h"
#include "platform/textfile.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

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
    EXPECT_EQ(SplitTextLines(std::string("ab\0cd\r\nef", 10)), Lines{"ab"});
    EXPECT_EQ(SplitTextLines(std::string("\0x", 2)), Lines{});
    EXPECT_EQ(SplitTextLines("\xE9\xFF\r\n\x80"), (Lines{"\xE9\xFF", "\x80"}));
    const std::string big(1 << 20, 'x');
    EXPECT_EQ(SplitTextLines(big + "\r\ny"), (Lines{big, "y"}));
}

TEST(TextFile, ReadsWhatExistsAndTellsWhatDoesNot)
{
    TempDir dir;
    std::string content = "unchanged";
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), content));
    EXPECT_FALSE(ReadWholeFile(dir.path, content)); // a folder is no file
    EXPECT_EQ(content, "unchanged");
    Lines lines{"keep"};
    EXPECT_FALSE(ReadTextLines(dir.File("missing"), lines));
    EXPECT_EQ(lines, Lines{"keep"});

    WriteRaw(dir.File("f"), std::string("x\r\ny\0z", 6));
    ASSERT_TRUE(ReadWholeFile(dir.File("f"), content));
    EXPECT_EQ(content, std::string("x\r\ny\0z", 6));
    ASSERT_TRUE(ReadTextLines(dir.File("f"), lines));
    EXPECT_EQ(lines, (Lines{"x", "y"}));
    EXPECT_TRUE(FileExists(dir.File("f")));
    EXPECT_FALSE(FileExists(dir.path));

    if (geteuid() != 0) {
        chmod(dir.File("f").c_str(), 0);
        EXPECT_THROW(ReadWholeFile(dir.File("f"), content), EFOpenError);
    }
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
