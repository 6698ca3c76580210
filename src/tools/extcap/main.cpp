// kestrum-extcap: the protocol analyser's capture interfaces for what Kestrum sees. Its
// interfaces are each running Kestrum window of this user (the window's traffic, both directions,
// from its private socket) and each serial port nobody holds, which it opens itself to listen.
// The analyser runs it with its extcap options and reads the pcapng it writes to a fifo.
#include "extcap/extcapports.h"
#include "extcap/livecapture.h"
#include "frame/framechoices.h"
#include "frame/frameprofilefile.h"
#include "frame/frameprofiles.h"
#include "log/logpcapng.h"
#include "platform/appfolder.h"
#include "serial/serial.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: kestrum-extcap --extcap-interfaces\n"
    "       kestrum-extcap --extcap-dlts --extcap-interface IF\n"
    "       kestrum-extcap --extcap-config --extcap-interface IF\n"
    "       kestrum-extcap --capture --extcap-interface IF --fifo FILE [OPTIONS]\n"
    "\n"
    "The protocol analyser's capture interfaces for Kestrum: each running Kestrum window of\n"
    "this user (kestrum-window-...) and each serial port that no program holds\n"
    "(kestrum-port:NAME). The analyser finds it in its extcap folder and runs it itself.\n"
    "\n"
    "Options of a serial port's capture:\n"
    "  --baud RATE       the line's rate (default 9600)\n"
    "  --format FORMAT   data bits, parity (N, E, O, M, S) and stop bits, such as 8N1 (the\n"
    "                    default) or 7E1\n"
    "  --framing NAME    a packet per frame of the framing profile NAME (a built-in, such as\n"
    "                    \"Modbus RTU\", or one of Framing.kfp in the app folder); \"none\", the\n"
    "                    default, makes a packet of each read\n"
    "\n"
    "  --extcap-version  show the version\n"
    "  --help            show this text\n";

const char kPortPrefix[] = "kestrum-port:";
constexpr int kListingWaitMs = 2000;

struct Options
{
    std::string verb;
    std::string interface;
    std::string fifo;
    uint32_t baud = 9600;
    std::string format = "8N1";
    std::string framing = "none";
};

[[noreturn]] void Fail(const std::string &why)
{
    std::fprintf(stderr, "kestrum-extcap: %s\n", why.c_str());
    std::exit(1);
}

// "8N1": data bits 5 to 8, a parity letter, stop bits 1, 1.5 or 2.
struct ST_Format
{
    uint8_t DataBits = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
};

std::optional<ST_Format> ParseFormat(const std::string &text)
{
    static const std::map<char, uint8_t> parities = {
        {'N', NOPARITY}, {'O', ODDPARITY}, {'E', EVENPARITY}, {'M', MARKPARITY}, {'S', SPACEPARITY}};
    static const std::map<std::string, uint8_t> stops = {
        {"1", ONESTOPBIT}, {"1.5", ONE5STOPBITS}, {"2", TWOSTOPBITS}};
    if (text.size() < 3 || text[0] < '5' || text[0] > '8')
        return std::nullopt;
    const auto parity = parities.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[1]))));
    const auto stop = stops.find(text.substr(2));
    if (parity == parities.end() || stop == stops.end())
        return std::nullopt;
    return ST_Format{static_cast<uint8_t>(text[0] - '0'), parity->second, stop->second};
}

