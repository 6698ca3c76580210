// Scripts: the runner's waits against bytes a test hands it, and headless runs against a shell
// behind a pseudo-terminal, a port that is not there and a network port.
#include "log/logpipeline.h"
#include "platform/textfile.h"
#include "script/headless.h"
#include "lua/patternlib.h"
#include "script/scriptrunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <regex>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <lua.hpp>

#include "fakerfc2217.h"
#include "ptypair.h"
#include "ser2netserver.h"
#include "shellbehindport.h"
#include "tempdir.h"

namespace {

class CNotesHost : public IScriptHost
{
public:
    bool Write(const std::vector<uint8_t> &bytes, std::string *) override
    {
        const std::lock_guard<std::mutex> guard(lock);
        written.append(bytes.begin(), bytes.end());
        return true;
    }
    bool SendItem(const std::string &, std::string *error) override
    {
        *error = "no send list here";
        return false;
    }
    bool SetLines(int, int, std::string *) override { return true; }
    bool GetLines(ST_ScriptLines *, std::string *) override { return true; }
    bool SendBreak(uint32_t, std::string *) override { return true; }
    bool SendFile(const std::string &, const std::string &, std::string *) override { return true; }
    void Note(const std::string &text) override
    {
        const std::lock_guard<std::mutex> guard(lock);
        notes += text + "\n";
    }
    std::mutex lock;
    std::string written, notes;
};

TEST(ScriptRunner, ExpectTakesTheEarliestOfSeveralPatternsAndBinaryBytes)
{
    CNotesHost host;
    CScriptRunner runner(host);
    std::thread feeder([&runner] {
        // Whatever the script is doing, the bytes wait for it.
        static const char kBytes[] = "login: \x00\xFF\x7F tail";
        const std::string bytes(kBytes, sizeof kBytes - 1);
        runner.Feed(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    });
    const ST_ScriptOutcome outcome = runner.RunText(R"lua(
        local m, i = expect{"tail", "log(%a+):"}
        assert(m == "login:" and i == 2, tostring(m) .. " " .. tostring(i))
        local b = expect("\0\255(.)")
        assert(b == "\0\255\127", "binary")
        write("ok\r")
    )lua",
                                                    "several");
    feeder.join();
    EXPECT_EQ(outcome.End, EScriptEnd::Passed) << outcome.Message;
    EXPECT_EQ(host.written, "ok\r");
}

// A shell's output carries terminal sequences (bracketed paste, colours): expect sees the text a
// terminal shows unless asked for the raw bytes.
TEST(ScriptRunner, ExpectMatchesTheShownTextOrTheRawBytes)
{
    CNotesHost host;
    CScriptRunner runner(host);
    static const char kBytes[] = "\x1b[?2004l42\r\n\x1b[0;32mok\x1b[0m!\x1b[1mA";
    runner.Feed(reinterpret_cast<const uint8_t *>(kBytes), sizeof kBytes - 1);
    const ST_ScriptOutcome outcome = runner.RunText(R"lua(
        assert(expect("^42", 100) == "42", "shown")
        local m, word = expect("^%s*(%a+)!", 100)
        assert(word == "ok", tostring(m))
        assert(expect("^\27%[1mA", 100, "raw"), "raw")
    )lua",
                                                    "shown");
    EXPECT_EQ(outcome.End, EScriptEnd::Passed) << outcome.Message;
}

TEST(ScriptRunner, AFailedExpectFailsItsCaseWithThePatternAndTheLastBytes)
{
    CNotesHost host;
    CScriptRunner runner(host);
    const std::string bytes = "answer 42\r\n";
    runner.Feed(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    const ST_ScriptOutcome outcome = runner.RunText(R"lua(
        test("finds", function() assert(expect("42", 0)) end)
        test("misses", function() expect("43", 0) end)
        test("raises", function() error("boom") end)
        test("fails", function() fail("told so") end)
    )lua",
                                                    "cases");
    ASSERT_EQ(outcome.Cases.size(), 4u);
    EXPECT_TRUE(outcome.Cases[0].Passed);
    EXPECT_FALSE(outcome.Cases[1].Passed);
    EXPECT_NE(outcome.Cases[1].Message.find("\"43\""), std::string::npos) << outcome.Cases[1].Message;
    EXPECT_NE(outcome.Cases[1].Message.find("answer 42\\r\\n"), std::string::npos)
        << outcome.Cases[1].Message;
    EXPECT_NE(outcome.Cases[2].Message.find("boom"), std::string::npos);
    EXPECT_EQ(outcome.Cases[3].Message, "told so");
    EXPECT_EQ(outcome.End, EScriptEnd::Failed);
    EXPECT_EQ(ScriptExitCode(outcome.End), 1);
}

