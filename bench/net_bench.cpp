// Drain rate of a port served over the network by ser2net, for each client in turn on the same
// server and the same device in one run: a plain TCP reader (the ceiling, as `cat` is for a local
// port), this program's serial window port over RFC 2217, and pyserial's miniterm over RFC 2217.
// A pseudo-terminal stands in for the board: its master end is fed as fast as it takes the bytes.
// Prints figures; fails only when a client lost data or could not connect.
//
// Every client first has to show a start marker before the data goes out, so connecting, telnet
// negotiation and an interpreter starting up never count as drain time, and bytes a server threw
// away while it opened the device cannot be mistaken for loss.
#include "loopbackport.h"
#include "platform/handover.h"
#include "serial/serialwnd.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char *kSer2Net = "/usr/sbin/ser2net";
constexpr const char *kPython = "/usr/bin/python3";
constexpr size_t kMiB = 1u << 20;
constexpr size_t kLine = 64;
// Never a data byte, so the marker cannot be confused with data, nor data with it.
constexpr char kMarkChar = '~';
constexpr int kMarkLength = 16;
// How long a client may take to show the marker, and how long data may stop coming before the
// rest counts as lost.
constexpr auto kConnectBound = std::chrono::seconds(30);
constexpr auto kStallBound = std::chrono::seconds(10);

double Seconds(const timeval &t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double UsageSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// User and system time of another process, all its threads, from /proc/<pid>/stat.
double ProcessSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    // Fields from the state on: state is field 3, utime 14, stime 15.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool MinitermInstalled()
{
    return access(kPython, X_OK) == 0 &&
           std::system("/usr/bin/python3 -c 'import serial.tools.miniterm' >/dev/null 2>&1") == 0;
}

// ser2net with two accepters on the one device: RFC 2217 for the clients compared, raw TCP for
// the bare reader, which then needs no telnet of its own. Only one may hold the device at a time.
class CServer
{
public:
    CServer(const std::string &dir, const std::string &device) : dir_(dir), device_(device) {}
    ~CServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool Start()
    {
        telnetPort_ = FreeLoopbackPort();
        rawPort_ = FreeLoopbackPort();
        while (rawPort_ == telnetPort_)
            rawPort_ = FreeLoopbackPort();
        const std::string config = dir_ + "/bench.yaml";
        {
            std::ofstream out(config, std::ios::trunc);
            const auto block = [&](const char *name, const std::string &accepter) {
                out << "connection: &" << name << "\n    accepter: " << accepter << "\n    enable: on\n"
                    << "    options:\n      kickolduser: true\n"
                    << "    connector: serialdev," << device_ << ",115200n81,local\n";
            };
            out << "%YAML 1.1\n---\n";
            block("k", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(telnetPort_));
            block("r", "tcp,127.0.0.1," + std::to_string(rawPort_));
        }
        const std::string pidFile = dir_ + "/ser2net.pid";
        const std::string log = dir_ + "/ser2net.log";
        pid_ = fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execl(kSer2Net, kSer2Net, "-n", "-u", "-P", pidFile.c_str(), "-c", config.c_str(), nullptr);
            _exit(127);
        }
        while (!ListeningOnLoopback(telnetPort_) || !ListeningOnLoopback(rawPort_)) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            poll(nullptr, 0, 5);
        }
        return true;
    }

    // The server lets go of the device some time after a client left; a new client on the other
    // accepter is turned away ("device already in use") until it has.
    bool HoldsDevice() const
    {
        const std::string fds = "/proc/" + std::to_string(pid_) + "/fd";
        DIR *dir = opendir(fds.c_str());
        if (dir == nullptr)
            return false;
        bool held = false;
        while (dirent *entry = readdir(dir)) {
            char target[256] = {};
            const std::string link = fds + "/" + entry->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && device_ == target)
                held = true;
        }
        closedir(dir);
        return held;
    }
    void WaitDeviceFree() const
    {
        while (HoldsDevice())
            poll(nullptr, 0, 2);
    }

    pid_t Pid() const { return pid_; }
    uint16_t TelnetPort() const { return telnetPort_; }
    uint16_t RawPort() const { return rawPort_; }

