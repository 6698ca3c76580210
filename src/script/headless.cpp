#include "script/headless.h"
#include "link/linklist.h"
#include "platform/errors.h"
#include "platform/handover.h"
#include "platform/textfile.h"
#include "script/scriptrunner.h"
#include "script/sessionhost.h"
#include "senddata/senddatalist.h"
#include "session/portsession.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <strings.h>
#include <sys/time.h>
#include <thread>

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

std::string WallStamp()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(now.tv_usec / 1000));
    return text;
}

std::string XmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (b < 0x20 && c != '\n' && c != '\t')
            out += ' '; // not allowed in XML 1.0
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
    // A script without cases is one case of its own, so that its outcome is seen.
    if (cases.empty() || (outcome.End != EScriptEnd::Passed && outcome.End != EScriptEnd::Failed) ||
        (outcome.End == EScriptEnd::Failed &&
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

// The port's side of a headless run: the session's view and the script's host. The session and
// everything it tells are on the run's own thread; the script's calls that need the port's
// owner are delivered there.
class CHeadlessRun : public ISessionView
{
public:
    CHeadlessRun(const ST_HeadlessOptions &options, std::FILE *out)
        : m_options(options), m_out(out), m_portHandOver(new CPumpedHandOver(m_pump)),
          m_sendHandOver(new CPumpedHandOver(m_pump)), m_calls(m_pump),
          m_session(*this, std::unique_ptr<CHandOver>(m_portHandOver),
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
    }

    int Run();

    // ---- ISessionView (the run's thread) ----
    bool LogsSends() const override { return false; }
    std::string ReceivedBlockName(int64_t) override { return "Rec"; }
    void SessionReceived(CCommData &&block, int64_t) override
    {
        Log("< " + EscapeBytes(block.GetData(), block.Data().size()));
    }
    void SessionEvent(uint32_t, bool) override {}
    void SessionSendWaiting() override {}
    void SessionSendDone(const ST_SendReport &) override { m_host.SendDone(); }
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
            const std::lock_guard<std::mutex> guard(m_printLock);
            std::fprintf(m_out, "%s\n", text.c_str());
            std::fflush(m_out);
        }
        Log("note: " + text);
    }
    void Log(const std::string &line)
    {
        const std::lock_guard<std::mutex> guard(m_printLock);
        if (m_log)
            std::fprintf(m_log, "%s %s\n", WallStamp().c_str(), line.c_str());
    }
    bool OpenPort(std::string *error);
    // Runs the session's deliveries until `done` holds or the deadline passes.
    template <typename Done> void PumpUntil(Done done, Clock::time_point deadline)
    {
        while (!done()) {
            m_portHandOver->RunAll();
            m_sendHandOver->RunAll();
            m_calls.RunAll();
            if (done() || Clock::now() >= deadline)
                return;
            m_pump.Wait(deadline);
        }
    }

    const ST_HeadlessOptions &m_options;
    std::FILE *m_out;
    std::FILE *m_log = nullptr;
    std::mutex m_printLock;
    CPump m_pump;
    CPumpedHandOver *m_portHandOver; // owned by the session
    CPumpedHandOver *m_sendHandOver;
    CPumpedHandOver m_calls;
    CPortSession m_session;
    CSendDataList m_sendList;
    CSessionScriptHost m_host;
    CScriptRunner m_runner;

    bool m_connectDone = false, m_connectOpen = false;
    std::string m_connectMessage;
};

bool CHeadlessRun::OpenPort(std::string *error)
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
        return false;
    }
    if (CPortSession::NeedsConnect(link)) {
        m_session.BeginOpen(link);
        PumpUntil([this] { return m_connectDone; }, Clock::time_point::max());
        if (!m_connectOpen)
            *error = link.PortName + ": " + m_connectMessage;
        return m_connectOpen;
    }
    const CPortSession::ST_OpenResult result = m_session.Open(link);
    if (!result.Open)
        *error = link.PortName + ": " +
                 (result.SettingRefused    ? std::string("the port refused its settings")
                  : result.Message.empty() ? SerialErrorText(result.Code, false)
                                           : result.Message);
    return result.Open;
}

int CHeadlessRun::Run()
{
    if (!m_options.LogPath.empty()) {
        m_log = std::fopen(m_options.LogPath.c_str(), "ae");
        if (!m_log) {
            std::fprintf(m_out, "%s: %s\n", m_options.LogPath.c_str(), std::strerror(errno));
            return 1;
        }
    }
    try {
        m_sendList.Load(CSendDataList::DefaultPath());
    } catch (const std::exception &) {
        // A send list that cannot be read leaves send() without items, as a window would.
    }
    std::string error;
    if (!OpenPort(&error)) {
        Print("port: " + error);
        if (m_log)
            std::fclose(m_log);
        return 2;
    }
    // The script has each read's bytes as they come, not when their block is complete.
    m_session.SetReadTap(std::make_shared<CSerialWnd::ReadTap>(
        [this](const uint8_t *data, size_t size) { m_runner.Feed(data, size); }));
    std::atomic<bool> finished{false};
    ST_ScriptOutcome outcome;
    std::thread script([&] {
        outcome = m_runner.Run(m_options.Script);
        finished.store(true);
        m_pump.Wake();
    });
    const Clock::time_point deadline =
        m_options.TimeoutSeconds > 0
            ? Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(m_options.TimeoutSeconds * 1000))
            : Clock::time_point::max();
    PumpUntil([&] { return finished.load(); }, deadline);
    if (!finished.load()) {
        char text[64];
        std::snprintf(text, sizeof text, "the run took longer than %g s", m_options.TimeoutSeconds);
        m_runner.Stop(text);
        PumpUntil([&] { return finished.load(); }, Clock::time_point::max());
    }
    script.join();
    m_session.SetReadTap(nullptr);
    m_session.Close();
    m_portHandOver->RunAll();
    m_sendHandOver->RunAll();

    Print(std::string("script ") + ScriptEndText(outcome.End) +
          (outcome.Message.empty() ? std::string() : ": " + outcome.Message));
    int code = ScriptExitCode(outcome.End);
    if (!m_options.JunitPath.empty()) {
        try {
            WriteFileAtomic(m_options.JunitPath, JunitXml(m_options.Script, outcome));
        } catch (const std::exception &e) {
            Print(std::string("junit: ") + e.what());
            code = code == 0 ? 1 : code;
        }
    }
    if (m_log)
        std::fclose(m_log);
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
           "                        address (rfc2217://host:port, socket://host:port)\n"
           "  --baud N, --data-bits N, --parity none|odd|even|mark|space,\n"
           "  --stop-bits 1|1.5|2, --flow none|hardware|software\n"
           "  --log FILE            the received bytes and the notes, stamped\n"
           "  --junit FILE          the test cases as JUnit XML\n"
           "  --timeout S           end the run after S seconds (a failure)\n"
           "  Exit code: 0 every case passed, 1 a case or an expect failed or the script\n"
           "  raised an error, 2 the port could not be opened or was lost.\n";
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
        if (name == "--timeout") {
            if (!takeValue())
                return false;
            char *end = nullptr;
            o.TimeoutSeconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(o.TimeoutSeconds > 0)) {
                *error = "--timeout takes a number of seconds";
                return false;
            }
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
    *options = o;
    return true;
}

int RunHeadless(const ST_HeadlessOptions &options, std::FILE *out)
{
    CHeadlessRun run(options, out);
    return run.Run();
}