TEST(ScriptRunner, StopEndsAnEndlessLoopEvenInsidePcall)
{
    CNotesHost host;
    CScriptRunner runner(host);
    ST_ScriptOutcome outcome;
    std::thread script([&] {
        outcome = runner.RunText("note('looping') while true do pcall(function() while true do end end) end",
                                 "loop");
    });
    while (true) {
        const std::lock_guard<std::mutex> guard(host.lock);
        if (!host.notes.empty())
            break;
    }
    runner.Stop();
    script.join();
    EXPECT_EQ(outcome.End, EScriptEnd::Stopped);
}

TEST(ScriptRunner, WhatWaitsUnmatchedIsBounded)
{
    CNotesHost host;
    CScriptRunner runner(host);
    const std::vector<uint8_t> chunk(64 * 1024, 'x');
    for (int i = 0; i < 20; ++i)
        runner.Feed(chunk.data(), chunk.size());
    const std::string end = "END";
    runner.Feed(reinterpret_cast<const uint8_t *>(end.data()), end.size());
    const ST_ScriptOutcome outcome =
        runner.RunText("local s = read(2000000, 0) assert(#s == 1048576, #s)", "bound");
    EXPECT_EQ(outcome.End, EScriptEnd::Passed) << outcome.Message;
    EXPECT_NE(host.notes.find("dropped"), std::string::npos);
}

TEST(ScriptRunner, FramesWaitBoundedAStopWakesFrameAndNoFramingIsAnError)
{
    struct CFramingHost : CNotesHost
    {
        bool FramingOn() const override { return on; }
        bool on = true;
    } host;
    CScriptRunner runner(host);
    ST_Frame frame;
    for (size_t i = 0; i < CScriptRunner::kMaxFrames + 3; ++i) {
        frame.Bytes = {static_cast<uint8_t>('a' + i % 26)};
        runner.FeedFrame(frame);
    }
    ST_ScriptOutcome outcome;
    std::thread script([&] {
        outcome = runner.RunText("assert(frame(0).bytes == 'd') for i = 2, 4096 do assert(frame(0)) end "
                                 "note('waiting') frame(2000000000)",
                                 "frames");
    });
    while (true) {
        const std::lock_guard<std::mutex> guard(host.lock);
        if (host.notes.find("waiting") != std::string::npos)
            break;
    }
    runner.Stop();
    script.join();
    EXPECT_EQ(outcome.End, EScriptEnd::Stopped) << outcome.Message;
    EXPECT_NE(host.notes.find("script: 3 frames were dropped unread"), std::string::npos) << host.notes;

    host.on = false;
    CScriptRunner off(host);
    outcome = off.RunText("frame(10)", "off");
    EXPECT_EQ(outcome.End, EScriptEnd::Error);
    EXPECT_NE(outcome.Message.find("no framing chosen"), std::string::npos) << outcome.Message;
}

// Each write of the script's brings 64 KiB more than it can keep.
TEST(ScriptRunner, NotesOfDroppedBytesAreFewAndCountEveryByte)
{
    struct CFloodHost : CNotesHost
    {
        CScriptRunner *runner = nullptr;
        bool Write(const std::vector<uint8_t> &, std::string *) override
        {
            const std::vector<uint8_t> chunk(64 * 1024, 'f');
            runner->Feed(chunk.data(), chunk.size());
            return true;
        }
    } host;
    CScriptRunner runner(host);
    host.runner = &runner;
    const std::vector<uint8_t> full(CScriptRunner::kMaxPending, 'x');
    runner.Feed(full.data(), full.size());
    const ST_ScriptOutcome outcome = runner.RunText("for i = 1, 100 do write('') read(1, 0) end", "flood");
    EXPECT_EQ(outcome.End, EScriptEnd::Passed) << outcome.Message;
    uint64_t told = 0;
    int notes = 0;
    for (size_t at = 0; (at = host.notes.find("script: ", at)) != std::string::npos; ++notes)
        told += std::stoull(host.notes.substr(at += 8));
    EXPECT_EQ(told, 65536u + 99u * 65535u);
    EXPECT_LT(notes, 10) << host.notes;
}

