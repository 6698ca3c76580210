#pragma once
// A headless run's replay (--replay FILE): the recording played as the device out of the run's
// port, its requests answered with --replay-answer, at --replay-speed. The port "replay://FILE"
// instead plays the recording into the run as the device the script talks to, with the same
// options.
#include "replay/replaypump.h"

#include <memory>
#include <string>

class CHandOver;
class CPortSession;
struct COM_PORT_SETTING;

class CHeadlessReplay
{
public:
    // "--replay-speed": a factor ("2", "0.5") or "max"; false for anything else.
    static bool ParseSpeed(const std::string &text, double *speed);
    // Before the port opens: a port "replay://FILE" plays with `options`.
    static void PreparePort(const std::string &port, const ST_ReplayOptions &options);

    // After the port opened: the device's bytes go out through `session`'s sends, handed to
    // `owner` (the session's thread), and what the port reads reaches the device. Throws
    // EFOpenError or EPcapngError for a file that cannot be read.
    void Start(const std::string &path, const ST_ReplayOptions &options, const COM_PORT_SETTING &link,
               CPortSession &session, CHandOver &owner);
    // Before the port closes: nothing more is sent.
    void Stop(CPortSession &session);
    bool On() const { return m_pump != nullptr; }
    // "played 12 of 12 frames", "answered 9 requests, 0 without a recorded answer".
    std::string Summary() const;

private:
    std::shared_ptr<CReplayPump> m_pump; // the port's reader may hold it a moment longer
    std::shared_ptr<CReplayControl> m_control;
    bool m_answer = false;
};
