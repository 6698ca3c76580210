// kestrum-vport as its users meet it: started as a program, talked to through the device.
#include "ptypair.h"
#include "serial/portlist.h"
#include "serial/serial.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string VportPath()
{
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir(self, n > 0 ? static_cast<size_t>(n) : 0);
    dir = dir.substr(0, dir.find_last_of('/'));
    return dir + "/../src/tools/vport/kestrum-vport";
}

// Replaces a forked child with kestrum-vport run with `args`.
[[noreturn]] void ExecVport(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    const std::string exe = VportPath();
    argv.push_back(const_cast<char *>(exe.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
}

// Runs kestrum-vport with `args`; reads its first lines; stops it with SIGTERM when destroyed.
class CVportProcess
{
public:
    explicit CVportProcess(const std::vector<std::string> &args, int lines = 1)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            ExecVport(args);
        }
        close(out[1]);
        out_ = fdopen(out[0], "r");
        for (int i = 0; i < lines && out_ != nullptr; ++i) {
            char line[4096];
            if (std::fgets(line, sizeof line, out_) == nullptr)
                break;
            std::string text = line;
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            lines_.push_back(text);
        }
    }
    ~CVportProcess() { Stop(); }
    int Stop()
    {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (out_ != nullptr)
            fclose(out_);
        out_ = nullptr;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }
    std::string Line(size_t i) const { return i < lines_.size() ? lines_[i] : std::string(); }
    // The device announced on the first line; empty when the line does not say "Port: ".
    std::string Port() const { return Line(0).rfind("Port: ", 0) == 0 ? Line(0).substr(6) : std::string(); }

private:
    pid_t pid_ = -1;
    FILE *out_ = nullptr;
    std::vector<std::string> lines_;
    int status_ = -1;
};

std::string ReadFor(CSerial &port, size_t count, int ms = 3000)
{
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buf[2048];
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        uint32_t n = 0;
        if (port.Read(buf, 2047, &n) != 0)
            break;
        got.append(buf, n);
    }
    return got;
}

int RunStatus(const std::vector<std::string> &args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr)
            _exit(126);
        ExecVport(args);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A blocking connection to "socket://127.0.0.1:PORT"; -1 for any other address.
int ConnectTo(const std::string &address)
{
    const std::string prefix = "socket://127.0.0.1:";
    if (address.rfind(prefix, 0) != 0)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(prefix.size()))));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until `count` bytes came or the peer closed.
std::string ReceiveAll(int fd, size_t count)
{
    std::string got;
    char buf[2048];
    while (got.size() < count) {
        const ssize_t n = recv(fd, buf, std::min(sizeof buf, count - got.size()), 0);
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

} // namespace

TEST(Vport, EchoesEveryByteValueAcrossReopens)
{
    ASSERT_EQ(access(VportPath().c_str(), X_OK), 0) << "build the kestrum-vport target first";
    CTempHome home;
    CVportProcess vport({"--no-link"});
    const std::string device = vport.Port();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    CSerial port;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(port.Open(device), 0);
        ASSERT_EQ(port.Setup(115200, 8, NOPARITY, ONESTOPBIT), 0);
        ASSERT_EQ(port.Write(all.data(), static_cast<long>(all.size())), 0);
        EXPECT_EQ(ReadFor(port, 256), all);
        port.Close();
    }
    EXPECT_EQ(vport.Stop(), 0);
}

TEST(Vport, PlaysADemoDeviceForAnotherProgramAcrossReopens)
{
    CTempHome home;
    CVportProcess vport({"--no-link", "--demo", "echo"});
    const std::string device = vport.Port();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    CSerial port;
    for (const char *text : {"first\r\n", "second\r\n"}) {
        ASSERT_EQ(port.Open(device), 0);
        ASSERT_EQ(port.Write(text), 0);
        EXPECT_EQ(ReadFor(port, std::strlen(text)), text);
        port.Close();
    }
    EXPECT_EQ(vport.Stop(), 0);
    EXPECT_EQ(RunStatus({"--demo", "no-such-kind"}), 2);
    EXPECT_EQ(RunStatus({"--demo", "echo", "--tcp", "0"}), 2);
}

// A recording played as the device for another program: its greeting, and the recorded answer to
// the request it holds.
TEST(Vport, ReplaysARecordingAsTheDevice)
{
    CTempHome home;
    const std::string recording = home.Dir() + "/device.log";
    std::ofstream(recording)
        << "Rec  :(2026-12-11 10:00:00.000)ready\r\nSend :(2026-12-11 10:00:01.000)temp?\r\n"
           "Rec  :(2026-12-11 10:00:01.020)21.5\r\n";
    CVportProcess vport({"--no-link", "--replay", recording, "--answer"});
    CSerial port;
    ASSERT_EQ(port.Open(vport.Port()), 0);
    EXPECT_EQ(ReadFor(port, 7), "ready\r\n");
    ASSERT_EQ(port.Write("temp?\r\n"), 0);
    EXPECT_EQ(ReadFor(port, 6), "21.5\r\n");
    port.Close();
    EXPECT_EQ(vport.Stop(), 0);
    EXPECT_EQ(RunStatus({"--replay", home.Dir() + "/missing.pcapng"}), 2);
    EXPECT_EQ(RunStatus({"--replay", recording, "--speed", "fast"}), 2);
}

