#include "autosend/engine.h"
#include "autosend/rulelist.h"
#include "autosend/rulepass.h"
#include "engine_fakes.h"
#include "platform/textfile.h"
#include "ptypair.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kDay = kMsPerDay;

CCommData Named(const std::string &name, Bytes bytes = {0x01})
{
    CCommData item(std::move(bytes), FMT_HEX);
    item.SetName(name);
    return item;
}

std::unique_ptr<CSingleRule> Single(const std::string &name, std::unique_ptr<CEvent> event, int delay = 0,
                                    bool always = true)
{
    auto r = std::make_unique<CSingleRule>();
    r->Name = name;
    r->Event = std::move(event);
    r->DataItem = Named(name);
    r->Delay = delay;
    r->Always = always;
    return r;
}

std::unique_ptr<CEvent> Spec(uint8_t first)
{
    return std::make_unique<CReceiveSpecDataEvent>(CCommData(Bytes{first}));
}

// The rule thread's pass and the send thread's poll, run by hand.
struct Passes
{
    CAutoSendShared shared;
    CFakeClock clock{10 * kDay};
    CRuleList rules;
    CSendSchedule schedule;

    std::vector<std::string> Pass()
    {
        ST_EventContext context = BuildPassContext(shared, clock.NowMs());
        RunRules(rules, context, clock, schedule);
        return Poll();
    }
    std::vector<std::string> Poll()
    {
        schedule.MoveQueued();
        std::vector<std::string> names;
        for (const CCommData &item : schedule.TakeDue(clock.NowMs()))
            names.push_back(item.GetName());
        return names;
    }
};

using V = std::vector<std::string>;

} // namespace

TEST(RulePass, OneBlockPerPassAndFirstRuleTakesIt)
{
    Passes p;
    p.shared.SetState(AUTOSEND_RUNNING);
    p.rules.Add(Single("A-answer", Spec('A')));
    p.rules.Add(Single("any", std::make_unique<CReceiveAnythingEvent>()));
    p.rules.Add(Single("begin", std::make_unique<CActionEvent>(ACTION_BEGIN)));
    p.rules.Add(Single("begin-too", std::make_unique<CActionEvent>(ACTION_BEGIN)));
    p.shared.PushAction(ACTION_BEGIN);
    p.shared.PushAction(ACTION_BEGIN);
    p.shared.PushRec(CCommData(Bytes{'A'}));
    p.shared.PushRec(CCommData(Bytes{'B'}));
    p.shared.PushRec(CCommData(Bytes{'A', 'x'}));

    // Each pass takes one block and one action; two rules firing in one pass go out in list order.
    EXPECT_EQ(p.Pass(), (V{"A-answer", "begin"}));
    EXPECT_EQ(p.Pass(), (V{"any", "begin"}));
    EXPECT_EQ(p.Pass(), V{"A-answer"});
    EXPECT_EQ(p.Pass(), V{});
}

