// Kestrum next to the serial terminals people use today, on the same pseudo-terminals in one run.
// Each program gets a pty of its own and is started as a user starts it; a feeder then writes
// 64-byte lines into the pty at a fixed rate while the bench reads the program's CPU time
// (utime+stime of all its threads) and memory from /proc. The feeder never blocks: when the pty
// does not take the bytes it falls behind schedule, and how far is the third figure. Rounds run
// interleaved with the program order rotating, so a busy moment of the machine spreads over all
// of them; the table shows medians. Also: how fast each program takes a flood compared with
// `cat`, and whether Kestrum wakes at all with its port open and nothing arriving.
//
// Everything runs on one private X server. The other terminals run with a preloaded shim that
// lets a pty answer modem-line calls, and one of them in a private mount namespace that gives
// its device lookup a sysfs entry for the pty (see ptyshim.c).
#include "../shellterminal.h"
#include "demo/demodevices.h"
#include "demo/demorunner.h"
#include "link/linksetting.h"

#include <QSettings>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kLineBytes = 64;

enum class Client { Cat, Cutecom, Gtkterm, KestrumText, KestrumHex, KestrumConsole };

const char *Name(Client client)
{
    switch (client) {
    case Client::Cat:
        return "cat";
    case Client::Cutecom:
        return "cutecom";
    case Client::Gtkterm:
        return "gtkterm";
    case Client::KestrumText:
        return "Kestrum text";
    case Client::KestrumHex:
        return "Kestrum hex";
    case Client::KestrumConsole:
        return "Kestrum console";
    }
    return "?";
}

struct Options
{
    int rounds = 5;
    double seconds = 10;
    // Fed at the same rate before the measured feed: a logger runs for hours, and what a program
    // does only while its log is young (a scroll bar's handle still shrinking) is not its cost.
    double warmupSeconds = 5;
    double drainSeconds = 4;
    double drainStep = 0;
    double drainWarmup = 0;
    double idleSeconds = 10;
    // The idle is measured from this long after the last key: a caret blinks for a while after
    // one, in Kestrum as in the desktop's toolkits, and then rests.
    double idleAfterKey = 10.5;
    // The size of the text file a shell cats through its terminal into the program, MB; 0: none.
    double shellCatMB = 50;
    double tickMs = 1;
    std::vector<double> rates{11520, 100000, 1000000};
    std::string kestrum = KESTRUM_BINARY;
    std::string shim = PTYSHIM_LIBRARY;
    bool feed = true, drain = true, idle = true, keep = false;
    // All programs run and are fed at the same time, so that a slow spell of the machine (another
    // guest on the host) weighs on each of them alike; otherwise one after the other.
    bool together = false;
    // Empty: every program.
    std::vector<std::string> programs;
    // The feed is the demo board's "stream 1000" instead of the bench's own lines.
    bool demoStream = false;
    // Values written into Kestrum's settings store besides the bench's own (--kestrum-setting).
    std::vector<std::pair<std::string, std::string>> kestrumSettings;

    bool Runs(const char *name) const
    {
        return programs.empty() || std::find(programs.begin(), programs.end(), name) != programs.end();
    }
};

// The programs run in process groups of their own, out of reach of a Ctrl-C at the terminal;
// the bench ends the ones under test and the X server when it is stopped or gives up.
constexpr size_t kSlots = 6; // programs running at once, with --together
volatile sig_atomic_t g_clients[kSlots] = {-1, -1, -1, -1, -1, -1};
volatile sig_atomic_t g_xserver = -1;

void EndChildren()
{
    for (size_t slot = 0; slot < kSlots; ++slot) {
        if (g_clients[slot] > 0)
            kill(-g_clients[slot], SIGKILL);
    }
    if (g_xserver > 0)
        kill(-g_xserver, SIGTERM);
}

void OnStopSignal(int)
{
    EndChildren();
    _exit(130);
}