private:
    std::string dir_;
    std::string device_;
    pid_t pid_ = -1;
    uint16_t telnetPort_ = 0;
    uint16_t rawPort_ = 0;
};

// What one client received, as it received it: it waits for the marker, then counts and sums
// every data byte. Add is called on one thread (the client's consumer); the feeder waits on it.
class CTally
{
public:
    CTally(size_t expected, uint64_t expectedSum, std::function<double()> clientCpu, pid_t server)
        : expected_(expected), expectedSum_(expectedSum), clientCpu_(std::move(clientCpu)), server_(server)
    {
    }

    void Add(const uint8_t *data, size_t length)
    {
        size_t i = 0;
        if (!marked_) {
            for (; i < length && !marked_; ++i) {
                run_ = data[i] == kMarkChar ? run_ + 1 : 0;
                if (run_ == kMarkLength) {
                    std::lock_guard<std::mutex> hold(lock_);
                    marked_ = true;
                    changed_.notify_all();
                }
            }
        }
        size_t count = received_.load(std::memory_order_relaxed);
        for (; i < length; ++i) {
            if (data[i] != kMarkChar) {
                ++count;
                sum_ += data[i];
            }
        }
        received_.store(count, std::memory_order_relaxed);
        if (count >= expected_ && !complete_) {
            const Clock::time_point now = Clock::now();
            const double client = clientCpu_();
            const double server = ProcessSeconds(server_);
            std::lock_guard<std::mutex> hold(lock_);
            done_ = now;
            clientCpuEnd_ = client;
            serverCpuEnd_ = server;
            complete_ = true;
            changed_.notify_all();
        }
    }

    // Feeder side. Waits up to `ms` for the marker to have come through.
    bool WaitMarked(int ms)
    {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return marked_.load(); });
    }
    // The first data byte goes out now; `feederCpu` is the feeder thread's own time so far.
    void Started(double feederCpu)
    {
        const double client = clientCpu_();
        const double server = ProcessSeconds(server_);
        std::lock_guard<std::mutex> hold(lock_);
        start_ = Clock::now();
        clientCpuStart_ = client;
        serverCpuStart_ = server;
        feederCpuStart_ = feederCpu;
    }
    void FeederDone(double feederCpu)
    {
        std::lock_guard<std::mutex> hold(lock_);
        feederCpuEnd_ = feederCpu;
    }

    // Waits up to `ms` for all data; for a client whose consumer is another thread.
    bool WaitComplete(int ms)
    {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return complete_; });
    }
    bool Complete()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return complete_;
    }
    bool Marked() const { return marked_; }
    size_t Received() const { return received_.load(std::memory_order_relaxed); }
    // Call once the consumer has stopped.
    bool Intact() const { return complete_ && received_ == expected_ && sum_ == expectedSum_; }
    double DrainSeconds() const { return std::chrono::duration<double>(done_ - start_).count(); }
    // For a client in this process, whose time includes the feeder's.
    bool InProcess = false;
    double ClientCpu() const
    {
        const double own = clientCpuEnd_ - clientCpuStart_;
        return InProcess ? own - (feederCpuEnd_ - feederCpuStart_) : own;
    }
    double ServerCpu() const { return serverCpuEnd_ - serverCpuStart_; }

private:
    const size_t expected_;
    const uint64_t expectedSum_;
    std::function<double()> clientCpu_;
    const pid_t server_;
    int run_ = 0;
    uint64_t sum_ = 0;
    std::atomic<bool> marked_{false};
    std::atomic<size_t> received_{0};
    std::mutex lock_;
    std::condition_variable changed_;
    bool complete_ = false;
    Clock::time_point start_, done_;
    double clientCpuStart_ = 0, clientCpuEnd_ = 0, serverCpuStart_ = 0, serverCpuEnd_ = 0;
    double feederCpuStart_ = 0, feederCpuEnd_ = 0;
};

