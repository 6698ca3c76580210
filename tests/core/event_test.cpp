#include "autosend/event.h"
#include "autosend/keyline.h"
#include "platform/clock.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kDay = kMsPerDay;

ST_EventContext At(int64_t now, int64_t start = 0)
{
    ST_EventContext c;
    c.Now = now;
    c.StartTime = start;
    return c;
}

ST_EventContext WithBlock(const Bytes &bytes)
{
    ST_EventContext c;
    c.HasNewData = true;
    c.NewData = CCommData(bytes);
    return c;
}

} // namespace

TEST(KeyLine, ValuesAndNumbers)
{
    EXPECT_EQ(ReadKeyValue("Delay=50"), "50");
    EXPECT_EQ(ReadKeyValue("Time=00:00:01.000"), "00:00:01.000");
    EXPECT_EQ(ReadKeyValue("NoEquals"), "");
    EXPECT_EQ(ReadKeyValue("Key= 12 34"), "12");
    EXPECT_EQ(ReadKeyValue("Key=\"a b\""), "a b");
    EXPECT_EQ(ReadKeyValue("Delay="), "");
    EXPECT_THROW(ReadKeyInt("Delay="), EConvertError);

    EXPECT_EQ(ReadKeyInt("Delay=-25"), -25);
    EXPECT_EQ(ReadKeyInt("Delay=12abc"), 12);
    EXPECT_THROW(ReadKeyInt("Delay=abc"), EConvertError);
    EXPECT_THROW(ReadKeyInt("Delay"), EConvertError);
    EXPECT_THROW(ReadKeyInt("Delay=99999999999"), EConvertError);
    try {
        ReadKeyInt("Always=x1");
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
    }
}

TEST(Events, CreateByExactClassName)
{
    EXPECT_EQ(CreateEvent("CActionEvent")->SaveText(), "ActionType=0");
    EXPECT_EQ(CreateEvent("CTimeEvent")->SaveText(), "Time=00:00:00.000,TimeType=1");
    EXPECT_EQ(CreateEvent("CReceiveAnythingEvent")->SaveText(), "ReceiveAnything");
    EXPECT_EQ(CreateEvent("CReceiveFixLengthEvent")->SaveText(), "FixLength=1");
    EXPECT_EQ(CreateEvent("CReceiveSpecDataEvent")->SaveText(), CCommData().ToLine());
    EXPECT_EQ(CreateEvent("cactionevent"), nullptr);
    EXPECT_EQ(CreateEvent("CReceiveEvent"), nullptr);
    EXPECT_EQ(CreateEvent(""), nullptr);
}

TEST(Events, TextsRoundTrip)
{
    CActionEvent action;
    EXPECT_TRUE(action.LoadText("ActionType=1"));
    EXPECT_EQ(action.Description(), "Action : Pause");
    EXPECT_EQ(action.SaveText(), "ActionType=1");
    EXPECT_THROW(action.LoadText("ActionType=none"), EConvertError);
    EXPECT_EQ(CActionEvent(7).Description(), "");

    CTimeEvent time;
    EXPECT_TRUE(time.LoadText("Time=00:00:01.000,TimeType=3"));
    EXPECT_EQ(time.TimeType, TIME_FROM_SEND_END);
    EXPECT_EQ(time.SaveText(), "Time=00:00:01.000,TimeType=3");
    // Hand-edited texts that a plain "Time=" would cut or unquote read back as they were.
    for (const char *odd : {"\"\"\"\"\"", "\"a", "a b", "x,y", "a\"\",\"", "\t"}) {
        CTimeEvent written(odd, 2), read;
        ASSERT_TRUE(read.LoadText(written.SaveText())) << odd;
        EXPECT_EQ(read.TimeText, odd);
    }
    EXPECT_EQ(CTimeEvent("00:00:01.000", 1).Description(), "Time From Start: Value00:00:01.000");
    EXPECT_EQ(CTimeEvent("00:00:01.000", 0).Description(), "Time Absolure: Value00:00:01.000");
    EXPECT_EQ(CTimeEvent("00:00:01.000", 9).Description(), ": Value00:00:01.000");
    CTimeEvent unchanged("01:02:03.004", 2);
    EXPECT_FALSE(unchanged.LoadText("Time=00:00:05.000"));
    EXPECT_EQ(unchanged.TimeText, "01:02:03.004");
    EXPECT_FALSE(unchanged.LoadText("Time=00:00:05.000,TimeType=x"));
    EXPECT_EQ(unchanged.TimeText, "00:00:05.000");
    EXPECT_EQ(unchanged.TimeType, 2);

    // An empty time text (hand-edited file) writes a line that must read back.
    CTimeEvent blank;
    EXPECT_TRUE(blank.LoadText("nothing,TimeType=4"));
    EXPECT_EQ(blank.TimeText, "");
    CTimeEvent blankRead;
    EXPECT_TRUE(blankRead.LoadText(blank.SaveText()));
    EXPECT_EQ(blankRead.SaveText(), "Time=,TimeType=4");

    CReceiveFixLengthEvent fix;
    EXPECT_TRUE(fix.LoadText("FixLength=8"));
    EXPECT_EQ(fix.Description(), "Receive Fixed Length : 8");
    EXPECT_FALSE(fix.LoadText("FixLength=x"));
    EXPECT_EQ(fix.FixLength, 8);

    CCommData spec(Bytes{0x41, 0x42}, FMT_HEX);
    spec.SetName("Spec Data");
    CReceiveSpecDataEvent written(spec), read;
    EXPECT_FALSE(read.LoadText(written.SaveText()));
    EXPECT_EQ(read.SpecData, spec);
    EXPECT_EQ(read.Description(), "Receive Spec Data : Hex,\"41 42 \"");
}

