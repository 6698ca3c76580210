#include "link/linklist.h"
#include "platform/errors.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

COM_PORT_SETTING Named(const std::string &name)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = name;
    return link;
}

} // namespace

TEST(Link, DefaultRecordLineAndBack)
{
    const COM_PORT_SETTING link = Named("Link1");
    EXPECT_EQ(LinkToLine(link), "\"Link1\", \"ttyS0\", 9600, 8, 0, 0, 0, 1024, 1024");
    COM_PORT_SETTING back;
    ASSERT_TRUE(LinkFromLine(LinkToLine(link), back));
    EXPECT_EQ(back, link);
    ASSERT_TRUE(LinkFromLine("\"Link1\",\"ttyS0\",9600,8,0,0,0,1024,1024", back));
    EXPECT_EQ(back, link);
    ASSERT_TRUE(LinkFromLine("  \"Link1\" ,   \"ttyS0\",\t9600 8 0,0 , 0,1024,1024\r", back));
    EXPECT_EQ(back, link);
}

TEST(Link, EightBitFieldsKeepTheLowBits)
{
    COM_PORT_SETTING back;
    ASSERT_TRUE(LinkFromLine("a, b, -1, 264, 258, -1, -2, 3, 4", back));
    EXPECT_EQ(back.Baud, -1);
    EXPECT_EQ(back.DataBits, 8);
    EXPECT_EQ(back.ParityCode, 2);
    EXPECT_EQ(back.StopBitsCode, 255);
    EXPECT_EQ(back.FlowControl, -2);
}

TEST(Link, WrongFieldCountOrBadNumberChangesNothing)
{
    const COM_PORT_SETTING before = Named("keep");
    COM_PORT_SETTING link = before;
    EXPECT_FALSE(LinkFromLine("\"a\", \"COM1\", 9600, 8, 0, 0, 0, 1024", link));
    EXPECT_FALSE(LinkFromLine("\"a\", \"COM1\", 9600, 8, 0, 0, 0, 1024, 1024, 5", link));
    EXPECT_FALSE(LinkFromLine("", link));
    EXPECT_FALSE(LinkFromLine("a name, COM1, 9600, 8, 0, 0, 0, 1024, 1024", link)); // unquoted blank: ten
    EXPECT_EQ(link, before);
    try {
        LinkFromLine("\"a\", \"COM1\", 96x0, 8, 0, 0, 0, 1024, 1024", link);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'96x0' is not a valid integer value");
    }
    EXPECT_THROW(LinkFromLine("a, b, 1, 2, 3, 4, 5, 6, \"\"", link), EConvertError);
    EXPECT_EQ(link, before);
}

TEST(Link, DisplayTexts)
{
    COM_PORT_SETTING link = Named("L");
    link.ParityCode = 2;
    link.StopBitsCode = 1;
    link.FlowControl = 2;
    const auto cols = LinkToDisplay(link).Columns();
    EXPECT_EQ(cols, (std::array<std::string, 9>{"L", "ttyS0", "9600", "8", "Even", "1.5", "HardWare", "1024",
                                                "1024"}));
    link.ParityCode = 7;
    link.StopBitsCode = 3;
    link.FlowControl = 3;
    COM_PORT_SETTING_STR s = LinkToDisplay(link);
    EXPECT_EQ(s.Parity, "");
    EXPECT_EQ(s.StopBits, "");
    EXPECT_EQ(s.FlowControl, "");
    link.FlowControl = -2147483647 - 1;
    EXPECT_EQ(LinkToDisplay(link).FlowControl, "");
    EXPECT_EQ(ParityIndex(0), 2);
    EXPECT_EQ(StopBitsIndex(2), 2);
}

TEST(Link, NewNamesCountUpOncePerProcess)
{
    const std::string first = NewLinkName();
    ASSERT_EQ(first.rfind("Link", 0), 0u);
    const int n = std::stoi(first.substr(4));
    EXPECT_EQ(NewLinkName(), "Link" + std::to_string(n + 1));
    EXPECT_EQ(NewLinkName(), "Link" + std::to_string(n + 2));
}