void Fail(const std::string &what)
{
    std::fprintf(stderr, "peer_bench: %s\n", what.c_str());
    EndChildren();
    std::exit(1);
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Pause(double seconds)
{
    timespec wait{static_cast<time_t>(seconds),
                  static_cast<long>((seconds - static_cast<long>(seconds)) * 1e9)};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

// --- processes --------------------------------------------------------------------------------

using Env = std::map<std::string, std::string>;

Env BaseEnv()
{
    Env env;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const size_t eq = text.find('=');
        if (eq != std::string::npos)
            env[text.substr(0, eq)] = text.substr(eq + 1);
    }
    // Each program picks its own platform on the bench's X server; nothing inherited is preloaded.
    env.erase("QT_QPA_PLATFORM");
    env.erase("LD_PRELOAD");
    env.erase("WAYLAND_DISPLAY");
    env["NO_AT_BRIDGE"] = "1";
    return env;
}

// Starts `argv` in a process group of its own (so stopping it reaches what it started), its
// output in `log`. `keepFd` stays open in the child.
pid_t Spawn(const std::vector<std::string> &argv, const Env &env, const std::string &log, int keepFd = -1,
            int stdoutFd = -1)
{
    std::vector<std::string> envText;
    for (const auto &[key, value] : env)
        envText.push_back(key + "=" + value);
    std::vector<char *> args, envp;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    for (std::string &entry : envText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        Fail("fork failed");
    if (pid == 0) {
        setpgid(0, 0);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(stdoutFd >= 0 ? stdoutFd : out, 1);
        dup2(out, 2);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd)
                close(fd);
        execvpe(args[0], args.data(), envp.data());
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

// True when the process ended within `seconds`; it is reaped.
bool WaitEnd(pid_t pid, double seconds, int *status = nullptr)
{
    const Clock::time_point start = Clock::now();
    int ignored = 0;
    for (;;) {
        const pid_t done = waitpid(pid, status ? status : &ignored, WNOHANG);
        if (done == pid || done < 0)
            return true; // reaped: the caller must not signal it again
        if (SecondsSince(start) > seconds)
            return false;
        Pause(0.02);
    }
}

void Stop(pid_t pid)
{
    for (size_t slot = 0; slot < kSlots; ++slot) {
        if (g_clients[slot] == pid)
            g_clients[slot] = -1;
    }
    kill(-pid, SIGTERM);
    if (!WaitEnd(pid, 3)) {
        kill(-pid, SIGKILL);
        WaitEnd(pid, 10);
    }
    kill(-pid, SIGKILL); // whatever the program left in its group
}

// Runs a helper to its end, at most `seconds`; its standard output, or nothing when it failed.
std::string RunForOutput(const std::vector<std::string> &argv, const Env &env, const std::string &log,
                         double seconds)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        Fail("pipe failed");
    const pid_t pid = Spawn(argv, env, log, pipeFds[1], pipeFds[1]);
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    std::string out;
    const Clock::time_point start = Clock::now();
    int status = 0;
    bool ended = false;
    while (!ended && SecondsSince(start) < seconds) {
        pollfd p{pipeFds[0], POLLIN, 0};
        poll(&p, 1, 50);
        char buf[512];
        ssize_t n;
        while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
            out.append(buf, static_cast<size_t>(n));
        ended = WaitEnd(pid, 0, &status);
    }
    close(pipeFds[0]);
    if (!ended) {
        Stop(pid);
        return std::string();
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : std::string();
}

// --- /proc ------------------------------------------------------------------------------------

// utime + stime of the whole process, in clock ticks.
long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15)
            stime = std::atol(field.c_str());
    }
    return utime + stime;
}

long StatusValue(const std::string &path, const std::string &key)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::atol(line.c_str() + key.size() + 1);
    return 0;
}

long RssKb(pid_t pid)
{
    return StatusValue("/proc/" + std::to_string(pid) + "/status", "VmRSS");
}

// Context switches of all threads now alive: each is a wake-up of that thread.
long ContextSwitches(pid_t pid)
{
    long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto &task : fs::directory_iterator(tasks, error)) {
        const std::string status = task.path().string() + "/status";
        total += StatusValue(status, "voluntary_ctxt_switches") +
                 StatusValue(status, "nonvoluntary_ctxt_switches");
    }
    return total;
}

bool HoldsOpen(pid_t pid, const std::string &device)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto &fd : fs::directory_iterator(dir, error)) {
        char target[256];
        const ssize_t n = readlink(fd.path().c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == device)
            return true;
    }
    return false;
}

bool WaitOpen(pid_t pid, const std::string &device, double seconds)
{
    const Clock::time_point start = Clock::now();
    while (SecondsSince(start) < seconds) {
        if (HoldsOpen(pid, device))
            return true;
        if (WaitEnd(pid, 0))
            return false;
        Pause(0.05);
    }
    return false;
}

// --- the pty and its feeder -------------------------------------------------------------------

// The bench holds both ends; the slave stays open in raw mode so the pty outlives the program's
// own open and close, and nothing is echoed back.
struct Pty
{
    int master = -1, slave = -1;
    std::string path;

    Pty()
    {
        char name[128];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            Fail("openpty failed");
        path = name;
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        close(master);
        close(slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    void Discard() const
    {
        char buf[4096];
        while (read(master, buf, sizeof buf) > 0) {
        }
    }
};

// 1024 distinct printable lines, each ending in CR LF, written round and round.
const std::string &Lines()
{
    static const std::string text = [] {
        std::string all;
        for (int i = 0; i < 1024; ++i) {
            char head[16];
            std::snprintf(head, sizeof head, "%06d ", i);
            std::string line = head;
            while (line.size() < kLineBytes - 2)
                line += static_cast<char>('A' + (line.size() + i) % 26);
            all += line + "\r\n";
        }
        return all;
    }();
    return text;
}

struct FeedResult
{
    double wallSeconds = 0;
    double maxLagMs = 0;
    size_t written = 0;
};

// Lines fall due at the rate; all lines due when the feeder wakes go in one write, and it wakes
// at most once a tick (1 ms by default, as a USB adapter hands over data), so the slower rates
// see one line per write and 1 MB/s sees about sixteen.
FeedResult Feed(const Pty &pty, double rate, double seconds, double tickMs)
{
    const auto tick =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(tickMs));
    const std::string &lines = Lines();
    const size_t total = static_cast<size_t>(rate * seconds / kLineBytes) * kLineBytes;
    const Clock::time_point start = Clock::now();
    const auto dueAt = [&](size_t byte) {
        return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                           static_cast<double>(byte / kLineBytes * kLineBytes) / rate));
    };
    FeedResult result;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - start).count();
        if (elapsed >= seconds)
            break;
        const size_t due =
            std::min(total, (static_cast<size_t>(elapsed * rate / kLineBytes) + 1) * kLineBytes);
        while (result.written < due) {
            const size_t at = result.written % lines.size();
            const size_t count = std::min(due - result.written, lines.size() - at);
            const ssize_t n = write(pty.master, lines.data() + at, count);
            if (n <= 0)
                break;
            result.written += static_cast<size_t>(n);
        }
        pty.Discard();
        if (result.written < due)
            result.maxLagMs =
                std::max(result.maxLagMs,
                         std::chrono::duration<double, std::milli>(now - dueAt(result.written)).count());
        Clock::time_point next = now + tick;
        if (result.written >= due && due < total)
            next = std::max(next, dueAt(due));
        else if (result.written >= total)
            next =
                start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        if (result.written < due) {
            pollfd p{pty.master, POLLOUT, 0};
            poll(&p, 1, 1);
        } else {
            Pause(std::max(0.0, std::chrono::duration<double>(next - Clock::now()).count()));
        }
    }
    result.wallSeconds = SecondsSince(start);
    return result;
}

