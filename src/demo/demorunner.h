#pragma once
// Plays one IDemoDevice on the master end of a pseudo-terminal pair, on a thread of its own, with
// a private folder for the device's files (mode 0700, under $XDG_RUNTIME_DIR or /tmp) that goes
// with everything in it when the runner is destroyed.
//
// The thread sleeps in poll until the program writes, the device's next tick is due, output
// waits for room or the runner is told something: an idle device costs no wake-ups.
//
// What the device writes goes out as the program reads it; up to kMaxPending bytes wait for a
// program that does not read, and a Write that would pass that is dropped whole, so the device's
// frames never arrive cut.
#include "demo/demodevice.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demo {

enum class EDemoStart {
    // Start when Opened is called: the program opens the slave in this process and says when it
    // is settled (its open flushes the line, which would lose a greeting written earlier).
    WhenTold,
    // Start when a program first opens the slave (another process). The runner holds no slave
    // end, so the master reports a hang-up while nobody has it open; the runner then waits for
    // the slave's next opening and drops what the device says meanwhile.
    WhenSlaveOpens,
};

class CDemoRunner final : public IDemoOutput
{
public:
    using Maker = std::function<std::unique_ptr<IDemoDevice>(const std::string &folder)>;
    static constexpr size_t kMaxPending = 1 << 20;

    // Null with `error` in words when the folder, the pair or the device cannot be made (a maker
    // that returns null has no such device).
    static std::unique_ptr<CDemoRunner> Make(const Maker &make, EDemoStart start, std::string *error);
    ~CDemoRunner() override;
    CDemoRunner(const CDemoRunner &) = delete;
    CDemoRunner &operator=(const CDemoRunner &) = delete;

    const std::string &SlavePath() const { return m_slavePath; }
    const std::string &Folder() const { return m_folder; }
    // For EDemoStart::WhenTold; any thread. Start runs on the runner's thread before anything
    // the program writes afterwards is handed to the device.
    void Opened();
    // The device's NextTick changed by another thread's doing (a replay's step); any thread.
    void Nudge() { Wake(); }
    // How often the thread came out of poll: what an idle device costs.
    uint64_t Wakeups() const { return m_wakeups.load(); }

    void Write(const uint8_t *data, size_t size) override;
    using IDemoOutput::Write;
    ST_DemoLine Line() const override;

private:
    CDemoRunner() = default;
    void Run();
    void Play();
    void Wake();
    // Writes what waits while the master takes it; the caller holds m_writeLock.
    void FlushLocked();
    bool HasPending();
    // Reads what the program wrote and hands it to the device; false once the slave has closed.
    bool ReadMaster(Clock::time_point now);

    EDemoStart m_start = EDemoStart::WhenTold;
    int m_master = -1;
    int m_slave = -1; // held for EDemoStart::WhenTold, so the pair outlives the port's close
    int m_wake = -1;  // eventfd
    int m_opens = -1; // inotify on the slave's node, for EDemoStart::WhenSlaveOpens
    std::string m_slavePath;
    std::string m_folder;
    std::unique_ptr<IDemoDevice> m_device;
    std::thread m_thread;
    std::thread::id m_threadId;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_openedAsked{false};
    std::atomic<bool> m_slaveOpen{false};
    std::atomic<uint64_t> m_wakeups{0};

    std::mutex m_writeLock;
    std::vector<uint8_t> m_pending;
    size_t m_pendingHead = 0;
};

} // namespace demo
