#include "autosend/rulepass.h"

ST_EventContext BuildPassContext(CAutoSendShared &shared, int64_t now)
{
    ST_EventContext context;
    uint8_t action = ACTION_NONE;
    context.Action = shared.PopAction(action) ? action : ACTION_NONE;
    context.Paused = shared.AutoSendState.load() == AUTOSEND_PAUSED;
    if (shared.PopRec(context.NewData))
        context.HasNewData = !context.Paused;
    context.Now = now;
    const ST_TimeMarks marks = shared.Marks();
    context.StartTime = marks.StartTime;
    context.SendBeginTime = marks.SendBeginTime;
    context.SendBeginValid = marks.SendBeginValid;
    context.SendEndTime = marks.SendEndTime;
    context.SendEndValid = marks.SendEndValid;
    context.RecBeginTime = marks.RecBeginTime;
    context.RecBeginValid = marks.RecBeginValid;
    context.RecEndTime = marks.RecEndTime;
    context.RecEndValid = marks.RecEndValid;
    return context;
}

int RunRules(CRuleList &rules, ST_EventContext &context, const IClock &clock, CSendSchedule &schedule)
{
    int queued = 0;
    for (int i = 0; i < rules.Count(); ++i) {
        if (!rules.At(i))
            continue;
        CRule &rule = *rules.At(i);
        if (!rule.Check(context))
            continue;
        schedule.Queue(rule.MakeSendData(clock.NowMs()));
        rule.Rearm();
        ++queued;
    }
    return queued;
}
