#include "recdata/recdatalist.h"

#include "platform/textfile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

CCommData Block(std::initializer_list<uint8_t> bytes, const char *name = "NoName")
{
    CCommData item{Bytes(bytes)};
    item.SetName(name);
    return item;
}

CRecDataList Numbered(int count)
{
    CRecDataList list;
    for (int i = 0; i < count; ++i)
        list.Add(Block({static_cast<uint8_t>(i)}, std::to_string(i).c_str()));
    return list;
}

std::vector<std::string> Names(const CRecDataList &list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.At(i).GetName());
    return names;
}

std::string TempPath(const char *name)
{
    return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + name)).string();
}

} // namespace

TEST(RecDataList, RemoveReportsTheRowToSelectNext)
{
    CRecDataList list = Numbered(5);
    // Rows 1 and 3 go; the last removed sat at 2 once row 1 was gone, which now holds row 4.
    EXPECT_EQ(list.Remove({1, 3}), 2);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0", "2", "4"}));

    // Removing the last row falls back to the new last row.
    EXPECT_EQ(list.Remove({2}), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0", "2"}));

    EXPECT_EQ(list.Remove({0, 1}), -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Remove({}), -1);
}

TEST(RecDataList, MergeUpJoinsBytesUnderTheUpperName)
{
    CRecDataList list;
    list.Add(Block({0x0D}, "upper"));
    list.Add(Block({0x41, 0x42}, "lower"));
    CCommData upper = list.At(0);
    upper.SetFormat(FMT_STRING);
    list.Replace(0, upper);

    EXPECT_FALSE(list.MergeUp(0));
    EXPECT_FALSE(list.MergeUp(2));
    ASSERT_TRUE(list.MergeUp(1));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).Data(), Bytes({0x0D, 0x41, 0x42}));
    EXPECT_EQ(list.At(0).GetName(), "upper");
    EXPECT_EQ(list.At(0).GetFormat(), FMT_STRING);

    CRecDataList empty;
    empty.Add(CCommData());
    empty.Add(CCommData());
    ASSERT_TRUE(empty.MergeUp(1));
    EXPECT_EQ(empty.Count(), 1);
    EXPECT_EQ(empty.At(0).GetLength(), 0);
}

// Blocks large enough to reach the memory limit before the count empty the list there; the newest
// block is kept however large, and what the list counts follows every change.
TEST(RecDataList, LargeBlocksEmptyTheListAtItsMemoryLimit)
{
    CRecDataList list;
    const CCommData quarter(Bytes(CRecDataList::kMemoryLimit / 4, 0x55));
    int emptied = 0;
    for (int i = 0; i < 9; ++i) {
        emptied += list.Add(quarter) ? 1 : 0;
        EXPECT_GE(list.MemoryBytes(), static_cast<size_t>(list.Count() * quarter.GetLength()));
    }
    EXPECT_EQ(emptied, 2); // three fit, the fourth empties the list
    // Such a list's text, three times its bytes, is written a piece at a time, never whole.
    const TextPieces pieces = CRecDataList::FilePieces(list.EntriesFrom(0));
    std::string piece;
    size_t total = 0;
    size_t largest = 0;
    while (pieces(piece)) {
        largest = std::max(largest, piece.size());
        total += piece.size();
        piece.clear();
    }
    EXPECT_GT(total, 9 * quarter.Data().size());
    EXPECT_LT(largest, total / 2);
    ASSERT_TRUE(list.MergeUp(1));
    EXPECT_GE(list.MemoryBytes(), static_cast<size_t>(quarter.GetLength()) * 2);

    EXPECT_TRUE(list.Add(CCommData(Bytes(CRecDataList::kMemoryLimit + 1, 0x66))));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Add(Block({1}))) << "past the limit, the next block empties the list";
    list.Replace(0, quarter);
    EXPECT_GE(list.MemoryBytes(), static_cast<size_t>(quarter.GetLength()));
    list.Remove({0});
    EXPECT_EQ(list.MemoryBytes(), 0u);
}

TEST(RecDataList, FileRoundTripAndMalformedLines)
{
    const std::string path = TempPath("recdata.tmp");
    CRecDataList list;
    list.Add(Block({0x41, 0x00, 0xFF}, "12:00:01.250"));
    CCommData named = Block({0x31}, "a, b \"c");
    named.SetFormat(FMT_DEC);
    list.Add(named);
    list.Add(CCommData());
    list.Save(path);

    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, content));
    EXPECT_EQ(content.substr(0, 36), "\"12:00:01.250\",Hex,\"41 00 FF \"\r\n\"a, ");

    CRecDataList back;
    back.Add(Block({1}));
    ASSERT_TRUE(back.Load(path));
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.At(0), list.At(0));
    EXPECT_EQ(back.At(1).GetName(), "a, b \"c");
    EXPECT_EQ(back.At(1).Data(), Bytes({0x31}));
    EXPECT_EQ(back.At(1).GetFormat(), FMT_DEC);
    EXPECT_EQ(back.At(2), CCommData());

    WriteFileAtomic(path, "\"x\",Hex\r\n\r\n\"y\",Str&Symbol,\"4\"\r\n");
    ASSERT_TRUE(back.Load(path));
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.At(0), CCommData());
    EXPECT_EQ(back.At(1), CCommData());
    EXPECT_EQ(back.At(2).GetName(), "y");
    EXPECT_EQ(back.At(2).GetFormat(), FMT_STR_SYMBOL);
    EXPECT_EQ(back.At(2).GetLength(), 0);

    std::filesystem::remove(path);
    EXPECT_FALSE(back.Load(path));
    EXPECT_EQ(back.Count(), 3);

    CRecDataList().Save(path);
    ASSERT_TRUE(ReadWholeFile(path, content));
    EXPECT_TRUE(content.empty());
    std::filesystem::remove(path);
}