// 1 MiB of 64-byte lines, printable and each ending in '\n'; the feed repeats it.
std::vector<uint8_t> MakeData()
{
    static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::vector<uint8_t> data(kMiB);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = i % kLine == kLine - 1 ? '\n' : static_cast<uint8_t>(alphabet[(i * 7 + i / kLine) % 62]);
    return data;
}

// Writes `all` into the non-blocking master whenever it takes more; false when `abort` was set.
bool WriteAll(int master, const uint8_t *all, size_t length, const std::atomic<bool> &abort)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = write(master, all + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{master, POLLOUT, 0};
        while (poll(&p, 1, 200) == 0)
            if (abort)
                return false;
    }
    return true;
}

// Sends the marker until the client shows it (resending, since a server may drop what came before
// it opened the device), then the data.
void Feed(int master, const std::vector<uint8_t> &data, size_t mib, CTally &tally,
          const std::atomic<bool> &abort)
{
    const std::string mark(kMarkLength, kMarkChar);
    const Clock::time_point begin = Clock::now();
    while (!tally.Marked()) {
        if (abort || Clock::now() - begin > kConnectBound)
            return;
        WriteAll(master, reinterpret_cast<const uint8_t *>(mark.data()), mark.size(), abort);
        tally.WaitMarked(100);
    }
    tally.Started(UsageSeconds(RUSAGE_THREAD));
    for (size_t i = 0; i < mib; ++i)
        if (!WriteAll(master, data.data(), data.size(), abort))
            break;
    tally.FeederDone(UsageSeconds(RUSAGE_THREAD));
}

struct ST_Run
{
    size_t mib = 0;
    std::vector<uint8_t> data;
    uint64_t sum = 0;
    int master = -1;
    std::string device;
    CServer *server = nullptr;
};

enum class EOutcome { Ok, NoMarker, Lost };

// Runs the feeder beside `consume`, which returns once the tally is complete or stalled.
EOutcome Drive(const ST_Run &run, CTally &tally, const std::function<void(std::atomic<bool> &)> &consume)
{
    std::atomic<bool> abort{false};
    std::thread feeder([&] { Feed(run.master, run.data, run.mib, tally, abort); });
    consume(abort);
    abort = true;
    feeder.join();
    if (!tally.Marked())
        return EOutcome::NoMarker;
    return tally.Intact() ? EOutcome::Ok : EOutcome::Lost;
}

// For a consumer on another thread: waits until all came, or nothing came for kStallBound.
void WaitOrStall(CTally &tally, const std::atomic<bool> &abort)
{
    const Clock::time_point begin = Clock::now();
    Clock::time_point progress = begin;
    size_t seen = 0;
    while (!tally.WaitComplete(200) && !abort) {
        const Clock::time_point now = Clock::now();
        if (tally.Received() != seen || (!tally.Marked() && now - begin < kConnectBound)) {
            seen = tally.Received();
            progress = now;
        } else if (now - progress > kStallBound) {
            return;
        }
    }
}

EOutcome RunBare(const ST_Run &run, CTally &tally)
{
    tally.InProcess = true;
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(run.server->RawPort());
    if (connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        std::printf("bare reader: cannot connect: %s\n", std::strerror(errno));
        close(s);
        return EOutcome::NoMarker;
    }
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(65536);
        while (!stop && !tally.Complete()) {
            pollfd p{s, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            const ssize_t n = read(s, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            tally.Add(buffer.data(), static_cast<size_t>(n));
        }
    });
    const EOutcome outcome = Drive(run, tally, [&](std::atomic<bool> &abort) { WaitOrStall(tally, abort); });
    stop = true;
    reader.join();
    close(s);
    return outcome;
}

