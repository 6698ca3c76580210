// The demo board takes whatever the program writes: keys, escape sequences, pastes, binary junk,
// the start of a transfer. 0xFE n moves the board's clock on by n times 50 ms (and runs what
// became due), so the countdown, the kernel's log, top and the stream are reached too.
#include "demo/board.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Counts what the board writes on the calling thread; a transfer's thread writes unseen.
class CCountingOutput : public demo::IDemoOutput
{
public:
    void Write(const uint8_t *, size_t size) override
    {
        if (std::this_thread::get_id() == m_caller)
            Written += size;
    }
    demo::ST_DemoLine Line() const override { return {}; }
    size_t Written = 0;

private:
    const std::thread::id m_caller = std::this_thread::get_id();
};

// Made once, removed at the exit: the board seeds its files there and receives into it.
const char *Home()
{
    static char home[] = "/tmp/kestrum_demoboard_fuzz_XXXXXX";
    static const bool made = [] {
        if (!mkdtemp(home))
            std::abort();
        std::atexit([] { std::filesystem::remove_all(home); });
        return true;
    }();
    (void)made;
    return home;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using demo::Clock;
    CCountingOutput out;
    Clock::time_point now{};
    {
        demo::CBoardDevice board(Home());
        board.Start(out, now);
        size_t i = 0;
        while (i < size) {
            if (data[i] == 0xFE) {
                if (i + 1 == size)
                    break;
                now += std::chrono::milliseconds(50 * data[i + 1]);
                for (int ticks = 0; ticks < 10000 && board.NextTick() <= now; ++ticks)
                    board.Tick(out, std::max(now, board.NextTick()));
                i += 2;
                continue;
            }
            size_t end = i;
            while (end < size && data[end] != 0xFE)
                ++end;
            const size_t before = out.Written;
            board.Received(out, data + i, end - i, now);
            // What one call writes grows with what it took, by a bounded factor: the redrawn
            // tail of a line edited in its middle, at most one cat's worth of files.
            const size_t bound = demo::CBoardDevice::kMaxShown + 64 * 1024 +
                                 (end - i) * (2 * demo::CBoardLine::kMaxLine + 512);
            if (out.Written - before > bound)
                std::abort();
            i = end;
        }
    }
    return 0;
}
