#pragma once
// A recording played as the device out of a port the program holds itself (a headless run's):
// the device's records are handed to `write` at their pace, from a thread of the pump's own, and
// what the port reads is handed in through Received, for a replay that answers requests.
#include "replay/replaydevice.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CReplayPump final : private demo::IDemoOutput
{
public:
    // `write` is called on the pump's thread and must not block; `line` is the port's, for the
    // time its bytes take.
    using Writer = std::function<void(const uint8_t *data, size_t size)>;
    CReplayPump(ST_Recording recording, const ST_ReplayOptions &options, const demo::ST_DemoLine &line,
                Writer write);
    ~CReplayPump(); // stops the thread; nothing is written after
    CReplayPump(const CReplayPump &) = delete;
    CReplayPump &operator=(const CReplayPump &) = delete;

    // Any thread: bytes the port read.
    void Received(const uint8_t *data, size_t size);
    const std::shared_ptr<CReplayControl> &Control() const { return m_control; }

private:
    void Run();
    void Write(const uint8_t *data, size_t size) override { m_write(data, size); }
    demo::ST_DemoLine Line() const override { return m_line; }

    const demo::ST_DemoLine m_line;
    const Writer m_write;
    std::shared_ptr<CReplayControl> m_control;
    CReplayDevice m_device; // the pump's thread only
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<uint8_t> m_in;
    bool m_poked = false;
    bool m_stop = false;
    std::thread m_thread;
};
