#include "script/headless.h"
#include "data/symboltable.h"
#include "data/utf8text.h"
#include "decode/decoders.h"
#include "frame/framecsv.h"
#include "frame/frameprofilefile.h"
#include "frame/frameprofiles.h"
#include "link/linklist.h"
#include "log/capturefile.h"
#include "log/logpipeline.h"
#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/handover.h"
#include "platform/textfile.h"
#include "portbase/demoports.h"
#include "script/headlesspcapng.h"
#include "script/headlessreplay.h"
#include "script/scriptrunner.h"
#include "script/sessionhost.h"
#include "senddata/senddatalist.h"
#include "session/portsession.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The one thread of a headless run owns the session; the hand-overs that reach it all wake one
// pump, which it waits on between deliveries.
class CPump
{
public:
    void Wake()
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            ++m_wakes;
        }
        m_changed.notify_all();
    }
    // Waits until woken since the last call, or the deadline.
    void Wait(Clock::time_point deadline)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait_until(guard, deadline, [this] { return m_wakes != m_seen; });
        m_seen = m_wakes;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    uint64_t m_wakes = 0, m_seen = 0;
};

class CPumpedHandOver : public CHandOver
{
public:
    explicit CPumpedHandOver(CPump &pump) : m_pump(pump), m_owner(std::this_thread::get_id()) {}
    void RunAll()
    {
        while (RunNext()) {
        }
    }

protected:
    bool Wake() override
    {
        m_pump.Wake();
        return true;
    }
    bool OnOwnerThread() const override { return std::this_thread::get_id() == m_owner; }

private:
    CPump &m_pump;
    std::thread::id m_owner;
};

int64_t WallNowMs()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
}

int64_t SteadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// A run's log may span days and is read beside other machines' logs: the date and milliseconds
// go with each line.
std::string WallStamp(int64_t wallMs)
{
    const auto seconds = static_cast<time_t>(wallMs / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(wallMs % 1000));
    return text;
}

// Text from the script and the device as a terminal, a log line or an XML file may show it:
// UTF-8 characters as they are, every control character and every byte that is no UTF-8 as an
// escape (\xNN, or \r and \n). `lineBreaks` keeps line feeds (and tabs) as they are.
std::string Printable(const std::string &text, bool lineBreaks)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    const auto *p = reinterpret_cast<const uint8_t *>(text.data());
    const auto escape = [&](uint8_t b) {
        if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    };
    for (size_t i = 0; i < text.size();) {
        const Utf8Step step = ScanUtf8(p + i, text.size() - i);
        if (step.kind != Utf8Step::Char) {
            escape(p[i++]);
            continue;
        }
        const uint8_t b = p[i];
        if (step.length == 1) {
            if ((b < 0x20 || b == 0x7F) && !(lineBreaks && (b == '\n' || b == '\t')))
                escape(b);
            else
                out += static_cast<char>(b);
            ++i;
            continue;
        }
        // C1 controls (U+0080 to U+009F) and the two non-characters XML refuses.
        const bool c1 = b == 0xC2 && p[i + 1] < 0xA0;
        const bool nonChar = b == 0xEF && p[i + 1] == 0xBF && p[i + 2] >= 0xBE;
        if (c1 || nonChar) {
            for (size_t k = 0; k < step.length; ++k)
                escape(p[i + k]);
        } else {
            out.append(text, i, step.length);
        }
        i += step.length;
    }
    return out;
}

// Valid UTF-8 XML 1.0 whatever the bytes were.
std::string XmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : Printable(text, true)) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string BaseName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string JunitXml(const std::string &script, const ST_ScriptOutcome &outcome)
{
    std::vector<ST_ScriptCase> cases = outcome.Cases;
    // A script without cases is one case of its own, so that its outcome is seen; so is a failure
    // that no case took (a case cut short by a lost port or a stop fails itself).
    if (cases.empty() ||
        (outcome.End != EScriptEnd::Passed &&
         std::all_of(cases.begin(), cases.end(), [](const ST_ScriptCase &c) { return c.Passed; })))
        cases.push_back(ST_ScriptCase{BaseName(script), outcome.End == EScriptEnd::Passed,
                                      outcome.End == EScriptEnd::Passed
                                          ? std::string()
                                          : std::string(ScriptEndText(outcome.End)) + ": " + outcome.Message,
                                      outcome.Seconds});
    size_t failures = 0;
    for (const ST_ScriptCase &c : cases)
        failures += c.Passed ? 0 : 1;
    const std::string suite = XmlEscaped(BaseName(script));
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", outcome.Seconds);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n<testsuite name=\"" + suite +
                      "\" tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                      std::to_string(failures) + "\" errors=\"0\" time=\"" + seconds + "\">\n";
    for (const ST_ScriptCase &c : cases) {
        std::snprintf(seconds, sizeof seconds, "%.3f", c.Seconds);
        xml += "  <testcase classname=\"" + suite + "\" name=\"" + XmlEscaped(c.Name) + "\" time=\"" +
               seconds + "\"";
        if (c.Passed) {
            xml += "/>\n";
        } else {
            xml += ">\n    <failure message=\"" + XmlEscaped(c.Message) + "\">" + XmlEscaped(c.Message) +
                   "</failure>\n  </testcase>\n";
        }
    }
    xml += "</testsuite>\n</testsuites>\n";
    return xml;
}

