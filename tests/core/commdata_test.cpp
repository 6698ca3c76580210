#include "data/commatext.h"
#include "data/commdata.h"

#include <gtest/gtest.h>

TEST(CommaText, SeparatorsAndQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommaText("a b,c"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText(" a , ,b,"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText(",a"), (V{"", "a"}));
    EXPECT_EQ(SplitCommaText("\"a \"\"b\"\", c\"x"), (V{"a \"b\", c", "x"}));
    EXPECT_EQ(SplitCommaText(""), V{});
    EXPECT_EQ(SplitCommaText("\"open"), V{"open"});
}

TEST(CommaText, BlanksAreControlCharactersButNeverHighBytes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommaText("\ta\x01\x1f"
                             "b\r\n"),
              (V{"a", "b"}));
    EXPECT_EQ(SplitCommaText("\xA0x\xFF"), V{"\xA0x\xFF"});
    EXPECT_EQ(SplitCommaText("a,,b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a , , b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("\"\""), V{""});
    EXPECT_EQ(SplitCommaText("\"a\"b"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommaText("   "), V{});
    EXPECT_EQ(SplitCommaText("\"x\"\""), V{"x\""}); // a doubled quote at the very end, never closed
}

TEST(CommData, TextForms)
{
    const uint8_t crlf[] = {0x41, 0x42, 0x0D, 0x0A};
    CCommData item(crlf, 4);
    EXPECT_EQ(item.GetFormat(), FMT_HEX);
    EXPECT_EQ(item.GetName(), "NoName");
    EXPECT_EQ(item.ToStringText(), "AB\r\n");
    EXPECT_EQ(item.ToHexText(), "41 42 0D 0A ");
    EXPECT_EQ(item.ToDecText(), "65 66 13 10 ");
    EXPECT_EQ(item.ToText(), "41 42 0D 0A ");

    const uint8_t withNul[] = {0x41, 0x00, 0x42, 0xFF};
    item.SetData(withNul, 4);
    item.SetFormat(FMT_STRING);
    EXPECT_EQ(item.ToText(), "A");
    item.SetFormat(FMT_STR_SYMBOL);
    EXPECT_EQ(item.ToText(), "A");
    item.SetFormat(FMT_DEC);
    EXPECT_EQ(item.ToText(), "65 0 66 255 ");
    item.SetFormat(7);
    EXPECT_EQ(item.ToText(), "A");
    EXPECT_EQ(CCommData::FormatName(7), "Unknown");

    const CCommData empty;
    EXPECT_EQ(empty.ToText(), "");
    EXPECT_EQ(empty.ToLine(), "\"NoName\",String,\"\"");

    CCommData dec(Bytes{1, 2}, FMT_DEC);
    EXPECT_EQ(dec.Summary(), "Dec,\"1 2 \"");
    EXPECT_EQ(CCommData("Hi", FMT_STRING).Summary(), "String,\"Hi\"");
}

TEST(CommData, ParseHex)
{
    CCommData item;
    EXPECT_TRUE(item.ParseHex("41 42"));
    EXPECT_EQ(item.Data(), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(item.ParseHex("  0a   0B "));
    EXPECT_EQ(item.Data(), (Bytes{0x0A, 0x0B}));
    for (const char *bad : {"4142", "4 1", "41,42", "4G", "41\n42", "41\t42", "\xC1", "-1"}) {
        EXPECT_FALSE(item.ParseHex(bad)) << bad;
        EXPECT_EQ(item.Data(), (Bytes{0x0A, 0x0B})) << bad;
    }
    EXPECT_FALSE(item.ParseHex(std::string("41\0", 3)));
    EXPECT_TRUE(item.ParseHex(""));
    EXPECT_TRUE(item.Data().empty());
    EXPECT_TRUE(item.ParseHex("ff 00"));
    EXPECT_EQ(item.Data(), (Bytes{0xFF, 0x00}));

    const CCommData partial("41 4", FMT_HEX);
    EXPECT_EQ(partial.GetFormat(), FMT_HEX);
    EXPECT_EQ(partial.GetLength(), 0);
}

TEST(CommData, ParseDecRefusesEmptyFields)
{
    CCommData item;
    EXPECT_TRUE(item.ParseDec("65 66"));
    EXPECT_EQ(item.Data(), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(item.ParseDec("65 , 66"));
    EXPECT_EQ(item.Data(), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(item.ParseDec("007,"));
    EXPECT_EQ(item.Data(), (Bytes{0x07}));
    EXPECT_TRUE(item.ParseDec("255 0"));
    EXPECT_EQ(item.Data(), (Bytes{0xFF, 0x00}));
    for (const char *bad : {"256", "0255", "-1", "1.5", "0x41", "65,,66", ",65", "1\t2", "999"}) {
        EXPECT_FALSE(item.ParseDec(bad)) << bad;
        EXPECT_EQ(item.Data(), (Bytes{0xFF, 0x00})) << bad;
    }
    EXPECT_TRUE(item.ParseDec("   "));
    EXPECT_TRUE(item.Data().empty());
}

TEST(CommData, LineRecords)
{
    CCommData item;
    EXPECT_TRUE(item.FromLine("\"abc\",Hex,\"41 42 \""));
    EXPECT_EQ(item.GetName(), "abc");
    EXPECT_EQ(item.GetFormat(), FMT_HEX);
    EXPECT_EQ(item.Data(), (Bytes{0x41, 0x42}));
    EXPECT_EQ(item.ToLine(), "\"abc\",Hex,\"41 42 \"");

    EXPECT_TRUE(item.FromLine("abc,Dec,\"41\""));
    EXPECT_EQ(item.GetFormat(), FMT_DEC);
    EXPECT_EQ(item.Data(), Bytes{0x41});

    EXPECT_TRUE(item.FromLine("\"abc\",Hex,\"4\"")); // bad hex keeps the bytes it had
    EXPECT_EQ(item.Data(), Bytes{0x41});

    EXPECT_TRUE(item.FromLine("\"abc\",hex,\"41\""));
    EXPECT_EQ(item.GetFormat(), FMT_STRING);
    EXPECT_TRUE(item.FromLine("\"s\",Str&Symbol,\"\""));
    EXPECT_EQ(item.GetFormat(), FMT_STR_SYMBOL);

    const CCommData before = item;
    EXPECT_FALSE(item.FromLine("\"abc\",Hex"));
    EXPECT_FALSE(item.FromLine(""));
    EXPECT_FALSE(item.FromLine("a,b,c,d"));
    EXPECT_EQ(item, before);

    CCommData named(Bytes{0x00, 0x22, 0xFF}, FMT_STR_SYMBOL);
    for (const std::string name : {"a b, c", "say \"hi\"", "", "\""}) {
        named.SetName(name);
        CCommData back;
        ASSERT_TRUE(back.FromLine(named.ToLine())) << name;
        EXPECT_EQ(back, named) << name;
    }
}
