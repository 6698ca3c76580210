#include "autosend/rulelist.h"
#include "platform/errors.h"
#include "platform/textfile.h"
#include "tempdir.h"

#include <gtest/gtest.h>

namespace {

class RuleFile : public testing::Test
{
protected:
    std::string Path(const std::string &name) const { return m_dir.File(name); }
    void Write(const std::string &name, const std::string &content) { WriteFileAtomic(Path(name), content); }

    TempDir m_dir;
};

std::unique_ptr<CSingleRule> Single(const std::string &name, int fixLength)
{
    auto r = std::make_unique<CSingleRule>();
    r->Name = name;
    r->Event = std::make_unique<CReceiveFixLengthEvent>(fixLength);
    r->DataItem = CCommData(Bytes{0x41, 0x0D}, FMT_STR_SYMBOL);
    r->Delay = fixLength * 10;
    return r;
}

std::string SingleBlock(const std::string &name, const std::string &tag = "CSingleRule",
                        const std::string &delay = "Delay=0")
{
    return "<" + tag + ">\r\n" + name +
           "\r\nCReceiveAnythingEvent\r\nReceiveAnything\r\n\"i\",Hex,\"01 \"\r\n" + delay +
           "\r\nAlways=1\r\n</" + tag + ">\r\n";
}

std::vector<std::string> Names(const CRuleList &list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.At(i).Name);
    return names;
}

using V = std::vector<std::string>;

} // namespace

TEST_F(RuleFile, RoundTripKeepsOrderAndDropsIncompleteRules)
{
    CRuleList list;
    list.Add(Single("one", 3));
    list.Add(std::make_unique<CSingleRule>()); // no event: not written
    auto group = std::make_unique<CGroupRule>();
    group->Name = "Polling";
    group->StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group->StepEvent = std::make_unique<CTimeEvent>("00:00:00.500", 3);
    group->Items = {CCommData(Bytes{1}), CCommData(Bytes{0x22, 0x2C, 0x20})};
    group->Loop = true;
    list.Add(std::move(group));
    list.Add(Single("two", 4));
    EXPECT_TRUE(list.SaveToFile(Path("a.ass")));

    std::string content;
    ASSERT_TRUE(ReadWholeFile(Path("a.ass"), content));
    EXPECT_EQ(content.substr(0, 15), "<CSingleRule>\r\n");
    EXPECT_EQ(content.substr(content.size() - 16), "</CSingleRule>\r\n");

    CRuleList read;
    ASSERT_TRUE(read.LoadFromFile(Path("a.ass")));
    EXPECT_EQ(Names(read), (V{"one", "Polling", "two"}));
    EXPECT_EQ(read.SaveToLines(), list.SaveToLines());
    const auto &g = static_cast<const CGroupRule &>(*read.At(1));
    EXPECT_EQ(g.Items[1].Data(), (Bytes{0x22, 0x2C, 0x20}));

    // Slots can be swapped in place, as the settings dialog moves rules.
    std::swap(read.At(0), read.At(2));
    read.Remove(1);
    EXPECT_EQ(Names(read), (V{"two", "one"}));
}

TEST_F(RuleFile, EmptyAndMissingFiles)
{
    CRuleList list;
    list.Add(Single("kept", 1));
    EXPECT_FALSE(list.LoadFromFile(Path("missing.ass")));
    EXPECT_EQ(list.Count(), 1);

    CRuleList empty;
    empty.SaveToFile(Path("empty.ass"));
    std::string content = "x";
    ASSERT_TRUE(ReadWholeFile(Path("empty.ass"), content));
    EXPECT_EQ(content, "");
    EXPECT_FALSE(list.LoadFromFile(Path("empty.ass")));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(RuleFile, MalformedFilesAlwaysEnd)
{
    CRuleList list;
    // Stray lines and LF-only line ends: the stray lines are skipped. A block whose begin tag is
    // in lower case is not recognised by its own first line, so its lines are dropped one by one.
    const std::string lower = "<csinglerule>\nlow\nCReceiveAnythingEvent\nReceiveAnything\n"
                              "\"i\",Hex,\"\"\nDelay=1\nAlways=0\n</csinglerule>\n";
    Write("mixed.ass", "\r\njunk\n" + SingleBlock("a") + lower + SingleBlock("b"));
    ASSERT_TRUE(list.LoadFromFile(Path("mixed.ass")));
    EXPECT_EQ(Names(list), (V{"a", "b"}));
    // A line naming the class finds the first block anywhere below it, tags matched ignoring case.
    Write("below.ass", "see CSingleRule below\r\n" + lower + SingleBlock("b"));
    ASSERT_TRUE(list.LoadFromFile(Path("below.ass")));
    EXPECT_EQ(Names(list), (V{"low", "b"}));

    // A short block is dropped, the rest read.
    Write("short.ass", "<CSingleRule>\r\nshort\r\n</CSingleRule>\r\n" + SingleBlock("c"));
    ASSERT_TRUE(list.LoadFromFile(Path("short.ass")));
    EXPECT_EQ(Names(list), V{"c"});

    // A bad number ends the reading; the rules before it stay.
    Write("bad.ass", SingleBlock("d") + SingleBlock("e", "CSingleRule", "Delay=later") + SingleBlock("f"));
    try {
        list.LoadFromFile(Path("bad.ass"));
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'later' is not a valid integer value");
    }
    EXPECT_EQ(Names(list), V{"d"});

    // Missing end tag: the begin line is dropped and nothing else makes a rule.
    Write("noend.ass", "<CSingleRule>\r\nx\r\nCReceiveAnythingEvent\r\nReceiveAnything\r\n");
    EXPECT_FALSE(list.LoadFromFile(Path("noend.ass")));
    EXPECT_EQ(list.Count(), 0);

    // End tag before the begin tag, and a group without its end tag ahead of a good group.
    Write("order.ass", "</CGroupRule>\r\n<CGroupRule>\r\nbroken\r\n" + SingleBlock("g", "CGroupRule"));
    EXPECT_FALSE(list.LoadFromFile(Path("order.ass")));
    EXPECT_EQ(list.Count(), 0);
}

TEST(RuleLines, ManyStrayTagsStayLinear)
{
    // 200,000 lines naming a class without any end tag: each is dropped in constant time.
    std::vector<std::string> lines(200000, "<CSingleRule>");
    lines.push_back("</CGroupRule>");
    CRuleList list;
    EXPECT_FALSE(list.LoadFromLines(lines));
    std::vector<std::string> tags;
    for (int i = 0; i < 50000; ++i) {
        tags.push_back("CGroupRule </CGroupRule>");
        tags.push_back("</CGroupRule>");
    }
    tags.push_back("<CGroupRule>");
    EXPECT_FALSE(list.LoadFromLines(tags));
}
