// The demo board through its device interface: a test output and a clock the test moves, and,
// for the file transfers, played on a real pseudo-terminal against the project's engines.
#include "demo/board.h"
#include "fdchannel.h"
#include "ptypair.h"
#include "tempdir.h"
#include "transfer/zmodem.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <regex>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <thread>

namespace {

using demo::Clock;
using namespace std::chrono_literals;

const std::string kPrompt = "root@demo:~# ";

class CScreen : public demo::IDemoOutput
{
public:
    void Write(const uint8_t *data, size_t size) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_text.append(reinterpret_cast<const char *>(data), size);
    }
    using IDemoOutput::Write;
    demo::ST_DemoLine Line() const override
    {
        demo::ST_DemoLine line;
        line.Baud = 115200;
        return line;
    }
    // What came since the last call.
    std::string Take()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::exchange(m_text, {});
    }

private:
    std::mutex m_lock;
    std::string m_text;
};

class DemoBoard : public testing::Test
{
protected:
    void SetUp() override { mkdir(home.c_str(), 0700); }

    std::string Type(const std::string &keys)
    {
        board.Received(screen, reinterpret_cast<const uint8_t *>(keys.data()), keys.size(), now);
        return screen.Take();
    }
    // Moves the clock to each tick the board asks for, until it only waits for keys.
    std::string RunUntilIdle(int ticks = 10000)
    {
        while (board.NextTick() != Clock::time_point::max() && ticks-- > 0) {
            now = std::max(now, board.NextTick());
            board.Tick(screen, now);
        }
        return screen.Take();
    }
    std::string RunFor(Clock::duration span)
    {
        const Clock::time_point end = now + span;
        while (board.NextTick() <= end) {
            now = std::max(now, board.NextTick());
            board.Tick(screen, now);
        }
        now = end;
        return screen.Take();
    }
    void LogIn()
    {
        board.Start(screen, now);
        ASSERT_NE(RunUntilIdle().find("demo login: "), std::string::npos);
        ASSERT_NE(Type("root\r").find(kPrompt), std::string::npos);
    }

    TempDir dir;
    const std::string home = dir.File("home");
    demo::CBoardDevice board{home};
    CScreen screen;
    Clock::time_point now = Clock::now();
};

TEST_F(DemoBoard, BootsToALoginWithinSecondsAndRunsCommands)
{
    const Clock::time_point started = now;
    board.Start(screen, now);
    std::string boot = screen.Take();
    for (int i = 0; i < 3; ++i)
        boot += RunFor(1s);
    EXPECT_NE(boot.find("Hit any key to stop autoboot: 3 2 1"), std::string::npos) << boot;
    boot += RunUntilIdle();
    EXPECT_NE(boot.find("[    0.000000] Booting Linux"), std::string::npos);
    EXPECT_LT(boot.find("Booting Linux"), boot.find("demo login: "));
    EXPECT_LT(now - started, 6s);
    EXPECT_EQ(board.NextTick(), Clock::time_point::max());

    // CR LF is one line end: one prompt.
    EXPECT_EQ(CountOf(Type("root\r\n"), kPrompt), 1);
    EXPECT_NE(Type("uname -a\r").find("Linux demo"), std::string::npos);
    EXPECT_NE(Type("nosuch arg\r").find("-sh: nosuch: not found\r\n" + kPrompt), std::string::npos);
    EXPECT_NE(Type("ls\r").find("config.json  log.txt  readme.txt"), std::string::npos);
    EXPECT_EQ(CountOf(Type("exit\r\n"), "demo login: "), 1);
    EXPECT_EQ(Type("nosuch\r").find("not found"), std::string::npos);

    // The LF of the CR LF that ended "reboot" is no key stopping the countdown.
    Type("\x03root\r");
    EXPECT_EQ(Type("reboot\r\n").find("=> "), std::string::npos);
    EXPECT_NE(RunUntilIdle().find("demo login: "), std::string::npos);
}

TEST_F(DemoBoard, EditsTheLineAsAShellDoes)
{
    LogIn();
    EXPECT_EQ(Type("upt\t"), "uptime ");
    EXPECT_NE(Type("\r").find(" up "), std::string::npos);
    EXPECT_EQ(Type("cat rea\t"), "cat readme.txt ");
    EXPECT_NE(Type("\r").find("simulated"), std::string::npos);
    // Several matches: the list, then the line again behind a fresh prompt.
    EXPECT_EQ(Type("s\t"), "s\r\nsensors  stream  sz  \r\n" + kPrompt + "s");
    Type("\x15");

    const std::string erased = Type("echx\x7fo h\bhi\r");
    EXPECT_NE(erased.find("x\b \bo h\b \bhi\r\nhi\r\n"), std::string::npos) << erased;
    EXPECT_NE(Type("junk\x15"
                   "echo ok\r")
                  .find("\r\nok\r\n"),
              std::string::npos);
    EXPECT_NE(Type("echo ac\x1b[Db\r").find("\r\nabc\r\n"), std::string::npos);
    EXPECT_NE(Type("\x1b[A\x1b[A\r").find("\r\nok\r\n"), std::string::npos);
    EXPECT_NE(Type("\x1bOA\r").find("\r\nok\r\n"), std::string::npos);

    Type("stream 50\r");
    EXPECT_NE(board.NextTick(), Clock::time_point::max());
    EXPECT_EQ(Type("half a line\x03"), "half a line^C\r\n" + kPrompt);
    EXPECT_EQ(board.NextTick(), Clock::time_point::max());
}

