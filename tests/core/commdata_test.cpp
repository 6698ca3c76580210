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