bool SameText(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

// The settings of --port and its neighbours, over those of a new link.
bool LinkFromOptions(const ST_HeadlessOptions &o, COM_PORT_SETTING *link, std::string *error)
{
    COM_PORT_SETTING l = DefaultLinkSetting();
    l.LinkName = "Script";
    l.PortName = o.Port;
    try {
        if (!o.Baud.empty()) {
            size_t used = 0;
            l.Baud = std::stoi(o.Baud, &used);
            if (used != o.Baud.size() || l.Baud <= 0)
                throw std::invalid_argument("baud");
        }
        if (!o.DataBits.empty()) {
            size_t used = 0;
            const int bits = std::stoi(o.DataBits, &used);
            if (used != o.DataBits.size() || bits < 5 || bits > 8)
                throw std::invalid_argument("bits");
            l.DataBits = static_cast<uint8_t>(bits);
        }
    } catch (const std::exception &) {
        *error = "not a number of the port's: " + (o.Baud.empty() ? o.DataBits : o.Baud);
        return false;
    }
    if (!o.Parity.empty()) {
        const auto it = std::find_if(kParityItems.begin(), kParityItems.end(), [&](const ST_CodeLabel &item) {
            return SameText(o.Parity, item.Label);
        });
        if (it == kParityItems.end()) {
            *error = "--parity takes none, odd, even, mark or space";
            return false;
        }
        l.ParityCode = it->Code;
    }
    if (!o.StopBits.empty()) {
        const auto it =
            std::find_if(kStopBitsItems.begin(), kStopBitsItems.end(),
                         [&](const ST_CodeLabel &item) { return SameText(o.StopBits, item.Label); });
        if (it == kStopBitsItems.end()) {
            *error = "--stop-bits takes 1, 1.5 or 2";
            return false;
        }
        l.StopBitsCode = it->Code;
    }
    if (!o.Flow.empty()) {
        const char *const shortNames[] = {"none", "hardware", "software"};
        int found = -1;
        for (size_t i = 0; i < kFlowControlLabels.size(); ++i)
            if (SameText(o.Flow, kFlowControlLabels[i]) || (i < 3 && SameText(o.Flow, shortNames[i])))
                found = static_cast<int>(i);
        if (found < 0) {
            *error = "--flow takes none, hardware or software";
            return false;
        }
        l.FlowControl = found;
    }
    *link = l;
    return true;
}

// SIGTERM, SIGINT and SIGHUP end a run as a failure, its outcome told and its port restored, like
// a time-out. They are blocked in the thread that makes the watch, and so in every thread it
// starts from then on, and read from a signalfd on a thread of the watch's own.
class CSignalWatch
{
public:
    explicit CSignalWatch(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal))
    {
        sigemptyset(&m_set);
        for (const int signo : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&m_set, signo);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
        m_fd = signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
        m_quit = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_fd >= 0 && m_quit >= 0)
            m_thread = std::thread([this] { Watch(); });
    }
    ~CSignalWatch()
    {
        if (m_thread.joinable()) {
            eventfd_write(m_quit, 1);
            m_thread.join();
        }
        if (m_fd >= 0)
            close(m_fd);
        if (m_quit >= 0)
            close(m_quit);
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    CSignalWatch(const CSignalWatch &) = delete;
    CSignalWatch &operator=(const CSignalWatch &) = delete;

private:
    void Watch()
    {
        for (;;) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_quit, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
            signalfd_siginfo info{};
            while (read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                m_onSignal(static_cast<int>(info.ssi_signo));
        }
    }

    std::function<void(int)> m_onSignal;
    sigset_t m_set{}, m_old{};
    int m_fd = -1, m_quit = -1;
    std::thread m_thread;
};

