#include "tsharklive.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Swap(const char *name, const std::string &value)
{
    const char *old = std::getenv(name);
    std::string kept = old ? old : "";
    setenv(name, value.c_str(), 1);
    return kept;
}

void Restore(const char *name, const std::string &value)
{
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
}

} // namespace

CAnalyserHome::CAnalyserHome(const std::string &extcap)
{
    char pattern[] = "/tmp/kestrum-analyser-XXXXXX";
    m_dir = mkdtemp(pattern);
    m_runtime = m_dir + "/run";
    mkdir(m_runtime.c_str(), 0700);
    const std::string folder = m_dir + "/.config/wireshark/extcap";
    EXPECT_EQ(0, std::system(("mkdir -p '" + folder + "'").c_str()));
    EXPECT_EQ(0, symlink(extcap.c_str(), (folder + "/kestrum-extcap").c_str())) << extcap;
    m_oldHome = Swap("HOME", m_dir);
    m_oldRuntime = Swap("XDG_RUNTIME_DIR", m_runtime);
    // Installed by scripts/deps.sh: its absence is a fault of the machine, never a pass.
    EXPECT_EQ(0, std::system("command -v tshark >/dev/null 2>&1")) << "tshark is not on PATH";
}

CAnalyserHome::~CAnalyserHome()
{
    Restore("HOME", m_oldHome);
    Restore("XDG_RUNTIME_DIR", m_oldRuntime);
    [[maybe_unused]] const int rc = std::system(("rm -rf '" + m_dir + "'").c_str());
}

std::string CAnalyserHome::Interfaces() const
{
    int status = 0;
    std::string out = RunCommand("tshark -D", status);
    EXPECT_EQ(0, status) << out;
    return out;
}

std::string CAnalyserHome::VirtualPort(const std::string &name, const std::string &device) const
{
    const std::string dir = m_runtime + "/kestrum-vport";
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/" + name;
    EXPECT_EQ(0, symlink(device.c_str(), path.c_str()));
    return path;
}

std::string ExtcapPreference(const std::string &interface, const std::string &option,
                             const std::string &value)
{
    std::string name = "extcap.";
    for (const char c : interface)
        name += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    return name + "." + option + ":" + value;
}

std::string RunCommand(const std::string &command, int &status)
{
    std::string out;
    FILE *pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.append(chunk, n);
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

CLiveTshark::CLiveTshark(const std::string &interface, int packets, const std::string &file,
                         const std::vector<std::string> &extra)
{
    std::vector<std::string> args = {"tshark", "-i", interface, "-c", std::to_string(packets),
                                     "-l",     "-P", "-w",      file};
    for (const std::string &arg : extra)
        args.insert(args.end(), {"-o", arg});
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << errno;
        return;
    }
    // The child of a threaded process may only exec: everything is made before the fork.
    m_pid = fork();
    if (m_pid == 0) {
        dup2(pipeFds[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execvp("tshark", argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_out = pipeFds[0];
    fcntl(m_out, F_SETFL, O_NONBLOCK);
}

CLiveTshark::~CLiveTshark()
{
    if (m_pid > 0 && !Ended()) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        close(m_out);
}

int CLiveTshark::Lines()
{
    char chunk[4096];
    for (ssize_t n; m_out >= 0 && (n = read(m_out, chunk, sizeof chunk)) > 0;)
        m_output.append(chunk, static_cast<size_t>(n));
    int lines = 0;
    for (const char c : m_output)
        lines += c == '\n';
    return lines;
}

bool CLiveTshark::Ended()
{
    if (m_status >= 0)
        return true;
    int raw = 0;
    if (m_pid <= 0 || waitpid(m_pid, &raw, WNOHANG) != m_pid)
        return false;
    Lines();
    m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return true;
}