TEST(Vport, AnswersFromATable)
{
    CTempHome home;
    const std::string table = home.Dir() + "/answers.txt";
    std::ofstream(table) << "# a modem of sorts\n"
                            "\"AT\\r\",\"OK\\r\\n\"\n"
                            "\"ATI\\r\",\"Test device 1.0\\r\\n\"\n"
                            "\"\\x02PING\",\"\\x06\"\n";
    CVportProcess vport({"--no-link", "--table", table});
    CSerial port;
    ASSERT_EQ(port.Open(vport.Port()), 0);
    ASSERT_EQ(port.Write("zzATI\rAT\r\x02PING"), 0);
    EXPECT_EQ(ReadFor(port, 22), "Test device 1.0\r\nOK\r\n\x06");
    port.Close();

    EXPECT_EQ(RunStatus({"--table", home.Dir() + "/missing.txt"}), 2);
    std::ofstream(table) << "\"only one field\"\n";
    EXPECT_EQ(RunStatus({"--table", table}), 2);
}

TEST(Vport, StreamsNumberedLines)
{
    CTempHome home;
    CVportProcess vport({"--no-link", "--lines", "200"});
    CSerial port;
    ASSERT_EQ(port.Open(vport.Port()), 0);
    const std::string text = ReadFor(port, 40 * 12);
    ASSERT_GE(text.size(), 40u * 10);
    // The port opened mid-stream: start at the first whole line, then numbers run on.
    const size_t first = text.find("Line ");
    ASSERT_NE(first, std::string::npos);
    const unsigned long start = std::stoul(text.substr(first + 5, 6));
    for (unsigned long k = 0; k < 5; ++k) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "Line %06lu ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n", start + k);
        EXPECT_EQ(text.substr(first + k * 40, 40), expected);
    }
}

TEST(Vport, HelpOptionsAndTheListedLink)
{
    CVportProcess version({"--version"});
    EXPECT_EQ(version.Line(0), std::string("kestrum-vport ") + KESTRUM_VERSION);
    EXPECT_EQ(version.Stop(), 0);
    EXPECT_EQ(RunStatus({"--help"}), 0);
    EXPECT_EQ(RunStatus({"--bogus"}), 2);
    EXPECT_EQ(RunStatus({"--lines", "0"}), 2);

    CTempHome home;
    const char *old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", home.Dir().c_str(), 1);
    {
        CVportProcess vport({"--name", "bench"}, 2);
        const std::string link = home.Dir() + "/kestrum-vport/bench";
        EXPECT_EQ(vport.Line(1), "Stable name: " + link);
        bool listed = false;
        for (const ST_PortInfo &p : EnumerateSerialPorts())
            listed |= p.Name == link && p.Path == link && p.Description == "Virtual port";
        EXPECT_TRUE(listed);
        CSerial port;
        EXPECT_EQ(port.Open(link), 0);
        port.Close();
        EXPECT_EQ(vport.Stop(), 0);
        EXPECT_NE(access(link.c_str(), F_OK), 0); // removed on the way out
    }
    {
        // A folder others may open is not used for stable names.
        const std::string folder = home.Dir() + "/kestrum-vport";
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        CVportProcess vport({"--name", "bench"});
        EXPECT_FALSE(vport.Port().empty());
        struct stat st
        {
        };
        EXPECT_NE(lstat((folder + "/bench").c_str(), &st), 0);
        EXPECT_EQ(vport.Stop(), 0);
    }
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

TEST(Vport, ServesTheDeviceOnATcpPort)
{
    CVportProcess echo({"--tcp", "0"});
    const int first = ConnectTo(echo.Port());
    ASSERT_GE(first, 0) << echo.Line(0);
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    ASSERT_EQ(send(first, all.data(), all.size(), 0), 256);
    EXPECT_EQ(ReceiveAll(first, 256), all);
    // A new client takes the device over; the old one is let go.
    const int second = ConnectTo(echo.Port());
    ASSERT_GE(second, 0);
    EXPECT_EQ(ReceiveAll(first, 1), "");
    ASSERT_EQ(send(second, "\xff\x00", 2, 0), 2);
    EXPECT_EQ(ReceiveAll(second, 2), std::string("\xff\x00", 2));
    close(first);
    close(second);
    EXPECT_EQ(echo.Stop(), 0);

    CVportProcess lines({"--tcp", "127.0.0.1:0", "--lines", "100"});
    const int fd = ConnectTo(lines.Port());
    ASSERT_GE(fd, 0) << lines.Line(0);
    // Lines made while nobody listened are dropped whole: the first byte starts a line.
    const std::string text = ReceiveAll(fd, 80);
    EXPECT_EQ(text.substr(0, 5), "Line ");
    EXPECT_EQ(text.substr(11, 29), " ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
    close(fd);
    EXPECT_EQ(RunStatus({"--tcp", "70000"}), 2);
}