TEST(LinkList, SaveLoadAndMissingFile)
{
    TempDir dir;
    CLinkList list;
    EXPECT_FALSE(list.Load(dir.File("none.cps")));
    list.Append(Named("one"));
    list.Append(Named("two, \"2\""));
    list.Save(dir.File("a.cps"));
    EXPECT_EQ(ReadRaw(dir.File("a.cps")), "\"one\", \"ttyS0\", 9600, 8, 0, 0, 0, 1024, 1024\r\n"
                                          "\"two, \"\"2\"\"\", \"ttyS0\", 9600, 8, 0, 0, 0, 1024, 1024\r\n");
    EXPECT_FALSE(list.Load(dir.File("none.cps")));
    EXPECT_EQ(list.Count(), 2);

    CLinkList back;
    back.Append(Named("old"));
    ASSERT_TRUE(back.Load(dir.File("a.cps")));
    EXPECT_EQ(back.Links(), list.Links());

    WriteRaw(dir.File("empty.cps"), "");
    ASSERT_TRUE(back.Load(dir.File("empty.cps")));
    EXPECT_EQ(back.Count(), 0);

    EXPECT_THROW(list.Save(dir.File("no/dir/x.cps")), EFCreateError);
    EXPECT_EQ(list.Count(), 2);
}

TEST(LinkList, RejectedLinesBecomeDefaultEntriesWithEmptyNames)
{
    TempDir dir;
    WriteRaw(dir.File("r.cps"),
             "\"a\", \"COM2\", 300, 7, 1, 2, 1, 10, 20\r\n\r\n\"b\", \"COM3\"\n\"c\", \"COM4\", "
             "110, 5, 3, 1, 2, 1, 2");
    CLinkList list;
    ASSERT_TRUE(list.Load(dir.File("r.cps")));
    ASSERT_EQ(list.Count(), 4);
    COM_PORT_SETTING rejected = DefaultLinkSetting();
    rejected.PortName.clear();
    EXPECT_EQ(list.At(1), rejected);
    EXPECT_EQ(list.At(2), rejected);
    EXPECT_EQ(list.At(3).LinkName, "c");
    EXPECT_EQ(list.At(0).OutputBufferLen, 20);
}

TEST(LinkList, BadNumberStopsTheLoadButTheRestOfTheFileSurvives)
{
    TempDir dir;
    const std::string good = "\"a\", \"COM1\", 9600, 8, 0, 0, 0, 1024, 1024";
    const std::string bad = "\"b\", \"COM2\", fast, 8, 0, 0, 0, 1024, 1024";
    const std::string after = "\"c\", \"COM3\", 9600, 8, 0, 0, 0, 1024, 1024";
    const std::string file = good + "\r\n" + bad + "\r\n" + after + "\r\n";
    WriteRaw(dir.File("Default.cps"), file);
    CLinkList list;
    try {
        list.Load(dir.File("Default.cps"));
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'fast' is not a valid integer value");
    }
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).LinkName, "a");
    EXPECT_EQ(list.UnreadLines(), (std::vector<std::string>{bad, after}));

    // Saving after an edit keeps the links read, then the lines that were never read.
    list.Append(Named("new"));
    list.Save(dir.File("Default.cps"));
    EXPECT_EQ(ReadRaw(dir.File("Default.cps")),
              good + "\r\n" + LinkToLine(Named("new")) + "\r\n" + bad + "\r\n" + after + "\r\n");
    // Deleting everything is deliberate: nothing is kept then; a full load forgets the tail too.
    list.Clear();
    EXPECT_TRUE(list.UnreadLines().empty());
    WriteRaw(dir.File("ok.cps"), good);
    EXPECT_THROW(list.Load(dir.File("Default.cps")), EConvertError);
    ASSERT_TRUE(list.Load(dir.File("ok.cps")));
    EXPECT_TRUE(list.UnreadLines().empty());
    list.Save(dir.File("ok.cps"));
    EXPECT_EQ(ReadRaw(dir.File("ok.cps")), good + "\r\n");
}

TEST(LinkList, TheProcessWideListUsesTheAppFolder)
{
    TempDir dir;
    setenv("KESTRUM_HOME", dir.path.c_str(), 1);
    EXPECT_EQ(DefaultLinkFilePath(), dir.path + "/Default.cps");
    LinkList().Clear();
    LinkList().Append(Named("global"));
    SaveLinkList(DefaultLinkFilePath());
    LinkList().Clear();
    ASSERT_TRUE(LoadLinkList(DefaultLinkFilePath()));
    EXPECT_EQ(LinkList().At(0).LinkName, "global");
    EXPECT_FALSE(LinkList().Remove(1));
    unsetenv("KESTRUM_HOME");
}
