#include "data/symboltable.h"
#include "platform/errors.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

void WriteLines(const std::string &path, int count, const std::string &line, const char *end = "\r\n")
{
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < count; ++i)
        out << line << end;
}

} // namespace

TEST(SymbolTable, DefaultsSaveAsIdenticalLines)
{
    TempDir dir;
    CSymbolTable table;
    EXPECT_FALSE(table.IsSymbol(0x41));
    EXPECT_FALSE(table.Load(dir.File("Default.sym")));
    table.Save(dir.File("Default.sym"));
    std::string expected;
    for (int i = 0; i < 128; ++i)
        expected += "0,1,\"\"\r\n";
    EXPECT_EQ(ReadRaw(dir.File("Default.sym")), expected);
}

TEST(SymbolTable, RenderingRule)
{
    CSymbolTable table;
    table.SetEntry(0x0D, CSymbolTable::ParseLine("1,0,\"CR\""));
    table.SetEntry(0x0A, CSymbolTable::ParseLine("1,1,\"\""));
    std::string text = "unchanged";
    EXPECT_FALSE(table.Lookup(0x41, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_TRUE(table.Lookup(0x0D, text));
    EXPECT_EQ(text, "CR");
    EXPECT_TRUE(table.Lookup(0x0A, text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(table.IsSymbol(0x8D));
    EXPECT_FALSE(table.Lookup(0xFF, text));
    EXPECT_THROW(table.Entry(128), std::out_of_range);
}

TEST(SymbolTable, LoadTakesOnlyFilesOfExactly128Lines)
{
    TempDir dir;
    const std::string path = dir.File("t.sym");
    CSymbolTable table;
    table.SetEntry(5, CSymbolTable::ParseLine("1,0,\"five\""));
    const CSymbolTable before = table;
    for (int count : {0, 127, 129}) {
        WriteLines(path, count, "1,0,\"X\"");
        EXPECT_FALSE(table.Load(path)) << count;
        EXPECT_EQ(table, before) << count;
    }
    WriteLines(path, 128, "true,1,\"X\"", "\n");
    ASSERT_TRUE(table.Load(path));
    EXPECT_FALSE(table.Entry(5).UseSymbol);
    EXPECT_TRUE(table.Entry(5).ShowNothing);
    EXPECT_EQ(table.Entry(5).SymbolString, "X");

    // Lone CRs and a missing final line end count as line ends too.
    std::string text;
    for (int i = 0; i < 128; ++i)
        text += i == 127 ? "1,0,\"last\"" : "0,1,\"\"\r";
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(table.Load(path));
    EXPECT_EQ(table.Entry(127).SymbolString, "last");
}

TEST(SymbolTable, ShortLinesReadMissingFieldsAsEmpty)
{
    EXPECT_EQ(CSymbolTable::ParseLine("1"), (ST_Symbol{true, false, ""}));
    EXPECT_EQ(CSymbolTable::ParseLine(""), (ST_Symbol{false, false, ""}));
    EXPECT_EQ(CSymbolTable::ParseLine("1,1"), (ST_Symbol{true, true, ""}));
    EXPECT_EQ(CSymbolTable::ParseLine("1,0,\"open"), (ST_Symbol{true, false, "open"}));
    EXPECT_EQ(CSymbolTable::ParseLine("01,1,x"), (ST_Symbol{false, true, "x"}));
}

TEST(SymbolTable, AwkwardSymbolStringsSurviveSaveAndLoad)
{
    TempDir dir;
    const std::string path = dir.File("s.sym");
    CSymbolTable table;
    table.SetEntry(1, {true, false, "a, b"});
    table.SetEntry(2, {true, false, "say \"x\""});
    table.SetEntry(3, {true, false, "\""});
    table.SetEntry(4, {true, false, "\xE9\xFF"});
    table.SetEntry(0x7F, {true, true, "hidden"});
    table.Save(path);
    CSymbolTable back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back, table);
    EXPECT_THROW(table.Save(dir.File("none/x.sym")), EFCreateError);
}
