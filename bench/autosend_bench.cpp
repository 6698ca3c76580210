// How fast a Delay 0 rule answers a received block, and what the engine costs while idle.
#include "autosend/engine.h"
#include "autosend/rulelist.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CTimingTarget : public ISendTarget
{
public:
    void SendItem(const CCommData &) override
    {
        const Clock::time_point now = Clock::now();
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_arrived = now;
            ++m_count;
        }
        m_changed.notify_all();
    }
    Clock::time_point WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return m_count >= count; });
        return m_arrived;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    Clock::time_point m_arrived;
    size_t m_count = 0;
};

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void StartRun(CAutoSendShared &shared, CAutoSendEngine &engine)
{
    shared.SetState(AUTOSEND_RUNNING);
    shared.PushAction(ACTION_BEGIN);
    shared.ResetMarks(CSystemClock::Instance().NowMs());
    engine.Start();
}

} // namespace

int main(int argc, char **argv)
{
    // --smoke: a short run that only shows the bench still works.
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kestrum_autosend_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("KESTRUM_HOME", dir.c_str(), 1);
    const std::string path = (dir / "Default.ass").string();

    // 99 rules that wait for things that never happen, then the answering rule last, so each
    // block is offered to all of them first.
    CRuleList rules;
    for (int i = 0; i < 99; ++i) {
        auto r = std::make_unique<CSingleRule>();
        if (i % 3 == 0)
            r->Event = std::make_unique<CTimeEvent>("23:00:00.000", TIME_FROM_START);
        else if (i % 3 == 1)
            r->Event = std::make_unique<CReceiveSpecDataEvent>(CCommData(Bytes{0xFF, 0xFE}));
        else
            r->Event = std::make_unique<CActionEvent>(ACTION_STOP);
        r->Always = true;
        rules.Add(std::move(r));
    }
    auto answer = std::make_unique<CSingleRule>();
    answer->Event = std::make_unique<CReceiveAnythingEvent>();
    answer->DataItem = CCommData(Bytes{'O', 'K'});
    answer->Always = true;
    rules.Add(std::move(answer));
    rules.SaveToFile(path);

    CAutoSendShared shared;
    CTimingTarget target;
    CAutoSendEngine engine(shared, target, CSystemClock::Instance(), path);
    StartRun(shared, engine);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const int kBlocks = smoke ? 50 : 1000;
    std::vector<double> latencies;
    latencies.reserve(kBlocks);
    const CCommData block(Bytes{0x01, 0x02, 0x03});
    for (int i = 0; i < kBlocks; ++i) {
        // Blocks arrive at random points of the idle period, as from a port.
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + (i * 7919) % 9000));
        const Clock::time_point pushed = Clock::now();
        shared.PushRec(block);
        const Clock::time_point arrived = target.WaitFor(static_cast<size_t>(i) + 1);
        latencies.push_back(std::chrono::duration<double, std::micro>(arrived - pushed).count());
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("rules loaded: %d\n", engine.LoadedRuleCount());
    std::printf("block in RecQueue -> answer at send target, Delay 0, %d blocks:\n", kBlocks);
    std::printf("  median %.1f us, 99th percentile %.1f us, max %.1f us\n", latencies[kBlocks / 2],
                latencies[kBlocks * 99 / 100], latencies.back());

    const double kIdleSeconds = smoke ? 0.2 : 5.0;
    const double cpu0 = CpuSeconds();
    const Clock::time_point wall0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    std::printf("idle with %d rules: %.2f%% of one core (%.1f ms CPU in %.1f s), %llu passes\n",
                engine.LoadedRuleCount(), 100.0 * cpu / wall, cpu * 1000.0, wall,
                static_cast<unsigned long long>(engine.PassCount()));

    engine.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