const char *SignalName(int signo)
{
    switch (signo) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

// The run's log holds the lines a capture of the window's log would: "Rec  :", "Send :" and
// "Note :" lines in the chosen view, each stamped. Reads come from the listener thread and notes
// from the script's, as they happen; they wait here in order and the run's thread writes them.
// A send's line is only known once its write is done, so what was read after the write began
// waits for it while a send is out: an answer never stands before what asked for it.
class CHeadlessLog
{
public:
    CHeadlessLog()
    {
        m_pipeline.SetShowTime(true);
        m_pipeline.SetTimeSource([this](int64_t) { return m_stamp; });
        // Nothing is shown again, so the store keeps little more than the block being written.
        m_pipeline.SetByteLimit(1 << 20);
        m_pipeline.AddObserver([this](LogDirection, const uint8_t *, size_t, bool shown) {
            if (!shown)
                return;
            const ST_LogRendered &rendered = m_pipeline.NewestRendered();
            for (size_t line = 0; line < rendered.lines.size(); ++line) {
                LogFileLine(rendered, line, m_line);
                m_file.Append(m_line);
            }
        });
    }

    // Run thread, before any other call. 0 or the errno.
    int Start(const std::string &path, int view)
    {
        if (view == FMT_STR_SYMBOL) {
            CSymbolTable table;
            table.ResetForDefaultFile();
            try {
                table.Load(CSymbolTable::DefaultPath());
            } catch (const std::exception &) {
                // A table that cannot be read names nothing, as in a window.
            }
            m_pipeline.SetSymbolTable(table);
        }
        m_pipeline.SetDisplayType(view);
        return m_file.Start(path);
    }

    // Any thread.
    void Read(const uint8_t *data, size_t size)
    {
        Queue({false, std::string(reinterpret_cast<const char *>(data), size), SteadyNowMs(), WallNowMs()});
    }
    void Note(const std::string &text) { Queue({true, Printable(text, false), SteadyNowMs(), WallNowMs()}); }

    // Run thread: what was read before the send's write began, then the send's line.
    void Sent(const ST_Traffic &event)
    {
        WriteWaiting([&](const ST_Entry &entry) { return entry.SteadyMs < event.SteadyMs; });
        // The event's wall time is the rules' local clock; the stamps count from the epoch.
        m_stamp = WallStamp(WallNowMs() - std::max<int64_t>(0, SteadyNowMs() - event.SteadyMs));
        m_pipeline.LogSendData(event.Data);
    }
    // Past this much waiting for a send that does not end (a device that stopped reading), what
    // waits is written anyway: the order of a few lines is worth less than the memory.
    static constexpr size_t kMostWaiting = 16u << 20;
    bool MustWrite() const
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_waitingBytes > kMostWaiting;
    }
    // Run thread, with no send out.
    void WriteAll()
    {
        WriteWaiting([](const ST_Entry &) { return true; });
    }
    // Writes what is still waiting and closes the file: 0, or the error that cost the log lines.
    int Stop()
    {
        WriteAll();
        return m_file.Stop();
    }

private:
    struct ST_Entry
    {
        bool IsNote;
        std::string Text;
        int64_t SteadyMs, WallMs;
    };
    void Queue(ST_Entry entry)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_waitingBytes += entry.Text.size();
        m_waiting.push_back(std::move(entry));
    }
    template <typename Due> void WriteWaiting(Due due)
    {
        std::deque<ST_Entry> ready;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            while (!m_waiting.empty() && due(m_waiting.front())) {
                m_waitingBytes -= m_waiting.front().Text.size();
                ready.push_back(std::move(m_waiting.front()));
                m_waiting.pop_front();
            }
        }
        for (const ST_Entry &entry : ready) {
            m_stamp = WallStamp(entry.WallMs);
            if (entry.IsNote)
                m_pipeline.LogNote(entry.Text);
            else
                m_pipeline.LogRecData(CCommData(Bytes(entry.Text.begin(), entry.Text.end())));
        }
    }

    mutable std::mutex m_lock;
    std::deque<ST_Entry> m_waiting;
    size_t m_waitingBytes = 0;
    // The run thread's.
    CLogPipeline m_pipeline;
    std::string m_stamp;
    std::string m_line;
    CCaptureFile m_file;
};

// The run's frames as CSV lines: the session cuts its traffic into frames and hands them out on
// the run's thread, in the order they began.
class CHeadlessFrames
{
public:
    // Run thread, before any other call. 0 or the errno. The header goes into a new or empty file
    // only: a file that is appended to keeps one header at its top.
    int Start(const std::string &path)
    {
        m_wallOffset = CFrameCsv::WallOffsetNow();
        struct stat st = {};
        const bool fresh = stat(path.c_str(), &st) != 0 || st.st_size == 0;
        if (const int error = m_file.Start(path); error != 0)
            return error;
        if (fresh)
            m_file.Append(CFrameCsv::Header());
        m_started = true;
        return 0;
    }
    // Once the port's settings are known (the gaps in characters need them).
    void SetTiming(const ST_LineTiming &timing) { m_csv.emplace(m_wallOffset, timing.CharMicros() > 0); }
    // The session's frames observer.
    void Write(const ST_Frame &frame)
    {
        if (m_started && m_csv)
            m_file.Append(m_csv->Line(frame));
    }
    // Closes the file: 0, or the error that cost frames.
    int Stop()
    {
        m_started = false;
        return m_file.Stop();
    }

private:
    int64_t m_wallOffset = 0;
    bool m_started = false;
    std::optional<CFrameCsv> m_csv;
    CCaptureFile m_file;
};

// A framing by its name: a built-in one (in any case) or one of the user's own, from the profiles
// file of the app folder. Throws std::invalid_argument for a name neither has, EKestrumError for
// a profiles file that cannot be read.
ST_FramingProfile FramingNamed(const std::string &name)
{
    try {
        return CFrameProfile::BuiltIn(name);
    } catch (const std::invalid_argument &builtIn) {
        const std::string path = AppFilePath("Framing.kfp");
        struct stat st = {};
        if (stat(path.c_str(), &st) != 0)
            throw;
        const std::vector<ST_FramingProfile> own = ReadFrameProfilesFile(path);
        for (const ST_FramingProfile &profile : own)
            if (strcasecmp(profile.Name.c_str(), name.c_str()) == 0)
                return profile;
        throw std::invalid_argument(std::string(builtIn.what()) + ", nor among the " +
                                    std::to_string(own.size()) + " profiles of " + path);
    }
}

// Whether the answer times of `profile`'s frames can be told: its decoder pairs them, or the next
// frame from the other side answers.
bool Pairs(const ST_FramingProfile &profile)
{
    for (const auto &[key, value] : profile.Unknown)
        if (key == "pairing" && (value == "next" || value == "none"))
            return value == "next";
    return MakeDecoder(profile, EFrameDirection::Sent, AppFolder()) != nullptr;
}

// The profile's "answer_timeout_ms" (0: a request waits until the next). A run is refused one it
// cannot read, rather than timing answers by another than the user meant.
std::optional<FrameTime> AnswerTimeOutOf(const ST_FramingProfile &profile)
{
    for (const auto &[key, value] : profile.Unknown) {
        if (key != "answer_timeout_ms")
            continue;
        size_t used = 0;
        double ms = -1;
        try {
            ms = std::stod(value, &used);
        } catch (const std::exception &) {
        }
        if (used != value.size() || !(ms >= 0) || ms > 24.0 * 3600 * 1000)
            throw std::invalid_argument("answer_timeout_ms = " + value + " is no number of milliseconds");
        return FrameTime(static_cast<int64_t>(ms * 1000));
    }
    return std::nullopt;
}

