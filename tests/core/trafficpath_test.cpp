#include "session/receivepipeline.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Every stage sees the one block in the order the stages were added, each after the one before
// it is done, and the last one may take the bytes without the others having lost them.
TEST(ReceivePipeline, StagesSeeTheBlockInTheirOrderAndOnlyTheLastTakesIt)
{
    CReceivePipeline pipeline;
    std::vector<std::string> seen;
    CCommData taken;
    for (const char *name : {"check", "log", "plot"})
        pipeline.Add(name, [&seen, name](CCommData &block, int64_t ageMs) {
            seen.push_back(std::string(name) + ":" + std::to_string(block.GetLength()) + "@" +
                           std::to_string(ageMs));
        });
    pipeline.Add("keep", [&taken](CCommData &block, int64_t) { taken = std::move(block); });

    CCommData block(Bytes{1, 2, 3}, FMT_HEX);
    pipeline.Run(block, 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"check:3@7", "log:3@7", "plot:3@7"}));
    EXPECT_EQ(taken.Data(), (Bytes{1, 2, 3}));
    EXPECT_EQ(pipeline.Names(), (std::vector<std::string>{"check", "log", "plot", "keep"}));
}
