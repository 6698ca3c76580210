#include "session/trafficpath.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Every stage sees the one event in the order the stages were added, each after the one before
// it is done, and the last one may take the bytes without the others having lost them.
TEST(TrafficPath, StagesSeeTheEventInTheirOrderAndOnlyTheLastTakesIt)
{
    CTrafficPath path;
    std::vector<std::string> seen;
    CCommData taken;
    for (const char *name : {"check", "log", "plot"})
        path.Add(name, [&seen, name](ST_Traffic &event) {
            seen.push_back(std::string(name) + ":" + std::to_string(event.Data.GetLength()) + "@" +
                           std::to_string(event.AgeMs));
        });
    path.Add("keep", [&taken](ST_Traffic &event) { taken = std::move(event.Data); });

    ST_Traffic event;
    event.Data = CCommData(Bytes{1, 2, 3}, FMT_HEX);
    event.AgeMs = 7;
    path.Run(event);
    EXPECT_EQ(seen, (std::vector<std::string>{"check:3@7", "log:3@7", "plot:3@7"}));
    EXPECT_EQ(taken.Data(), (Bytes{1, 2, 3}));
    EXPECT_EQ(path.Names(), (std::vector<std::string>{"check", "log", "plot", "keep"}));
}

// What a reader makes of the bytes it read waits for those bytes to come through the owner half,
// keeps its order behind what waits already, and is let go when the port's reads end without them.
TEST(TrafficPath, WhatFollowsFromAReadWaitsForItsBytes)
{
    CTrafficPath path;
    std::vector<std::string> seen;
    CTrafficPath::ST_ReadMark mark;
    path.SetReader("script", std::make_shared<CTrafficPath::Reader>([&](const uint8_t *, size_t size) {
                       seen.push_back("read " + std::to_string(size));
                       mark = path.ReadSoFar();
                   }));
    path.AfterRead(path.ReadSoFar(), [&] { seen.push_back("nothing read: at once"); });

    const uint8_t bytes[5] = {'4', '2', '\r', '\n', '>'};
    path.Read(bytes, 4);
    path.AfterRead(mark, [&] { seen.push_back("after 4"); });
    path.Read(bytes + 4, 1);
    path.AfterRead(path.ReadSoFar(), [&] { seen.push_back("after 5"); });
    path.AfterRead(CTrafficPath::ST_ReadMark{mark.Run, 0}, [&] { seen.push_back("behind the others"); });
    path.Arrived(3);
    EXPECT_EQ(seen.size(), 3u) << "nothing runs before its bytes are through";
    path.Arrived(1);
    EXPECT_EQ(seen.back(), "after 4");
    path.EndReads(); // the port closed with the last byte still on its way
    EXPECT_EQ(seen, (std::vector<std::string>{"nothing read: at once", "read 4", "read 1", "after 4",
                                              "after 5", "behind the others"}));

    path.SetReader("script", nullptr);
    path.Read(bytes, 1);
    EXPECT_EQ(seen.size(), 6u) << "a removed reader reads no more";
    path.AfterRead(mark, [&] { seen.push_back("a mark of the last run"); });
    EXPECT_EQ(seen.back(), "a mark of the last run");
}