TEST(RulePass, DelaysPauseAndMidnight)
{
    Passes p;
    p.shared.SetState(AUTOSEND_RUNNING);
    p.shared.ResetMarks(p.clock.NowMs());
    p.rules.Add(Single("slow", std::make_unique<CActionEvent>(ACTION_BEGIN), 500, false));
    p.rules.Add(Single("fast", std::make_unique<CActionEvent>(ACTION_BEGIN), 0));
    p.rules.Add(Single("pause", std::make_unique<CActionEvent>(ACTION_PAUSE)));
    p.rules.Add(Single("block", std::make_unique<CReceiveAnythingEvent>()));
    p.rules.Add(Single("timer", std::make_unique<CTimeEvent>("00:00:01.000", TIME_FROM_START)));

    p.shared.PushAction(ACTION_BEGIN);
    EXPECT_EQ(p.Pass(), V{}); // "fast" shares the action with "slow", which took it
    p.shared.PushAction(ACTION_BEGIN);
    p.clock.Advance(10);
    EXPECT_EQ(p.Pass(), V{"fast"});
    p.clock.Advance(489);
    EXPECT_EQ(p.Poll(), V{});
    p.clock.Advance(1);
    EXPECT_EQ(p.Poll(), V{"slow"});

    // Paused: actions still fire, blocks are dropped, the timer does not move.
    p.shared.SetState(AUTOSEND_PAUSED);
    p.shared.PushAction(ACTION_PAUSE);
    p.shared.PushRec(CCommData(Bytes{1}));
    p.clock.Advance(1000);
    EXPECT_EQ(p.Pass(), V{"pause"});
    EXPECT_EQ(p.shared.RecQueueSize(), 0u);
    p.clock.Advance(1000);
    EXPECT_EQ(p.Pass(), V{});
    p.shared.SetState(AUTOSEND_RUNNING);
    // It saw its value below the target before the pause, so it fires on the first running pass.
    EXPECT_EQ(p.Pass(), V{"timer"});
    EXPECT_EQ(p.Pass(), V{});

    // A send pushed past midnight by its delay still goes out.
    Passes m;
    m.shared.SetState(AUTOSEND_RUNNING);
    m.clock.Set(4 * kDay - 200);
    m.shared.ResetMarks(m.clock.NowMs());
    m.rules.Add(Single("late", std::make_unique<CActionEvent>(ACTION_BEGIN), 500));
    m.rules.Add(Single("tick", std::make_unique<CTimeEvent>("00:00:00.250", TIME_FROM_START)));
    m.shared.PushAction(ACTION_BEGIN);
    EXPECT_EQ(m.Pass(), V{});
    m.clock.Advance(260); // 00:00:00.060 of the next day
    EXPECT_EQ(m.Pass(), V{"tick"});
    m.clock.Advance(240);
    EXPECT_EQ(m.Poll(), V{"late"});
}

namespace {

class Engine : public testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_home.Dir() + "/Default.ass";
        m_engine = std::make_unique<CAutoSendEngine>(m_shared, m_target, m_clock, m_path);
    }
    void TearDown() override { m_engine.reset(); }

    // What the main window does on Start.
    void StartRun()
    {
        m_shared.SetState(AUTOSEND_RUNNING);
        m_shared.PushAction(ACTION_BEGIN);
        m_shared.ResetMarks(m_clock.NowMs());
        m_engine->Start();
        ASSERT_TRUE(Settle(*m_engine));
    }

    CTempHome m_home;
    std::string m_path;
    CAutoSendShared m_shared;
    CFakeClock m_clock{20 * kDay + 1000};
    CRecordingTarget m_target{m_shared, m_clock};
    std::unique_ptr<CAutoSendEngine> m_engine;
};

} // namespace

TEST_F(Engine, NoRuleFileRunsAndSendsNothing)
{
    StartRun();
    EXPECT_EQ(m_engine->LoadedRuleCount(), 0);
    m_shared.SetState(AUTOSEND_PAUSED);
    m_shared.PushAction(ACTION_PAUSE);
    m_shared.SetState(AUTOSEND_RUNNING);
    m_shared.PushAction(ACTION_RESUME);
    m_clock.Advance(5000);
    ASSERT_TRUE(Settle(*m_engine));
    m_engine->Stop();
    EXPECT_FALSE(m_engine->HasThreads());
    EXPECT_EQ(m_shared.AutoSendState.load(), AUTOSEND_STOPPED);
    EXPECT_TRUE(m_target.Sent().empty());
}

