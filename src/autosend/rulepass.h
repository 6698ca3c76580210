#pragma once
// One pass of the rule thread, apart from the thread so it can be driven step by step.
#include "autosend/rulelist.h"
#include "autosend/sendschedule.h"
#include "autosend/sharedstate.h"
#include "platform/clock.h"

// Takes at most one action and one received block off the shared queues (a block taken while
// paused is dropped) and copies the start time and the marks, each under its own lock.
ST_EventContext BuildPassContext(CAutoSendShared &shared, int64_t now);

// Asks every rule in list order; each that fires queues its send (timed from the clock at that
// moment) and is re-armed. Returns the number of sends queued.
int RunRules(CRuleList &rules, ST_EventContext &context, const IClock &clock, CSendSchedule &schedule);
