// kestrum-vport: a pseudo-terminal (or a local TCP port) that plays a serial device, for tests,
// demos and work without hardware. The first line of output names the device to open as a port.
#include "demo/demodevices.h"
#include "demo/demorunner.h"
#include "platform/textfile.h"
#include "replay/replayports.h"
#include "responder.h"
#include "serial/portlist.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kHelp[] =
    "Usage: kestrum-vport [MODE] [--name NAME | --no-link | --tcp [HOST:]PORT]\n"
    "\n"
    "Creates a pseudo-terminal and plays a serial device on it until interrupted (Ctrl+C).\n"
    "The first line printed names the port to open, such as \"Port: /dev/pts/5\"; the second\n"
    "a stable name for it that the Port Setting dialog lists.\n"
    "With --tcp the device is served as raw bytes on a TCP port instead, and the first line\n"
    "is the port name to type into a link, such as \"Port: socket://127.0.0.1:7000\".\n"
    "\n"
    "Modes:\n"
    "  --echo           send back every byte received, unchanged (the default)\n"
    "  --lines RATE     send numbered text lines, RATE lines per second (1 to 10000),\n"
    "                   ending in CR LF; received bytes are ignored\n"
    "  --table FILE     answer from a table: one rule per line, \"prefix\",\"reply\";\n"
    "                   \\r \\n \\t \\\\ and \\xHH stand for those bytes; lines starting with #\n"
    "                   are comments. Received bytes that begin no prefix are dropped.\n"
    "  --demo KIND      play the demo device KIND, the one Kestrum opens as demo://KIND, for\n"
    "                   another program (%s). It starts when a program first opens\n"
    "                   the port and goes on across later openings; what it says while\n"
    "                   nobody has the port open is dropped. Not with --tcp.\n"
    "  --replay FILE    play a recording (a pcapng Kestrum wrote, a text or raw capture) as\n"
    "                   the device, from when a program first opens the port, at the\n"
    "                   recorded pace; with --answer each request the program sends gets\n"
    "                   the recorded answer; --speed X (a factor) or --speed max. Not with\n"
    "                   --tcp.\n"
    "\n"
    "Options:\n"
    "  --name NAME      make the stable name NAME (default: the first free vportN)\n"
    "  --no-link        make no stable name\n"
    "  --tcp [HOST:]PORT\n"
    "                   listen on TCP PORT of HOST (default 127.0.0.1; 0.0.0.0 for every\n"
    "                   network) instead of making a pseudo-terminal; PORT 0 picks a free one.\n"
    "                   One client at a time: a new connection replaces the one before, as a\n"
    "                   restarted program expects; bytes for nobody are dropped\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Bytes the program using the port does not read are dropped once 1 MB waits.\n";

constexpr size_t kMaxPending = 1 << 20;

enum class Mode { Echo, Lines, Table, Demo, Replay };

struct Options
{
    Mode mode = Mode::Echo;
    long rate = 0;
    std::string table;
    std::string demo;
    std::string replay;
    ST_ReplayOptions replayOptions;
    std::string name;
    bool link = true;
    bool tcp = false;
    std::string host = "127.0.0.1";
    std::string port;
};

// "PORT", "HOST:PORT" or "[IPV6]:PORT", PORT a number from 0 to 65535.
bool ParseTcp(const std::string &text, Options *o)
{
    const size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (colon != std::string::npos && host.empty())
        return false;
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stol(port) > 65535)
        return false;
    o->tcp = true;
    if (!host.empty())
        o->host = host;
    o->port = port;
    return true;
}

// The demo devices there are, "board, echo".
std::string KindNames()
{
    std::string names;
    for (const ST_DemoKind &kind : demo::DemoKinds())
        names += (names.empty() ? "" : ", ") + kind.Name;
    return names;
}

bool HasKind(const std::string &name)
{
    for (const ST_DemoKind &kind : demo::DemoKinds())
        if (kind.Name == name)
            return true;
    return false;
}

int Usage(const char *problem)
{
    std::fprintf(stderr, "kestrum-vport: %s\nTry 'kestrum-vport --help'.\n", problem);
    return 2;
}

