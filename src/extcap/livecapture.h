#pragma once
// What a window and the protocol analyser's capture program (kestrum-extcap) agree on for a live
// capture. Each window listens on a socket of its own, "live-<pid>-<window>", in the folder of the
// start-up door (InstanceDoorFolder: the user's own, mode 0700). Whoever of this user connects gets
// the window's traffic as a pcapng stream: the section header and the interfaces (the window's port
// with its line settings, the monitor's two sides), a greeting comment naming the window, then a
// packet per block or frame from that moment on, both directions. The stream only flows one way:
// the window reads nothing a caller says.
//
// The names in the folder can be guessed by every local user, so a caller trusts a socket only
// when the folder and the socket file are this user's and the process listening on it is too.
#include "log/pcapng.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The folder the windows' sockets are in.
std::string LiveCaptureFolder();
// "live-<pid>-<window>".
std::string LiveCaptureSocketName(long pid, int window);

// The analyser's interface of a window's socket, "kestrum-window-<pid>-<window>", and back (none for
// any other name).
std::string WindowInterfaceName(const std::string &socketName);
std::optional<std::string> SocketNameOfInterface(const std::string &interface);

// The greeting's comment, which names the window: "Kestrum window 2: ttyUSB0 9600 8N1".
std::string LiveGreeting(int window, const std::string &linkDescription);

// Connects to the window socket at `path`, blocking, once the folder, the socket file and the
// listening process are found to be this user's. The descriptor, or -1 with `why` in words.
int ConnectLiveWindow(const std::string &path, std::string &why);

// The start of a window's stream as far as it has come: the interfaces and the greeting once the
// header and the first packet are whole (none before; a header with no greeting in its first
// kMostGreetingBytes is damaged). Throws EPcapngError for a stream that is not pcapng.
struct ST_LiveStart
{
    std::vector<ST_PcapngInterface> Interfaces;
    std::string Greeting;
};
constexpr size_t kMostGreetingBytes = 64 * 1024;
std::optional<ST_LiveStart> ParseLiveStart(const uint8_t *data, size_t size);

// Reads the start of the stream on `fd`, waiting at most `ms` for it (a window whose GUI hangs
// does not stop a listing): none, with `why`, when it did not come whole in that time.
std::optional<ST_LiveStart> ReadLiveStart(int fd, int ms, std::string &why);
