#include "tempdir.h"
#include "transfer/receivefolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint8_t *Bytes(const std::string &text)
{
    return reinterpret_cast<const uint8_t *>(text.data());
}

ST_IncomingFile Incoming(const std::string &name, uint64_t size = 0, bool sizeKnown = false)
{
    ST_IncomingFile file;
    file.Name = name;
    file.Size = size;
    file.SizeKnown = sizeKnown;
    return file;
}

} // namespace

TEST(ReceiveFolder, SendersNamesBecomeSafeBaseNames)
{
    EXPECT_EQ(CReceiveFolder::SafeName("../../etc/passwd"), "passwd");
    EXPECT_EQ(CReceiveFolder::SafeName("C:\\temp\\..\\a b.txt"), "a b.txt");
    EXPECT_EQ(CReceiveFolder::SafeName("dir/"), "received");
    EXPECT_EQ(CReceiveFolder::SafeName(".."), "received");
    EXPECT_EQ(CReceiveFolder::SafeName("."), "received");
    EXPECT_EQ(CReceiveFolder::SafeName(""), "received");
    EXPECT_EQ(CReceiveFolder::SafeName(".bashrc"), "bashrc");
    EXPECT_EQ(CReceiveFolder::SafeName(std::string("a\0b\x1b[2J\x7F.txt", 12)), "a_b_[2J_.txt");
    // 100 two-byte characters: cut between characters, the extension kept.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\xC3\xA9";
    const std::string cut = CReceiveFolder::SafeName(wide + ".tar");
    EXPECT_EQ(cut, wide.substr(0, 250) + ".tar");
}

// A part this folder kept from a broken receive is continued when the sender offers to;
// otherwise the file starts over under a part name of its own. Nothing past the announced size is
// kept.
TEST(ReceiveFolder, ResumeContinuesOnlyAPartTheFolderKept)
{
    TempDir dir;
    std::string error, path;
    uint64_t resumeAt = 99;
    ST_ReceiveLimits keep;
    keep.KeepPartsForResume = true;
    ST_IncomingFile offered = Incoming("r.bin", 10, true);
    offered.ResumeOffered = true;
    {
        CReceiveFolder folder(dir.path, {}, keep);
        ASSERT_TRUE(folder.Begin(Incoming("r.bin", 10, true), &resumeAt, &error)) << error;
        EXPECT_EQ(resumeAt, 0u);
        ASSERT_TRUE(folder.Write(Bytes("abcd"), 4, &error));
        folder.Abandon(true);
    }
    {
        CReceiveFolder folder(dir.path);
        ASSERT_TRUE(folder.Begin(offered, &resumeAt, &error)) << error;
        EXPECT_EQ(resumeAt, 4u);
        ASSERT_TRUE(folder.Write(Bytes("efghijklmn"), 10, &error));
        ASSERT_EQ(folder.Finish(&path, &error), EFileEnd::Saved) << error;
        EXPECT_EQ(path, dir.File("r.bin"));
        EXPECT_EQ(ReadRaw(path), "abcdefghij");
    }
    // Parts the folder did not leave: a hard link to another file, and a file someone put there.
    const std::string other = dir.File("other.txt");
    WriteRaw(other, "keep");
    ASSERT_EQ(link(other.c_str(), dir.File(".d.txt.part").c_str()), 0);
    WriteRaw(dir.File(".e.txt.part"), "foreign");
    for (const char *name : {"d.txt", "e.txt"}) {
        SCOPED_TRACE(name);
        CReceiveFolder folder(dir.path);
        ST_IncomingFile file = Incoming(name, 10, true);
        file.ResumeOffered = std::string(name) == "d.txt";
        ASSERT_TRUE(folder.Begin(file, &resumeAt, &error)) << error;
        EXPECT_EQ(resumeAt, 0u);
        ASSERT_TRUE(folder.Write(Bytes("0123456789"), 10, &error));
        ASSERT_EQ(folder.Finish(&path, &error), EFileEnd::Saved) << error;
        EXPECT_EQ(ReadRaw(path), "0123456789");
    }
    EXPECT_EQ(ReadRaw(other), "keep");
    EXPECT_EQ(ReadRaw(dir.File(".e.txt.part")), "foreign");
}