bool Parse(int argc, char **argv, Options *o, int *exitCode)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::printf(kHelp, KindNames().c_str());
            *exitCode = 0;
            return false;
        } else if (a == "--version") {
            std::printf("kestrum-vport %s\n", KESTRUM_VERSION);
            *exitCode = 0;
            return false;
        } else if (a == "--echo") {
            o->mode = Mode::Echo;
        } else if (a == "--lines" && hasValue) {
            o->mode = Mode::Lines;
            char *end = nullptr;
            o->rate = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || o->rate < 1 || o->rate > 10000) {
                *exitCode = Usage("the line rate must be a whole number from 1 to 10000");
                return false;
            }
        } else if (a == "--table" && hasValue) {
            o->mode = Mode::Table;
            o->table = argv[++i];
        } else if (a == "--demo" && hasValue) {
            o->mode = Mode::Demo;
            o->demo = argv[++i];
            if (!HasKind(o->demo)) {
                *exitCode = Usage(("there is no demo device " + o->demo + " (" + KindNames() + ")").c_str());
                return false;
            }
        } else if (a == "--replay" && hasValue) {
            o->mode = Mode::Replay;
            o->replay = argv[++i];
        } else if (a == "--answer") {
            o->replayOptions.Answer = true;
        } else if (a == "--speed" && hasValue) {
            const std::string speed = argv[++i];
            char *end = nullptr;
            o->replayOptions.Speed = speed == "max" ? 0 : std::strtod(speed.c_str(), &end);
            if (speed != "max" && (speed.empty() || *end != '\0' || !(o->replayOptions.Speed > 0) ||
                                   o->replayOptions.Speed > 1000)) {
                *exitCode = Usage("--speed takes a factor of the recorded pace (up to 1000) or max");
                return false;
            }
        } else if (a == "--name" && hasValue) {
            o->name = argv[++i];
            if (o->name.empty() || o->name.find('/') != std::string::npos || o->name[0] == '.') {
                *exitCode = Usage("a stable name is a plain file name");
                return false;
            }
        } else if (a == "--no-link") {
            o->link = false;
        } else if (a == "--tcp" && hasValue) {
            if (!ParseTcp(argv[++i], o)) {
                *exitCode = Usage("--tcp takes PORT or HOST:PORT, PORT a number from 0 to 65535");
                return false;
            }
        } else {
            *exitCode = Usage(("unknown or incomplete option " + a).c_str());
            return false;
        }
    }
    if (o->tcp && o->mode == Mode::Replay) {
        *exitCode = Usage("a recording is played on a pseudo-terminal, not with --tcp");
        return false;
    }
    if (o->tcp && o->mode == Mode::Demo) {
        *exitCode = Usage("a demo device is served on a pseudo-terminal, not with --tcp");
        return false;
    }
    if (o->tcp && !o->name.empty()) {
        *exitCode = Usage("a stable name is made for a pseudo-terminal, not with --tcp");
        return false;
    }
    return true;
}

// A link whose target is gone was left by a vport that ended without cleaning up.
std::string MakeLink(const std::string &wanted, const std::string &target)
{
    const std::string dir = VirtualPortDir();
    mkdir(dir.c_str(), 0700);
    // A folder someone else made first would lead Kestrum to their devices, and they to ours.
    if (std::string why; !TrustedVirtualPortDir(dir, &why)) {
        std::fprintf(stderr, "kestrum-vport: %s is not a safe folder for stable names: %s\n", dir.c_str(),
                     why.c_str());
        return {};
    }
    for (int n = 0; n < 100; ++n) {
        const std::string name = wanted.empty() ? "vport" + std::to_string(n) : wanted;
        const std::string path = dir + "/" + name;
        struct stat st
        {
        };
        if (lstat(path.c_str(), &st) == 0 && stat(path.c_str(), &st) != 0)
            unlink(path.c_str());
        if (symlink(target.c_str(), path.c_str()) == 0)
            return path;
        if (!wanted.empty())
            break;
    }
    return {};
}

