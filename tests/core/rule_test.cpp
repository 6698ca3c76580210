#include "autosend/rule.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

namespace {

ST_EventContext Block(const Bytes &bytes)
{
    ST_EventContext c;
    c.HasNewData = true;
    c.NewData = CCommData(bytes);
    return c;
}

ST_EventContext Action(uint8_t action)
{
    ST_EventContext c;
    c.Action = action;
    return c;
}

CCommData Item(const std::string &name, uint8_t byte)
{
    CCommData item(Bytes{byte}, FMT_HEX);
    item.SetName(name);
    return item;
}

CGroupRule ThreeItemGroup(bool loop)
{
    CGroupRule g;
    g.StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    g.StepEvent = std::make_unique<CReceiveAnythingEvent>();
    g.Items = {Item("a", 1), Item("b", 2), Item("c", 3)};
    g.StartDelay = 100;
    g.StepDelay = 7;
    g.Loop = loop;
    return g;
}

// One pass: Check, and when it fires, the item and delay MakeSendData gives at t = 1000.
std::string Pass(CRule &rule, ST_EventContext c)
{
    if (!rule.Check(c))
        return "-";
    const ST_SendData s = rule.MakeSendData(1000);
    rule.Rearm();
    return s.DataItem.GetName() + "+" + std::to_string(s.SendTime - 1000);
}

CRuleLines Lines(std::vector<std::string> lines)
{
    return CRuleLines(std::move(lines));
}

} // namespace

TEST(SingleRule, OnceOrAlways)
{
    CSingleRule once;
    once.Event = std::make_unique<CReceiveAnythingEvent>();
    once.DataItem = Item("answer", 0x06);
    once.Delay = 50;
    EXPECT_EQ(once.TypeText(), "Single");
    EXPECT_EQ(Pass(once, ST_EventContext()), "-");
    EXPECT_EQ(Pass(once, Block({1})), "answer+50");
    EXPECT_EQ(Pass(once, Block({2})), "-");
    EXPECT_EQ(once.FireCount, 1);

    CSingleRule always(once);
    always.Always = true;
    always.FireCount = 0;
    EXPECT_EQ(always.TypeText(), "Single:Always");
    EXPECT_EQ(Pass(always, Block({1})), "answer+50");
    EXPECT_EQ(Pass(always, Block({2})), "answer+50");
    EXPECT_EQ(always.FireCount, 2);

    // A time event is re-armed after each firing, so an Always rule on it fires once per crossing.
    CSingleRule timed;
    timed.Always = true;
    timed.Event = std::make_unique<CTimeEvent>("00:00:00.100", TIME_FROM_SEND_END);
    ST_EventContext c;
    c.SendEndValid = true;
    c.SendEndTime = 0;
    int fires = 0;
    for (int t = 0; t < 1000; t += 10) {
        c.Now = t;
        fires += timed.Check(c) ? 1 : 0;
    }
    EXPECT_EQ(fires, 1);

    CSingleRule empty;
    EXPECT_EQ(empty.Description(), "Empty");
    EXPECT_FALSE(empty.Check(*std::make_unique<ST_EventContext>(Block({1}))));
}

TEST(SingleRule, CopiesCloneTheEvent)
{
    CSingleRule a;
    a.Name = "A";
    a.Event = std::make_unique<CTimeEvent>("00:00:01.000", 1);
    a.FireCount = 3;
    CSingleRule b(a);
    EXPECT_NE(b.Event.get(), a.Event.get());
    EXPECT_EQ(b.FireCount, 3);
    static_cast<CTimeEvent &>(*b.Event).TimeText = "00:00:09.000";
    EXPECT_EQ(static_cast<CTimeEvent &>(*a.Event).TimeText, "00:00:01.000");
    CSingleRule c;
    c = a;
    EXPECT_EQ(c.Name, "A");
    EXPECT_NE(c.Event.get(), a.Event.get());
    std::unique_ptr<CRule> d = a.Clone();
    EXPECT_EQ(d->Description(), a.Description());
}

