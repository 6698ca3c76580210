// kestrum-vport: a pseudo-terminal that plays a serial device, for tests, demos and work without
// hardware. The first line of output names the device to open as a port.
#include "Serial/portlist.h"
#include "platform/textfile.h"
#include "responder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kHelp[] =
    "Usage: kestrum-vport [MODE] [--name NAME | --no-link]\n"
    "\n"
    "Creates a pseudo-terminal and plays a serial device on it until interrupted (Ctrl+C).\n"
    "The first line printed names the port to open, such as \"Port: /dev/pts/5\"; the second\n"
    "a stable name for it that the Port Setting dialog lists.\n"
    "\n"
    "Modes:\n"
    "  --echo           send back every byte received, unchanged (the default)\n"
    "  --lines RATE     send numbered text lines, RATE lines per second (1 to 10000),\n"
    "                   ending in CR LF; received bytes are ignored\n"
    "  --table FILE     answer from a table: one rule per line, \"prefix\",\"reply\";\n"
    "                   \\r \\n \\t \\\\ and \\xHH stand for those bytes; lines starting with #\n"
    "                   are comments. Received bytes that begin no prefix are dropped.\n"
    "\n"
    "Options:\n"
    "  --name NAME      make the stable name NAME (default: the first free vportN)\n"
    "  --no-link        make no stable name\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Bytes the program using the port does not read are dropped once 1 MB waits.\n";

constexpr size_t kMaxPending = 1 << 20;

enum class Mode { Echo, Lines, Table };

struct Options
{
    Mode mode = Mode::Echo;
    long rate = 0;
    std::string table;
    std::string name;
    bool link = true;
};

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
            std::fputs(kHelp, stdout);
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
        } else if (a == "--name" && hasValue) {
            o->name = argv[++i];
            if (o->name.empty() || o->name.find('/') != std::string::npos || o->name[0] == '.') {
                *exitCode = Usage("a stable name is a plain file name");
                return false;
            }
        } else if (a == "--no-link") {
            o->link = false;
        } else {
            *exitCode = Usage(("unknown or incomplete option " + a).c_str());
            return false;
        }
    }
    return true;
}

// A link whose target is gone was left by a vport that ended without cleaning up.
std::string MakeLink(const std::string &wanted, const std::string &target)
{
    const std::string dir = VirtualPortDir();
    mkdir(dir.c_str(), 0700);
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
            pollfd fds[3] = {{master_, static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0},
                             {sigfd, POLLIN, 0},
                             {timer, POLLIN, 0}};
            if (poll(fds, timer >= 0 ? 3 : 2, -1) < 0 && errno != EINTR)
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
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(master_, buf, sizeof buf);
                if (n > 0) {
                    const std::string in(buf, static_cast<size_t>(n));
                    if (o.mode == Mode::Echo)
                        Queue(in);
                    else if (o.mode == Mode::Table)
                        Queue(responder->Feed(in));
                }
            }
            Flush();
        }
    }

private:
    void Queue(const std::string &bytes)
    {
        if (pending_.size() + bytes.size() <= kMaxPending)
            pending_ += bytes;
    }
    void Flush()
    {
        while (!pending_.empty()) {
            const ssize_t n = write(master_, pending_.data(), pending_.size());
            if (n <= 0)
                return;
            pending_.erase(0, static_cast<size_t>(n));
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string pending_;
};

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
    std::string error;
    if (!vport.Start(&error)) {
        std::fprintf(stderr, "kestrum-vport: cannot create a pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    const std::string link = options.link ? MakeLink(options.name, vport.Path()) : std::string();
    std::printf("Port: %s\n", vport.Path().c_str());
    if (!link.empty())
        std::printf("Stable name: %s\n", link.c_str());
    else if (options.link)
        std::fprintf(stderr, "kestrum-vport: could not make the stable name in %s\n",
                     VirtualPortDir().c_str());
    std::fflush(stdout);

    const int rc = vport.Run(options, &responder, signals);
    if (!link.empty())
        unlink(link.c_str());
    return rc;
}
