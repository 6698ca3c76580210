#include "replay/replayports.h"

#include "demo/demorunner.h"
#include "portbase/demoports.h"

#include <algorithm>
#include <exception>
#include <map>
#include <mutex>
#include <optional>

namespace {

struct ST_Prepared
{
    ST_ReplayOptions Options;
    uint32_t BytesPerSecond = 0;
    std::shared_ptr<CReplayControl> Control;
    std::optional<ST_Recording> Recording;
};

constexpr int64_t kOpenSettleMicros = 100000;

std::mutex g_preparedLock;
std::map<std::string, ST_Prepared> g_prepared;

// The runner's wake goes before the runner: a step asked meanwhile finds nobody to tell.
std::unique_ptr<demo::CDemoRunner> Play(ST_Recording recording, const ST_ReplayOptions &options,
                                        const std::shared_ptr<CReplayControl> &control,
                                        demo::EDemoStart start, std::string *error)
{
    auto shared = std::make_shared<ST_Recording>(std::move(recording));
    ST_ReplayOptions played = options;
    // Another program's open is seen as it happens, before that program has set its port up.
    if (start == demo::EDemoStart::WhenSlaveOpens)
        played.SettleMicros = std::max<int64_t>(played.SettleMicros, kOpenSettleMicros);
    auto runner = demo::CDemoRunner::Make(
        [&](const std::string &) {
            return std::make_unique<CReplayDevice>(std::move(*shared), played, control);
        },
        start, error);
    if (runner) {
        demo::CDemoRunner *wake = runner.get();
        control->SetWake([wake] { wake->Nudge(); });
    }
    return runner;
}

class CReplayPort final : public IDemoPort
{
public:
    CReplayPort(std::shared_ptr<CReplayControl> control, std::unique_ptr<demo::CDemoRunner> runner)
        : m_control(std::move(control)), m_runner(std::move(runner))
    {
    }
    ~CReplayPort() override { m_control->SetWake(nullptr); }
    const std::string &SlavePath() const override { return m_runner->SlavePath(); }
    void Opened() override { m_runner->Opened(); }

private:
    std::shared_ptr<CReplayControl> m_control;
    std::unique_ptr<demo::CDemoRunner> m_runner;
};

class CReplayPorts final : public IDemoPorts
{
public:
    std::vector<ST_DemoKind> Kinds() const override { return {}; }
    // Only a recording read beforehand (the replay dialog reads it on a thread of its own) keeps
    // the disk out of the start.
    bool StartWaits(const std::string &file) const override
    {
        const std::lock_guard<std::mutex> guard(g_preparedLock);
        const auto found = g_prepared.find(file);
        return found == g_prepared.end() || !found->second.Recording;
    }
    std::unique_ptr<IDemoPort> Start(const std::string &file, std::string *error) override
    {
        ST_Prepared prepared;
        {
            const std::lock_guard<std::mutex> guard(g_preparedLock);
            const auto found = g_prepared.find(file);
            if (found != g_prepared.end()) {
                prepared = std::move(found->second);
                g_prepared.erase(found);
            }
        }
        if (!prepared.Control)
            prepared.Control = std::make_shared<CReplayControl>();
        std::string why;
        std::unique_ptr<demo::CDemoRunner> runner;
        // The serial layer returns codes: a file that cannot be read says why in words.
        try {
            ST_Recording recording = prepared.Recording ? std::move(*prepared.Recording)
                                                        : ReadRecordingFile(file, prepared.BytesPerSecond);
            runner = Play(std::move(recording), prepared.Options, prepared.Control,
                          demo::EDemoStart::WhenTold, &why);
        } catch (const std::exception &e) {
            why = e.what();
        }
        if (!runner) {
            *error = ReplayPortName(file) + ": " + why;
            return nullptr;
        }
        return std::make_unique<CReplayPort>(prepared.Control, std::move(runner));
    }
};

} // namespace

std::shared_ptr<CReplayControl> PrepareReplay(const std::string &file, const ST_ReplayOptions &options,
                                              uint32_t bytesPerSecond)
{
    auto control = std::make_shared<CReplayControl>();
    const std::lock_guard<std::mutex> guard(g_preparedLock);
    g_prepared[file] = {options, bytesPerSecond, control, std::nullopt};
    return control;
}

std::shared_ptr<CReplayControl> PrepareReplay(const std::string &file, const ST_ReplayOptions &options,
                                              ST_Recording recording)
{
    auto control = std::make_shared<CReplayControl>();
    const std::lock_guard<std::mutex> guard(g_preparedLock);
    g_prepared[file] = {options, 0, control, std::move(recording)};
    return control;
}

void InstallReplayPorts()
{
    static CReplayPorts ports;
    RegisterReplayPorts(&ports);
}

std::unique_ptr<CReplayOutlet> CReplayOutlet::Make(ST_Recording recording, const ST_ReplayOptions &options,
                                                   std::string *error)
{
    std::unique_ptr<CReplayOutlet> outlet(new CReplayOutlet);
    outlet->m_control = std::make_shared<CReplayControl>();
    outlet->m_runner =
        Play(std::move(recording), options, outlet->m_control, demo::EDemoStart::WhenSlaveOpens, error);
    if (!outlet->m_runner)
        return nullptr;
    return outlet;
}

CReplayOutlet::~CReplayOutlet()
{
    if (m_control)
        m_control->SetWake(nullptr);
}

const std::string &CReplayOutlet::SlavePath() const
{
    return m_runner->SlavePath();
}