Options ParseArguments(int argc, char **argv)
{
    Options options;
    const auto value = [&](int &i, const std::string &arg) -> std::string {
        if (const size_t eq = arg.find('='); eq != std::string::npos)
            return arg.substr(eq + 1);
        if (i + 1 >= argc)
            Fail(arg + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string name = arg.substr(0, arg.find('='));
        if (name == "--extcap-interfaces" || name == "--extcap-dlts" || name == "--extcap-config" ||
            name == "--capture" || name == "--help") {
            options.verb = name;
        } else if (name == "--extcap-version") {
            // The analyser says its own version with it; alone, it asks for ours.
            if (name == arg && options.verb.empty())
                options.verb = name;
        } else if (name == "--extcap-interface") {
            options.interface = value(i, arg);
        } else if (name == "--fifo") {
            options.fifo = value(i, arg);
        } else if (name == "--baud") {
            const std::string text = value(i, arg);
            char *end = nullptr;
            const unsigned long baud = std::strtoul(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || baud == 0 || baud > 20000000)
                Fail("not a baud rate: " + text);
            options.baud = static_cast<uint32_t>(baud);
        } else if (name == "--format") {
            options.format = value(i, arg);
            if (!ParseFormat(options.format))
                Fail("not a data format such as 8N1: " + options.format);
        } else if (name == "--framing") {
            options.framing = value(i, arg);
        } else if (name == "--extcap-capture-filter" || name == "--extcap-control-in" ||
                   name == "--extcap-control-out" || name == "--extcap-reload-option") {
            value(i, arg); // no filters and no controls: the bytes are what they are
        } else {
            Fail("unknown option " + arg + " (see --help)");
        }
    }
    return options;
}

// ---- Interfaces ----

struct ST_Window
{
    std::string Interface;
    std::string Path;
};

std::vector<ST_Window> Windows()
{
    std::vector<ST_Window> windows;
    const std::string folder = LiveCaptureFolder();
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return windows;
    while (const dirent *entry = readdir(dir)) {
        const std::string interface = WindowInterfaceName(entry->d_name);
        if (!interface.empty())
            windows.push_back({interface, folder + "/" + entry->d_name});
    }
    closedir(dir);
    return windows;
}

// Braces would end the analyser's field.
std::string Field(std::string text)
{
    for (char &c : text)
        if (c == '{' || c == '}' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void ListInterfaces()
{
    std::printf("extcap {version=%s}\n", KESTRUM_VERSION);
    for (const ST_Window &window : Windows()) {
        std::string why;
        const int fd = ConnectLiveWindow(window.Path, why);
        if (fd < 0) {
            std::fprintf(stderr, "kestrum-extcap: passed over %s\n", why.c_str());
            continue;
        }
        const std::optional<ST_LiveStart> start = ReadLiveStart(fd, kListingWaitMs, why);
        close(fd);
        if (!start) {
            std::fprintf(stderr, "kestrum-extcap: passed over %s: %s\n", window.Path.c_str(), why.c_str());
            continue;
        }
        std::printf("interface {value=%s}{display=%s}\n", window.Interface.c_str(),
                    Field(start->Greeting).c_str());
    }
    for (const ST_PortInfo &port : FreeSerialPorts()) {
        std::string display = "Kestrum: serial port " + port.Name;
        if (!port.Description.empty())
            display += " (" + port.Description + ")";
        std::printf("interface {value=%s%s}{display=%s}\n", kPortPrefix, Field(port.Name).c_str(),
                    Field(display).c_str());
    }
}

bool IsPortInterface(const std::string &interface)
{
    return interface.compare(0, sizeof kPortPrefix - 1, kPortPrefix) == 0 &&
           interface.size() > sizeof kPortPrefix - 1;
}

void CheckInterface(const std::string &interface)
{
    if (interface.empty())
        Fail("--extcap-interface is missing");
    if (!IsPortInterface(interface) && !SocketNameOfInterface(interface))
        Fail("not an interface of kestrum-extcap: " + interface);
}

std::vector<ST_FramingProfile> UserProfiles()
{
    try {
        return ReadFrameProfilesFile(FramingFilePath(AppFolder()));
    } catch (const std::exception &) {
        // A damaged file is the dialog's to report; the built-ins still serve.
        return {};
    }
}

void ShowConfig(const std::string &interface)
{
    if (!IsPortInterface(interface))
        return; // a window captures as it is set up
    std::printf(
        "arg {number=0}{call=--baud}{display=Baud rate}{type=unsigned}{range=50,20000000}{default=9600}"
        "{tooltip=The line's rate in bits per second}\n");
    std::printf("arg {number=1}{call=--format}{display=Data bits, parity, stop bits}{type=selector}"
                "{tooltip=The line's character format}\n");
    static const char *const formats[] = {"8N1", "8E1", "8O1", "8N2", "7E1",
                                          "7O1", "7N1", "7E2", "8M1", "8S1"};
    for (const char *format : formats)
        std::printf("value {arg=1}{value=%s}{display=%s}%s\n", format, format,
                    std::strcmp(format, "8N1") == 0 ? "{default=true}" : "");
    std::printf("arg {number=2}{call=--framing}{display=Framing}{type=selector}"
                "{tooltip=A packet per frame of this profile, or per read}\n");
    std::printf("value {arg=2}{value=none}{display=None: a packet per read}{default=true}\n");
    for (const std::string &name : CFrameProfile::Names())
        std::printf("value {arg=2}{value=%s}{display=%s}\n", Field(name).c_str(), Field(name).c_str());
    for (const ST_FramingProfile &profile : UserProfiles())
        std::printf("value {arg=2}{value=%s}{display=%s (Framing.kfp)}\n", Field(profile.Name).c_str(),
                    Field(profile.Name).c_str());
}

// ---- Capture ----

// The fifo and the signals that end a capture: SIGTERM and SIGINT from the analyser, or its reader
// going away (EPIPE on a write, an error on the fifo).
class CSink
{
public:
    explicit CSink(const std::string &path)
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        m_signals = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        std::signal(SIGPIPE, SIG_IGN);
        m_fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (m_fd < 0)
            Fail(path + ": " + std::strerror(errno));
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~CSink() { close(m_fd); }
    int Signals() const { return m_signals; }
    int Fd() const { return m_fd; }
    bool Stopped() const { return m_stopped; }
    void Stop() { m_stopped = true; }

    // False once the capture is to end.
    bool Write(const std::string &bytes)
    {
        size_t done = 0;
        while (!m_stopped && done < bytes.size()) {
            const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                m_stopped = true; // EPIPE: the reader went away
                break;
            }
            pollfd fds[] = {{m_fd, POLLOUT, 0}, {m_signals, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                m_stopped = true;
            if (fds[1].revents & POLLIN)
                m_stopped = true;
        }
        return !m_stopped;
    }

    // After a poll: whether a signal or the reader's end says stop.
    bool Ends(const pollfd &signals, const pollfd &fifo)
    {
        if (signals.revents & POLLIN)
            m_stopped = true;
        if (fifo.revents & (POLLERR | POLLHUP | POLLNVAL))
            m_stopped = true;
        return m_stopped;
    }

private:
    int m_fd = -1;
    int m_signals = -1;
    bool m_stopped = false;
};

int CaptureWindow(int fd, CSink &sink)
{
    // The window's stream is pcapng from its first byte: it goes on as it comes.
    char buffer[64 * 1024];
    for (;;) {
        pollfd fds[] = {{fd, POLLIN, 0}, {sink.Signals(), POLLIN, 0}, {sink.Fd(), 0, 0}};
        if (poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        if (sink.Ends(fds[1], fds[2]))
            break;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !sink.Write(std::string(buffer, static_cast<size_t>(n))))
            break; // the window closed, or the capture ends
    }
    close(fd);
    return 0;
}

int64_t SteadyMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::optional<ST_FramingProfile> FramingOf(const std::string &name, const std::string &port)
{
    if (name.empty() || name == "none")
        return std::nullopt;
    for (const ST_FramingProfile &profile : UserProfiles())
        if (profile.Name == name)
            return ResolveFloor(profile, port);
    try {
        return ResolveFloor(CFrameProfile::BuiltIn(name), port);
    } catch (const std::invalid_argument &e) {
        Fail(e.what());
    }
}

int CapturePort(const std::string &port, const Options &options, CSink &sink)
{
    const ST_Format format = *ParseFormat(options.format);
    std::unique_ptr<CFrameProfile> framer;
    if (const std::optional<ST_FramingProfile> profile = FramingOf(options.framing, port)) {
        const ST_LineTiming timing{options.baud, format.DataBits, format.Parity != NOPARITY,
                                   format.StopBits == ONESTOPBIT    ? 1.0
                                   : format.StopBits == TWOSTOPBITS ? 2.0
                                                                    : 1.5};
        try {
            framer = std::make_unique<CFrameProfile>(*profile, timing);
        } catch (const std::invalid_argument &e) {
            Fail(options.framing + ": " + e.what());
        }
    }
    CSerial serial;
    if (serial.Open(port) != 0)
        Fail("cannot open " + port + ": " + serial.OpenFailure());
    if (serial.Setup(options.baud, format.DataBits, format.Parity, format.StopBits) != 0)
        Fail(port + " does not take " + std::to_string(options.baud) + " " + options.format);

    const std::string description =
        PcapngPortName(port) + " " + std::to_string(options.baud) + " " + options.format;
    const int64_t wallOffset = WallNowMicros() - SteadyMicros();
    std::string out = PcapngHeader(LogPcapngInterfaces(PcapngPortName(port), description));
    const std::string greeting =
        "Kestrum listens on " + description + (framer ? ", framed by " + options.framing : std::string());
    AppendLogPcapng(out, LogDirection::Note, reinterpret_cast<const uint8_t *>(greeting.data()),
                    greeting.size(), WallNowMicros());
    std::vector<ST_Frame> frames;
    const auto writeFrames = [&] {
        for (const ST_Frame &frame : frames)
            AppendLogPcapng(out, LogDirection::Received, frame.Bytes.data(), frame.Bytes.size(),
                            wallOffset + frame.Start.count());
        frames.clear();
    };
    std::vector<uint8_t> buffer(64 * 1024);
    bool gone = false;
    while (sink.Write(out)) {
        out.clear();
        int wait = -1;
        if (framer)
            if (const std::optional<FrameTime> due = framer->NextDeadline())
                wait = static_cast<int>(std::max<int64_t>(0, (due->count() - SteadyMicros() + 999) / 1000));
        pollfd fds[] = {{serial.Descriptor(), POLLIN, 0}, {sink.Signals(), POLLIN, 0}, {sink.Fd(), 0, 0}};
        if (poll(fds, 3, wait) < 0 && errno != EINTR)
            break;
        if (sink.Ends(fds[1], fds[2]))
            break;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            uint32_t got = 0;
            const long rc = serial.Read(buffer.data(), static_cast<long>(buffer.size()), &got, 0);
            const int64_t now = SteadyMicros();
            if (got > 0 && framer) {
                framer->Feed(EFrameDirection::Received, buffer.data(), got, FrameTime(now), frames);
                writeFrames();
            } else if (got > 0) {
                AppendLogPcapng(out, LogDirection::Received, buffer.data(), got, wallOffset + now);
            }
            if (got == 0 && (rc != 0 || (fds[0].revents & (POLLHUP | POLLERR)))) {
                gone = true;
                break;
            }
        } else if (framer) {
            framer->Tick(FrameTime(SteadyMicros()), frames);
            writeFrames();
        }
    }
    if (framer) {
        framer->Flush(frames);
        writeFrames();
    }
    if (gone) {
        const std::string note = "the port " + PcapngPortName(port) + " went away";
        AppendLogPcapng(out, LogDirection::Note, reinterpret_cast<const uint8_t *>(note.data()), note.size(),
                        WallNowMicros());
    }
    sink.Write(out);
    serial.Close();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = ParseArguments(argc, argv);
    if (options.verb == "--help" || options.verb.empty()) {
        std::fputs(kHelp, options.verb.empty() ? stderr : stdout);
        return options.verb.empty() ? 2 : 0;
    }
    if (options.verb == "--extcap-version") {
        std::printf("kestrum-extcap %s\n", KESTRUM_VERSION);
        return 0;
    }
    if (options.verb == "--extcap-interfaces") {
        ListInterfaces();
        return 0;
    }
    CheckInterface(options.interface);
    if (options.verb == "--extcap-dlts") {
        std::printf("dlt {number=%u}{name=EXPORTED_PDU}{display=Exported PDUs}\n", kPcapngExportedPdu);
        return 0;
    }
    if (options.verb == "--extcap-config") {
        ShowConfig(options.interface);
        return 0;
    }
    if (options.fifo.empty())
        Fail("--capture needs --fifo");
    if (const std::optional<std::string> socket = SocketNameOfInterface(options.interface)) {
        // A window that is not this user's is refused before the analyser is given a byte.
        std::string why;
        const int fd = ConnectLiveWindow(LiveCaptureFolder() + "/" + *socket, why);
        if (fd < 0)
            Fail(why);
        CSink sink(options.fifo);
        return CaptureWindow(fd, sink);
    }
    CSink sink(options.fifo);
    return CapturePort(options.interface.substr(sizeof kPortPrefix - 1), options, sink);
}