// How long a stopped script has to end before the run ends without it.
constexpr auto kStopGrace = std::chrono::seconds(1);

// The port's side of a headless run: the session's view and the script's host. The session and
// everything it tells are on the run's own thread; the script's calls that need the port's
// owner are delivered there.
class CHeadlessRun : public ISessionView
{
public:
    CHeadlessRun(const ST_HeadlessOptions &options, std::FILE *out)
        : m_options(options), m_out(out), m_signals([this](int signo) {
              m_signal.store(signo);
              m_pump.Wake();
          }),
          m_portHandOver(new CPumpedHandOver(m_pump)), m_sendHandOver(new CPumpedHandOver(m_pump)),
          m_calls(m_pump), m_session(*this, std::unique_ptr<CHandOver>(m_portHandOver),
                                     std::unique_ptr<CHandOver>(m_sendHandOver), std::string()),
          m_host(
              m_session, m_calls,
              [this](const std::string &name) -> std::optional<CCommData> {
                  for (const CCommData &item : m_sendList.Items())
                      if (item.GetName() == name)
                          return item;
                  return std::nullopt;
              },
              [this](const std::string &text) { Print(text); }),
          m_runner(m_host)
    {
        m_host.SetRunner(&m_runner);
        m_session.Traffic().Add("log", [this](ST_Traffic &event) {
            if (m_logging && event.Direction == ETraffic::Sent && event.Logged)
                m_log.Sent(event);
        });
        m_session.Frames().SetWake([this](FrameTime due) {
            m_framesDue = Clock::time_point(std::chrono::duration_cast<Clock::duration>(due));
        });
        m_session.Traffic().Add("pcapng", [this](ST_Traffic &event) {
            if (m_pcapngOn && !m_pcapngFrames && event.Direction == ETraffic::Sent)
                m_pcapng.SentAt(event.Data.Data().data(), event.Data.Data().size(),
                                event.SteadyMicros != 0 ? event.SteadyMicros : event.SteadyMs * 1000);
        });
        // Every byte is the script's and the log's: a transfer starts only when the script asks.
        m_session.SetZmodemAutoStart(false);
    }

    int Run();

    // ---- ISessionView (the run's thread) ----
    bool LogsSends() const override { return m_logging; }
    // The log has the bytes from the traffic path's read half, as they come: a block still forming
    // when the run ends would be lost with the close.
    std::string ReceivedBlockName(int64_t) override { return "Rec"; }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &report) override
    {
        if (!report.Outcome.Whole())
            m_unsent += report.Item.Data().size() -
                        std::min<size_t>(report.Outcome.Written, report.Item.Data().size());
        m_host.SendDone();
    }
    void SessionPortLost(long code, uint32_t) override
    {
        const std::string why = "the port was lost (" + SerialErrorText(code, false) + ")";
        Print("port: " + why);
        m_runner.PortLost(why);
    }
    void SessionTransferDone(const ST_TransferOutcome &outcome, bool portLost) override
    {
        m_host.TransferDone(outcome, portLost);
    }
    void SessionOpened(const COM_PORT_SETTING &, bool open, bool, long code,
                       const std::string &message) override
    {
        m_connectDone = true;
        m_connectOpen = open;
        m_connectMessage = message.empty() ? SerialErrorText(code, false) : message;
    }