EOutcome RunKestrum(const ST_Run &run, CTally &tally, bool rfc2217)
{
    tally.InProcess = true;
    const std::string address = rfc2217 ? "rfc2217://127.0.0.1:" + std::to_string(run.server->TelnetPort())
                                        : "socket://127.0.0.1:" + std::to_string(run.server->RawPort());
    CQueuedHandOver handOver;
    CSerialWnd port;
    long lost = 0;
    const long opened = port.Open(
        address, &handOver, [&](CReceivedBlock &block) { tally.Add(block.bytes.data(), block.bytes.size()); },
        [](uint16_t, uint16_t, const ST_LineCounters &) {}, [&](long code) { lost = code; });
    if (opened != 0) {
        std::printf("Kestrum: cannot open %s (code %ld)\n", address.c_str(), opened);
        return EOutcome::NoMarker;
    }
    if (const long set = port.Setup(115200, 8, NOPARITY, ONESTOPBIT); set != 0)
        std::printf("Kestrum: line settings not taken (code %ld)\n", set);
    // The window's own loop: its owner thread takes what the listener queued, as it comes.
    const EOutcome outcome = Drive(run, tally, [&](std::atomic<bool> &) {
        const Clock::time_point begin = Clock::now();
        Clock::time_point progress = begin;
        size_t seen = 0;
        while (!tally.Complete() && lost == 0) {
            handOver.RunOne(200);
            const Clock::time_point now = Clock::now();
            if (tally.Received() != seen || (!tally.Marked() && now - begin < kConnectBound)) {
                seen = tally.Received();
                progress = now;
            } else if (now - progress > kStallBound) {
                break;
            }
        }
    });
    if (lost != 0)
        std::printf("Kestrum: port lost (code %ld)\n", lost);
    port.Close();
    handOver.RunPending();
    return outcome;
}

EOutcome RunMiniterm(const ST_Run &run, CTally &tally, const std::string &dir, std::atomic<pid_t> &child)
{
    // ser2net on a pseudo-terminal never answers SET-CONTROL (DTR, RTS), and pyserial gives up
    // opening after waiting 3 s for that answer unless told not to wait.
    const std::string address =
        "rfc2217://127.0.0.1:" + std::to_string(run.server->TelnetPort()) + "?ign_set_control";
    const std::string log = dir + "/miniterm.log";
    // It needs a terminal on stdin; a raw one, so what it prints reaches us unchanged.
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, &raw, nullptr);
    if (pid < 0) {
        std::printf("miniterm: forkpty failed: %s\n", std::strerror(errno));
        return EOutcome::NoMarker;
    }
    if (pid == 0) {
        // Its notes go to a file, so only data reaches the terminal we count.
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (err >= 0)
            dup2(err, 2);
        execl(kPython, kPython, "-m", "serial.tools.miniterm", "--raw", "-q", address.c_str(), "115200",
              nullptr);
        _exit(127);
    }
    child = pid;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(65536);
        while (!stop && !tally.Complete()) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            const ssize_t n = read(master, buffer.data(), buffer.size());
            if (n <= 0)
                break; // EIO: it ended
            tally.Add(buffer.data(), static_cast<size_t>(n));
        }
    });
    const EOutcome outcome = Drive(run, tally, [&](std::atomic<bool> &abort) { WaitOrStall(tally, abort); });
    stop = true;
    reader.join();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    child = 0;
    close(master);
    return outcome;
}

