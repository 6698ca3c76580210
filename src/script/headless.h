#pragma once
// `kestrum --run FILE`: a script against one port with no window and no display, for a bench or a
// CI machine. Notes and outcomes go to standard output; the exit code says how it went (0 every
// case passed, 1 a case or an expect failed, the script raised an error, ran past --timeout or
// was ended by SIGTERM, SIGINT or SIGHUP; 2 the port could not be opened or was lost;
// kUsageExitCode the arguments make no run).
#include <cstdio>
#include <string>
#include <vector>

struct ST_HeadlessOptions
{
    std::string Script;
    std::string Link; // a link of the app folder's list
    std::string Port; // or a port: a device, or a network address
    std::string Baud, DataBits, Parity, StopBits, Flow;
    std::string LogPath;       // the traffic and the notes, as the window's capture writes them
    int LogView = 0;           // its display type: text, hex, decimal or text with symbols
    std::string JunitPath;     // one test case per test()
    std::string Framing;       // a framing profile's name, for --frames
    std::string FramesPath;    // every frame as a CSV line
    std::string PcapngPath;    // every read and send as a packet for the protocol analyser
    double TimeoutSeconds = 0; // the whole run; 0 for none
    std::string ReplayPath;    // a recording played as the device out of the port
    double ReplaySpeed = 1;    // 0: as fast as the line takes it
    bool ReplayAnswer = false; // the recording answers the requests it has
};

// Arguments that make no run, as sysexits.h's EX_USAGE: told apart from a failed test.
constexpr int kUsageExitCode = 64;

// The longest --timeout: a day.
constexpr double kMaxTimeoutSeconds = 86400;

// True when the arguments ask for a headless run (they hold --run).
bool WantsHeadless(int argc, char **argv);
// False with `*error` for arguments that do not make a run.
bool ParseHeadlessArgs(const std::vector<std::string> &args, ST_HeadlessOptions *options, std::string *error);
// The options, for --help.
const char *HeadlessUsage();
// Runs it; returns the exit code. `out` receives the notes and outcomes. A script that does not end
// within a second of being stopped (by the time-out or a signal) is left behind: the port is
// closed and restored, the outcome told, and the process exits with the code.
int RunHeadless(const ST_HeadlessOptions &options, std::FILE *out);