private:
    void Print(const std::string &text)
    {
        {
            const std::string shown = Printable(text, true) + "\n";
            const std::lock_guard<std::mutex> guard(m_printLock);
            std::fwrite(shown.data(), 1, shown.size(), m_out);
            std::fflush(m_out);
        }
        if (m_logging) {
            m_log.Note(text);
            m_pump.Wake();
        }
    }
    // Ends the log; a log that lost lines fails a run that passed.
    int StopLog(int code)
    {
        if (!m_logging)
            return code;
        m_logging = false;
        if (const int error = m_log.Stop(); error != 0) {
            std::fprintf(m_out, "log: %s: %s\n", m_options.LogPath.c_str(), std::strerror(error));
            std::fflush(m_out);
            return code == 0 ? 1 : code;
        }
        return code;
    }
    // Closes the frames file (the close of the port has handed out the frames left); one that
    // lost frames fails a run that passed.
    int StopFrames(int code)
    {
        if (!m_writingFrames)
            return code;
        m_writingFrames = false;
        m_session.Frames().SetObserver("frames", nullptr);
        if (const int error = m_frames.Stop(); error != 0) {
            std::fprintf(m_out, "frames: %s: %s\n", m_options.FramesPath.c_str(), std::strerror(error));
            std::fflush(m_out);
            return code == 0 ? 1 : code;
        }
        return code;
    }
    // The answer times, once the close has handed out the last frames: a request the run left
    // waiting has had no answer within it.
    int WriteStats(int code)
    {
        if (m_options.StatsPath.empty())
            return code;
        CSessionDecoding &decoding = m_session.Decoding();
        decoding.Tick(FrameTime::max());
        decoding.WantStatistics(false);
        try {
            WriteFileAtomic(m_options.StatsPath, AnswerStatsCsv(decoding.Statistics()));
        } catch (const std::exception &e) {
            Print(std::string("stats: ") + e.what());
            return code == 0 ? 1 : code;
        }
        return code;
    }
    int StopPcapng(int code)
    {
        if (!m_pcapngOn)
            return code;
        m_pcapngOn = false;
        if (const int error = m_pcapng.Stop(); error != 0) {
            std::fprintf(m_out, "pcapng: %s: %s\n", m_options.PcapngPath.c_str(), std::strerror(error));
            std::fflush(m_out);
            return code == 0 ? 1 : code;
        }
        return code;
    }
    // `*usage` when the options themselves make no port (a baud rate that is no number...).
    bool OpenPort(std::string *error, bool *usage);
    // The JUnit file, when asked for; false when it could not be written (told).
    bool WriteJunit(const ST_ScriptOutcome &outcome);
    // Runs the session's deliveries until `done` holds or the deadline passes.
    // A signal ends the wait too.
    template <typename Done> void PumpUntil(Done done, Clock::time_point deadline)
    {
        while (!done() && m_signal.load() == 0) {
            // Before the script's calls are run: what it does next comes after the look.
            if (m_watchLines && Clock::now() >= m_nextLook) {
                m_nextLook = Clock::now() + std::chrono::milliseconds(CLineEvents::kLookMs);
                LookAtLines();
            }
            m_portHandOver->RunAll();
            m_sendHandOver->RunAll();
            m_calls.RunAll();
            if (m_logging && (m_session.SendsSettled() || m_log.MustWrite()))
                m_log.WriteAll();
            if (m_pcapngOn && !m_pcapngFrames && (m_session.SendsSettled() || m_pcapng.MustWrite()))
                m_pcapng.WriteAll();
            if (m_framesDue && Clock::now() >= *m_framesDue) {
                m_framesDue.reset();
                m_session.Frames().Pump();
            }
            if (done() || m_signal.load() != 0 || Clock::now() >= deadline)
                return;
            Clock::time_point wake = m_framesDue ? std::min(deadline, *m_framesDue) : deadline;
            if (m_watchLines)
                wake = std::min(wake, m_nextLook);
            m_pump.Wait(wake);
        }
    }
    // The modem lines at the window's pace, only for a capture that records their changes: a
    // run without one asks the driver nothing more.
    void WatchLines()
    {
        m_watchLines = m_pcapngOn && m_session.IsOpen() && m_session.Device().HasModemLines();
        m_nextLook = Clock::now();
    }
    void LookAtLines()
    {
        ST_ModemLines lines;
        // A driver that stops answering is not asked ten times a second (the log has its line).
        if (!m_session.IsOpen() || !m_session.Device().GetModemLines(&lines))
            m_watchLines = false;
        else
            m_session.ModemLinesSeen(lines);
    }

    const ST_HeadlessOptions &m_options;
    std::FILE *m_out;
    CHeadlessLog m_log;
    // Read by the script's thread, which may be left behind when the log ends.
    std::atomic<bool> m_logging{false};
    CHeadlessFrames m_frames;
    CHeadlessPcapng m_pcapng;
    std::atomic<bool> m_pcapngOn{false}; // read by the listener thread
    bool m_pcapngFrames = false;         // set before the port opens
    bool m_writingFrames = false;
    std::optional<Clock::time_point> m_framesDue; // the session's frames wait on the clock
    bool m_watchLines = false;
    Clock::time_point m_nextLook;
    std::mutex m_printLock;
    CPump m_pump;
    std::atomic<int> m_signal{0};
    // Before the session, so its threads start with the signals blocked.
    CSignalWatch m_signals;
    CPumpedHandOver *m_portHandOver; // owned by the session
    CPumpedHandOver *m_sendHandOver;
    CPumpedHandOver m_calls;
    CPortSession m_session;
    CSendDataList m_sendList;
    CSessionScriptHost m_host;
    CScriptRunner m_runner;
    CHeadlessReplay m_replay;

    uint64_t m_unsent = 0; // of sends that ended before all their bytes went out
    Clock::time_point m_deadline = Clock::time_point::max();
    bool m_connectDone = false, m_connectOpen = false;
    std::string m_connectMessage;
};

bool CHeadlessRun::OpenPort(std::string *error, bool *usage)
{
    COM_PORT_SETTING link;
    if (!m_options.Link.empty()) {
        try {
            LoadLinkList(DefaultLinkFilePath());
        } catch (const std::exception &e) {
            *error = e.what();
            return false;
        }
        const auto &links = LinkList().Links();
        const auto it = std::find_if(links.begin(), links.end(),
                                     [&](const COM_PORT_SETTING &l) { return l.LinkName == m_options.Link; });
        if (it == links.end()) {
            *error = "no link is named \"" + m_options.Link + "\" in " + DefaultLinkFilePath();
            return false;
        }
        link = *it;
    } else if (!LinkFromOptions(m_options, &link, error)) {
        *usage = true;
        return false;
    }
    if (!m_options.Framing.empty()) {
        // Before the open: a device's greeting is framed too.
        m_session.Decoding().SetProfileFolder(AppFolder());
        m_session.Decoding().WantStatistics(!m_options.StatsPath.empty());
        try {
            const ST_LineTiming timing = LineTimingOf(link);
            const ST_FramingProfile profile = FramingNamed(m_options.Framing);
            if (const std::optional<FrameTime> timeOut = AnswerTimeOutOf(profile))
                m_session.Decoding().SetAnswerTimeOut(*timeOut);
            m_session.Frames().SetProfile(profile, timing);
            m_frames.SetTiming(timing);
        } catch (const std::invalid_argument &e) {
            *error = e.what();
            *usage = true;
            return false;
        } catch (const std::exception &e) {
            *error = e.what();
            return false;
        }
    }
    if (m_pcapngOn)
        m_pcapng.SetLink(link);
    if (CPortSession::NeedsConnect(link)) {
        m_session.BeginOpen(link);
        PumpUntil([this] { return m_connectDone; }, m_deadline);
        if (!m_connectOpen)
            *error = link.PortName + ": " + m_connectMessage;
        return m_connectOpen;
    }
    const CPortSession::ST_OpenResult result = m_session.Open(link);
    // The open's own words name the port already ("demo://foo: no such demo device ...").
    if (!result.Open)
        *error = !result.SettingRefused && !result.Message.empty()
                     ? result.Message
                     : link.PortName + ": " +
                           (result.SettingRefused ? std::string("the port refused its settings")
                                                  : SerialErrorText(result.Code, false));
    return result.Open;
}

