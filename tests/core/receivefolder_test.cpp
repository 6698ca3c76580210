#include "filesend/receivefolder.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

// A part of the same name left by a broken receive is continued when the sender offers to;
// otherwise the file starts over. Nothing past the announced size is kept.
TEST(ReceiveFolder, ResumeContinuesAPartOnlyWhenOffered)
{
    TempDir dir;
    std::string error, path;
    uint64_t resumeAt = 99;
    {
        CReceiveFolder folder(dir.path);
        ASSERT_TRUE(folder.Begin(Incoming("r.bin", 10, true), &resumeAt, &error)) << error;
        EXPECT_EQ(resumeAt, 0u);
        ASSERT_TRUE(folder.Write(Bytes("abcd"), 4, &error));
        folder.Abandon(true);
    }
    EXPECT_EQ(dir.EntryCount(), 1);
    {
        CReceiveFolder folder(dir.path);
        ST_IncomingFile file = Incoming("r.bin", 10, true);
        file.ResumeOffered = true;
        ASSERT_TRUE(folder.Begin(file, &resumeAt, &error)) << error;
        EXPECT_EQ(resumeAt, 4u);
        ASSERT_TRUE(folder.Write(Bytes("efghijklmn"), 10, &error));
        ASSERT_TRUE(folder.Finish(&path, &error)) << error;
        EXPECT_EQ(path, dir.File("r.bin"));
        EXPECT_EQ(ReadRaw(path), "abcdefghij");
    }
    {
        CReceiveFolder folder(dir.path);
        ASSERT_TRUE(folder.Begin(Incoming("s.bin"), &resumeAt, &error));
        ASSERT_TRUE(folder.Write(Bytes("old"), 3, &error));
        folder.Abandon(true);
        ASSERT_TRUE(folder.Begin(Incoming("s.bin"), &resumeAt, &error));
        EXPECT_EQ(resumeAt, 0u);
        ASSERT_TRUE(folder.Write(Bytes("new"), 3, &error));
        ASSERT_TRUE(folder.Finish(&path, &error));
        EXPECT_EQ(ReadRaw(dir.File("s.bin")), "new");
        ASSERT_TRUE(folder.Begin(Incoming("t.bin"), &resumeAt, &error));
        folder.Abandon(false);
    }
    EXPECT_EQ(dir.EntryCount(), 2);
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
        ASSERT_TRUE(folder.Finish(&path, &error));
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