TEST_F(DemoBoard, StreamsSensorLinesAtTheRateAsked)
{
    LogIn();
    const std::regex reading(R"(temp:(\d+\.\d),hum:(\d+\.\d),press:(\d+\.\d)\r\n)");
    std::smatch match;
    const std::string once = Type("sensors\r");
    ASSERT_TRUE(std::regex_search(once, match, reading)) << once;
    EXPECT_NEAR(std::stod(match[1]), 21.5, 2.0);

    Type("stream 20\r");
    const std::string second = RunFor(1s);
    EXPECT_EQ(CountOf(second, "press:"), 20);
    Type("stream off\r");
    EXPECT_EQ(board.NextTick(), Clock::time_point::max());
    EXPECT_NE(Type("stream fast\r").find("stream: 'fast'"), std::string::npos);
    EXPECT_EQ(board.NextTick(), Clock::time_point::max());

    // Never faster than the cap, nor than 115200 baud carries the lines.
    Type("stream 100000\r");
    const int lines = CountOf(RunFor(1s), "press:");
    EXPECT_LE(lines, 350);
    EXPECT_GE(lines, 300);
}

TEST_F(DemoBoard, TopRedrawsEachSecondUntilQ)
{
    LogIn();
    const std::string first = Type("top\r");
    EXPECT_NE(first.find("\x1b[2J"), std::string::npos);
    EXPECT_NE(first.find("PID"), std::string::npos);
    EXPECT_EQ(board.NextTick(), now + 1s);
    const std::string redraw = RunFor(1s);
    EXPECT_EQ(redraw.rfind("\x1b[H", 0), 0u) << redraw;
    EXPECT_NE(redraw.find("\x1b[K"), std::string::npos);
    EXPECT_EQ(Type("x"), "");
    EXPECT_EQ(Type("q"), "\x1b[?25h\x1b[?1049l" + kPrompt);
    EXPECT_EQ(board.NextTick(), Clock::time_point::max());
    Type("top\r");
    EXPECT_NE(Type("\x03").find(kPrompt), std::string::npos);
    EXPECT_NE(Type("echo back\r").find("\r\nback\r\n"), std::string::npos);
}

TEST_F(DemoBoard, RunsCommandListsByTheirStatus)
{
    LogIn();
    const std::string out = Type("echo self-test; true && echo RESULT=OK || echo RESULT=FAIL\r");
    EXPECT_NE(out.find("\r\nself-test\r\nRESULT=OK\r\n" + kPrompt), std::string::npos) << out;
    EXPECT_EQ(CountOf(out, "RESULT="), 3) << "twice typed, once printed";
    // A skipped command keeps the status; failures of cat and of a missing command count.
    EXPECT_NE(Type("false && echo no || echo yes\r").find("\r\nyes\r\n" + kPrompt), std::string::npos);
    EXPECT_NE(Type("cat nosuch || echo caught; nosuch && echo no\r")
                  .find("No such file or directory\r\ncaught\r\n-sh: nosuch: not found\r\n" + kPrompt),
              std::string::npos);
    EXPECT_NE(Type("echo 'a; b && c'\r").find("\r\na; b && c\r\n"), std::string::npos);
    // A command that takes the line ends the list, with no prompt under it.
    const std::string top = Type("top; echo after\r");
    EXPECT_EQ(top.find("\r\nafter\r\n"), std::string::npos) << top;
    EXPECT_EQ(CountOf(top, kPrompt), 0);
    EXPECT_EQ(Type("q"), "\x1b[?25h\x1b[?1049l" + kPrompt);
}

TEST_F(DemoBoard, AnswersCrc16Modbus)
{
    LogIn();
    EXPECT_NE(Type("crc 010300000001\r").find("0x0A84 (on the line: 84 0A)"), std::string::npos);
    EXPECT_NE(Type("crc 01 03 00 00 00 01\r").find("0x0A84"), std::string::npos);
    EXPECT_NE(Type("crc 0g\r").find("usage: crc HEX"), std::string::npos);
}