bool CHeadlessRun::WriteJunit(const ST_ScriptOutcome &outcome)
{
    if (m_options.JunitPath.empty())
        return true;
    try {
        WriteFileAtomic(m_options.JunitPath, JunitXml(m_options.Script, outcome));
        return true;
    } catch (const std::exception &e) {
        Print(std::string("junit: ") + e.what());
        return false;
    }
}

int CHeadlessRun::Run()
{
    const Clock::time_point start = Clock::now();
    if (m_options.TimeoutSeconds > 0)
        m_deadline = start + std::chrono::milliseconds(static_cast<int64_t>(m_options.TimeoutSeconds * 1000));
    if (!m_options.LogPath.empty()) {
        if (const int error = m_log.Start(m_options.LogPath, m_options.LogView); error != 0) {
            std::fprintf(m_out, "%s: %s\n", m_options.LogPath.c_str(), std::strerror(error));
            return 1;
        }
        m_logging = true;
    }
    if (!m_options.FramesPath.empty()) {
        if (const int error = m_frames.Start(m_options.FramesPath); error != 0) {
            std::fprintf(m_out, "%s: %s\n", m_options.FramesPath.c_str(), std::strerror(error));
            StopLog(1);
            return 1;
        }
        m_writingFrames = true;
        m_session.Frames().SetObserver("frames", [this](const ST_Frame &frame) { m_frames.Write(frame); });
    }
    if (!m_options.PcapngPath.empty()) {
        if (const int error = m_pcapng.Start(m_options.PcapngPath); error != 0) {
            std::fprintf(m_out, "%s: %s\n", m_options.PcapngPath.c_str(), std::strerror(error));
            StopFrames(1);
            StopLog(1);
            return 1;
        }
        m_pcapngOn = true;
        m_session.LineEvents().SetObserver("pcapng", [this](const ST_LineEvent &event) {
            if (m_pcapngOn)
                m_pcapng.Event(event);
        });
        // With a framing, a packet a frame: the analyser's dissector wants whole messages.
        if (!m_options.Framing.empty()) {
            m_pcapngFrames = true;
            m_session.Frames().SetObserver("pcapng", [this](const ST_Frame &frame) {
                if (m_pcapngOn)
                    m_pcapng.Frame(frame);
            });
        }
    }
    try {
        m_sendList.Load(CSendDataList::DefaultPath());
    } catch (const std::exception &) {
        // A send list that cannot be read leaves send() without items, as a window would.
    }
    // The script and the log have each read's bytes as they come, not when their block is complete,
    // from the first: a device greets the moment its port opens.
    m_session.Traffic().SetReader(
        "script", std::make_shared<CTrafficPath::Reader>([this](const uint8_t *data, size_t size) {
            // Logged first: a note the script makes on what it reads comes after the bytes.
            if (m_logging)
                m_log.Read(data, size);
            if (m_pcapngOn && !m_pcapngFrames)
                m_pcapng.Read(data, size);
            m_runner.Feed(data, size);
        }));
    m_session.Decoding().SetObserver("script", [this](const ST_Frame &frame, const ST_FrameReading &reading) {
        FeedScriptFrame(m_runner, m_session.Decoding(), frame, reading);
    });
    std::string error;
    bool usage = false;
    const ST_ReplayOptions replay{m_options.ReplaySpeed, false, m_options.ReplayAnswer};
    CHeadlessReplay::PreparePort(m_options.Port, replay);
    bool opened = OpenPort(&error, &usage);
    if (opened && !m_options.ReplayPath.empty()) {
        try {
            m_replay.Start(m_options.ReplayPath, replay, *m_session.Link(), m_session, m_calls);
        } catch (const std::exception &e) {
            error = std::string("--replay: ") + e.what();
            m_session.Close();
            opened = false;
            usage = true;
        }
    }
    if (!opened) {
        const bool cut = m_signal.load() != 0 || Clock::now() >= m_deadline;
        Print("port: " + (cut ? std::string("the run ended before the port was open") : error));
        StopLog(1);
        StopFrames(1);
        StopPcapng(1);
        if (usage)
            return kUsageExitCode;
        // CI reads the JUnit file, not the exit code alone: a run that never started fails there.
        ST_ScriptOutcome outcome;
        outcome.End = cut ? EScriptEnd::Stopped : EScriptEnd::PortLost;
        outcome.Message = "port: " + error;
        outcome.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        WriteJunit(outcome);
        return cut ? 1 : 2;
    }
    WatchLines();
    // The script's thread shares what it reports with this one; when it has to be left behind
    // (a finalizer that never returns, where Lua looks at no hook), the run ends without it and
    // the process exits before anything it may still touch is gone.
    struct Shared
    {
        std::atomic<bool> Finished{false};
        ST_ScriptOutcome Outcome;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread script([this, shared] {
        shared->Outcome = m_runner.Run(m_options.Script);
        shared->Finished.store(true);
        m_pump.Wake();
    });
    const auto finished = [&] { return shared->Finished.load(); };
    PumpUntil(finished, m_deadline);
    std::string cutShort;
    if (!finished()) {
        char text[96];
        if (const int signo = m_signal.load())
            std::snprintf(text, sizeof text, "the run was ended by %s", SignalName(signo));
        else
            std::snprintf(text, sizeof text, "the run took longer than %g s", m_options.TimeoutSeconds);
        cutShort = text;
        m_runner.Stop(cutShort);
        const Clock::time_point grace = Clock::now() + kStopGrace;
        while (!finished() && Clock::now() < grace) {
            m_signal.store(0); // a second signal ends the wait as the first did
            PumpUntil(finished, grace);
        }
    }
    const bool leftBehind = !finished();
    ST_ScriptOutcome outcome;
    if (leftBehind) {
        script.detach();
        outcome.End = EScriptEnd::Stopped;
        outcome.Message = cutShort;
        outcome.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } else {
        script.join();
        outcome = shared->Outcome;
        // What the script sent goes out before the port closes, while the time lasts.
        if (cutShort.empty())
            PumpUntil([this] { return m_session.SendsSettled(); }, m_deadline);
    }
    m_session.Traffic().SetReader("script", nullptr);
    m_session.Decoding().SetObserver("script", nullptr);
    if (m_replay.On()) {
        m_replay.Stop(m_session);
        Print("replay: " + m_replay.Summary());
    }
    // What the listener handed over before the end is the run's too: a break it saw before the
    // last bytes the script read would go with the close's cancel otherwise. So are the lines as
    // the run ends, however little of a tenth of a second has passed since the last look.
    m_portHandOver->RunAll();
    if (m_watchLines)
        LookAtLines();
    m_watchLines = false;
    const uint32_t dropped = m_session.Close();
    // The sends the close cut short are told through the send hand-over, which is never cancelled.
    const Clock::time_point settle = Clock::now() + kStopGrace;
    while (!m_session.SendsSettled() && Clock::now() < settle)
        PumpUntil([this] { return m_session.SendsSettled(); }, settle);
    m_portHandOver->RunAll();
    m_sendHandOver->RunAll();
    if (!cutShort.empty() && outcome.End != EScriptEnd::PortLost) {
        // A signal or the time-out ends a run as a failure, whatever the script got to.
        outcome.End = EScriptEnd::Stopped;
        outcome.Message = cutShort;
    }
    const uint64_t unsent = m_unsent + dropped;
    if (unsent > 0 && outcome.End != EScriptEnd::PortLost) {
        const std::string text = std::to_string(unsent) + " bytes the script sent did not go out";
        if (outcome.End == EScriptEnd::Passed) {
            outcome.End = EScriptEnd::Failed;
            outcome.Message = text;
        } else {
            outcome.Message += "; " + text;
        }
    }

    Print(std::string("script ") + ScriptEndText(outcome.End) +
          (outcome.Message.empty() ? std::string() : ": " + outcome.Message));
    int code = ScriptExitCode(outcome.End);
    if (!WriteJunit(outcome))
        code = code == 0 ? 1 : code;
    code = StopLog(code);
    code = StopFrames(code);
    code = StopPcapng(code);
    code = WriteStats(code);
    if (leftBehind) {
        std::fflush(nullptr);
        _exit(code);
    }
    return code;
}

} // namespace