bool NeverStop(void *)
{
    return true;
}

void RaiseStopped(lua_State *L)
{
    luaL_error(L, "stopped");
}

// The same chunk in a state with Lua's own string functions and in one with the bounded ones.
TEST(ScriptPatterns, AnswerAsLuasOwn)
{
    static const ST_PatternHooks hooks{NeverStop, nullptr, RaiseStopped};
    const char *const chunk = R"lua(
        local out = {}
        local function add(...) local t = table.pack(pcall(...)) for i = 1, t.n do out[#out + 1] = tostring(t[i]) end end
        local s = "key = value; x=1, y = 22\r\nTHE (nested (parens)) end [%] \0\255 f(a,b)"
        for _, p in ipairs{"(%w+)%s*=%s*(%w+)", "^key", "%d+$", "%bxy", "%b()", "%f[%a]%a+", "()y()",
                           "[%a_][%w_]*", "[^%s]+", "(a)(b)?", "%u+", "%[%%%]", "\0\255", "[]]", "[a-]", "(.-)%s",
                           "x(%d)", "(%w)%1", "%", "[a", "(()", "%1", "%g%p", ".-b", "a*", "[%w-]+$", ".?.?$",
                           "%f[%z]", "%Z+%z", "(((((((((x)))))))))", "[\128-\255]+"} do
            add(string.find, s, p) add(string.find, s, p, 10) add(string.find, s, p, -8) add(string.match, s, p)
            add(string.gsub, s, p, "<%0>") add(string.gsub, s, p, "%1", 2)
            add(function() local r = {} for a, b in s:gmatch(p) do r[#r + 1] = tostring(a) .. tostring(b) end
                return table.concat(r, "|") end)
        end
        add(string.gsub, "hello world", "%w+", {hello = "HI", world = false})
        add(string.gsub, "abc", "%w", function(c) return c:byte() > 97 and c:upper() or nil end)
        add(string.gsub, "abc", "", "-") add(string.gsub, "abc", "b*", "-") add(string.find, "a.b", ".", 1, true)
        add(string.gsub, "x", "x", "%2") add(string.gsub, "x", "x", "%z") add(string.find, "abc", "b", 10)
        add(string.match, "  word", "()%a+()") add(string.gsub, "abc", "(b)", {}) add(("x"):rep(300).find, ("x"):rep(300), ("x?"):rep(300))
        return table.concat(out, "\n")
    )lua";
    std::string answers[2];
    for (int bounded = 0; bounded < 2; ++bounded) {
        lua_State *L = luaL_newstate();
        luaL_openlibs(L);
        if (bounded)
            InstallBoundedPatterns(L, &hooks);
        ASSERT_EQ(luaL_dostring(L, chunk), LUA_OK) << lua_tostring(L, -1);
        answers[bounded] = lua_tostring(L, -1);
        lua_close(L);
    }
    EXPECT_EQ(answers[1], answers[0]);
}

// A headless run against a shell behind the pseudo-terminal whose other end it opens.
class HeadlessRun : public testing::Test
{
protected:
    std::string Script(const std::string &text)
    {
        const std::string path = dir.path + "/t.lua";
        WriteRaw(path, text);
        return path;
    }
    int Run(ST_HeadlessOptions options)
    {
        std::FILE *out = std::tmpfile();
        const int code = RunHeadless(options, out);
        std::rewind(out);
        char buffer[4096];
        output.clear();
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
            output.append(buffer, n);
        std::fclose(out);
        return code;
    }
    // The run in a child process, for what may end the process or be signalled.
    pid_t Start(const ST_HeadlessOptions &options)
    {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            std::FILE *out = std::fopen((dir.path + "/out.txt").c_str(), "w");
            const int code = RunHeadless(options, out);
            std::fclose(out);
            _exit(code);
        }
        return child;
    }
    // Its exit code once it ended, -1 when it was still running after `seconds` (then killed).
    int Finish(pid_t child, int seconds = 30)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return -1;
            }
            usleep(10000);
        }
        output = ReadRaw(dir.path + "/out.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // The port was given back: no exclusive hold on the terminal, its settings as before.
    void ExpectPortRestored(const termios &before)
    {
        int exclusive = 1;
        ASSERT_EQ(ioctl(pty.Slave(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        termios now{};
        ASSERT_EQ(tcgetattr(pty.Slave(), &now), 0);
        EXPECT_EQ(now.c_cflag, before.c_cflag);
        EXPECT_EQ(now.c_lflag, before.c_lflag);
        EXPECT_EQ(now.c_iflag, before.c_iflag);
        EXPECT_EQ(cfgetospeed(&now), cfgetospeed(&before));
    }
    CTempHome home;
    TempDir dir;
    CTestPty pty;
    std::string output;
};

TEST_F(HeadlessRun, TheTimeoutEndsAFinalizerThatNeverReturnsAndGivesThePortBack)
{
    termios before{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.TimeoutSeconds = 1;
    o.JunitPath = dir.path + "/junit.xml";
    // Lua looks at no hook inside a finalizer.
    o.Script = Script("setmetatable({}, {__gc = function() while true do end end}) collectgarbage()");
    EXPECT_EQ(Finish(Start(o)), 1) << output;
    EXPECT_NE(output.find("script stopped: the run took longer than 1 s"), std::string::npos) << output;
    EXPECT_NE(ReadRaw(o.JunitPath).find("took longer"), std::string::npos);
    ExpectPortRestored(before);
}

TEST_F(HeadlessRun, PatternSearchesEndByTheirTimeOutOrTheRuns)
{
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.TimeoutSeconds = 3;
    o.Script = Script(R"lua(
        write("ready")
        expect(",,,,,,,,,,", 10000)
        assert(expect("(.-),(.-)\n", 500) == nil)
        note("expect gave up")
        string.find(string.rep("a", 5000), ".-.-.-.-b")
    )lua");
    const pid_t child = Start(o);
    EXPECT_EQ(pty.ReceiveText(5, 10000), "ready");
    EXPECT_TRUE(pty.Send(std::string(20000, ',')));
    EXPECT_EQ(Finish(child), 1) << output;
    EXPECT_NE(output.find("expect gave up"), std::string::npos) << output;
    EXPECT_NE(output.find("took longer than 3 s"), std::string::npos) << output;
}

TEST_F(HeadlessRun, SendsToADeviceThatNeverReadsEndByTheTimeout)
{
    const std::string file = dir.path + "/big.bin";
    WriteRaw(file, std::string(5 << 20, 'z'));
    for (const std::string &script : {std::string("for i = 1, 1000 do write(string.rep('x', 65536)) end"),
                                      "sendfile('" + file + "')", "sendfile('" + file + "', 'ZMODEM')"}) {
        ST_HeadlessOptions o;
        o.Port = pty.Path();
        o.TimeoutSeconds = 1;
        o.Script = Script(script);
        EXPECT_EQ(Finish(Start(o), 20), 1) << script << "\n" << output;
        EXPECT_NE(output.find("took longer than 1 s"), std::string::npos) << output;
        tcflush(pty.Master(), TCIOFLUSH);
    }
}

TEST_F(HeadlessRun, WriteReturnsOnceItsBytesWentOut)
{
    constexpr size_t kSize = 10 * 1024 * 1024;
    std::string heard;
    std::thread device([&] { heard = pty.ReceiveText(kSize, 10000); });
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.Script = Script("write(string.rep('x', 10 * 1024 * 1024))");
    EXPECT_EQ(Run(o), 0) << output;
    device.join();
    EXPECT_EQ(heard.size(), kSize);
}

TEST_F(HeadlessRun, ASignalEndsTheRunAsAFailureWithItsReportAndThePortGivenBack)
{
    termios before{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.JunitPath = dir.path + "/junit.xml";
    o.Script = Script("test('waits', function() write('up') sleep(60000) end)");
    const pid_t child = Start(o);
    EXPECT_EQ(pty.ReceiveText(2, 10000), "up");
    kill(child, SIGTERM);
    EXPECT_EQ(Finish(child), 1) << output;
    EXPECT_NE(output.find("script stopped: the run was ended by SIGTERM"), std::string::npos) << output;
    EXPECT_NE(ReadRaw(o.JunitPath).find("SIGTERM"), std::string::npos);
    ExpectPortRestored(before);
}

TEST_F(HeadlessRun, DeviceBytesLeaveTheJunitFileValidAndTheTerminalUntouched)
{
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.JunitPath = dir.path + "/junit.xml";
    o.LogPath = dir.path + "/run.log";
    o.Script = Script(R"lua(
        write("go")
        local got = read(7, 10000)
        print("heard " .. got)
        test("bytes", function() fail("got " .. got) end)
    )lua");
    std::thread device([this] {
        if (pty.ReceiveText(2, 10000) == "go")
            pty.Send(std::string("\xFF\xFE\0\x1B[2J", 7));
    });
    EXPECT_EQ(Run(o), 1) << output;
    device.join();
    EXPECT_NE(output.find("heard \\xFF\\xFE\\x00\\x1B[2J"), std::string::npos) << output;
    EXPECT_EQ(output.find('\0'), std::string::npos);
    EXPECT_EQ(output.find('\x1B'), std::string::npos);
    const std::string log = ReadRaw(o.LogPath);
    EXPECT_NE(log.find(")heard \\xFF\\xFE\\x00\\x1B[2J\r\n"), std::string::npos) << log;
    const std::string check =
        "python3 -c \"import sys, xml.dom.minidom as m; "
        "print(m.parse(sys.argv[1]).getElementsByTagName('failure')[0].getAttribute('message'))\" " +
        o.JunitPath + " > " + dir.path + "/parsed.txt";
    ASSERT_EQ(std::system(check.c_str()), 0) << ReadRaw(o.JunitPath);
    EXPECT_EQ(ReadRaw(dir.path + "/parsed.txt"), "got \\xFF\\xFE\\x00\\x1B[2J\n");
}

TEST_F(HeadlessRun, AZmodemOfferLeavesEveryByteToTheScriptAndTheLog)
{
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.LogPath = dir.path + "/run.log";
    o.Script = Script("write('go') assert(expect('after', 10000))");
    std::thread device([this] {
        if (pty.ReceiveText(2, 10000) == "go")
            pty.Send("rz\r**\x18"
                     "B00000000000000\r\x8a\x11 after");
    });
    EXPECT_EQ(Run(o), 0) << output;
    device.join();
    EXPECT_NE(ReadRaw(o.LogPath).find("**\x18"
                                      "B00000000000000\r\n\x8A\x11 after\r\n"),
              std::string::npos)
        << ReadRaw(o.LogPath);
}

// The run's log holds the lines a capture of the window's log writes for the same traffic, in the
// order it happened, with every byte; only the stamps are the run's own.
TEST_F(HeadlessRun, TheLogHoldsTheLinesOfTheWindowsCapture)
{
    const std::string question("AT\0\x11\r", 5);
    const std::string answer("\x18\0OK\r\n", 6);
    for (const int view : {FMT_STRING, FMT_HEX}) {
        ST_HeadlessOptions o;
        o.Port = pty.Path();
        o.LogPath = dir.path + "/run" + std::to_string(view) + ".log";
        o.LogView = view;
        o.Script = Script("write('AT\\0\\17\\r') assert(expect('OK\\r\\n', 10000)) print('got\\0it')");
        std::thread device([&] {
            if (pty.ReceiveText(question.size(), 10000) == question)
                pty.Send(answer);
        });
        EXPECT_EQ(Run(o), 0) << output;
        device.join();

        CLogPipeline window;
        window.SetDisplayType(view);
        window.SetShowTime(true);
        window.SetTimeSource([](int64_t) { return std::string("T"); });
        std::string expected, line;
        window.AddObserver([&](LogDirection, const uint8_t *, size_t, bool shown) {
            const ST_LogRendered &rendered = window.NewestRendered();
            for (size_t i = 0; shown && i < rendered.lines.size(); ++i) {
                LogFileLine(rendered, i, line);
                expected += line;
            }
        });
        window.LogSendData(CCommData(Bytes(question.begin(), question.end())));
        window.LogRecData(CCommData(Bytes(answer.begin(), answer.end())));
        window.LogNote("got\\x00it");
        window.LogNote("script passed");
        static const std::regex stamp(R"(\(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\))");
        EXPECT_EQ(std::regex_replace(ReadRaw(o.LogPath), stamp, "(T)"), expected) << view;
    }
}

TEST_F(HeadlessRun, TheFramesFileHoldsTheRequestThenTheAnswerBothChecked)
{
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.Baud = "9600";
    o.Framing = "modbus rtu";
    o.FramesPath = dir.path + "/frames.csv";
    o.Script = Script(R"(write('\1\3\0\0\0\10\197\205') assert(expect('9\155', 10000, 'raw')))");
    std::thread device([&] {
        if (pty.Receive(8, 10000).size() == 8)
            pty.Send(std::vector<uint8_t>{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B});
    });
    EXPECT_EQ(Run(o), 0) << output;
    device.join();
    static const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z,)");
    EXPECT_EQ(std::regex_replace(ReadRaw(o.FramesPath), stamp, "T,"),
              "time,gap_ms,gap_chars,direction,length,hex,check,summary\n"
              "T,,,tx,8,01 03 00 00 00 0A C5 CD,ok,\n"
              "T,,,rx,7,01 03 02 00 2A 39 9B,ok,\n");
}

TEST_F(HeadlessRun, AScriptReadsTheFramesOfAProfileOfTheUsersOwn)
{
    WriteRaw(home.Dir() + "/Framing.kfp",
             "# Kestrum framing profiles 1\n[Semicolons]\nmode = delimiter\nend = 3B\nkeep = no\n");
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.Framing = "semicolons";
    o.Script = Script(R"lua(
        test("frames", function()
            write("go;")
            local sent = frame(10000)
            assert(sent.direction == "tx" and sent.bytes == "go" and sent.gap == nil, sent.direction)
            local f = expectframe("^C", 10000)
            assert(f.bytes == "CD" and f.direction == "rx" and f.check == "none" and f.length == 2, f.bytes)
            assert(f.gap >= 0 and next(f.marks) == nil)
            assert(expectframe(function(g) return g.bytes == "EF" end, 10000))
        end)
        test("none", function() expectframe("never", 100) end)
    )lua");
    std::thread device([&] {
        if (pty.ReceiveText(3, 10000) == "go;")
            pty.Send("AB;CD;EF;");
    });
    EXPECT_EQ(Run(o), 1) << output;
    device.join();
    EXPECT_NE(output.find("PASS frames"), std::string::npos) << output;
    EXPECT_NE(output.find("FAIL none: expectframe \"never\" failed after 100 ms; last frame: \"EF\""),
              std::string::npos)
        << output;
}

TEST_F(HeadlessRun, AShellAnswersTheScriptAndTheJunitFileHoldsItsCases)
{
    CShellBehindPort shell(pty, dir.path);
    ASSERT_TRUE(shell.Running());
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.JunitPath = dir.path + "/junit.xml";
    o.LogPath = dir.path + "/run.log";
    o.Script = Script(R"lua(
        write("\r")
        assert(expect("%$ ", 30000), "no prompt")
        test("six times seven", function()
            write("echo $((6*7))\r")
            assert(expect("\r42\r\n", 30000))
        end)
        test("wrong on purpose", function()
            write("echo $((6*7))\r")
            expect("\r43\r\n", 300)
        end)
    )lua");
    EXPECT_EQ(Run(o), 1) << output;
    EXPECT_NE(output.find("PASS six times seven"), std::string::npos) << output;
    EXPECT_NE(output.find("FAIL wrong on purpose: expect \"\\r43\\r\\n\" failed"), std::string::npos)
        << output;
    const std::string xml = ReadRaw(o.JunitPath);
    EXPECT_NE(xml.find("tests=\"2\" failures=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testcase classname=\"t\" name=\"six times seven\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure message=\"expect &quot;\\r43"), std::string::npos) << xml;
    EXPECT_NE(ReadRaw(o.LogPath).find("42\r\n"), std::string::npos);

    // The same, right this time.
    o.JunitPath.clear();
    o.Script = Script(R"lua(
        write("echo $((6*7))\r")
        assert(expect("\r42\r\n", 30000))
    )lua");
    EXPECT_EQ(Run(o), 0) << output;
}

TEST_F(HeadlessRun, APortThatIsNotThereExitsTwoWithAFailingCaseAndBadArgumentsSixtyFour)
{
    ST_HeadlessOptions o;
    o.Port = dir.path + "/no-such-tty";
    o.Script = Script("write('x')");
    o.JunitPath = dir.path + "/junit.xml";
    EXPECT_EQ(Run(o), 2);
    EXPECT_NE(output.find("no-such-tty"), std::string::npos) << output;
    const std::string xml = ReadRaw(o.JunitPath);
    EXPECT_NE(xml.find("tests=\"1\" failures=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("no-such-tty"), std::string::npos) << xml;

    o.Port = pty.Path();
    o.Baud = "fast";
    EXPECT_EQ(Run(o), kUsageExitCode) << output;
}

// The case the lost port cut short fails as such, and no case of the file's name is added.
TEST_F(HeadlessRun, ALostPortFailsTheCaseItInterrupted)
{
    ST_HeadlessOptions o;
    o.Port = pty.Path();
    o.JunitPath = dir.path + "/junit.xml";
    o.Script = Script(R"lua(
        test("interrupted", function()
            write("go")
            expect("never", 30000)
        end)
    )lua");
    std::thread unplug([this] {
        if (pty.ReceiveText(2, 20000) == "go")
            pty.CloseMaster();
    });
    EXPECT_EQ(Run(o), 2) << output;
    unplug.join();
    const std::string xml = ReadRaw(o.JunitPath);
    EXPECT_NE(xml.find("tests=\"1\" failures=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"interrupted\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure message=\"port lost"), std::string::npos) << xml;
}

TEST_F(HeadlessRun, ASettingTheServerAnswersOtherwiseIsNamedWithWhatCameBack)
{
    CFakeRfc2217 server;
    ASSERT_TRUE(server.Ok());
    server.SetAnswers([](uint8_t code, const telnet::Bytes &value) -> std::optional<telnet::Bytes> {
        if (code == telnet::SetBaudRate)
            return telnet::Bytes{0, 0, 0x4B, 0}; // 19200, whatever was asked
        return value;
    });
    ST_HeadlessOptions o;
    o.Port = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    o.Baud = "9600";
    o.Script = Script("write('x')");
    EXPECT_EQ(Run(o), 2);
    EXPECT_NE(output.find(o.Port + ": the server answered the baud rate with 19200 instead of 9600"),
              std::string::npos)
        << output;
}

TEST_F(HeadlessRun, ANetworkPortThroughSer2net)
{
    ASSERT_TRUE(CSer2NetServer::Installed()) << "the install step installs ser2net";
    CSer2NetServer server(pty.Path(), true);
    ASSERT_TRUE(server.Start());
    std::thread device([this] {
        // The device answers a question once it came whole.
        std::string heard = pty.ReceiveText(5, 30000);
        if (heard == "ping?")
            pty.Send("pong!");
    });
    ST_HeadlessOptions o;
    o.Port = server.Address();
    o.Script = Script("write('ping?') assert(expect('pong!', 30000))");
    EXPECT_EQ(Run(o), 0) << output;
    device.join();
}

TEST(HeadlessArgs, AskForOnePortAndKnownOptions)
{
    ST_HeadlessOptions o;
    std::string error;
    EXPECT_TRUE(ParseHeadlessArgs({"--run", "a.lua", "--port=ttyUSB0", "--baud", "9600", "--timeout", "5"},
                                  &o, &error))
        << error;
    EXPECT_EQ(o.Baud, "9600");
    EXPECT_DOUBLE_EQ(o.TimeoutSeconds, 5);
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua"}, &o, &error));
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--link", "L", "--baud", "9600"}, &o, &error));
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--frobnicate"}, &o, &error));
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--frames", "f.csv"}, &o, &error));
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--frames", "f", "--framing", "modbus"},
                                   &o, &error));
    EXPECT_TRUE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--framing", "lines"}, &o, &error));
    EXPECT_TRUE(ParseHeadlessArgs(
        {"--run", "a.lua", "--port", "p", "--frames", "f", "--framing", "NMEA 0183"}, &o, &error));
    // A day at most, and a number.
    EXPECT_TRUE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--timeout", "86400"}, &o, &error));
    EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--log-view", "octal"}, &o, &error));
    for (const char *bad : {"86401", "1e10", "9e18", "inf", "nan", "-1", "0"})
        EXPECT_FALSE(ParseHeadlessArgs({"--run", "a.lua", "--port", "p", "--timeout", bad}, &o, &error))
            << bad;
}

} // namespace
