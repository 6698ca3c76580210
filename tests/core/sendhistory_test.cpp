#include "senddata/sendhistory.h"

#include "tempdir.h"

#include <gtest/gtest.h>

namespace {

CCommData Item(const std::string &text, DATA_FORMAT format = FMT_STRING)
{
    return CCommData(Bytes(text.begin(), text.end()), format);
}

std::string Text(const CCommData &item)
{
    return std::string(item.Data().begin(), item.Data().end());
}

} // namespace

TEST(SendHistory, NewestFirstDistinctAndBounded)
{
    CSendHistory h;
    h.Add(Item("a"));
    h.Add(Item("b"));
    h.Add(Item("a"));
    h.Add(Item("a", FMT_HEX)); // same bytes in another format is another entry
    h.Add(CCommData(Bytes(), FMT_STRING));
    ASSERT_EQ(h.Items().size(), 3u);
    EXPECT_EQ(h.Items()[0].GetFormat(), FMT_HEX);
    EXPECT_EQ(Text(h.Items()[1]), "a");
    EXPECT_EQ(Text(h.Items()[2]), "b");

    for (int i = 0; i < 150; ++i)
        h.Add(Item(std::to_string(i)));
    ASSERT_EQ(h.Items().size(), CSendHistory::kLimit);
    EXPECT_EQ(Text(h.Items().front()), "149");
    EXPECT_EQ(Text(h.Items().back()), "50");
}

TEST(SendHistory, RecallStepsBackAndReturnsToWhatWasTyped)
{
    CSendHistory h;
    EXPECT_FALSE(h.Older(Item("typing")));
    h.Add(Item("one"));
    h.Add(Item("two"));
    EXPECT_FALSE(h.Newer()) << "nothing to come back to before a recall";
    EXPECT_EQ(Text(*h.Older(Item("typing"))), "two");
    EXPECT_EQ(Text(*h.Older(Item("ignored"))), "one");
    EXPECT_FALSE(h.Older(Item("x"))) << "the oldest stays";
    EXPECT_EQ(Text(*h.Newer()), "two");
    EXPECT_EQ(Text(*h.Newer()), "typing");
    EXPECT_FALSE(h.Newer());
    // A send ends the recall: the next Up starts from the newest again.
    EXPECT_EQ(Text(*h.Older(Item(""))), "two");
    h.Add(Item("three"));
    EXPECT_FALSE(h.Recalling());
    EXPECT_EQ(Text(*h.Older(Item(""))), "three");
}

TEST(SendHistory, FileKeepsOrderAndFormatAndSurvivesBadLines)
{
    TempDir dir;
    const std::string path = dir.File("History.sds");
    CSendHistory h;
    h.Load(path);
    EXPECT_TRUE(h.Items().empty());
    h.Add(Item("AT\r"));
    h.Add(Item("\x01\x02", FMT_HEX));
    h.Save(path);

    CSendHistory back;
    back.Load(path);
    ASSERT_EQ(back.Items().size(), 2u);
    EXPECT_EQ(back.Items()[0].Data(), (Bytes{1, 2}));
    EXPECT_EQ(back.Items()[0].GetFormat(), FMT_HEX);
    EXPECT_EQ(Text(back.Items()[1]), "AT\r");

    // Damaged lines and repeats are dropped; the good lines stay.
    WriteRaw(path, ReadRaw(path) + "garbage\r\n\"x\",\"Hex\",\"4G\"\r\n" + ReadRaw(path));
    back.Load(path);
    EXPECT_EQ(back.Items().size(), 2u);
}