TEST(Events, ParseTimeText)
{
    int64_t ms = -1;
    EXPECT_TRUE(ParseTimeText("01:02:03.004", ms));
    EXPECT_EQ(ms, ((1 * 60 + 2) * 60 + 3) * 1000 + 4);
    EXPECT_TRUE(ParseTimeText("00:00:00.5", ms));
    EXPECT_EQ(ms, 5);
    EXPECT_TRUE(ParseTimeText("23:59:59.999", ms));
    EXPECT_EQ(ms, kDay - 1);
    for (const char *bad : {"24:00:00.000", "00:60:00.000", "00:00:61.000", "00:00:00.1000", "12:00:00", "",
                            "ab:cd:ef.ghi", "00:-1:00.000", "00 00 00 000"})
        EXPECT_FALSE(ParseTimeText(bad, ms)) << bad;
}

TEST(Events, ActionFiresOncePerPassAndWhilePaused)
{
    CActionEvent pause(ACTION_PAUSE), otherPause(ACTION_PAUSE), begin(ACTION_BEGIN);
    ST_EventContext c;
    c.Paused = true;
    c.Action = ACTION_PAUSE;
    EXPECT_FALSE(begin.Check(c));
    EXPECT_TRUE(pause.Check(c));
    EXPECT_EQ(c.Action, ACTION_NONE);
    EXPECT_FALSE(otherPause.Check(c));

    // A hand-edited type equal to the "no action" marker never fires.
    CActionEvent none(ACTION_NONE);
    ST_EventContext idle;
    EXPECT_FALSE(none.Check(idle));
}

TEST(Events, ReceiveEventsConsumeTheBlock)
{
    CReceiveFixLengthEvent eight(8), seven(7), nine(9);
    ST_EventContext c = WithBlock(Bytes(8, 0x55));
    EXPECT_FALSE(seven.Check(c));
    EXPECT_FALSE(nine.Check(c));
    EXPECT_TRUE(eight.Check(c));
    EXPECT_FALSE(c.HasNewData);
    EXPECT_FALSE(eight.Check(c));

    CReceiveSpecDataEvent ab(CCommData(Bytes{0x41, 0x42}));
    for (const Bytes &hit : {Bytes{0x41, 0x42, 0x43}, Bytes{0x41, 0x42}}) {
        ST_EventContext h = WithBlock(hit);
        EXPECT_TRUE(ab.Check(h));
        EXPECT_FALSE(h.HasNewData);
    }
    for (const Bytes &miss : {Bytes{0x41}, Bytes{0x42, 0x41}, Bytes{}}) {
        ST_EventContext m = WithBlock(miss);
        EXPECT_FALSE(ab.Check(m));
        EXPECT_TRUE(m.HasNewData);
    }
    CReceiveSpecDataEvent empty;
    ST_EventContext e = WithBlock(Bytes{0x01});
    EXPECT_TRUE(empty.Check(e));

    CReceiveAnythingEvent any;
    ST_EventContext a = WithBlock(Bytes{});
    EXPECT_TRUE(any.Check(a));
    EXPECT_FALSE(any.Check(a));
}

TEST(Events, TimeFromStartCrossesOnceUntilReset)
{
    CTimeEvent event;
    ASSERT_TRUE(event.LoadText("Time=00:00:02.000,TimeType=1"));
    const int64_t start = 5 * kDay + 1000;
    int fires = 0;
    int64_t firedAt = -1;
    for (int64_t t = 0; t <= 5000; t += 10) {
        ST_EventContext c = At(start + t, start);
        if (event.Check(c)) {
            ++fires;
            firedAt = t;
        }
    }
    EXPECT_EQ(fires, 1);
    EXPECT_EQ(firedAt, 2010); // strictly above the target, first pass after it
    EXPECT_EQ(event.FireState, 2);

    event.Reset();
    ST_EventContext above = At(start + 6000, start);
    EXPECT_FALSE(event.Check(above)); // must be seen below again first
    EXPECT_EQ(event.FireState, 0);

    std::unique_ptr<CEvent> clone = CTimeEvent("00:00:01.000", 1).Clone();
    auto *copy = static_cast<CTimeEvent *>(clone.get());
    ST_EventContext below = At(start, start);
    copy->Check(below);
    EXPECT_EQ(static_cast<CTimeEvent *>(copy->Clone().get())->FireState, 1);
}