bool WantsHeadless(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--run") == 0 || std::strncmp(argv[i], "--run=", 6) == 0)
            return true;
    return false;
}

const char *HeadlessUsage()
{
    return "  --run FILE            run a Lua script against a port, without a window\n"
           "  --link NAME           the port of a saved link\n"
           "  --port PORT           or a port: a device (ttyUSB0, /dev/ttyACM0) or a network\n"
           "                        address (rfc2217://host:port, socket://host:port) or\n"
           "                        a demo device played by kestrum itself (demo://board,\n"
           "                        demo://modbus, demo://gps, demo://echo)\n"
           "  --baud N, --data-bits N, --parity none|odd|even|mark|space,\n"
           "  --stop-bits 1|1.5|2, --flow none|hardware|software\n"
           "  --log FILE            what was sent and received and the notes, stamped, as a\n"
           "                        capture of the window's log writes them\n"
           "  --log-view VIEW       text (the default), hex, dec or symbols\n"
           "  --pcapng FILE         every read and send as a packet for Wireshark, both\n"
           "                        directions, times in microseconds (appended to); with\n"
           "                        --framing a packet per frame; modem-line changes, breaks\n"
           "                        and line errors between them\n"
           "  --junit FILE          the test cases as JUnit XML\n"
           "  --framing PROFILE     how the traffic is cut into frames for frame() and --frames:\n"
           "                        Modbus RTU, Modbus ASCII, NMEA 0183, Lines, SLIP, COBS\n"
           "                        or a profile of the app folder's Framing.kfp\n"
           "  --frames FILE         every frame both ways as a CSV line (LF line ends):\n"
           "                        time,gap_ms,gap_chars,direction,length,hex,check,summary\n"
           "  --stats FILE          the answer times per unit and function, as CSV, at the\n"
           "                        run's end (with --framing of a decoding profile):\n"
           "                        unit,function,requests,answered,missing,exceptions,\n"
           "                        min_ms,median_ms,p99_ms,max_ms\n"
           "  --replay FILE         play a recording (a pcapng this program wrote, a text or\n"
           "                        raw capture) as the device out of the port, at its pace;\n"
           "                        --port replay://FILE plays it into the run instead\n"
           "  --replay-speed X|max  X times the recorded pace, or as fast as the line goes\n"
           "  --replay-answer       answer each request with the recorded answer\n"
           "  --timeout S           end the run after S seconds (a failure), at most 86400\n"
           "  Exit code: 0 every case passed, 1 a case or an expect failed, the script\n"
           "  raised an error, took longer than --timeout or was ended by SIGTERM, SIGINT\n"
           "  or SIGHUP, 2 the port could not be opened or was lost, 64 the arguments\n"
           "  make no run (as sysexits.h has it).\n";
}

