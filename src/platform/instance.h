#pragma once
// One process at a time works on an app folder. A second start on the same folder finds the first
// through a local socket named after the folder and asks it, in one line, to open a window; the
// first answers in one line once the window is there. Both lines are plain text so that any
// version can tell an unknown request from its own and say so instead of guessing.
#include <cstddef>
#include <string>
#include <string_view>

// What a start sends, and the answers. Every line ends with one line feed.
constexpr std::string_view kNewWindowRequest = "kestrum 1 new-window\n";
constexpr std::string_view kInstanceOk = "ok\n";
constexpr std::string_view kInstanceUnknown = "error unknown request\n";
constexpr std::string_view kInstanceOtherVersion = "error version 1 only\n";

// Longer lines are not requests: the peer is dropped without an answer.
constexpr size_t kInstanceLineMax = 128;

enum class InstanceRequest { NewWindow, OtherVersion, Unknown };

// One request line, without its line feed (a CR before it is ignored): "kestrum", a version
// number and a verb, separated by single blanks.
InstanceRequest ParseInstanceRequest(std::string_view line);

// The reply to a request that is not carried out; kInstanceOk for NewWindow.
std::string_view InstanceReply(InstanceRequest request);

// The socket of the process working on `appFolder`, named with a hash of the folder's canonical
// path, in the door's folder: "kestrum" in $XDG_RUNTIME_DIR when it exists, else "kestrum-<uid>"
// in $TMPDIR or /tmp. Always short enough for a socket address. See CInstanceDoor for why the
// folder and what is in it are checked before use.
std::string InstanceSocketPath(const std::string &appFolder);
// That folder, for sockets of names up to `nameRoom` characters.
std::string InstanceDoorFolder(size_t nameRoom = 16);

// Creates "<appFolder>/Instance-<pid>" and copies the shared working files ("Default.cps",
// "Default.sds", "Default.sym", "Default.ass", "History.sds") that exist into it, replacing what
// an earlier process of the same id left there. Returns the folder; throws EFCreateError.
std::string MakePrivateAppFolder(const std::string &appFolder, long pid);