// Rows added to the end of the file must read back after the loaded ones; a last line without its
// break, or a 0x00 that ends the text early, would swallow them.
TEST(RecDataList, IdsFollowEntriesAndTheFileSaysWhetherItTakesAppends)
{
    CRecDataList list = Numbered(3);
    const uint64_t second = list.IdAt(1);
    list.Remove({0});
    EXPECT_EQ(list.PosOf(second), 0);
    list.MergeUp(1);
    EXPECT_EQ(list.PosOf(second), 0);
    for (int i = 0; i < CRecDataList::kCapacity; ++i)
        list.Add(Block({1}));
    EXPECT_EQ(list.PosOf(second), -1);

    const std::string path = TempPath("appends.tmp");
    const std::string line = "\"a\",Hex,\"01 \"";
    for (const auto &[content, takes] :
         std::vector<std::pair<std::string, bool>>{{line + "\r\n", true},
                                                   {"", true},
                                                   {line, false},
                                                   {line + "\r\n" + std::string(1, '\0') + "x\r\n", false}}) {
        WriteFileAtomic(path, content);
        ASSERT_TRUE(list.Load(path));
        EXPECT_EQ(list.LoadedFileTakesAppends(), takes) << content;
    }
    std::remove(path.c_str());
}

// A file the list did not write must not take more than the list ever holds, and what is left
// out is told, so the file can be kept before the list's own save replaces it.
TEST(RecDataList, ALoadKeepsToTheListsBoundsAndTellsWhatItLeftOut)
{
    const std::string path = TempPath("bounds.tmp");
    const std::string line = "\"a\",Hex,\"01 \"\r\n";
    std::string many;
    for (int i = 0; i < CRecDataList::kCapacity + 10; ++i)
        many += line;
    for (const auto &[content, count, all] : std::vector<std::tuple<std::string, int, bool>>{
             {line + line, 2, true},
             {many, CRecDataList::kCapacity, false},
             {line + std::string("x\0y\r\n", 5) + line, 2, false}}) {
        WriteFileAtomic(path, content);
        CRecDataList list;
        ASSERT_TRUE(list.Load(path));
        EXPECT_EQ(list.Count(), count);
        EXPECT_EQ(list.LoadedAll(), all) << count;
    }
    std::remove(path.c_str());
}

// Packed entries read back, merge, change and go to file exactly as they were received; blocks
// that do not pack, and small ones, stay as they are; the bounds count what was received.
TEST(RecDataList, PackedEntriesReadBackAsReceived)
{
    std::string lines;
    for (int i = 0; lines.size() < 16 * 1024; ++i)
        lines += std::to_string(100000 + i) + " HIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG\r\n";
    const CCommData stream(Bytes(lines.begin(), lines.end()));
    Bytes noise(8 * 1024);
    uint32_t seed = 12345;
    for (uint8_t &byte : noise) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    CRecDataList list;
    for (int i = 0; i < 40; ++i)
        list.Add(Block({static_cast<uint8_t>(i)}));
    for (int i = 0; i < 40; ++i) {
        CCommData item = stream;
        item.SetName(std::to_string(i));
        list.Add(item);
    }
    list.Add(CCommData(noise));
    const std::vector<std::string> names = Names(list);
    const size_t counted = list.MemoryBytes();
    const size_t held = list.HeldBytes();
    const auto text = [&list] {
        const TextPieces pieces = CRecDataList::FilePieces(list.EntriesFrom(0));
        std::string all;
        for (std::string piece; pieces(piece); piece.clear())
            all += piece;
        return all;
    };
    const std::string before = text();

    list.Pack(10 * stream.Data().size()); // the budget stops it part of the way
    const size_t partly = list.HeldBytes();
    EXPECT_LT(partly, held - 8 * stream.Data().size());
    list.Pack(SIZE_MAX);
    EXPECT_LT(list.HeldBytes(), partly);
    EXPECT_LT(list.HeldBytes(), held / 4);
    EXPECT_EQ(list.MemoryBytes(), counted);
    EXPECT_EQ(Names(list), names);
    EXPECT_EQ(list.At(0).Data(), Bytes({0}));
    EXPECT_EQ(list.At(79).Data(), stream.Data());
    EXPECT_EQ(list.At(80).Data(), noise);
    EXPECT_EQ(text(), before);

    ASSERT_TRUE(list.MergeUp(79));
    Bytes twice = stream.Data();
    twice.insert(twice.end(), stream.Data().begin(), stream.Data().end());
    EXPECT_EQ(list.At(78).Data(), twice);
    EXPECT_EQ(list.At(78).GetName(), "38");
    CCommData renamed = list.At(41);
    renamed.SetName("renamed");
    list.Replace(41, renamed);
    list.Pack(SIZE_MAX);
    EXPECT_EQ(list.At(41), renamed);
    EXPECT_EQ(list.At(79).Data(), noise);
    list.Remove({40, 41});
    EXPECT_EQ(list.At(40).GetName(), "2");
    EXPECT_EQ(list.At(40).Data(), stream.Data());
}