TEST_F(Engine, AnswersDelaysPauseAndStop)
{
    CRuleList rules;
    rules.Add(Single("answer", Spec('Q')));
    auto group = std::make_unique<CGroupRule>();
    group->Name = "group";
    group->StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group->StepEvent = std::make_unique<CTimeEvent>("00:00:01.000", TIME_FROM_SEND_END);
    group->Items = {Named("g0"), Named("g1"), Named("g2")};
    group->StartDelay = 500;
    rules.Add(std::move(group));
    rules.Add(Single("paused", std::make_unique<CActionEvent>(ACTION_PAUSE)));
    rules.Add(Single("resumed-late", std::make_unique<CActionEvent>(ACTION_RESUME), 100'000));
    rules.SaveToFile(m_path);
    const int64_t t0 = m_clock.NowMs();
    StartRun();
    EXPECT_EQ(m_engine->LoadedRuleCount(), 4);

    // A Delay 0 answer needs no clock movement at all.
    m_shared.PushRec(CCommData(Bytes{'Q', '?'}));
    ASSERT_TRUE(m_target.WaitForCount(1));
    EXPECT_EQ(m_target.Sent()[0].At, t0);

    // The group's first item is due 500 ms after Begin, and never goes out before.
    for (int i = 0; i < 5; ++i) {
        m_clock.Advance(100);
        ASSERT_TRUE(Settle(*m_engine));
        EXPECT_EQ(m_target.Sent().size(), i < 4 ? 1u : 2u) << i;
    }
    EXPECT_EQ(m_target.Sent()[1].At, t0 + 500);

    // The step timer (one second after a send ended) stands still while paused, even though its
    // value passes the target; action rules still fire.
    m_shared.SetState(AUTOSEND_PAUSED);
    m_shared.PushAction(ACTION_PAUSE);
    ASSERT_TRUE(m_target.WaitForCount(3));
    m_clock.Advance(3000);
    ASSERT_TRUE(Settle(*m_engine));
    EXPECT_EQ(m_target.Sent().size(), 3u);
    m_shared.SetState(AUTOSEND_RUNNING);
    m_shared.PushAction(ACTION_RESUME);
    ASSERT_TRUE(m_target.WaitForCount(4));
    EXPECT_EQ(m_target.Sent()[3].At, t0 + 3500);
    ASSERT_TRUE(Settle(*m_engine)); // the step timer sees its value below the target again
    m_clock.Advance(1000);
    ASSERT_TRUE(Settle(*m_engine));
    EXPECT_EQ(m_target.Sent().size(), 4u);
    m_clock.Advance(1);
    ASSERT_TRUE(m_target.WaitForCount(5));
    EXPECT_EQ(m_target.Names(), (V{"answer", "g0", "paused", "g1", "g2"}));
    EXPECT_EQ(m_target.Sent()[4].At, t0 + 4501);

    // Stop discards the pending late send and a block still queued; the next run starts clean.
    m_shared.SetState(AUTOSEND_STOPPED);
    m_shared.PushRec(CCommData(Bytes{'Q'}));
    m_shared.PushAction(ACTION_STOP);
    m_engine->Stop();
    EXPECT_FALSE(m_shared.HasInput());
    m_clock.Advance(200'000);
    m_shared.SetState(AUTOSEND_RUNNING);
    m_shared.ResetMarks(m_clock.NowMs());
    m_engine->Start();
    ASSERT_TRUE(Settle(*m_engine));
    EXPECT_EQ(m_target.Sent().size(), 5u);
}

TEST_F(Engine, MidnightAndUnreadableRuleFile)
{
    // The second block has a bad number: the run keeps the rule read before it.
    WriteFileAtomic(m_path,
                    "<CSingleRule>\r\nlate\r\nCActionEvent\r\nActionType=0\r\n\"late\",Hex,\"01 \"\r\n"
                    "Delay=300\r\nAlways=0\r\n</CSingleRule>\r\n"
                    "<CSingleRule>\r\nbad\r\nCActionEvent\r\nActionType=0\r\n\"bad\",Hex,\"\"\r\n"
                    "Delay=x\r\nAlways=0\r\n</CSingleRule>\r\n");
    m_clock.Set(7 * kDay - 100); // 23:59:59.900
    StartRun();
    EXPECT_EQ(m_engine->LoadedRuleCount(), 1);
    m_clock.Advance(299);
    ASSERT_TRUE(Settle(*m_engine));
    EXPECT_TRUE(m_target.Sent().empty());
    m_clock.Advance(1);
    ASSERT_TRUE(m_target.WaitForCount(1));
    EXPECT_EQ(m_target.Sent()[0].At, 7 * kDay + 200);
}
