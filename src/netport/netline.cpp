#include "netport/netline.h"

#include "netport/netconnect.h"
#include "netport/silencewatch.h"
#include "netport/telnetcodec.h"
#include "platform/diaglog.h"
#include "portbase/linesettings.h"
#include "portbase/serialerror.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <linux/sockios.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using telnet::Bytes;

namespace {

using Clock = std::chrono::steady_clock;

// What one read takes from either side, and how much the pump holds for each side before it
// stops reading the other. A server that floods, or a reader that stops reading, stalls the
// far side through TCP's own window instead of growing a buffer here.
constexpr size_t kReadChunk = 4096;
constexpr size_t kPendingLimit = 64 * 1024;
constexpr size_t kSendAhead = 16 * 1024;
constexpr size_t kControlLimit = 16 * 1024;

// The line-state conditions a local port counts; the others (data ready, shift register empty,
// time-out) would only add traffic.
constexpr uint8_t kLineErrors =
    telnet::LineBreak | telnet::LineFraming | telnet::LineParity | telnet::LineOverrun;

// How often the pump looks at the connection for a server that is gone: a small part of the
// silence limit, so the loss is told soon after it.
int LookEveryMs(int silenceMs)
{
    return std::clamp(silenceMs / 10, 20, 1000);
}

void Count(int64_t &counter, bool happened)
{
    if (happened && counter < std::numeric_limits<int64_t>::max())
        ++counter;
}

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

void Signal(int eventFd)
{
    const uint64_t one = 1;
    const ssize_t ignored = write(eventFd, &one, sizeof one);
    (void)ignored;
}

void Drain(int eventFd)
{
    uint64_t count = 0;
    const ssize_t ignored = read(eventFd, &count, sizeof count);
    (void)ignored;
}

void CloseFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// The telnet option state of one side, as far as this client needs it: it asks once and
// answers a request only when the request changes the state, so two peers never loop.
enum class EOption : uint8_t { No, WantYes, Yes };

bool Supported(uint8_t option)
{
    return option == telnet::OptBinary || option == telnet::OptSga || option == telnet::OptComPort;
}

} // namespace

struct CNetLine::Impl
{
    ST_NetAddress address;
    int silenceMs = kSilenceMs;
    bool open = false;
    int sock = -1;
    int dataFd = -1;
    int pumpFd = -1;
    int stateFd = -1;
    int wakeFd = -1;
    int answerFd = -1; // announces a change of `comPort` or a loss to Open's wait
    std::thread pump;

    enum class EComPort : uint8_t { Pending, Agreed, Refused };
    struct Answer
    {
        uint64_t count = 0;
        Bytes value;
    };

    mutable std::mutex lock;
    std::condition_variable answered;
    // Guarded by `lock`.
    ST_NetLineState state;
    int lostErrno = 0;
    bool stopping = false;
    bool purgeReceive = false;
    Bytes control; // commands queued by callers, sent between data chunks
    EComPort comPort = EComPort::Pending;
    Answer answers[telnet::PurgeData + 1]; // by client code
    Answer flowAnswer;                     // SET-CONTROL answers about flow control only

    // The pump's own.
    telnet::CDecoder decoder;
    Bytes toReader;
    Bytes toServer;
    EOption local[256] = {};
    EOption remote[256] = {};
    bool refused[2][256] = {};
    bool readerGone = false;
    bool suspended = false; // the server asked for a pause in the data it gets (flow control)

    bool Rfc() const { return address.Kind == ENetKind::Rfc2217; }
    long Queue(const Bytes &command);
    long Control(uint8_t value, bool ST_NetLineState::*asked, bool on);
    void Pump();
    void FromServer(const uint8_t *bytes, size_t count);
    void Negotiate(const telnet::ST_Command &command);
    void ComPortState(EComPort to);
    void Notification(uint8_t code, const Bytes &value);
    void CloseAll();
};

long CNetLine::Impl::Queue(const Bytes &command)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        if (lostErrno != 0)
            return SystemError(lostErrno);
        if (control.size() + command.size() > kControlLimit)
            return SystemError(ENOBUFS);
        control.insert(control.end(), command.begin(), command.end());
    }
    Signal(wakeFd);
    return 0;
}

void CNetLine::Impl::ComPortState(EComPort to)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        if (comPort != EComPort::Pending)
            return;
        comPort = to;
    }
    Signal(answerFd);
}