TEST(GroupRule, StepsEndsAndLoops)
{
    CGroupRule g = ThreeItemGroup(false);
    EXPECT_EQ(Pass(g, Block({0})), "-"); // not started
    EXPECT_EQ(Pass(g, Action(ACTION_BEGIN)), "a+100");
    EXPECT_EQ(Pass(g, ST_EventContext()), "-");
    EXPECT_EQ(Pass(g, Block({0})), "b+7");
    EXPECT_EQ(Pass(g, Block({0})), "c+7");
    EXPECT_TRUE(g.Started);
    EXPECT_EQ(Pass(g, Block({0})), "-"); // ends in the pass after the last item
    EXPECT_FALSE(g.Started);
    EXPECT_EQ(g.StepIndex, -1);
    EXPECT_EQ(Pass(g, Action(ACTION_BEGIN)), "a+100"); // start event asked again

    CGroupRule looping = ThreeItemGroup(true);
    std::string seen;
    Pass(looping, Action(ACTION_BEGIN));
    for (int i = 0; i < 4; ++i)
        seen += Pass(looping, Block({0})) + " ";
    EXPECT_EQ(seen, "b+7 c+7 a+100 b+7 ");

    CGroupRule none = ThreeItemGroup(false);
    none.Items.clear();
    EXPECT_EQ(Pass(none, Action(ACTION_BEGIN)), "-");
    EXPECT_FALSE(none.Started);
    EXPECT_EQ(none.Description(), "Items count: 0");
    none.Items.assign(12, CCommData());
    EXPECT_EQ(none.Description(), "Items count: 12");
    EXPECT_EQ(none.TypeText(), "Group");
}

TEST(GroupRule, StopIsTestedBeforeStep)
{
    // Stop and step both take any received block: the stop event consumes it first.
    CGroupRule g = ThreeItemGroup(true);
    g.StopEvent = std::make_unique<CReceiveFixLengthEvent>(2);
    Pass(g, Action(ACTION_BEGIN));
    EXPECT_EQ(Pass(g, Block({0})), "b+7");
    ST_EventContext stop = Block({0, 0});
    EXPECT_FALSE(g.Check(stop));
    EXPECT_FALSE(stop.HasNewData);
    EXPECT_FALSE(g.Started);

    // The group never re-arms its start event: a time start fires once per run.
    CGroupRule timed = ThreeItemGroup(false);
    timed.StartEvent = std::make_unique<CTimeEvent>("00:00:00.050", TIME_FROM_START);
    timed.Items.resize(1);
    int starts = 0;
    for (int t = 0; t < 500; t += 10) {
        ST_EventContext c;
        c.Now = t;
        starts += timed.Check(c) && timed.StepIndex == 0 ? 1 : 0;
    }
    EXPECT_EQ(starts, 1);

    CGroupRule copy(g);
    EXPECT_NE(copy.StopEvent.get(), g.StopEvent.get());
    CGroupRule assigned;
    assigned = g;
    EXPECT_EQ(assigned.Items.size(), 3u);
    EXPECT_NE(assigned.StepEvent.get(), g.StepEvent.get());
}

TEST(GroupRule, ATimedStepCountsFromTheFirstSendEvenWhenThePassAfterItIsLate)
{
    CGroupRule g = ThreeItemGroup(true);
    g.StepEvent = std::make_unique<CTimeEvent>("00:00:00.010", TIME_FROM_SEND_BEGIN);
    ST_EventContext c = Action(ACTION_BEGIN);
    c.Now = 1000;
    ASSERT_EQ(Pass(g, c), "a+100");
    // The first item's send began at 1100; the next pass came 30 ms after that.
    c = ST_EventContext();
    c.SendBeginValid = true;
    c.SendBeginTime = 1100;
    c.Now = 1130;
    EXPECT_EQ(Pass(g, c), "b+7");
}

