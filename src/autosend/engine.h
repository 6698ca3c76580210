#pragma once
// One auto-send run is two threads: the rule thread runs a pass over the rules whenever an action
// or a received block arrives, and at least every 10 ms; the send thread hands each scheduled item
// to the send target as soon as it is due. Both end when the shared state turns to stopped.
#include "autosend/sendschedule.h"
#include "autosend/sendtarget.h"
#include "autosend/sharedstate.h"
#include "platform/clock.h"

#include <atomic>
#include <string>
#include <thread>

class CAutoSendEngine
{
public:
    // `ruleFilePath` is read afresh at every Start ("Default.ass" in the app folder).
    CAutoSendEngine(CAutoSendShared &shared, ISendTarget &target, const IClock &clock,
                    std::string ruleFilePath);
    ~CAutoSendEngine(); // Stop()
    CAutoSendEngine(const CAutoSendEngine &) = delete;
    CAutoSendEngine &operator=(const CAutoSendEngine &) = delete;

    // Begins a run. The caller has already set the state to running, queued Begin and reset the
    // marks. Threads of an earlier run that are still alive are stopped and joined first, so two
    // runs never overlap.
    void Start();

    // Sets the state to stopped, waits for both threads to end, then discards what the run left:
    // pending sends, queued actions and queued received blocks. Safe to call when not running.
    void Stop();

    // True while the threads of a run exist (also after the state turned to stopped and before
    // Stop joined them).
    bool HasThreads() const { return m_ruleThread.joinable() || m_sendThread.joinable(); }

    // Makes both threads look at the clock and the shared state again at once. The shared state
    // does this by itself on every push; a test clock calls it after moving.
    void Wake();

    // Number of rules the current run loaded (valid once the run's first pass has happened).
    int LoadedRuleCount() const { return m_loadedRules.load(); }
    // Number of passes the current run has made; tests and the bench use it to wait for a pass.
    uint64_t PassCount() const { return m_passes.load(); }
    // Number of times the send thread has looked for due sends in the current run.
    uint64_t SendPollCount() const { return m_sendPolls.load(); }

private:
    bool ShouldRun() const;
    void RuleThread();
    void SendThread();
    void JoinThreads();

    CAutoSendShared &m_shared;
    ISendTarget &m_target;
    const IClock &m_clock;
    const std::string m_ruleFilePath;
    CSendSchedule m_schedule;
    std::atomic<bool> m_quit{false};
    std::atomic<int> m_loadedRules{0};
    std::atomic<uint64_t> m_passes{0};
    std::atomic<uint64_t> m_sendPolls{0};
    std::thread m_ruleThread;
    std::thread m_sendThread;
};