class CVport
{
public:
    bool Start(std::string *error)
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            *error = std::strerror(errno);
            return false;
        }
        const char *name = ptsname(master_);
        path_ = name ? name : "";
        // Holding the slave open keeps the pair alive between the openings of the port, and
        // raw settings keep bytes unchanged before the port sets its own.
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            *error = std::strerror(errno);
            return false;
        }
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }
    // Listens instead of making a pseudo-terminal; Path() becomes the address to connect to.
    bool Listen(const Options &o, std::string *error)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo *found = nullptr;
        if (const int rc = getaddrinfo(o.host.c_str(), o.port.c_str(), &hints, &found); rc != 0) {
            *error = o.host + ": " + gai_strerror(rc);
            return false;
        }
        *error = "no address";
        for (const addrinfo *a = found; a != nullptr && listener_ < 0; a = a->ai_next) {
            const int fd =
                socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            const int on = 1;
            // A tool restarted on the same port must not wait for the old connections to time out.
            if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 4) == 0) {
                listener_ = fd;
                break;
            }
            *error = std::strerror(errno);
            if (fd >= 0)
                close(fd);
        }
        freeaddrinfo(found);
        if (listener_ < 0)
            return false;
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        char host[NI_MAXHOST] = {}, port[NI_MAXSERV] = {};
        getsockname(listener_, reinterpret_cast<sockaddr *>(&bound), &size);
        getnameinfo(reinterpret_cast<sockaddr *>(&bound), size, host, sizeof host, port, sizeof port,
                    NI_NUMERICHOST | NI_NUMERICSERV);
        std::string shown = host;
        // Every network: the name other machines know this one by.
        if (shown == "0.0.0.0" || shown == "::") {
            char name[256] = {};
            gethostname(name, sizeof name - 1);
            shown = name;
        } else if (shown.find(':') != std::string::npos) {
            shown = "[" + shown + "]";
        }
        path_ = "socket://" + shown + ":" + port;
        return true;
    }
    const std::string &Path() const { return path_; }

    int Run(const Options &o, CResponder *responder, const sigset_t &signals)
    {
        const int sigfd = signalfd(-1, &signals, SFD_CLOEXEC);
        int timer = -1;
        if (o.mode == Mode::Lines) {
            timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
            const long ns = 1000000000L / o.rate;
            itimerspec spec{{ns / 1000000000L, ns % 1000000000L}, {ns / 1000000000L, ns % 1000000000L}};
            timerfd_settime(timer, 0, &spec, nullptr);
        }
        unsigned long lineNo = 0;
        char buf[4096];
        for (;;) {
            // A negative descriptor (no timer, no listener, no client yet) is skipped by poll.
            pollfd fds[4] = {{Device(), static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0},
                             {sigfd, POLLIN, 0},
                             {timer, POLLIN, 0},
                             {listener_, POLLIN, 0}};
            if (poll(fds, 4, -1) < 0 && errno != EINTR)
                return 1;
            if (fds[1].revents)
                return 0;
            if (fds[2].revents & POLLIN) {
                uint64_t ticks = 0;
                if (read(timer, &ticks, sizeof ticks) == sizeof ticks)
                    for (uint64_t t = 0; t < ticks; ++t) {
                        char line[64];
                        std::snprintf(line, sizeof line, "Line %06lu ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n",
                                      ++lineNo);
                        Queue(line);
                    }
            }
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = read(fds[0].fd, buf, sizeof buf);
                if (client_ >= 0 && fds[0].fd == client_ &&
                    (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)))
                    DropClient();
                if (n > 0) {
                    const std::string in(buf, static_cast<size_t>(n));
                    if (o.mode == Mode::Echo)
                        Queue(in);
                    else if (o.mode == Mode::Table)
                        Queue(responder->Feed(in));
                }
            }
            Flush();
            // Last, so nothing above sees a client that took the place of the one it polled.
            if (fds[3].revents & POLLIN)
                Accept();
        }
    }