// The demo board, played here as a window plays it, streaming a thousand sensor lines a second on
// its slave end; the bench holds that end and hands what comes on to the program being measured,
// so each program draws the same lines at the board's own pace.
struct DemoStream
{
    // "temp:21.5,hum:40.2,press:1013.1" and CR LF, a thousand a second.
    static constexpr double kRate = 33 * 1000;
    std::unique_ptr<demo::CDemoRunner> runner;
    int fd = -1;

    DemoStream()
    {
        std::string error;
        runner = demo::CDemoRunner::Make(
            [](const std::string &folder) { return demo::MakeDemoDevice("board", folder); },
            demo::EDemoStart::WhenTold, &error);
        if (!runner)
            Fail("no demo board: " + error);
        fd = open(runner->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            Fail("cannot open the demo board's line");
        termios raw{};
        tcgetattr(fd, &raw);
        cfmakeraw(&raw);
        // Fast enough that the board holds none of the thousand lines back.
        cfsetspeed(&raw, B921600);
        tcsetattr(fd, TCSANOW, &raw);
        runner->Opened();
        Await("demo login: ", 30);
        Say("root\r");
        Await("# ", 10);
        Say("stream 1000\r");
        Await("press:", 10);
    }
    ~DemoStream() { close(fd); }
    DemoStream(const DemoStream &) = delete;
    DemoStream &operator=(const DemoStream &) = delete;

    void Say(const std::string &text) const
    {
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            Fail("the demo board takes no keys");
    }
    void Await(const std::string &text, double seconds) const
    {
        const Clock::time_point start = Clock::now();
        std::string seen;
        while (seen.find(text) == std::string::npos) {
            if (SecondsSince(start) > seconds)
                Fail("the demo board never said " + text);
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 100);
            char buf[4096];
            const ssize_t got = read(fd, buf, sizeof buf);
            if (got > 0)
                seen.append(buf, static_cast<size_t>(got));
        }
    }
    void Discard() const
    {
        char buf[65536];
        while (read(fd, buf, sizeof buf) > 0) {
        }
    }
};

// What the board streams goes on to the program for `seconds`; the lag is how long a read of
// the board's waited for room in the program's pty.
FeedResult Relay(const Pty &pty, const DemoStream &board, double seconds)
{
    board.Discard();
    const Clock::time_point start = Clock::now();
    FeedResult result;
    char buf[65536];
    while (SecondsSince(start) < seconds) {
        pollfd p{board.fd, POLLIN, 0};
        poll(&p, 1, 100);
        const ssize_t got = read(board.fd, buf, sizeof buf);
        const Clock::time_point readAt = Clock::now();
        for (ssize_t done = 0; got > 0 && done < got && SecondsSince(start) < seconds;) {
            const ssize_t n = write(pty.master, buf + done, static_cast<size_t>(got - done));
            if (n > 0) {
                done += n;
                result.written += static_cast<size_t>(n);
                continue;
            }
            pollfd room{pty.master, POLLOUT, 0};
            poll(&room, 1, 1);
            pty.Discard();
        }
        result.maxLagMs = std::max(result.maxLagMs,
                                   std::chrono::duration<double, std::milli>(Clock::now() - readAt).count());
        pty.Discard();
    }
    result.wallSeconds = SecondsSince(start);
    return result;
}

// As fast as the pty takes it, for `seconds`; bytes per second. With `step` > 0 the rate of each
// step of that many seconds goes to standard error too: a client that slows while its memory
// fills shows it there, where the whole drain's rate only averages it away.
double Flood(const Pty &pty, double seconds, double step = 0)
{
    const std::string &lines = Lines();
    const Clock::time_point start = Clock::now();
    size_t written = 0;
    size_t stepStart = 0;
    double stepEnd = step;
    while (SecondsSince(start) < seconds) {
        if (step > 0 && SecondsSince(start) >= stepEnd) {
            std::fprintf(stderr, "  to %4.1f s %8.1f MB/s\n", stepEnd,
                         static_cast<double>(written - stepStart) / step / 1e6);
            stepStart = written;
            stepEnd += step;
        }
        const ssize_t n = write(pty.master, lines.data(), lines.size());
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        pollfd p{pty.master, POLLOUT, 0};
        poll(&p, 1, 10);
    }
    return static_cast<double>(written) / SecondsSince(start);
}

