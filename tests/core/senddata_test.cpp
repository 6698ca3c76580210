#include "platform/errors.h"
#include "senddata/senddatalist.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

CCommData Item(const std::string &name, Bytes bytes, DATA_FORMAT format = FMT_HEX)
{
    CCommData item(std::move(bytes), format);
    item.SetName(name);
    return item;
}

std::vector<std::string> Names(const CSendDataList &list)
{
    std::vector<std::string> names;
    for (const CCommData &item : list.Items())
        names.push_back(item.GetName());
    return names;
}

} // namespace

TEST(SendDataList, RecordFileLoads)
{
    TempDir dir;
    const std::string path = dir.File("a.sds");
    WriteRaw(path, "\"a\",Dec,\"0A 0B \"\r\n\"a\",Hex\r\n\r\n\"x\",hex,\"zz\"\n\"n, m\",Hex,\"FF\"");
    CSendDataList list;
    ASSERT_TRUE(list.Load(path));
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.At(0), Item("a", {0x0A, 0x0B}, FMT_DEC));
    EXPECT_EQ(list.At(0).ToText(), "10 11 ");
    EXPECT_EQ(list.At(1), CCommData());
    EXPECT_EQ(list.At(2), CCommData());
    EXPECT_EQ(list.At(3), Item("x", {}, FMT_STRING));
    EXPECT_EQ(list.At(4), Item("n, m", {0xFF}));
}

TEST(SendDataList, PlainTextModeByExtension)
{
    TempDir dir;
    WriteRaw(dir.File("LIST.TxT"), "AT\r\n\r\n");
    CSendDataList list;
    ASSERT_TRUE(list.Load(dir.File("LIST.TxT")));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0), Item("LN1", {0x41, 0x54}, FMT_STRING));
    EXPECT_EQ(list.At(1), Item("LN2", {}, FMT_STRING));

    EXPECT_TRUE(IsPlainTextPath("/a/b.txt"));
    EXPECT_TRUE(IsPlainTextPath("x.TXT"));
    EXPECT_FALSE(IsPlainTextPath("/a/b.txt.sds"));
    EXPECT_FALSE(IsPlainTextPath("/a.txt/b"));
    EXPECT_FALSE(IsPlainTextPath("/a/b.txtx"));
    EXPECT_FALSE(IsPlainTextPath("/a/txt"));

    // A list saved under a .txt name still holds records; loading it reads them as plain lines.
    CSendDataList saved;
    saved.Append(Item("r", {0x31}));
    saved.Save(dir.File("s.txt"));
    ASSERT_TRUE(list.Load(dir.File("s.txt")));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).ToStringText(), "\"r\",Hex,\"31 \"");
    EXPECT_EQ(list.At(0).GetName(), "LN1");

    // A line holding a 0x00 is left out; the lines after it are not, and keep their numbers.
    const auto items = SendDataFromText(std::string("a\xFF\rb\0c\rd", 8), true);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Data(), (Bytes{'a', 0xFF}));
    EXPECT_EQ(items[1].Data(), Bytes{'d'});
    EXPECT_EQ(items[1].GetName(), "LN3");
}

TEST(SendDataList, SaveWritesRecordsAndRoundTrips)
{
    TempDir dir;
    const std::string path = dir.File("Default.sds");
    CSendDataList list;
    list.Save(path);
    EXPECT_EQ(ReadRaw(path), "");
    ASSERT_TRUE(list.Load(path));
    EXPECT_EQ(list.Count(), 0);

    list.Append(Item("hello", {'h', 'e', 'l', 'l', 'o'}, FMT_STRING));
    list.Append(Item("reset", {0x1B, 0x40}));
    list.Append(Item("reset", {0x1B, 0x40}));
    list.Append(Item("odd \"name\", with blanks", {0x00, 0xFF}, FMT_STR_SYMBOL));
    EXPECT_TRUE(list.Save(path));
    EXPECT_EQ(ReadRaw(path),
              "\"hello\",String,\"68 65 6C 6C 6F \"\r\n\"reset\",Hex,\"1B 40 \"\r\n"
              "\"reset\",Hex,\"1B 40 \"\r\n\"odd \"\"name\"\", with blanks\",Str&Symbol,\"00 FF \"\r\n");
    CSendDataList back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.Items(), list.Items());

    EXPECT_FALSE(back.Load(dir.File("missing.sds")));
    EXPECT_EQ(back.Count(), 4);
    EXPECT_THROW(list.Save(dir.File("no/dir/x.sds")), EFCreateError);
    setenv("KESTRUM_HOME", dir.path.c_str(), 1);
    EXPECT_EQ(CSendDataList::DefaultPath(), path);
    unsetenv("KESTRUM_HOME");
}

TEST(SendDataList, PositionalOperations)
{
    CSendDataList list;
    for (const char *n : {"a", "b", "c", "d"})
        list.Append(Item(n, {}));
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(3));
    EXPECT_FALSE(list.MoveUp(4));
    EXPECT_TRUE(list.MoveDown(1));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "c", "b", "d"}));
    EXPECT_TRUE(list.MoveUp(3));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "c", "d", "b"}));
    EXPECT_TRUE(list.Remove(1));
    EXPECT_FALSE(list.Remove(3));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "d", "b"}));
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
}
