#pragma once
// Runs a Lua script against one port: the script writes, waits for what the device answers
// (expect, read, readline), moves the modem lines, sends files and records named test cases.
//
// The same runner serves the window and a headless run; what differs is the host, which owns the
// port. Run executes the script on the calling thread (a thread of its caller's, never the GUI
// thread); the received bytes come in through Feed from whichever thread has them, and Stop and
// PortLost may come from any thread: every wait of the script wakes at once, and a script busy in
// a loop of its own is stopped within a few thousand Lua instructions. Frames of the port's
// framing come in the same way, through FeedFrame, for frame() and expectframe(), with their
// decoder's reading for frame().fields when the script reads them.
#include "decode/decoder.h"
#include "frame/framer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ST_ScriptLines
{
    bool Dtr = false, Rts = false, Cts = false, Dsr = false, Dcd = false, Ring = false;
};

// What a script reaches the port and the world through. Called on the script's thread; each call
// may wait (a send until it is out, a file until it is sent) but returns once Stop or PortLost
// came. False with `*error` (a sentence) when it could not be done.
class IScriptHost
{
public:
    virtual ~IScriptHost() = default;
    virtual bool Write(const std::vector<uint8_t> &bytes, std::string *error) = 0;
    // The send-list item of that name (the first, when several have it).
    virtual bool SendItem(const std::string &name, std::string *error) = 0;
    // -1 leaves a line as it is.
    virtual bool SetLines(int dtr, int rts, std::string *error) = 0;
    virtual bool GetLines(ST_ScriptLines *lines, std::string *error) = 0;
    virtual bool SendBreak(uint32_t ms, std::string *error) = 0;
    // Waits until the transfer ended; false with the reason when it did not end well.
    virtual bool SendFile(const std::string &path, const std::string &protocol, std::string *error) = 0;
    // A note of the script's, or a line about its outcome.
    virtual void Note(const std::string &text) = 0;
    // Any thread: the runner was stopped; a call of the script's waiting in the host returns.
    virtual void Wake() {}
    // Any thread: the port's traffic is cut into frames, so frame() has something to wait for.
    virtual bool FramingOn() const { return false; }
};

enum class EScriptEnd : uint8_t {
    Passed,   // every case passed, no expect failed, no error
    Failed,   // a case or an expect failed, or fail() was called outside a case
    Error,    // the script could not be loaded or raised an error
    PortLost, // the port could not be used any more
    Stopped,  // by Stop
};

struct ST_ScriptCase
{
    std::string Name;
    bool Passed = true;
    std::string Message; // the failure's text
    double Seconds = 0;
};

struct ST_ScriptOutcome
{
    EScriptEnd End = EScriptEnd::Passed;
    std::string Message; // the error, the failure or why it stopped
    std::vector<ST_ScriptCase> Cases;
    double Seconds = 0;
};

// What a headless run exits with: 0 passed, 1 failed (or stopped, or an error), 2 the port.
int ScriptExitCode(EScriptEnd end);
const char *ScriptEndText(EScriptEnd end);

// The bytes as a Lua or C literal would show them: printable ASCII as it is, the rest escaped.
std::string EscapeBytes(const uint8_t *data, size_t size);

class CScriptRunner
{
public:
    // What the script waits on is kept up to this many bytes; older ones are dropped with a note.
    static constexpr size_t kMaxPending = 1 << 20;
    static constexpr uint32_t kDefaultTimeoutMs = 10000;
    // Frames not yet taken by frame() or expectframe() are kept up to this many, and this many
    // bytes in all; the oldest are dropped with a note. A script that never reads frames costs
    // no more than that.
    static constexpr size_t kMaxFrames = 4096;
    static constexpr size_t kMaxFrameBytes = 1 << 20;

    explicit CScriptRunner(IScriptHost &host);
    ~CScriptRunner();
    CScriptRunner(const CScriptRunner &) = delete;
    CScriptRunner &operator=(const CScriptRunner &) = delete;

    // Once per runner.
    ST_ScriptOutcome Run(const std::string &path);
    // Runs a chunk of text instead of a file; `name` is what its errors are told by.
    ST_ScriptOutcome RunText(const std::string &text, const std::string &name);

    // Any thread.
    void Feed(const uint8_t *data, size_t size);
    // A frame of the port's, in the order frames began (the session's frames observer), with its
    // decoder's full reading when the caller has one and WantsDecoded.
    void FeedFrame(const ST_Frame &frame, const ST_Decoded *decoded = nullptr);
    // Any thread: the script running reads decoded frames (its text names fields or summary), so
    // the feeder decodes them; a script that does not costs no decoding at all.
    bool WantsDecoded() const { return m_decoded.load(); }
    static bool AsksDecoded(const std::string &scriptText);
    void Stop(const std::string &why = "stopped");
    void PortLost(const std::string &why);
    bool StopRequested() const { return m_stop.load(); }

    struct Impl; // the Lua side, which reaches back into the runner

private:
    friend struct Impl;
    enum class EWake : uint8_t { Data, TimedOut, Stopped };
    // Waits until `ready` holds for the pending bytes (checked under the lock), the time-out
    // passes or the run is stopped.
    template <typename Ready> EWake WaitFor(uint32_t timeoutMs, Ready ready);

    IScriptHost &m_host;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_portLost{false};
    std::atomic<bool> m_decoded{false};

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_pending;    // received, not yet matched or read
    uint64_t m_pendingAt = 0; // how many bytes came before m_pending's first
    uint64_t m_arrivals = 0;
    uint64_t m_dropped = 0; // dropped since the last note about it
    std::string m_stopWhy;
    std::string m_recent; // the last bytes received, for the message of a failed expect
    struct ST_FedFrame
    {
        ST_Frame Frame;
        std::optional<ST_Decoded> Decoded;
    };
    static size_t SizeOf(const ST_FedFrame &fed); // what it counts against kMaxFrameBytes
    std::deque<ST_FedFrame> m_frames;             // handed in, not yet taken
    size_t m_frameBytes = 0;
    uint64_t m_framesDropped = 0; // since the last note about it
};