bool ParseHeadlessArgs(const std::vector<std::string> &args, ST_HeadlessOptions *options, std::string *error)
{
    ST_HeadlessOptions o;
    const std::pair<const char *, std::string ST_HeadlessOptions::*> valued[] = {
        {"--run", &ST_HeadlessOptions::Script},         {"--link", &ST_HeadlessOptions::Link},
        {"--port", &ST_HeadlessOptions::Port},          {"--baud", &ST_HeadlessOptions::Baud},
        {"--data-bits", &ST_HeadlessOptions::DataBits}, {"--parity", &ST_HeadlessOptions::Parity},
        {"--stop-bits", &ST_HeadlessOptions::StopBits}, {"--flow", &ST_HeadlessOptions::Flow},
        {"--log", &ST_HeadlessOptions::LogPath},        {"--junit", &ST_HeadlessOptions::JunitPath},
        {"--framing", &ST_HeadlessOptions::Framing},    {"--frames", &ST_HeadlessOptions::FramesPath},
        {"--pcapng", &ST_HeadlessOptions::PcapngPath},  {"--replay", &ST_HeadlessOptions::ReplayPath},
        {"--stats", &ST_HeadlessOptions::StatsPath},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        const size_t eq = name.find('=');
        const bool inline_ = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inline_) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto takeValue = [&]() -> bool {
            if (inline_)
                return true;
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        bool known = false;
        for (const auto &v : valued)
            if (name == v.first) {
                if (!takeValue())
                    return false;
                o.*(v.second) = value;
                known = true;
            }
        if (name == "--log-view") {
            if (!takeValue())
                return false;
            const char *const views[] = {"text", "hex", "dec", "symbols"};
            const auto it = std::find(std::begin(views), std::end(views), value);
            if (it == std::end(views)) {
                *error = "--log-view takes text, hex, dec or symbols";
                return false;
            }
            o.LogView = static_cast<int>(it - std::begin(views));
            known = true;
        }
        if (name == "--timeout") {
            if (!takeValue())
                return false;
            char *end = nullptr;
            o.TimeoutSeconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(o.TimeoutSeconds) ||
                !(o.TimeoutSeconds > 0) || o.TimeoutSeconds > kMaxTimeoutSeconds) {
                *error = "--timeout takes a number of seconds, at most " +
                         std::to_string(static_cast<int>(kMaxTimeoutSeconds)) + " (a day)";
                return false;
            }
            known = true;
        }
        if (name == "--replay-speed") {
            if (!takeValue())
                return false;
            if (!CHeadlessReplay::ParseSpeed(value, &o.ReplaySpeed)) {
                *error = "--replay-speed takes a factor of the recorded pace (up to 1000) or max";
                return false;
            }
            known = true;
        }
        if (name == "--replay-answer" && !inline_) {
            o.ReplayAnswer = true;
            known = true;
        }
        if (!known) {
            *error = "unknown option " + args[i];
            return false;
        }
    }
    if (o.Script.empty()) {
        *error = "--run needs a script";
        return false;
    }
    if (o.Link.empty() == o.Port.empty()) {
        *error = "give either --link NAME or --port PORT";
        return false;
    }
    if (!o.Link.empty() && !(o.Baud + o.DataBits + o.Parity + o.StopBits + o.Flow).empty()) {
        *error = "a link brings its own settings; --baud and the like go with --port";
        return false;
    }
    if (!o.ReplayPath.empty() && IsReplayPortName(o.Port)) {
        *error = "--replay FILE plays out of a port; --port replay://FILE alone plays into the run";
        return false;
    }
    if (!o.FramesPath.empty() && o.Framing.empty()) {
        *error = "--frames FILE needs --framing PROFILE";
        return false;
    }
    if (!o.StatsPath.empty() && o.Framing.empty()) {
        *error = "--stats FILE needs --framing PROFILE";
        return false;
    }
    if (!o.Framing.empty()) {
        try {
            const ST_FramingProfile profile = FramingNamed(o.Framing);
            if (!o.StatsPath.empty() && !Pairs(profile)) {
                *error = "--stats: the framing " + profile.Name +
                         " pairs no requests with answers (it has no decoder, nor pairing = next)";
                return false;
            }
        } catch (const std::exception &e) {
            *error = std::string("--framing: ") + e.what();
            return false;
        }
    }
    *options = o;
    return true;
}

int RunHeadless(const ST_HeadlessOptions &options, std::FILE *out)
{
    CHeadlessRun run(options, out);
    return run.Run();
}
