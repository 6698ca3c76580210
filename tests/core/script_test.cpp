// Scripts: the runner's waits against bytes a test hands it, and headless runs against a shell
// behind a pseudo-terminal, a port that is not there and a network port.
#include "platform/textfile.h"
#include "script/headless.h"
#include "script/scriptrunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <thread>

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
    CTempHome home;
    TempDir dir;
    CTestPty pty;
    std::string output;
};

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
    EXPECT_NE(ReadRaw(o.LogPath).find("42\\r\\n"), std::string::npos);

    // The same, right this time.
    o.JunitPath.clear();
    o.Script = Script(R"lua(
        write("echo $((6*7))\r")
        assert(expect("\r42\r\n", 30000))
    )lua");
    EXPECT_EQ(Run(o), 0) << output;
}

TEST_F(HeadlessRun, APortThatIsNotThereExitsTwo)
{
    ST_HeadlessOptions o;
    o.Port = dir.path + "/no-such-tty";
    o.Script = Script("write('x')");
    EXPECT_EQ(Run(o), 2);
    EXPECT_NE(output.find("no-such-tty"), std::string::npos) << output;
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
        std::string heard;
        while (heard.find("ping?") == std::string::npos)
            heard += pty.ReceiveText(1, -1);
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
}

} // namespace