TEST_F(DemoBoard, ReadsAndSendsNothingOutsideItsFolder)
{
    WriteRaw(dir.File("secret"), "TOPSECRET\n");
    LogIn();
    ASSERT_EQ(symlink("../secret", (home + "/link").c_str()), 0);
    for (const std::string &name : std::vector<std::string>{"../secret", "link", dir.File("secret"), ".."}) {
        const std::string shown = Type("cat " + name + "\r");
        EXPECT_EQ(shown.find("TOPSECRET"), std::string::npos) << name;
        EXPECT_NE(shown.find("cat: " + name + ": "), std::string::npos) << shown;
        EXPECT_NE(Type("sz " + name + "\r").find("sz: " + name + ": "), std::string::npos) << name;
        EXPECT_EQ(board.NextTick(), Clock::time_point::max()) << "a transfer started for " << name;
    }
    EXPECT_EQ(Type("ls\r").find("link"), std::string::npos);
}

TEST_F(DemoBoard, GarbageAndAHugePasteStayBounded)
{
    LogIn();
    const std::string echoed = Type(std::string(1 << 20, 'a'));
    EXPECT_EQ(echoed.size(), demo::CBoardLine::kMaxLine + 1);
    EXPECT_EQ(CountOf(echoed, "\a"), 1);
    EXPECT_LT(Type("\r").size(), demo::CBoardLine::kMaxLine + 100);
    WriteRaw(home + "/big.txt", std::string(100000, 'b'));
    std::string cat = "cat";
    for (int i = 0; i < 400; ++i)
        cat += " big.txt";
    EXPECT_LT(Type(cat + "\r").size(), demo::CBoardDevice::kMaxShown + cat.size() + 100);

    std::mt19937 random(7);
    std::string garbage(256 * 1024, '\0');
    for (char &c : garbage)
        c = static_cast<char>(random());
    Type(garbage);
    // Whatever it typed (a Ctrl+D logs out), the board still answers.
    if (Type("\x03\r").find("login: ") != std::string::npos)
        Type("root\r");
    EXPECT_NE(Type("echo alive\r").find("\r\nalive\r\n"), std::string::npos);

    // The history keeps the last hundred lines: a hundred and fifty steps back reach the 51st.
    for (int i = 0; i < 150; ++i)
        Type("echo " + std::to_string(i) + "\r");
    std::string up;
    for (int i = 0; i < 150; ++i)
        up += "\x1b[A";
    EXPECT_NE(Type(up + "\r").find("\r\n50\r\n"), std::string::npos);
}

// The board played on the master end of a pseudo-terminal, the test on the slave end.
class CPtyBoard
{
public:
    explicit CPtyBoard(const std::string &home) : m_board(home), m_out(m_pty.Master())
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~CPtyBoard()
    {
        eventfd_write(m_stop, 1);
        m_thread.join();
        close(m_stop);
    }
    int Slave() const { return m_pty.Slave(); }