void CNetLine::Impl::Negotiate(const telnet::ST_Command &command)
{
    using telnet::ST_Command;
    const uint8_t option = command.Option;
    const bool mine = command.Kind == ST_Command::Do || command.Kind == ST_Command::Dont;
    EOption &s = mine ? local[option] : remote[option];
    const uint8_t yes = mine ? telnet::WILL : telnet::DO;
    const uint8_t no = mine ? telnet::WONT : telnet::DONT;
    auto reply = [&](uint8_t verb) {
        const Bytes bytes = telnet::OptionCommand(verb, option);
        toServer.insert(toServer.end(), bytes.begin(), bytes.end());
    };

    if (command.Kind == ST_Command::Do || command.Kind == ST_Command::Will) {
        if (!Supported(option)) {
            if (!refused[mine][option])
                reply(no);
            refused[mine][option] = true;
            return;
        }
        if (s == EOption::No)
            reply(yes);
        s = EOption::Yes;
        if (option == telnet::OptComPort)
            ComPortState(EComPort::Agreed);
    } else {
        if (s == EOption::Yes)
            reply(no);
        s = EOption::No;
        if (option == telnet::OptComPort && mine && remote[option] != EOption::Yes)
            ComPortState(EComPort::Refused);
    }
}

void CNetLine::Impl::Notification(uint8_t code, const Bytes &value)
{
    bool changed = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (code <= telnet::PurgeData) {
            answers[code].count++;
            answers[code].value = value;
        }
        const int v = value.size() == 1 ? value[0] : -1;
        if (code == telnet::SetControl) {
            if (v >= telnet::ControlNoFlow && v <= telnet::ControlRtsCts) {
                flowAnswer.count++;
                flowAnswer.value = value;
            } else if (v == telnet::ControlDtrOn || v == telnet::ControlDtrOff) {
                state.Dtr = v == telnet::ControlDtrOn;
            } else if (v == telnet::ControlRtsOn || v == telnet::ControlRtsOff) {
                state.Rts = v == telnet::ControlRtsOn;
            }
        } else if (code == telnet::NotifyLineState && v >= 0) {
            Count(state.Breaks, v & telnet::LineBreak);
            Count(state.FrameErrors, v & telnet::LineFraming);
            Count(state.ParityErrors, v & telnet::LineParity);
            Count(state.Overruns, v & telnet::LineOverrun);
            changed = (v & kLineErrors) != 0;
        } else if (code == telnet::NotifyModemState && v >= 0) {
            // The first report sets the levels; after it a level that moved counts even when the
            // server left out the delta bit, and a delta bit counts even when two changes
            // brought the level back.
            auto line = [&](bool &level, int64_t &changes, uint8_t levelBit, uint8_t deltaBit) {
                const bool now = v & levelBit;
                Count(changes, (v & deltaBit) || (state.ModemKnown && now != level));
                level = now;
            };
            line(state.Cts, state.CtsChanges, telnet::ModemCts, telnet::ModemDeltaCts);
            line(state.Dsr, state.DsrChanges, telnet::ModemDsr, telnet::ModemDeltaDsr);
            line(state.Ring, state.RingChanges, telnet::ModemRing, telnet::ModemRingEnded);
            line(state.Dcd, state.DcdChanges, telnet::ModemDcd, telnet::ModemDeltaDcd);
            state.ModemKnown = true;
            changed = true;
        }
    }
    if (code == telnet::FlowControlSuspend || code == telnet::FlowControlResume)
        suspended = code == telnet::FlowControlSuspend;
    answered.notify_all();
    if (changed)
        Signal(stateFd);
}

void CNetLine::Impl::FromServer(const uint8_t *bytes, size_t count)
{
    if (!Rfc()) {
        toReader.insert(toReader.end(), bytes, bytes + count);
        return;
    }
    std::vector<telnet::ST_Command> commands;
    decoder.Feed(bytes, count, &toReader, &commands);
    for (const telnet::ST_Command &c : commands) {
        if (c.Kind != telnet::ST_Command::ComPort)
            Negotiate(c);
        else if (c.Code > telnet::kServerCode)
            Notification(static_cast<uint8_t>(c.Code - telnet::kServerCode), c.Value);
    }
}