TEST(Events, TimeEventPausedAndWaitingForMarks)
{
    CTimeEvent event("00:00:01.000", TIME_FROM_SEND_END);
    ST_EventContext c = At(10'000);
    EXPECT_FALSE(event.Check(c)); // no send ended in this run
    EXPECT_EQ(event.FireState, 0);
    c.SendEndValid = true;
    c.SendEndTime = 9'900;
    c.Paused = true;
    EXPECT_FALSE(event.Check(c));
    EXPECT_EQ(event.FireState, 0); // pausing freezes it
    c.Paused = false;
    EXPECT_FALSE(event.Check(c));
    EXPECT_EQ(event.FireState, 1);
    c.Now = 11'000;
    c.Paused = true;
    EXPECT_FALSE(event.Check(c));
    c.Paused = false;
    EXPECT_TRUE(event.Check(c));

    struct Mark
    {
        TIME_EVENT_TYPE type;
        int64_t ST_EventContext::*time;
        bool ST_EventContext::*valid;
    };
    for (const Mark &m : {Mark{2, &ST_EventContext::SendBeginTime, &ST_EventContext::SendBeginValid},
                          Mark{4, &ST_EventContext::RecBeginTime, &ST_EventContext::RecBeginValid},
                          Mark{5, &ST_EventContext::RecEndTime, &ST_EventContext::RecEndValid}}) {
        CTimeEvent e("00:00:00.100", m.type);
        ST_EventContext x = At(1000);
        x.*(m.time) = 950;
        EXPECT_FALSE(e.Check(x));
        EXPECT_EQ(e.FireState, 0) << int(m.type);
        x.*(m.valid) = true;
        EXPECT_FALSE(e.Check(x));
        x.Now = 1051;
        EXPECT_TRUE(e.Check(x)) << int(m.type);
    }
}

TEST(Events, ALatePassStillSeesTheValueStartAgainFromAMovedMark)
{
    CTimeEvent step("00:00:00.010", TIME_FROM_SEND_BEGIN);
    ST_EventContext c = At(1000);
    c.SendBeginValid = true;
    c.SendBeginTime = 995;
    EXPECT_FALSE(step.Check(c));
    c.Now = 1012;
    EXPECT_TRUE(step.Check(c));
    step.Reset();
    // The next send began at 1013, and no pass came within its 10 ms.
    c.SendBeginTime = 1013;
    c.Now = 1030;
    EXPECT_TRUE(step.Check(c));
    c.Now = 1040;
    EXPECT_FALSE(step.Check(c));

    step.Reset();
    c.SendBeginTime = 1050;
    c.Now = 1070;
    c.Paused = true;
    EXPECT_FALSE(step.Check(c));
    c.Paused = false;
    c.Now = 1080;
    EXPECT_FALSE(step.Check(c)) << "a move seen while paused arms nothing";

    CTimeEvent after("00:00:00.050", TIME_FROM_REC_END);
    ST_EventContext r = At(1000);
    EXPECT_FALSE(after.Check(r)); // nothing received yet
    r.RecEndValid = true;
    r.RecEndTime = 1010;
    r.Now = 1100;
    EXPECT_TRUE(after.Check(r)) << "the first block reached the rules after the target";
}

TEST(Events, TimeEventAcrossMidnightAndBadTargets)
{
    // Relative times keep counting over midnight.
    CTimeEvent fromStart("00:00:02.000", TIME_FROM_START);
    const int64_t start = 3 * kDay - 1000;
    ST_EventContext c = At(start + 500, start);
    EXPECT_FALSE(fromStart.Check(c));
    c.Now = start + 2500; // 00:00:01.500 of the next day
    EXPECT_TRUE(fromStart.Check(c));

    // The absolute event follows the time of day: armed after its time, it fires next day.
    CTimeEvent absolute("08:00:00.000", TIME_ABSOLUTE);
    const int64_t eight = 8LL * 3600 * 1000;
    ST_EventContext d = At(kDay + eight + 10);
    EXPECT_FALSE(absolute.Check(d));
    EXPECT_EQ(absolute.FireState, 0);
    d.Now = 2 * kDay + 5;
    EXPECT_FALSE(absolute.Check(d));
    EXPECT_EQ(absolute.FireState, 1);
    d.Now = 2 * kDay + eight + 1;
    EXPECT_TRUE(absolute.Check(d));

    // A target that cannot be encoded never fires and never arms.
    for (const char *bad : {"00:75:00.000", "garbage", ""}) {
        CTimeEvent broken(bad, TIME_FROM_START);
        for (int64_t t = 0; t < 10 * kDay; t += kDay / 7) {
            ST_EventContext b = At(t, 0);
            EXPECT_FALSE(broken.Check(b)) << bad;
        }
        EXPECT_EQ(broken.FireState, 0);
    }
    CTimeEvent badType("00:00:00.001", 6);
    ST_EventContext e = At(0);
    EXPECT_FALSE(badType.Check(e));
    EXPECT_EQ(badType.FireState, 0);
}