    // Reads the slave end until `text` came; what came is returned. Fails after ten seconds.
    std::string ReadUntil(const std::string &text)
    {
        const Clock::time_point deadline = Clock::now() + 10s;
        std::string seen;
        while (seen.find(text) == std::string::npos && Clock::now() < deadline) {
            pollfd p{Slave(), POLLIN, 0};
            char buffer[4096];
            if (poll(&p, 1, 100) > 0) {
                const ssize_t n = read(Slave(), buffer, sizeof buffer);
                if (n > 0)
                    seen.append(buffer, static_cast<size_t>(n));
            }
        }
        EXPECT_NE(seen.find(text), std::string::npos) << "no '" << text << "' in '" << seen << "'";
        return seen;
    }
    void Type(const std::string &keys)
    {
        ASSERT_EQ(write(Slave(), keys.data(), keys.size()), ssize_t(keys.size()));
    }

private:
    class COut : public demo::IDemoOutput
    {
    public:
        explicit COut(int fd) : m_fd(fd) {}
        void Write(const uint8_t *data, size_t size) override
        {
            std::lock_guard<std::mutex> lock(m_lock);
            while (size > 0) {
                const ssize_t n = write(m_fd, data, size);
                if (n > 0) {
                    data += n, size -= static_cast<size_t>(n);
                    continue;
                }
                if (errno != EAGAIN && errno != EINTR)
                    return;
                pollfd p{m_fd, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
        demo::ST_DemoLine Line() const override { return {}; }

    private:
        int m_fd;
        std::mutex m_lock;
    };

    void Run()
    {
        m_board.Start(m_out, Clock::now());
        for (;;) {
            const Clock::time_point next = m_board.NextTick();
            int timeout = -1;
            if (next != Clock::time_point::max())
                timeout = static_cast<int>(std::max<int64_t>(
                    0,
                    std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() + 1));
            pollfd p[2] = {{m_pty.Master(), POLLIN, 0}, {m_stop, POLLIN, 0}};
            poll(p, 2, timeout);
            if (p[1].revents)
                return;
            uint8_t buffer[4096];
            const ssize_t n = (p[0].revents & POLLIN) ? read(m_pty.Master(), buffer, sizeof buffer) : 0;
            if (n > 0)
                m_board.Received(m_out, buffer, static_cast<size_t>(n), Clock::now());
            if (m_board.NextTick() <= Clock::now())
                m_board.Tick(m_out, Clock::now());
        }
    }

    CTestPty m_pty;
    demo::CBoardDevice m_board;
    COut m_out;
    int m_stop = eventfd(0, EFD_CLOEXEC);
    std::thread m_thread;
};

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

ST_TransferOptions Options(ETransferProtocol protocol)
{
    ST_TransferOptions options;
    options.Protocol = protocol;
    options.StartTimeoutMs = 20000; // only ends a hang
    return options;
}

class CMemorySink : public IReceiveSink
{
public:
    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *) override
    {
        m_name = file.Name;
        *resumeAt = 0;
        return true;
    }
    bool Write(const uint8_t *data, size_t size, std::string *) override
    {
        Files[m_name].append(reinterpret_cast<const char *>(data), size);
        return true;
    }
    EFileEnd Finish(std::string *finalPath, std::string *) override
    {
        *finalPath = m_name;
        return EFileEnd::Saved;
    }
    void Abandon(bool) override { Files.erase(m_name); }
    std::map<std::string, std::string> Files;

private:
    std::string m_name;
};

class DemoBoardOnPty : public testing::Test
{
protected:
    void SetUp() override { mkdir(home.c_str(), 0700); }
    TempDir dir;
    const std::string home = dir.File("home");
};

TEST_F(DemoBoardOnPty, ZmodemBothWaysWithTheShell)
{
    CPtyBoard board(home);
    board.ReadUntil("autoboot");
    board.Type(" ");
    board.ReadUntil("=> ");
    board.Type("boot\r");
    board.ReadUntil("demo login: ");
    board.Type("root\r");
    board.ReadUntil(kPrompt);

    board.Type("sz readme.txt config.json\r");
    {
        CFdChannel channel(board.Slave());
        CMemorySink sink;
        CZmodemReceive receive(channel, sink, Options(ETransferProtocol::Zmodem));
        EXPECT_EQ(receive.Run().End, ETransferEnd::Done);
        EXPECT_EQ(sink.Files["readme.txt"], ReadRaw(home + "/readme.txt"));
        EXPECT_EQ(sink.Files["config.json"], ReadRaw(home + "/config.json"));
    }
    board.ReadUntil(kPrompt);

    // A Ctrl+C ends a wait for a peer that never starts.
    board.Type("rz\r\n");
    board.ReadUntil("rz waiting to receive.");
    board.Type("\x03");
    board.ReadUntil("rz: Cancelled\r\n" + kPrompt);

    const std::string source = dir.File("up.bin");
    WriteRaw(source, Pattern(70000));
    board.Type("rz\r");
    board.ReadUntil("rz waiting to receive.");
    {
        CFdChannel channel(board.Slave());
        CZmodemSend send(channel, {TransferFileAt(source)}, Options(ETransferProtocol::Zmodem));
        EXPECT_EQ(send.Run().End, ETransferEnd::Done);
    }
    board.ReadUntil("rz: received up.bin\r\n" + kPrompt);
    EXPECT_TRUE(ReadRaw(home + "/up.bin") == ReadRaw(source));
    board.Type("echo after\r");
    board.ReadUntil("\r\nafter\r\n");
}

TEST_F(DemoBoardOnPty, LoadyTakesAYmodemFileAndTellsItsSize)
{
    CPtyBoard board(home);
    board.ReadUntil("autoboot");
    board.Type("\r");
    board.ReadUntil("=> ");
    board.Type("\n"); // the rest of a CR LF: no line of its own
    const std::string source = dir.File("image.bin");
    WriteRaw(source, Pattern(5000));
    board.Type("loady 0x82000000\r");
    EXPECT_EQ(board.ReadUntil("ymodem").find("=> "), std::string::npos);
    {
        CFdChannel channel(board.Slave());
        CFileTransfer send(channel, {TransferFileAt(source)}, Options(ETransferProtocol::Ymodem));
        EXPECT_EQ(send.Run().End, ETransferEnd::Done);
    }
    board.ReadUntil("## Total Size = 0x00001388 = 5000 Bytes\r\n=> ");
    EXPECT_TRUE(ReadRaw(home + "/image.bin") == ReadRaw(source));
}

} // namespace