// Without the choice to keep them, a part that broke off goes; a file that ends short of its size
// stays as a part and says so.
TEST(ReceiveFolder, BrokenPartsGoAndShortFilesStayAsParts)
{
    TempDir dir;
    std::string error, path;
    uint64_t resumeAt = 0;
    CReceiveFolder folder(dir.path);
    ASSERT_TRUE(folder.Begin(Incoming("movie.mkv", 1000, true), &resumeAt, &error));
    ASSERT_TRUE(folder.Write(Bytes("0123456789"), 10, &error));
    folder.Abandon(true);
    EXPECT_EQ(dir.EntryCount(), 0);

    ASSERT_TRUE(folder.Begin(Incoming("s.txt", 1000, true), &resumeAt, &error));
    ASSERT_TRUE(folder.Write(Bytes("0123456789"), 10, &error));
    ASSERT_EQ(folder.Finish(&path, &error), EFileEnd::Short);
    EXPECT_EQ(path, dir.File(".s.txt.part"));
    EXPECT_NE(error.find("incomplete: 10 of 1000 bytes"), std::string::npos) << error;
    EXPECT_EQ(ReadRaw(path), "0123456789");
    EXPECT_EQ(folder.Received(), std::vector<std::string>{path});
}

// A file of unknown size stops at the limit, one of any size short of the reserve.
TEST(ReceiveFolder, WritesStopAtTheLimitAndTheReserve)
{
    TempDir dir;
    std::string error;
    uint64_t resumeAt = 0;
    ST_ReceiveLimits limits;
    limits.UnknownSizeMax = 8;
    CReceiveFolder folder(dir.path, {}, limits);
    ASSERT_TRUE(folder.Begin(Incoming("log.txt"), &resumeAt, &error));
    ASSERT_TRUE(folder.Write(Bytes("01234567"), 8, &error)) << error;
    EXPECT_FALSE(folder.Write(Bytes("8"), 1, &error));
    EXPECT_NE(error.find("unknown size"), std::string::npos) << error;

    limits.FreeSpaceReserve = uint64_t(1) << 62;
    CReceiveFolder full(dir.path, {}, limits);
    ASSERT_TRUE(full.Begin(Incoming("big.bin", 100, true), &resumeAt, &error));
    EXPECT_FALSE(full.Write(Bytes("0"), 1, &error));
    EXPECT_NE(error.find("free"), std::string::npos) << error;
}

TEST(ReceiveFolder, FinishedFilesTakeFreeNamesAndNoPermissionsFromTheSender)
{
    TempDir dir;
    WriteRaw(dir.File("n.txt"), "mine");
    std::string error, path;
    uint64_t resumeAt = 0;
    CReceiveFolder folder(dir.path);
    for (const char *content : {"one", "two"}) {
        ST_IncomingFile file = Incoming("n.txt");
        file.Mode = 0104755;
        file.ModifiedTime = 1234567890;
        file.TimeKnown = true;
        ASSERT_TRUE(folder.Begin(file, &resumeAt, &error));
        ASSERT_TRUE(folder.Write(Bytes(content), 3, &error));
        ASSERT_EQ(folder.Finish(&path, &error), EFileEnd::Saved);
    }
    EXPECT_EQ(folder.Received(), (std::vector<std::string>{dir.File("n (1).txt"), dir.File("n (2).txt")}));
    EXPECT_EQ(ReadRaw(dir.File("n.txt")), "mine");
    EXPECT_EQ(ReadRaw(dir.File("n (2).txt")), "two");
    struct stat st
    {
    };
    ASSERT_EQ(stat(dir.File("n (1).txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07111, 0u);
    EXPECT_EQ(st.st_mtime, 1234567890);

    CReceiveFolder missing(dir.File("nowhere"));
    EXPECT_FALSE(missing.Begin(Incoming("m.txt"), &resumeAt, &error));
    EXPECT_NE(error.find("m.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}
