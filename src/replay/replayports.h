#pragma once
// Where a recording is played: as the port "replay://FILE" that a window or a headless run opens
// like a demo port (the serial layer, the listener and everything after them are the real ones),
// or on a pseudo-terminal of its own for another program to open.
#include "replay/replaydevice.h"

#include <memory>
#include <string>

namespace demo {
class CDemoRunner;
}

// The options the next opening of "replay://FILE" plays FILE with (a later call for the same
// file replaces them; an opening without any plays at the recorded pace), and the control the
// played device reports to. `bytesPerSecond` paces a file without times.
std::shared_ptr<CReplayControl> PrepareReplay(const std::string &file, const ST_ReplayOptions &options,
                                              uint32_t bytesPerSecond = 0);
// The same with the recording already read (so the opening reads no file).
std::shared_ptr<CReplayControl> PrepareReplay(const std::string &file, const ST_ReplayOptions &options,
                                              ST_Recording recording);

// Registers "replay://" with the serial layer (RegisterReplayPorts), once for the process.
void InstallReplayPorts();

// A recording played on the master end of a pseudo-terminal whose slave another program opens;
// it starts when that program first opens it. Ends when destroyed.
class CReplayOutlet
{
public:
    // Null with `error` in words when the pseudo-terminal cannot be made.
    static std::unique_ptr<CReplayOutlet> Make(ST_Recording recording, const ST_ReplayOptions &options,
                                               std::string *error);
    ~CReplayOutlet();
    CReplayOutlet(const CReplayOutlet &) = delete;
    CReplayOutlet &operator=(const CReplayOutlet &) = delete;

    const std::string &SlavePath() const;
    const std::shared_ptr<CReplayControl> &Control() const { return m_control; }

private:
    CReplayOutlet() = default;
    std::shared_ptr<CReplayControl> m_control;
    std::unique_ptr<demo::CDemoRunner> m_runner;
};