private:
    int Device() const { return listener_ >= 0 ? client_ : master_; }
    void Accept()
    {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        DropClient();
        client_ = fd;
        // Echoed keystrokes go out at once rather than waiting to fill a segment.
        const int on = 1;
        setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    // What was due to the old client is not the new one's.
    void DropClient()
    {
        if (client_ >= 0)
            close(client_);
        client_ = -1;
        pending_.clear();
    }
    void Queue(const std::string &bytes)
    {
        // A device on a network port talks whether or not anyone listens.
        if (listener_ >= 0 && client_ < 0)
            return;
        if (pending_.size() + bytes.size() <= kMaxPending)
            pending_ += bytes;
    }
    void Flush()
    {
        while (!pending_.empty()) {
            const ssize_t n = listener_ >= 0 ? send(client_, pending_.data(), pending_.size(), MSG_NOSIGNAL)
                                             : write(master_, pending_.data(), pending_.size());
            if (n <= 0)
                return;
            pending_.erase(0, static_cast<size_t>(n));
        }
    }

    int master_ = -1;
    int listener_ = -1;
    int client_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string pending_;
};

int WaitForStop(const sigset_t &signals)
{
    const int sigfd = signalfd(-1, &signals, SFD_CLOEXEC);
    pollfd fd = {sigfd, POLLIN, 0};
    while (poll(&fd, 1, -1) < 0)
        if (errno != EINTR)
            return 1;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Blocked before the device is announced, so a stop that follows the announcement at once
    // still ends the program through its own clean-up.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);

    Options options;
    int exitCode = 0;
    if (!Parse(argc, argv, &options, &exitCode))
        return exitCode;

    CResponder responder;
    if (options.mode == Mode::Table) {
        std::string error;
        try {
            std::vector<std::string> lines;
            if (!ReadTextLines(options.table, lines))
                error = "no such file";
            else
                responder.Load(lines, &error);
            if (!error.empty()) {
                std::fprintf(stderr, "kestrum-vport: %s: %s\n", options.table.c_str(), error.c_str());
                return 2;
            }
        } catch (const std::exception &e) {
            std::fprintf(stderr, "kestrum-vport: %s\n", e.what());
            return 2;
        }
    }

    CVport vport;
    std::unique_ptr<demo::CDemoRunner> played;
    std::unique_ptr<CReplayOutlet> replayed;
    std::string error;
    if (options.tcp && !vport.Listen(options, &error)) {
        std::fprintf(stderr, "kestrum-vport: cannot listen on %s:%s: %s\n", options.host.c_str(),
                     options.port.c_str(), error.c_str());
        return 1;
    }
    if (options.mode == Mode::Demo) {
        const std::string kind = options.demo;
        try {
            played = demo::CDemoRunner::Make(
                [&kind](const std::string &folder) { return demo::MakeDemoDevice(kind, folder); },
                demo::EDemoStart::WhenSlaveOpens, &error);
        } catch (const std::exception &e) {
            error = e.what();
        }
        if (!played) {
            std::fprintf(stderr, "kestrum-vport: cannot play %s: %s\n", kind.c_str(), error.c_str());
            return 1;
        }
    } else if (options.mode == Mode::Replay) {
        try {
            replayed =
                CReplayOutlet::Make(ReadRecordingFile(options.replay, 0), options.replayOptions, &error);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "kestrum-vport: %s\n", e.what());
            return 2;
        }
        if (!replayed) {
            std::fprintf(stderr, "kestrum-vport: cannot play %s: %s\n", options.replay.c_str(),
                         error.c_str());
            return 1;
        }
    } else if (!options.tcp && !vport.Start(&error)) {
        std::fprintf(stderr, "kestrum-vport: cannot create a pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    const std::string path = played ? played->SlavePath() : replayed ? replayed->SlavePath() : vport.Path();
    const bool makeLink = options.link && !options.tcp;
    const std::string link = makeLink ? MakeLink(options.name, path) : std::string();
    std::printf("Port: %s\n", path.c_str());
    if (!link.empty())
        std::printf("Stable name: %s\n", link.c_str());
    else if (makeLink)
        std::fprintf(stderr, "kestrum-vport: could not make the stable name in %s\n",
                     VirtualPortDir().c_str());
    std::fflush(stdout);

    // The device has a thread of its own; this one only waits for the stop.
    const int rc = played || replayed ? WaitForStop(signals) : vport.Run(options, &responder, signals);
    played.reset();
    replayed.reset();
    if (!link.empty())
        unlink(link.c_str());
    return rc;
}
