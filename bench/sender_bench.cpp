// What the sender thread costs and how fast it lets go: items through the sender against direct
// writes on the same pseudo-terminal, and the time from a cancel to a stalled writer's release.
// Prints figures; not a test. --smoke makes a short run that only shows the bench still works.
#include "serial/portsender.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Opens `port` on the slave end of a new raw pseudo-terminal.
void OpenOnRawPty(CSerial &port, int &master, int &slave)
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    openpty(&master, &slave, name, &raw, nullptr);
    port.Open(name);
}

// Sends `items` items of `size` bytes, one way or the other, while a thread drains the master.
double Rate(size_t items, size_t size, bool viaSender)
{
    int master = -1, slave = -1;
    CSerial port;
    OpenOnRawPty(port, master, slave);
    std::atomic<size_t> got{0};
    std::thread drain([&] {
        std::vector<uint8_t> buf(65536);
        while (got < items * size) {
            const ssize_t n = read(master, buf.data(), buf.size());
            if (n > 0)
                got += static_cast<size_t>(n);
        }
    });
    const std::vector<uint8_t> item(size, 's');
    const Clock::time_point start = Clock::now();
    if (viaSender) {
        CPortSender sender(port);
        for (size_t i = 0; i < items; ++i) {
            ST_SendJob job;
            job.Data = item;
            sender.PostAndWait(std::move(job));
        }
    } else {
        for (size_t i = 0; i < items; ++i)
            port.Write(item.data(), static_cast<long>(size));
    }
    drain.join();
    const double seconds = Since(start);
    port.Close();
    close(master);
    close(slave);
    return static_cast<double>(items * size) / seconds;
}

// How long a step of the cancel rounds may take before the run counts as hung.
constexpr auto kStepDeadline = std::chrono::seconds(10);

template <typename T> bool Ready(std::future<T> &future)
{
    return future.wait_for(kStepDeadline) == std::future_status::ready;
}

// A writer stalled on a line nobody reads is cancelled: how long until it is let go, and until
// the sender thread has left the write. A round that hangs ends the run, with a message.
void CancelLatency(int rounds)
{
    std::vector<double> released, freed;
    for (int r = 0; r < rounds; ++r) {
        int master = -1, slave = -1;
        CSerial port;
        OpenOnRawPty(port, master, slave);
        CPortSender sender(port);
        std::promise<void> stalled;
        std::promise<Clock::time_point> done;
        ST_SendJob job;
        job.Data.assign(1u << 20, 'f');
        job.Origin = 1;
        job.OnWaiting = [&] { stalled.set_value(); };
        job.OnDone = [&](const ST_SendOutcome &) { done.set_value(Clock::now()); };
        std::promise<Clock::time_point> back;
        std::thread writer([&] {
            sender.PostAndWait(std::move(job));
            back.set_value(Clock::now());
        });
        std::future<void> stall = stalled.get_future();
        const bool stalls = Ready(stall);
        const Clock::time_point cancel = Clock::now();
        sender.Cancel(1);
        std::future<Clock::time_point> letGo = back.get_future();
        std::future<Clock::time_point> senderFree = done.get_future();
        const bool ended = stalls && Ready(letGo) && Ready(senderFree);
        if (!ended) {
            std::printf("round %d: %s within %lld s; the run fails\n", r,
                        stalls ? "the cancelled write was not let go"
                               : "the write to a line nobody reads never stalled",
                        static_cast<long long>(kStepDeadline.count()));
            std::fflush(stdout);
            // The threads still hold this round's stack: nothing can be unwound under them.
            std::_Exit(1);
        }
        released.push_back(std::chrono::duration<double, std::milli>(letGo.get() - cancel).count());
        freed.push_back(std::chrono::duration<double, std::milli>(senderFree.get() - cancel).count());
        writer.join();
        port.Close();
        close(master);
        close(slave);
    }
    std::sort(released.begin(), released.end());
    std::sort(freed.begin(), freed.end());
    std::printf("cancel of a stalled write, %d rounds: writer let go after median %.3f ms (max %.3f), "
                "sender free after median %.1f ms (max %.1f; one slice is 100 ms)\n",
                rounds, released[released.size() / 2], released.back(), freed[freed.size() / 2],
                freed.back());
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const char *home = "/tmp/kestrum-sender-bench";
    mkdir(home, 0700);
    setenv("KESTRUM_HOME", home, 1);
    for (const size_t size : {size_t(16), size_t(4096)}) {
        const size_t items = (smoke ? (1u << 20) : (64u << 20)) / size / (size < 100 ? 16 : 1);
        const double direct = Rate(items, size, false);
        const double sender = Rate(items, size, true);
        std::printf("%4zu-byte items, %zu each way: direct %8.2f MB/s  via sender %8.2f MB/s  ratio %.2f\n",
                    size, items, direct / 1e6, sender / 1e6, sender / direct);
    }
    CancelLatency(smoke ? 2 : 20);
    return 0;
}