void CNetLine::Impl::Pump()
{
    int lost = 0;
    bool reported = false;
    uint8_t buffer[kReadChunk];
    CSilenceWatch silence(silenceMs);
    const int lookMs = LookEveryMs(silenceMs);
    Clock::time_point nextLook = Clock::now() + std::chrono::milliseconds(lookMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (stopping)
                return;
            // Taken only while the server keeps up, so a server that stops reading leaves the
            // commands here, where their limit refuses more, instead of growing the send buffer.
            if (toServer.size() < kSendAhead) {
                toServer.insert(toServer.end(), control.begin(), control.end());
                control.clear();
            }
            if (purgeReceive)
                toReader.clear();
            purgeReceive = false;
        }
        if (lost != 0 && (toReader.empty() || readerGone)) {
            // Whatever came before the loss has reached the reader; now it sees the end.
            shutdown(pumpFd, SHUT_RDWR);
            return;
        }

        const bool readServer =
            lost == 0 && toReader.size() < kPendingLimit && toServer.size() < kPendingLimit;
        const bool readReader = lost == 0 && !readerGone && !suspended && toServer.size() < kSendAhead;
        pollfd p[3] = {{wakeFd, POLLIN, 0}, {sock, 0, 0}, {pumpFd, 0, 0}};
        if (lost == 0)
            p[1].events = static_cast<short>((readServer ? POLLIN : 0) | (toServer.empty() ? 0 : POLLOUT));
        if (!readerGone)
            p[2].events = static_cast<short>((readReader ? POLLIN : 0) | (toReader.empty() ? 0 : POLLOUT));
        // A hung-up descriptor reports so whatever is asked; one not asked about must not spin.
        for (pollfd &q : p)
            if (q.events == 0)
                q.fd = -1;
        if (poll(p, 3, lost == 0 ? RemainingMs(nextLook) : -1) < 0) {
            if (errno == EINTR)
                continue;
            lost = errno;
        }
        if (lost == 0 && Clock::now() >= nextLook) {
            const Clock::time_point now = Clock::now();
            nextLook = now + std::chrono::milliseconds(lookMs);
            ST_TcpLook look;
            if (LookAtTcp(sock, &look)) {
                if (silence.Dead(now, look))
                    lost = ETIMEDOUT;
                else if (silence.ShutLong(now, look))
                    AppendLogFormatted(DiagLogPath(),
                                       "CNetLine - %s has kept its window shut for %.1f s (it stopped "
                                       "reading: flow control); the connection is kept",
                                       HostPortText(address).c_str(), silenceMs / 1000.0);
            }
        }
        if (p[0].revents)
            Drain(wakeFd);

        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (readServer) {
                const ssize_t n = recv(sock, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0)
                    FromServer(buffer, static_cast<size_t>(n));
                else if (n == 0)
                    lost = ECONNRESET;
                else if (errno != EAGAIN && errno != EINTR)
                    lost = errno;
            } else if (p[1].revents & POLLERR) {
                socklen_t length = sizeof lost;
                getsockopt(sock, SOL_SOCKET, SO_ERROR, &lost, &length);
                if (lost == 0)
                    lost = ECONNRESET;
            }
        }
        if (lost == 0 && (p[1].revents & (POLLOUT | POLLHUP | POLLERR)) && !toServer.empty()) {
            const ssize_t n = send(sock, toServer.data(), toServer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0)
                toServer.erase(toServer.begin(), toServer.begin() + n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                lost = errno;
        }

        if (p[2].revents & POLLOUT) {
            const ssize_t n = send(pumpFd, toReader.data(), toReader.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                toReader.erase(toReader.begin(), toReader.begin() + n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                readerGone = true;
                toReader.clear();
            }
        }
        if (readReader && (p[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = recv(pumpFd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0 && Rfc())
                telnet::AppendEscaped(buffer, static_cast<size_t>(n), &toServer);
            else if (n > 0)
                toServer.insert(toServer.end(), buffer, buffer + n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                readerGone = true;
        }

        if (lost != 0 && !reported) {
            reported = true;
            {
                std::lock_guard<std::mutex> hold(lock);
                lostErrno = lost;
            }
            answered.notify_all();
            Signal(answerFd);
        }
    }
}

void CNetLine::Impl::CloseAll()
{
    CloseFd(sock);
    CloseFd(dataFd);
    CloseFd(pumpFd);
    CloseFd(stateFd);
    CloseFd(wakeFd);
    CloseFd(answerFd);
}

CNetLine::CNetLine() : m_d(std::make_unique<Impl>()) {}

CNetLine::~CNetLine()
{
    Close();
}

long CNetLine::Open(const ST_NetAddress &address, int cancelFd, std::string *message)
{
    if (m_d->open)
        return ERROR_ALREADY_INITIALIZED;
    {
        const std::lock_guard<std::mutex> guard(m_abortLock);
        m_d = std::make_unique<Impl>();
    }
    Impl &d = *m_d;
    d.address = address;
    d.silenceMs = m_silenceMs;
    const std::string where = HostPortText(address);
    auto fail = [&](int e, const std::string &words) {
        if (message)
            *message = "Cannot connect to " + where + ": " + words;
        d.CloseAll();
        return SystemError(e);
    };

    if (m_aborted.load())
        return fail(ECANCELED, ErrnoWords(ECANCELED));
    std::string words;
    if (const int e = ConnectTcp(address, kConnectMs, cancelFd, &d.sock, &words))
        return fail(e, words);

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return fail(errno, ErrnoWords(errno));
    d.dataFd = pair[0];
    d.pumpFd = pair[1];
    d.stateFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d.answerFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.stateFd < 0 || d.wakeFd < 0 || d.answerFd < 0)
        return fail(errno, ErrnoWords(errno));

    if (d.Rfc()) {
        for (uint8_t option : {telnet::OptBinary, telnet::OptSga}) {
            for (uint8_t verb : {telnet::WILL, telnet::DO}) {
                const Bytes bytes = telnet::OptionCommand(verb, option);
                d.toServer.insert(d.toServer.end(), bytes.begin(), bytes.end());
            }
            d.local[option] = d.remote[option] = EOption::WantYes;
        }
        const Bytes comPort = telnet::OptionCommand(telnet::WILL, telnet::OptComPort);
        d.toServer.insert(d.toServer.end(), comPort.begin(), comPort.end());
        d.local[telnet::OptComPort] = EOption::WantYes;
    }
    try {
        d.pump = std::thread([&d] { d.Pump(); });
    } catch (const std::system_error &) {
        return fail(EAGAIN, ErrnoWords(EAGAIN));
    }
    d.open = true;
    if (!d.Rfc())
        return 0;

    // The pump already passes data; the wait is only for the server's word on the com-port
    // option, and a server that keeps silent costs kAnswerMs once.
    const Clock::time_point answerBy = Clock::now() + std::chrono::milliseconds(kAnswerMs);
    Impl::EComPort comPort = Impl::EComPort::Pending;
    int lost = 0;
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(d.lock);
            comPort = d.comPort;
            lost = d.lostErrno;
        }
        const int ms = RemainingMs(answerBy);
        if (m_aborted.load())
            lost = ECANCELED;
        if (comPort != Impl::EComPort::Pending || lost != 0 || ms == 0)
            break;
        pollfd p[2] = {{d.answerFd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        if (poll(p, cancelFd >= 0 ? 2 : 1, ms) > 0 && cancelFd >= 0 && p[1].revents) {
            lost = ECANCELED;
            break;
        }
        Drain(d.answerFd);
    }
    if (lost != 0) {
        Close();
        return fail(lost, ErrnoWords(lost));
    }
    if (comPort == Impl::EComPort::Refused) {
        AppendLogFormatted(DiagLogPath(),
                           "CNetLine::Open - %s refused the com-port option: the line settings stay the "
                           "server's",
                           where.c_str());
        return 0;
    }
    if (comPort == Impl::EComPort::Pending)
        AppendLogFormatted(DiagLogPath(),
                           "CNetLine::Open - %s did not answer the com-port option within %d ms",
                           where.c_str(), kAnswerMs);
    Bytes masks = telnet::ComPortCommand(telnet::SetModemStateMask, 0xFF);
    const Bytes lineMask = telnet::ComPortCommand(telnet::SetLineStateMask, kLineErrors);
    masks.insert(masks.end(), lineMask.begin(), lineMask.end());
    d.Queue(masks);
    return 0;
}

bool CNetLine::IsOpen() const
{
    return m_d->open;
}

const ST_NetAddress &CNetLine::Address() const
{
    return m_d->address;
}

int CNetLine::DataFd() const
{
    return m_d->dataFd;
}

int CNetLine::StateFd() const
{
    return m_d->stateFd;
}

ST_NetLineState CNetLine::State() const
{
    std::lock_guard<std::mutex> hold(m_d->lock);
    return m_d->state;
}

int CNetLine::LostErrno() const
{
    std::lock_guard<std::mutex> hold(m_d->lock);
    return m_d->lostErrno;
}

bool CNetLine::CarriesSettings() const
{
    if (!m_d->Rfc())
        return false;
    const std::lock_guard<std::mutex> hold(m_d->lock);
    return m_d->comPort != Impl::EComPort::Refused;
}

void CNetLine::Abort()
{
    m_aborted.store(true);
    const std::lock_guard<std::mutex> guard(m_abortLock);
    Impl &d = *m_d;
    {
        // Taken so that a wait between its look at the flag and its sleep cannot miss the wake.
        const std::lock_guard<std::mutex> hold(d.lock);
    }
    d.answered.notify_all();
}

namespace {

// A value as the user set it: "19200", "mark", "1.5", "XON/XOFF".
std::string SettingValueText(uint8_t code, uint32_t value)
{
    static const char *const kParity[] = {"?", "none", "odd", "even", "mark", "space"};
    switch (code) {
    case telnet::SetParity:
        return value < 6 ? kParity[value] : std::to_string(value);
    case telnet::SetStopSize:
        return value == telnet::StopOneAndHalf ? "1.5" : std::to_string(value);
    case telnet::SetControl:
        return value == telnet::ControlNoFlow    ? "none"
               : value == telnet::ControlXonXoff ? "XON/XOFF"
               : value == telnet::ControlRtsCts  ? "RTS/CTS"
                                                 : std::to_string(value);
    default:
        return std::to_string(value);
    }
}

} // namespace

long CNetLine::ApplySettings(const ST_NetLineSettings &settings, std::string *untaken, std::string *reason)
{
    Impl &d = *m_d;
    if (!d.open)
        return ERROR_INVALID_HANDLE;
    if (!d.Rfc())
        return 0;
    if (m_aborted.load())
        return SystemError(ECANCELED);
    if (settings.Parity > SPACEPARITY || settings.StopBits > 2 || settings.Flow > ST_NetLineSettings::XonXoff)
        return E_INVALIDARG;

    static constexpr uint8_t kStop[] = {telnet::StopOne, telnet::StopOneAndHalf, telnet::StopTwo};
    static constexpr uint8_t kFlow[] = {telnet::ControlNoFlow, telnet::ControlRtsCts, telnet::ControlXonXoff};
    struct Ask
    {
        const char *name;
        uint8_t code;
        uint32_t value;
        Impl::Answer *answer;
        uint64_t before;
    };
    Ask asks[] = {
        {"baud rate", telnet::SetBaudRate, settings.Baud, &d.answers[telnet::SetBaudRate], 0},
        {"data bits", telnet::SetDataSize, settings.DataBits, &d.answers[telnet::SetDataSize], 0},
        {"parity", telnet::SetParity, static_cast<uint32_t>(settings.Parity + 1),
         &d.answers[telnet::SetParity], 0},
        {"stop bits", telnet::SetStopSize, kStop[settings.StopBits], &d.answers[telnet::SetStopSize], 0},
        {"flow control", telnet::SetControl, kFlow[settings.Flow], &d.flowAnswer, 0},
    };

    // All five go out at once and share one wait: a silent server costs kAnswerMs, not five times it.
    std::unique_lock<std::mutex> hold(d.lock);
    if (d.comPort == Impl::EComPort::Refused)
        return 0; // noted when the port opened
    if (d.lostErrno != 0)
        return SystemError(d.lostErrno);
    Bytes commands;
    for (Ask &a : asks) {
        a.before = a.answer->count;
        const Bytes c = a.code == telnet::SetBaudRate
                            ? telnet::BaudCommand(a.value)
                            : telnet::ComPortCommand(a.code, static_cast<uint8_t>(a.value));
        commands.insert(commands.end(), c.begin(), c.end());
    }
    if (d.control.size() + commands.size() > kControlLimit)
        return SystemError(ENOBUFS);
    d.control.insert(d.control.end(), commands.begin(), commands.end());
    Signal(d.wakeFd);
    auto allAnswered = [&] {
        for (const Ask &a : asks)
            if (a.answer->count == a.before)
                return false;
        return true;
    };
    d.answered.wait_for(hold, std::chrono::milliseconds(kAnswerMs),
                        [&] { return d.lostErrno != 0 || m_aborted.load() || allAnswered(); });
    if (d.lostErrno != 0)
        return SystemError(d.lostErrno);
    if (m_aborted.load() && !allAnswered()) {
        for (const Ask &a : asks)
            if (a.answer->count == a.before) {
                AppendLogFormatted(DiagLogPath(),
                                   "CNetLine::ApplySettings - gave up waiting for %s to answer the %s: "
                                   "the port is closing",
                                   HostPortText(d.address).c_str(), a.name);
                break;
            }
        return SystemError(ECANCELED);
    }

    std::string first;
    uint32_t firstGot = 0;
    const Ask *firstAsk = nullptr;
    for (const Ask &a : asks) {
        if (a.answer->count == a.before) {
            AppendLogFormatted(DiagLogPath(),
                               "CNetLine::ApplySettings - %s did not answer the %s within %d ms",
                               HostPortText(d.address).c_str(), a.name, kAnswerMs);
            continue;
        }
        // An answer of 0 (a server that tells no value) says nothing against the setting.
        const uint32_t got = a.code == telnet::SetBaudRate ? telnet::BaudOf(a.answer->value)
                             : a.answer->value.size() == 1 ? a.answer->value[0]
                                                           : 0;
        if (got == 0 || got == a.value || !first.empty())
            continue;
        firstAsk = &a;
        firstGot = got;
        if (a.code != telnet::SetControl)
            first = a.name;
        else if (a.value == telnet::ControlRtsCts ||
                 (a.value == telnet::ControlNoFlow && got == telnet::ControlRtsCts))
            first = "RTS/CTS flow control";
        else
            first = "XON/XOFF flow control";
    }
    if (first.empty())
        return 0;
    if (untaken)
        *untaken = first;
    if (reason)
        *reason = std::string("the server answered the ") + firstAsk->name + " with " +
                  SettingValueText(firstAsk->code, firstGot) + " instead of " +
                  SettingValueText(firstAsk->code, firstAsk->value);
    return ERROR_NOT_SUPPORTED;
}

// A SET-CONTROL the server is not waited on for; `asked` (when given) keeps the level asked of
// an output line, which the server may never echo.
long CNetLine::Impl::Control(uint8_t value, bool ST_NetLineState::*asked, bool on)
{
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!Rfc())
        return 0;
    if (asked != nullptr) {
        std::lock_guard<std::mutex> hold(lock);
        state.*asked = on;
    }
    return Queue(telnet::ComPortCommand(telnet::SetControl, value));
}

long CNetLine::SetDtr(bool on)
{
    return m_d->Control(on ? telnet::ControlDtrOn : telnet::ControlDtrOff, &ST_NetLineState::Dtr, on);
}

long CNetLine::SetRts(bool on)
{
    return m_d->Control(on ? telnet::ControlRtsOn : telnet::ControlRtsOff, &ST_NetLineState::Rts, on);
}

long CNetLine::SetBreak(bool on)
{
    return m_d->Control(on ? telnet::ControlBreakOn : telnet::ControlBreakOff, nullptr, on);
}

long CNetLine::Purge(bool receive, bool transmit)
{
    if (!m_d->open)
        return ERROR_INVALID_HANDLE;
    if (!m_d->Rfc() || (!receive && !transmit))
        return 0;
    if (receive) {
        // What the pump still holds for the reader came before the purge as well.
        std::lock_guard<std::mutex> hold(m_d->lock);
        m_d->purgeReceive = true;
    }
    const uint8_t which = receive && transmit ? telnet::PurgeBoth
                          : receive           ? telnet::PurgeReceive
                                              : telnet::PurgeTransmit;
    return m_d->Queue(telnet::ComPortCommand(telnet::PurgeData, which));
}

uint32_t CNetLine::Close()
{
    Impl &d = *m_d;
    if (!d.pump.joinable() && !d.open)
        return 0;
    {
        std::lock_guard<std::mutex> hold(d.lock);
        d.stopping = true;
    }
    Signal(d.wakeFd);
    if (d.pump.joinable())
        d.pump.join();

    // Escaped bytes and commands the pump or the kernel still hold count as they stand.
    uint64_t unsent = d.toServer.size();
    int queued = 0;
    if (ioctl(d.pumpFd, FIONREAD, &queued) == 0 && queued > 0)
        unsent += static_cast<uint64_t>(queued);
#ifdef SIOCOUTQNSD
    const unsigned long notSent = SIOCOUTQNSD;
#else
    const unsigned long notSent = SIOCOUTQ;
#endif
    queued = 0;
    if (ioctl(d.sock, notSent, &queued) == 0 && queued > 0)
        unsent += static_cast<uint64_t>(queued);
    d.CloseAll();
    d.open = false;
    return static_cast<uint32_t>(std::min<uint64_t>(unsent, UINT32_MAX));
}