struct ST_Figures
{
    std::vector<double> rates, cpu, serverCpu;
};

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    // miniterm drains a quarter of a MiB a second, so more would make the run long.
    size_t mib = 8;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0) {
            mib = 1;
            rounds = 1;
        } else if (std::strcmp(argv[i], "--mib") == 0 && i + 1 < argc) {
            mib = static_cast<size_t>(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::printf("usage: %s [--smoke] [--mib N] [--rounds N]\n", argv[0]);
            return 2;
        }
    }
    if (access(kSer2Net, X_OK) != 0) {
        std::printf("ser2net is not installed (%s): nothing to measure\n", kSer2Net);
        return 0;
    }
    if (!MinitermInstalled()) {
        std::printf("pyserial's miniterm is not installed (python3-serial): nothing to measure\n");
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    char templ[] = "/tmp/kestrum-net-bench-XXXXXX";
    if (mkdtemp(templ) == nullptr)
        return 1;
    const std::string dir = templ;
    setenv("KESTRUM_HOME", dir.c_str(), 1);

    ST_Run run;
    run.mib = mib;
    run.data = MakeData();
    for (const uint8_t b : run.data)
        run.sum += b;
    run.sum *= mib;
    termios raw{};
    cfmakeraw(&raw);
    int slave = -1;
    char name[256] = {};
    // The slave end stays open here all along, so the device lives on between the server's opens.
    if (openpty(&run.master, &slave, name, &raw, nullptr) != 0)
        return 1;
    fcntl(run.master, F_SETFL, fcntl(run.master, F_GETFL) | O_NONBLOCK);
    // Neither end may leak into the server or miniterm: the device would never look free.
    fcntl(run.master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    run.device = name;

    int failures = 0;
    {
        CServer server(dir, run.device);
        if (!server.Start()) {
            std::printf("ser2net did not start; see %s/ser2net.log\n", dir.c_str());
            return 1;
        }
        run.server = &server;
        std::printf(
            "%zu MiB of %zu-byte lines per client and round, %d round%s, ser2net %s on 127.0.0.1:%u\n", mib,
            kLine, rounds, rounds == 1 ? "" : "s", run.device.c_str(), server.TelnetPort());
        // Kestrum on the raw accepter too: beside the bare reader it shows the port's own cost,
        // beside Kestrum over RFC 2217 what telnet costs (server and client together).
        constexpr int kClients = 4;
        const char *names[kClients] = {"bare TCP reader (raw)", "Kestrum (raw TCP)", "Kestrum (RFC 2217)",
                                       "miniterm (RFC 2217)"};
        ST_Figures figures[kClients];
        const auto self = [] { return UsageSeconds(RUSAGE_SELF); };
        for (int round = 0; round < rounds; ++round) {
            for (int k = 0; k < kClients; ++k) {
                // Each round starts with another client, so none always runs on a warm server.
                const int client = (round + k) % kClients;
                server.WaitDeviceFree();
                std::atomic<pid_t> child{0};
                std::function<double()> cpu = self;
                if (client == 3)
                    cpu = [&child] { return child > 0 ? ProcessSeconds(child) : 0.0; };
                CTally tally(mib * kMiB, run.sum, cpu, server.Pid());
                EOutcome outcome = EOutcome::NoMarker;
                if (client == 0)
                    outcome = RunBare(run, tally);
                else if (client == 1 || client == 2)
                    outcome = RunKestrum(run, tally, client == 2);
                else
                    outcome = RunMiniterm(run, tally, dir, child);
                if (outcome != EOutcome::Ok) {
                    ++failures;
                    std::printf("round %d, %s: %s (%zu of %zu bytes)\n", round + 1, names[client],
                                outcome == EOutcome::Lost ? "DATA LOST OR CHANGED"
                                                          : "never showed the marker",
                                tally.Received(), mib * kMiB);
                    continue;
                }
                const double seconds = tally.DrainSeconds();
                figures[client].rates.push_back(static_cast<double>(mib) / seconds);
                figures[client].cpu.push_back(tally.ClientCpu() / static_cast<double>(mib));
                figures[client].serverCpu.push_back(tally.ServerCpu() / static_cast<double>(mib));
                std::printf("round %d, %-22s %8.2f MiB/s\n", round + 1, names[client],
                            static_cast<double>(mib) / seconds);
                std::fflush(stdout);
            }
        }
        const double ceiling = Median(figures[0].rates);
        std::printf("\n%-24s %10s %10s %12s %15s\n", "client", "MiB/s", "of bare", "CPU s/MiB",
                    "ser2net s/MiB");
        for (int client = 0; client < kClients; ++client) {
            const double rate = Median(figures[client].rates);
            std::printf("%-24s %10.2f %10.2f %12.4f %15.4f\n", names[client], rate,
                        ceiling > 0 ? rate / ceiling : 0.0, Median(figures[client].cpu),
                        Median(figures[client].serverCpu));
        }
        std::printf("(medians over %d round%s; CPU is the client's own, ser2net's apart)\n", rounds,
                    rounds == 1 ? "" : "s");
    }
    close(run.master);
    close(slave);
    if (failures > 0) {
        std::printf("the server's and miniterm's notes are in %s\n", dir.c_str());
        return 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