// A shell on a terminal of its own cats `file`; what it writes goes on into the pty, as from a
// board's shell behind its serial line. Seconds until the program has read the last byte.
double ShellCat(const Pty &pty, const fs::path &file)
{
    const std::string command = "cat '" + file.string() + "'";
    const Clock::time_point start = Clock::now();
    int term = -1;
    const pid_t shell = StartShellOnTerminal(command, &term);
    if (shell < 0)
        Fail("no terminal for the shell");
    std::vector<char> buffer(65536);
    for (;;) {
        // EIO once the shell is gone and all it wrote was read.
        const ssize_t n = read(term, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(pty.master, buffer.data() + done, static_cast<size_t>(n - done));
            if (w > 0) {
                done += w;
                continue;
            }
            pty.Discard(); // the terminal's answers, if any
            pollfd p{pty.master, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }
    int queued = 1;
    while (ioctl(pty.slave, FIONREAD, &queued) == 0 && queued > 0)
        Pause(0.001);
    const double seconds = SecondsSince(start);
    waitpid(shell, nullptr, 0);
    close(term);
    return seconds;
}

// --- starting the programs --------------------------------------------------------------------

struct Bench
{
    Options options;
    fs::path scratch;
    std::string display;
    pid_t xserver = -1;
    int runs = 0;
    Clock::time_point lastKey = Clock::now();
    bool failed = false;

    Env EnvFor(const fs::path &home) const
    {
        Env env = BaseEnv();
        env["DISPLAY"] = display;
        env["HOME"] = home.string();
        env["XDG_CONFIG_HOME"] = (home / ".config").string();
        env["XDG_RUNTIME_DIR"] = (home / "runtime").string();
        fs::create_directories(home / ".config");
        fs::create_directories(home / "runtime");
        fs::permissions(home / "runtime", fs::perms::owner_all);
        return env;
    }

    void StartX()
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            Fail("pipe failed");
        xserver = Spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1280x1024x24",
                         // Without -noreset the server resets as each program leaves, and the
                         // next one started meanwhile finds no display.
                         "-nolisten", "tcp", "-noreset"},
                        BaseEnv(), (scratch / "xvfb.log").string(), pipeFds[1]);
        g_xserver = xserver;
        close(pipeFds[1]);
        std::string number;
        char c;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(pipeFds[0]);
        if (number.empty())
            Fail("Xvfb did not start; see " + (scratch / "xvfb.log").string());
        display = ":" + number;
    }

    std::string Log(const fs::path &home) const { return (home / "output.log").string(); }

    // The window of `pid` gets the focus and `key` (keys separated by blanks), as a user opening
    // the port from the keyboard.
    bool PressInWindow(pid_t pid, const fs::path &home, const std::string &key)
    {
        const Env env = EnvFor(home);
        std::string windows;
        const Clock::time_point start = Clock::now();
        while (windows.empty() && SecondsSince(start) < 30) {
            if (WaitEnd(pid, 0))
                return false;
            windows = RunForOutput({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}, env,
                                   Log(home), 5);
            if (windows.empty())
                Pause(0.2);
        }
        const std::string window = windows.substr(0, windows.find('\n'));
        if (window.empty())
            return false;
        RunForOutput({"xdotool", "windowfocus", "--sync", window}, env, Log(home), 5);
        // Several keys, one after the other, separated by blanks.
        std::vector<std::string> press = {"xdotool", "key"};
        std::istringstream keys(key);
        for (std::string one; keys >> one;)
            press.push_back(one);
        RunForOutput(press, env, Log(home), 5);
        lastKey = Clock::now();
        return true;
    }

    pid_t StartCutecom(const Pty &pty, const fs::path &home)
    {
        const Env env = [&] {
            Env e = EnvFor(home);
            e["LD_PRELOAD"] = options.shim;
            return e;
        }();
        {
            QSettings store(QString::fromStdString((home / ".config/CuteCom/CuteCom5.conf").string()),
                            QSettings::IniFormat);
            store.beginWriteArray(QStringLiteral("sessions"));
            store.setArrayIndex(0);
            store.setValue(QStringLiteral("name"), QStringLiteral("Default"));
            store.setValue(QStringLiteral("Device"), QString::fromStdString(pty.path));
            store.setValue(QStringLiteral("BaudRate"), 115200);
            store.setValue(QStringLiteral("DataBits"), 8);
            store.setValue(QStringLiteral("Parity"), 0);
            store.setValue(QStringLiteral("StopBits"), 1);
            store.setValue(QStringLiteral("FlowControl"), 0);
            store.setValue(QStringLiteral("OpenMode"), 3);
            store.endArray();
        }
        return Spawn({"cutecom"}, env, Log(home));
    }

    pid_t StartGtkterm(const Pty &pty, const fs::path &home)
    {
        Env env = EnvFor(home);
        env["LD_PRELOAD"] = options.shim;
        std::ofstream(home / ".config/.gtktermrc")
            << "[default]\nport\t= " << pty.path << "\nspeed\t= 115200\nbits\t= 8\nstopbits\t= 1\n"
            << "parity\t= none\nflow\t= none\n";
        struct stat st
        {
        };
        fstat(pty.slave, &st);
        const std::string devnum =
            std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
        const std::string entry = "/sys/dev/char/" + devnum;
        const std::string script = "mount -t tmpfs bench /sys/dev/char && mkdir " + entry +
                                   " && printf 'MAJOR=" + std::to_string(major(st.st_rdev)) +
                                   "\\nMINOR=" + std::to_string(minor(st.st_rdev)) +
                                   "\\nDEVNAME=" + pty.path.substr(5) + "\\n' > " + entry +
                                   "/uevent && echo " + devnum + " > " + entry + "/dev && exec gtkterm -p " +
                                   pty.path + " -s 115200";
        return Spawn({"unshare", "-m", "sh", "-c", script}, env, Log(home));
    }

    // The link is the last one used and in the link list; the view comes from the settings store.
    pid_t StartKestrum(const Pty &pty, const fs::path &home, bool hex, bool console = false)
    {
        Env env = EnvFor(home);
        env["KESTRUM_HOME"] = home.string();
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName = "Bench";
        link.PortName = pty.path;
        link.Baud = 115200;
        std::ofstream(home / "Default.cps") << LinkToLine(link) << "\n";
        {
            QSettings store(QString::fromStdString((home / ".config/Vantrell/Kestrum.conf").string()),
                            QSettings::IniFormat);
            store.setValue(QStringLiteral("CurrentType"), 0);
            store.setValue(QStringLiteral("CurDisplayType"), hex ? 1 : 0);
            store.setValue(QStringLiteral("ShowSendData"), 1);
            store.setValue(QStringLiteral("ShowTime"), 0);
            store.setValue(QStringLiteral("PortSetting"), QString::fromLatin1(LinkToLine(link).c_str()));
            store.setValue(QStringLiteral("ConsoleShown"), console ? 1 : 0);
            for (const auto &[key, value] : options.kestrumSettings)
                store.setValue(QString::fromStdString(key), QString::fromStdString(value));
        }
        return Spawn({options.kestrum}, env, Log(home));
    }

    pid_t StartCat(const Pty &pty, const fs::path &home)
    {
        return Spawn({"sh", "-c", "exec cat < " + pty.path + " > /dev/null"}, EnvFor(home), Log(home));
    }

    // The program with its port open and settled, or -1 (its output is kept for a look).
    pid_t Start(Client client, const Pty &pty, fs::path &home, size_t slot = 0)
    {
        home = scratch / ("run" + std::to_string(++runs));
        fs::create_directories(home);
        pid_t pid = -1;
        std::string key;
        switch (client) {
        case Client::Cat:
            pid = StartCat(pty, home);
            break;
        case Client::Cutecom:
            pid = StartCutecom(pty, home);
            key = "alt+o";
            break;
        case Client::Gtkterm:
            pid = StartGtkterm(pty, home);
            break;
        case Client::KestrumText:
        case Client::KestrumHex:
        case Client::KestrumConsole:
            pid = StartKestrum(pty, home, client == Client::KestrumHex, client == Client::KestrumConsole);
            // The console has every key but a few chords; the menu's Quick Open is the window's.
            key = client == Client::KestrumConsole ? "ctrl+shift+t F5 ctrl+shift+t" : "F5";
            break;
        }
        g_clients[slot] = pid;
        bool open = false;
        bool ended = false;
        for (int attempt = 0; attempt < 3 && !open && !ended; ++attempt) {
            if (!key.empty())
                PressInWindow(pid, home, key);
            open = WaitOpen(pid, pty.path, key.empty() ? 20 : 5);
            ended = !open && kill(pid, 0) != 0; // reaped by WaitOpen
        }
        if (!open) {
            std::fprintf(stderr, "  %s %s %s; its output: %s\n", Name(client),
                         ended ? "ended before it opened" : "did not open", pty.path.c_str(),
                         Log(home).c_str());
            if (!ended)
                Stop(pid);
            g_clients[slot] = -1;
            failed = true;
            return -1;
        }
        Pause(2); // the first paint and whatever a program does once its port is open
        pty.Discard();
        return pid;
    }

    // Ends the program; a lock file it left on the pty's name (one of the peers writes one and
    // does not remove it when stopped) goes too, so a later pty of that name opens.
    static void Finish(pid_t pid, const Pty &pty)
    {
        Stop(pid);
        std::string name = pty.path.substr(5);
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string lock = "/var/lock/LCK.." + name;
        std::ifstream in(lock);
        long owner = 0;
        if (in >> owner && owner == pid)
            unlink(lock.c_str());
    }

    // Runs `measure(client, pty, pid)` for each client, each started on a new pty with a new home
    // and ended after; round `round` begins `round` places further down the list, so no program
    // always runs first. A client that does not start is passed over.
    template <class Measure> void EachStarted(const std::vector<Client> &clients, int round, Measure measure)
    {
        for (size_t i = 0; i < clients.size(); ++i) {
            const Client client = clients[(i + static_cast<size_t>(round)) % clients.size()];
            Pty pty;
            fs::path home;
            const pid_t pid = Start(client, pty, home);
            if (pid < 0)
                continue;
            measure(client, pty, pid);
            Finish(pid, pty);
        }
    }

    // The same with every client started first, each on a pty of its own, and `measure(runs)`
    // called once for them all; each run is ended after.
    struct Run
    {
        Client client;
        std::unique_ptr<Pty> pty;
        pid_t pid;
    };
    template <class Measure> void AllStarted(const std::vector<Client> &clients, int round, Measure measure)
    {
        std::vector<Run> runs;
        for (size_t i = 0; i < clients.size() && i < kSlots; ++i) {
            const Client client = clients[(i + static_cast<size_t>(round)) % clients.size()];
            auto pty = std::make_unique<Pty>();
            fs::path home;
            const pid_t pid = Start(client, *pty, home, i);
            if (pid >= 0)
                runs.push_back({client, std::move(pty), pid});
        }
        // What each did while the others started is not measured, but it is not left unread.
        for (const Run &run : runs)
            run.pty->Discard();
        if (!runs.empty())
            measure(runs);
        for (const Run &run : runs)
            Finish(run.pid, *run.pty);
    }
};

