#include "autosend/engine.h"

#include "autosend/rulelist.h"
#include "autosend/rulepass.h"
#include "platform/diaglog.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace {

constexpr int64_t kIdlePeriodMs = 10;

} // namespace

CAutoSendEngine::CAutoSendEngine(CAutoSendShared &shared, ISendTarget &target, const IClock &clock,
                                 std::string ruleFilePath)
    : m_shared(shared), m_target(target), m_clock(clock), m_ruleFilePath(std::move(ruleFilePath))
{
}

CAutoSendEngine::~CAutoSendEngine()
{
    Stop();
}

void CAutoSendEngine::Start()
{
    JoinThreads();
    m_schedule.Clear();
    m_quit = false;
    m_loadedRules = 0;
    m_passes = 0;
    m_sendPolls = 0;
    m_sendThread = std::thread([this] { SendThread(); });
    m_ruleThread = std::thread([this] { RuleThread(); });
}

void CAutoSendEngine::Stop()
{
    m_shared.SetState(AUTOSEND_STOPPED);
    JoinThreads();
    // Left over, these would go out in a burst at the next Start.
    m_schedule.Clear();
    m_shared.ClearQueues();
}

void CAutoSendEngine::Wake()
{
    m_shared.Signal();
    m_schedule.Notify();
}

void CAutoSendEngine::JoinThreads()
{
    m_quit = true;
    Wake();
    if (m_ruleThread.joinable())
        m_ruleThread.join();
    if (m_sendThread.joinable())
        m_sendThread.join();
}

bool CAutoSendEngine::ShouldRun() const
{
    return !m_quit.load() && m_shared.AutoSendState.load() != AUTOSEND_STOPPED;
}

void CAutoSendEngine::RuleThread()
{
    CRuleList rules;
    try {
        rules.LoadFromFile(m_ruleFilePath);
    } catch (const std::exception &error) {
        // The run goes on with the rules read before the fault.
        AppendLogFormatted(DiagLogPath(), "CAutoSendEngine::LoadRules - %s", error.what());
    }
    m_loadedRules = rules.Count();
    while (ShouldRun()) {
        const uint64_t seen = m_shared.SignalSeq();
        ST_EventContext context = BuildPassContext(m_shared, m_clock.NowMs());
        RunRules(rules, context, m_clock, m_schedule);
        ++m_passes;
        if (m_shared.HasInput())
            continue;
        m_shared.WaitSignal(seen, std::chrono::milliseconds(kIdlePeriodMs));
    }
}

void CAutoSendEngine::SendThread()
{
    while (ShouldRun()) {
        const uint64_t seen = m_schedule.ChangeSeq();
        m_schedule.MoveQueued();
        const int64_t now = m_clock.NowMs();
        // A send can take long on a slow line; a Stop meanwhile drops the rest of the batch.
        for (const CCommData &item : m_schedule.TakeDue(now)) {
            if (!ShouldRun())
                break;
            m_target.SendItem(item);
        }
        ++m_sendPolls;
        int64_t waitMs = kIdlePeriodMs;
        int64_t due = 0;
        if (m_schedule.NextDue(due))
            waitMs = std::clamp<int64_t>(due - m_clock.NowMs(), 0, kIdlePeriodMs);
        if (waitMs > 0)
            m_schedule.WaitChange(seen, std::chrono::milliseconds(waitMs));
    }
}