TEST(RuleBlocks, SingleRoundTripAndMalformed)
{
    CSingleRule r;
    r.Name = "Ping";
    r.Event = std::make_unique<CReceiveAnythingEvent>();
    r.DataItem = Item("x", 0x50);
    r.Delay = 50;
    r.Always = true;
    std::vector<std::string> block;
    r.SaveBlock(block);
    ASSERT_EQ(block.size(), 8u);
    EXPECT_EQ(block[0], "<CSingleRule>");
    EXPECT_EQ(block[2], "CReceiveAnythingEvent");
    EXPECT_EQ(block[5], "Delay=50");
    EXPECT_EQ(block[6], "Always=1");
    EXPECT_EQ(block[7], "</CSingleRule>");

    block.insert(block.begin(), "stray");
    block.push_back("tail");
    CRuleLines lines(block);
    CSingleRule read;
    ASSERT_TRUE(read.LoadBlock(lines));
    EXPECT_EQ(lines.Size(), 2u);
    EXPECT_EQ(read.Name, "Ping");
    EXPECT_EQ(read.Description(), r.Description());
    EXPECT_EQ(read.DataItem, r.DataItem);
    EXPECT_EQ(read.Delay, 50);
    EXPECT_TRUE(read.Always);

    CSingleRule noEvent;
    std::vector<std::string> none;
    noEvent.SaveBlock(none);
    EXPECT_TRUE(none.empty());

    // Unknown event class: no event, the later lines still read at their places.
    CRuleLines unknown = Lines({"<csinglerule>", "N", "CNoSuchEvent", "whatever", "\"i\",Hex,\"01 \"",
                                "Delay=5", "Always=0", "</CSINGLERULE>"});
    CSingleRule u;
    ASSERT_TRUE(u.LoadBlock(unknown));
    EXPECT_EQ(u.Event, nullptr);
    EXPECT_EQ(u.Delay, 5);
    EXPECT_TRUE(unknown.Empty());

    CRuleLines shortBlock = Lines({"<CSingleRule>", "N", "</CSingleRule>", "next"});
    EXPECT_FALSE(CSingleRule().LoadBlock(shortBlock));
    EXPECT_EQ(shortBlock.Size(), 1u);

    CRuleLines reversed = Lines({"</CSingleRule>", "<CSingleRule>"});
    EXPECT_FALSE(CSingleRule().LoadBlock(reversed));
    EXPECT_EQ(reversed.Size(), 2u);

    CRuleLines badNumber = Lines({"<CSingleRule>", "N", "CReceiveAnythingEvent", "ReceiveAnything",
                                  "\"i\",Hex,\"\"", "Delay=soon", "Always=0", "</CSingleRule>"});
    EXPECT_THROW(CSingleRule().LoadBlock(badNumber), EConvertError);

    // A line break in a name would break the file apart.
    r.Name = "two\r\nlines";
    block.clear();
    r.SaveBlock(block);
    EXPECT_EQ(block[1], "two  lines");
}

TEST(RuleBlocks, GroupRoundTripAndMalformed)
{
    CGroupRule g = ThreeItemGroup(true);
    g.Name = "Polling";
    g.StopEvent = std::make_unique<CTimeEvent>("00:00:00.500", 3);
    g.StopDelay = 9;
    std::vector<std::string> block;
    g.SaveBlock(block);
    ASSERT_EQ(block.size(), 18u);
    EXPECT_EQ(block[5], "HasStopEvent=1");
    EXPECT_EQ(block[8], "StopDelay=9");
    EXPECT_EQ(block[13], "CommDataCount=3");

    CRuleLines lines(block);
    CGroupRule read;
    ASSERT_TRUE(read.LoadBlock(lines));
    EXPECT_EQ(read.Name, "Polling");
    EXPECT_EQ(read.Items, g.Items);
    EXPECT_EQ(read.StartEvent->SaveText(), "ActionType=0");
    EXPECT_EQ(read.StopEvent->SaveText(), "Time=00:00:00.500,TimeType=3");
    EXPECT_EQ(read.StepEvent->ClassName(), "CReceiveAnythingEvent");
    EXPECT_EQ(read.StartDelay, 100);
    EXPECT_EQ(read.StopDelay, 9);
    EXPECT_EQ(read.StepDelay, 7);
    EXPECT_TRUE(read.Loop);

    g.StopEvent.reset();
    block.clear();
    g.SaveBlock(block);
    EXPECT_EQ(block.size(), 15u);
    CRuleLines noStop(block);
    ASSERT_TRUE(read.LoadBlock(noStop));
    EXPECT_EQ(read.StopEvent, nullptr);
    EXPECT_EQ(read.StopDelay, 0);

    g.StepEvent.reset();
    block.clear();
    g.SaveBlock(block);
    EXPECT_TRUE(block.empty());

    const std::vector<std::string> good = {"<CGroupRule>",          "G",
                                           "CActionEvent",          "ActionType=0",
                                           "StartDelay=0",          "HasStopEvent=0",
                                           "CReceiveAnythingEvent", "ReceiveAnything",
                                           "StepDelay=0",           "Loop=0",
                                           "CommDataCount=1",       "\"i\",Hex,\"01 \"",
                                           "</CGroupRule>"};
    CRuleLines ok(good);
    EXPECT_TRUE(CGroupRule().LoadBlock(ok));

    std::vector<std::string> badNumber = good;
    badNumber[8] = "StepDelay=x";
    CRuleLines bad(badNumber);
    EXPECT_FALSE(CGroupRule().LoadBlock(bad));
    EXPECT_TRUE(bad.Empty());

    // A count beyond the item lines never turns the end tag into an item.
    std::vector<std::string> tooMany = good;
    tooMany[10] = "CommDataCount=2";
    CRuleLines many(tooMany);
    EXPECT_FALSE(CGroupRule().LoadBlock(many));

    std::vector<std::string> truncated(good.begin(), good.begin() + 6);
    truncated.push_back("</CGroupRule>");
    CRuleLines cut(truncated);
    EXPECT_FALSE(CGroupRule().LoadBlock(cut));
}