// Feeds every run's pty at once, one feeder thread each.
std::vector<FeedResult> FeedAll(const std::vector<Bench::Run> &runs, double rate, double seconds,
                                double tickMs)
{
    std::vector<FeedResult> results(runs.size());
    std::vector<std::thread> feeders;
    for (size_t i = 0; i < runs.size(); ++i)
        feeders.emplace_back([&, i] { results[i] = Feed(*runs[i].pty, rate, seconds, tickMs); });
    for (std::thread &feeder : feeders)
        feeder.join();
    return results;
}

struct Sample
{
    double cpu = 0, rssMb = 0, lagMs = 0, wakeups = 0;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string RateText(double rate)
{
    char text[32];
    if (rate >= 1e6)
        std::snprintf(text, sizeof text, "%g MB/s", rate / 1e6);
    else
        std::snprintf(text, sizeof text, "%g KB/s", rate / 1e3);
    return text;
}

std::string Cell(const std::vector<double> &values, const char *format)
{
    if (values.empty())
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, Median(values));
    std::string cell = text;
    if (values.size() > 1) {
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        std::snprintf(text, sizeof text, (std::string(" (") + format + "-" + format + ")").c_str(), *low,
                      *high);
        cell += text;
    }
    return cell;
}

void PrintTable(const char *title, const std::vector<double> &rates, const std::vector<Client> &clients,
                const std::map<std::pair<double, Client>, std::vector<double>> &figures, const char *format)
{
    std::printf("\n%s (median, lowest-highest of the rounds)\n\n| rate |", title);
    for (Client client : clients)
        std::printf(" %s |", Name(client));
    std::printf("\n|---|");
    for (size_t i = 0; i < clients.size(); ++i)
        std::printf("---|");
    std::printf("\n");
    for (double rate : rates) {
        std::printf("| %s |", RateText(rate).c_str());
        for (Client client : clients) {
            const auto found = figures.find({rate, client});
            std::printf(" %s |", found == figures.end() ? "-" : Cell(found->second, format).c_str());
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

// The goal's own figures, taken round by round: the programs of a round ran minutes apart (at
// once with --together), so a slow spell of the machine weighs on both sides of a ratio rather
// than on one.
void PrintRatios(const std::vector<double> &rates,
                 const std::map<std::pair<double, Client>, std::vector<double>> &cpu)
{
    auto of = [&cpu](double rate, Client client) -> const std::vector<double> * {
        const auto found = cpu.find({rate, client});
        return found == cpu.end() ? nullptr : &found->second;
    };
    std::printf("\nCPU ratios, each of one round (median, lowest-highest of the rounds)\n\n"
                "| rate | text / lighter peer | hex / lighter peer | hex / text | text / cat | hex / cat |\n"
                "|---|---|---|---|---|---|\n");
    for (double rate : rates) {
        const auto *cutecom = of(rate, Client::Cutecom);
        const auto *gtkterm = of(rate, Client::Gtkterm);
        const auto *text = of(rate, Client::KestrumText);
        const auto *hex = of(rate, Client::KestrumHex);
        const auto *cat = of(rate, Client::Cat);
        std::vector<double> textPeer, hexPeer, hexText, textCat, hexCat;
        for (size_t round = 0;; ++round) {
            auto at = [round](const std::vector<double> *values) {
                return values != nullptr && round < values->size() ? (*values)[round] : -1.0;
            };
            if (at(cutecom) < 0 && at(gtkterm) < 0 && at(text) < 0 && at(hex) < 0)
                break;
            double peer = -1;
            for (double value : {at(cutecom), at(gtkterm)})
                if (value > 0 && (peer < 0 || value < peer))
                    peer = value;
            if (peer > 0 && at(text) >= 0)
                textPeer.push_back(at(text) / peer);
            if (peer > 0 && at(hex) >= 0)
                hexPeer.push_back(at(hex) / peer);
            if (at(text) > 0 && at(hex) >= 0)
                hexText.push_back(at(hex) / at(text));
            if (at(cat) > 0 && at(text) >= 0)
                textCat.push_back(at(text) / at(cat));
            if (at(cat) > 0 && at(hex) >= 0)
                hexCat.push_back(at(hex) / at(cat));
        }
        std::printf("| %s | %s | %s | %s | %s | %s |\n", RateText(rate).c_str(),
                    Cell(textPeer, "%.2f").c_str(), Cell(hexPeer, "%.2f").c_str(),
                    Cell(hexText, "%.2f").c_str(), Cell(textCat, "%.2f").c_str(),
                    Cell(hexCat, "%.2f").c_str());
    }
    std::fflush(stdout);
}

const char kUsage[] =
    "Usage: peer_bench [--rounds N] [--seconds S] [--warmup S] [--drain-seconds S] [--drain-steps S]\n"
    "                  [--drain-warmup S] [--idle-seconds S] [--idle-after-key S] [--shell-cat MB]\n"
    "                  [--no-shell-cat]\n"
    "                  [--rates R,R,...] [--tick-ms MS] [--kestrum PATH] [--shim PATH]\n"
    "                  [--no-feed] [--no-drain] [--no-idle] [--keep] [--together] [--demo-stream]\n"
    "                  [--programs cutecom,gtkterm,\"Kestrum text\",\"Kestrum hex\",\"Kestrum console\"]\n"
    "                  [--kestrum-setting KEY=VALUE]...\n"
    "Kestrum (text and hex view, and the console) next to cutecom and gtkterm on pseudo-terminals:\n"
    "CPU % of one core, resident memory and the feeder's lag at each rate (bytes/s), the drain rate\n"
    "next to cat, a shell's cat of a text file through its terminal (the console and gtkterm), and\n"
    "the wake-ups of each while idle, from S (10.5) seconds after the last key on. --keep keeps each "
    "program's home folder (its\n"
    "settings and output). --together runs and feeds the programs all at once, so that a busy\n"
    "moment of the host weighs on all of them alike. --demo-stream feeds the demo board's\n"
    "\"stream 1000\" instead of the bench's lines (not with --together). Needs Xvfb, xdotool, unshare, "
    "cutecom and gtkterm.\n";

Options ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--rounds")
            options.rounds = std::max(1, std::atoi(next().c_str()));
        else if (arg == "--seconds")
            options.seconds = std::atof(next().c_str());
        else if (arg == "--warmup")
            options.warmupSeconds = std::max(0.0, std::atof(next().c_str()));
        else if (arg == "--drain-seconds")
            options.drainSeconds = std::atof(next().c_str());
        else if (arg == "--drain-steps")
            options.drainStep = std::atof(next().c_str());
        else if (arg == "--drain-warmup")
            options.drainWarmup = std::atof(next().c_str());
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::atof(next().c_str());
        else if (arg == "--idle-after-key")
            options.idleAfterKey = std::max(0.0, std::atof(next().c_str()));
        else if (arg == "--rates") {
            options.rates.clear();
            std::istringstream list(next());
            std::string rate;
            while (std::getline(list, rate, ','))
                options.rates.push_back(std::atof(rate.c_str()));
        } else if (arg == "--kestrum")
            options.kestrum = next();
        else if (arg == "--shim")
            options.shim = next();
        else if (arg == "--no-feed")
            options.feed = false;
        else if (arg == "--no-drain")
            options.drain = false;
        else if (arg == "--no-idle")
            options.idle = false;
        else if (arg == "--shell-cat")
            options.shellCatMB = std::max(0.0, std::atof(next().c_str()));
        else if (arg == "--no-shell-cat")
            options.shellCatMB = 0;
        else if (arg == "--tick-ms")
            options.tickMs = std::max(0.0, std::atof(next().c_str()));
        else if (arg == "--keep")
            options.keep = true;
        else if (arg == "--together")
            options.together = true;
        else if (arg == "--kestrum-setting") {
            const std::string setting = next();
            const size_t equals = setting.find('=');
            if (equals == std::string::npos)
                Fail("--kestrum-setting takes KEY=VALUE");
            options.kestrumSettings.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
        } else if (arg == "--demo-stream")
            options.demoStream = true;
        else if (arg == "--programs") {
            std::istringstream list(next());
            std::string name;
            while (std::getline(list, name, ','))
                options.programs.push_back(name);
        } else {
            std::fputs(kUsage, arg == "--help" ? stdout : stderr);
            std::exit(arg == "--help" ? 0 : 2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGINT, OnStopSignal);
    signal(SIGTERM, OnStopSignal);
    signal(SIGHUP, OnStopSignal);
    Bench bench;
    bench.options = ParseOptions(argc, argv);
    const Options &options = bench.options;
    char folder[] = "/tmp/kestrum-peers-XXXXXX";
    if (!mkdtemp(folder))
        Fail("no scratch folder");
    bench.scratch = folder;
    bench.StartX();
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    std::printf("peer_bench: %d rounds, %g s per feed%s, display %s, scratch %s\n", options.rounds,
                options.seconds, options.together ? ", all programs at once" : "", bench.display.c_str(),
                folder);
    std::fflush(stdout);

    const auto chosen = [&](std::vector<Client> all) {
        all.erase(std::remove_if(
                      all.begin(), all.end(),
                      [&](Client client) { return client != Client::Cat && !options.Runs(Name(client)); }),
                  all.end());
        return all;
    };
    // `cat` is fed too: the floor of what reading those bytes costs at all.
    const std::vector<Client> clients =
        chosen({Client::Cat, Client::Cutecom, Client::Gtkterm, Client::KestrumText, Client::KestrumHex,
                Client::KestrumConsole});
    std::map<std::pair<double, Client>, std::vector<double>> cpu, rss, lag, wakeups;
    // The figures of `pid` over `wallSeconds` from the ticks and switches counted at their start.
    const auto record = [&](int round, double rate, Client client, pid_t pid, long ticksBefore,
                            long switchesBefore, double wallSeconds, const FeedResult &fed) {
        Sample sample;
        sample.wakeups = static_cast<double>(ContextSwitches(pid) - switchesBefore) / wallSeconds;
        sample.cpu = 100.0 * static_cast<double>(CpuTicks(pid) - ticksBefore) /
                     static_cast<double>(ticksPerSecond) / wallSeconds;
        sample.rssMb = static_cast<double>(RssKb(pid)) / 1024;
        sample.lagMs = fed.maxLagMs;
        cpu[{rate, client}].push_back(sample.cpu);
        rss[{rate, client}].push_back(sample.rssMb);
        lag[{rate, client}].push_back(sample.lagMs);
        wakeups[{rate, client}].push_back(sample.wakeups);
        std::fprintf(stderr,
                     "round %d  %-8s %-13s cpu %5.1f %%  rss %6.1f MB  lag %7.1f ms  %6.0f "
                     "wake-ups/s  (%zu bytes)\n",
                     round + 1, RateText(rate).c_str(), Name(client), sample.cpu, sample.rssMb, sample.lagMs,
                     sample.wakeups, fed.written);
    };
    std::unique_ptr<DemoStream> board;
    if (options.demoStream) {
        if (options.together)
            Fail("--demo-stream feeds one program at a time");
        board = std::make_unique<DemoStream>();
        bench.options.rates = {DemoStream::kRate};
    }
    for (int round = 0; options.feed && round < options.rounds; ++round) {
        for (double rate : options.rates) {
            if (!options.together) {
                bench.EachStarted(clients, round, [&](Client client, const Pty &pty, pid_t pid) {
                    const auto feed = [&](double seconds) {
                        return board ? Relay(pty, *board, seconds) : Feed(pty, rate, seconds, options.tickMs);
                    };
                    if (options.warmupSeconds > 0)
                        feed(options.warmupSeconds);
                    const long switches = ContextSwitches(pid);
                    const long before = CpuTicks(pid);
                    const FeedResult fed = feed(options.seconds);
                    record(round, rate, client, pid, before, switches, fed.wallSeconds, fed);
                });
                continue;
            }
            bench.AllStarted(clients, round, [&](const std::vector<Bench::Run> &runs) {
                if (options.warmupSeconds > 0)
                    FeedAll(runs, rate, options.warmupSeconds, options.tickMs);
                std::vector<long> switches, before;
                for (const Bench::Run &run : runs) {
                    switches.push_back(ContextSwitches(run.pid));
                    before.push_back(CpuTicks(run.pid));
                }
                const Clock::time_point start = Clock::now();
                const std::vector<FeedResult> fed = FeedAll(runs, rate, options.seconds, options.tickMs);
                const double wall = SecondsSince(start);
                for (size_t i = 0; i < runs.size(); ++i)
                    record(round, rate, runs[i].client, runs[i].pid, before[i], switches[i], wall, fed[i]);
            });
        }
    }
    if (options.feed) {
        PrintTable("CPU % of one core", options.rates, clients, cpu, "%.1f");
        PrintRatios(options.rates, cpu);
        PrintTable("Resident memory at the end of the feed, MB", options.rates, clients, rss, "%.0f");
        PrintTable("Feeder's largest lag behind schedule, ms", options.rates, clients, lag, "%.0f");
        PrintTable("Wake-ups per second during the feed (context switches of all threads)", options.rates,
                   clients, wakeups, "%.0f");
    }

    if (options.drain) {
        const std::vector<Client> drainers =
            chosen({Client::Cat, Client::Cutecom, Client::Gtkterm, Client::KestrumHex});
        std::map<Client, std::vector<double>> rates;
        for (int round = 0; round < std::max(1, options.rounds / 2 + 1); ++round) {
            bench.EachStarted(drainers, round, [&](Client client, const Pty &pty, pid_t) {
                // A flood before the measured one, as the feeds have: what a client pays once,
                // such as filling its scrollback, is left out of its rate.
                if (options.drainWarmup > 0)
                    Flood(pty, options.drainWarmup);
                const double rate = Flood(pty, options.drainSeconds, options.drainStep);
                rates[client].push_back(rate);
                std::fprintf(stderr, "drain round %d  %-13s %8.1f MB/s\n", round + 1, Name(client),
                             rate / 1e6);
            });
        }
        const double cat = Median(rates[Client::Cat]);
        std::printf(
            "\nDrain of a flood (median MB/s, and as a share of cat's)\n\n| client | MB/s | of cat |\n"
            "|---|---|---|\n");
        for (Client client : drainers)
            std::printf("| %s | %.1f | %.2f |\n", Name(client), Median(rates[client]) / 1e6,
                        cat > 0 ? Median(rates[client]) / cat : 0);
        std::fflush(stdout);
    }

    if (options.shellCatMB > 0) {
        const fs::path file = bench.scratch / "cat.txt";
        {
            std::ofstream out(file, std::ios::binary);
            const std::string text = [] {
                std::string lf = Lines();
                lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
                return lf;
            }();
            for (double left = options.shellCatMB * 1e6; left > 0; left -= static_cast<double>(text.size()))
                out.write(text.data(), static_cast<std::streamsize>(std::min<double>(left, text.size())));
        }
        const std::vector<Client> catchers = chosen({Client::Cat, Client::Gtkterm, Client::KestrumConsole});
        std::map<Client, std::vector<double>> seconds;
        for (int round = 0; round < std::max(1, options.rounds / 2 + 1); ++round) {
            bench.EachStarted(catchers, round, [&](Client client, const Pty &pty, pid_t) {
                seconds[client].push_back(ShellCat(pty, file));
                std::fprintf(stderr, "shell cat round %d  %-15s %6.2f s\n", round + 1, Name(client),
                             seconds[client].back());
            });
        }
        std::printf("\nA shell's cat of %g MB of text lines through its terminal (seconds until the program "
                    "read it all)\n\n| client | seconds |\n|---|---|\n",
                    options.shellCatMB);
        for (Client client : catchers)
            std::printf("| %s | %s |\n", Name(client), Cell(seconds[client], "%.2f").c_str());
        std::fflush(stdout);
    }

    if (options.idle) {
        std::printf(
            "\nWake-ups with the port open and the keyboard in the window, nothing arriving, over %g s "
            "from %g s after the last key (context switches of all threads)\n\n"
            "| client | wake-ups | per second |\n|---|---|---|\n",
            options.idleSeconds, options.idleAfterKey);
        const std::vector<Client> idlers = chosen({Client::KestrumText, Client::KestrumHex,
                                                   Client::KestrumConsole, Client::Cutecom, Client::Gtkterm});
        bench.EachStarted(idlers, 0, [&](Client client, const Pty &, pid_t pid) {
            Pause(std::max(0.0, options.idleAfterKey - SecondsSince(bench.lastKey)));
            const long before = ContextSwitches(pid);
            Pause(options.idleSeconds);
            const long wakeups = ContextSwitches(pid) - before;
            std::printf("| %s | %ld | %.1f |\n", Name(client), wakeups,
                        static_cast<double>(wakeups) / options.idleSeconds);
            std::fflush(stdout);
        });
    }

    Stop(bench.xserver);
    std::error_code error;
    if (bench.failed || options.keep)
        std::fprintf(stderr, "peer_bench: the output of the programs is kept in %s\n", folder);
    else
        fs::remove_all(bench.scratch, error);
    return 0;
}
