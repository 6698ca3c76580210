// ZMODEM throughput on pseudo-terminals: lrzsz's sz to its rz as the yardstick, beside sz to our
// receive and our send to rz, each with a 20 MB file written to disk at the far end. Prints
// seconds, MB/s and our share of lrzsz's rate; not a test. --smoke makes a short run that only
// shows the bench still works.
#include "fdchannel.h"
#include "transfer/zmodem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The far end's file, on disk as rz keeps it.
class CFileSink : public IReceiveSink
{
public:
    explicit CFileSink(std::string folder) : m_folder(std::move(folder)) {}
    bool Begin(const ST_IncomingFile &file, uint64_t *resumeAt, std::string *error) override
    {
        *resumeAt = 0;
        m_file = std::fopen((m_folder + "/" + file.Name).c_str(), "wb");
        *error = "cannot create " + file.Name;
        return m_file != nullptr;
    }
    bool Write(const uint8_t *data, size_t size, std::string *error) override
    {
        *error = "write failed";
        return std::fwrite(data, 1, size, m_file) == size;
    }
    EFileEnd Finish(std::string *finalPath, std::string *error) override
    {
        *finalPath = m_folder;
        *error = "close failed";
        return std::fclose(m_file) == 0 ? EFileEnd::Saved : EFileEnd::Failed;
    }
    void Abandon(bool) override { std::fclose(m_file); }

private:
    std::string m_folder;
    FILE *m_file = nullptr;
};

struct ST_Pty
{
    ST_Pty()
    {
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0)
            std::exit(1);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
    ~ST_Pty()
    {
        close(master);
        close(slave);
    }
    int master = -1, slave = -1;
};

pid_t Start(std::vector<std::string> args, int fd, const std::string &folder)
{
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string preload = std::string("LD_PRELOAD=") + NOPURGE_LIBRARY;
    char *envp[] = {preload.data(), nullptr};
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 0);
        dup2(fd, 1);
        dup2(null, 2);
        if (chdir(folder.c_str()) == 0)
            execvpe(argv[0], argv.data(), envp);
        _exit(127);
    }
    close(null);
    return pid;
}

bool Ended(pid_t pid)
{
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

ST_TransferOptions Options()
{
    ST_TransferOptions options;
    options.Protocol = ETransferProtocol::Zmodem;
    return options;
}

void Print(const char *what, double seconds, size_t size)
{
    std::printf("%-28s %7.3f s  %7.2f MB/s\n", what, seconds, size / seconds / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const size_t size = smoke ? (1u << 20) : 20u * 1000 * 1000;
    char folder[] = "/tmp/zmodem_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string out = std::string(folder) + "/out", in = std::string(folder) + "/in";
    mkdir(out.c_str(), 0700);
    mkdir(in.c_str(), 0700);
    {
        std::string data(size, '\0');
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
        FILE *f = std::fopen((out + "/big.bin").c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    std::printf("ZMODEM, %zu bytes over a pseudo-terminal\n", size);

    // The rounds take turns, so a neighbour's load falls on every case alike; each case's best counts.
    const int rounds = smoke ? 1 : 5;
    double lrzsz = 1e9, received = 1e9, sent = 1e9;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        {
            ST_Pty pty;
            const Clock::time_point start = Clock::now();
            const pid_t sz = Start({"sz", "-q", "-b", "big.bin"}, pty.slave, out);
            const pid_t rz = Start({"rz", "-q", "-b", "-y"}, pty.master, in);
            ok &= Ended(sz) & Ended(rz);
            lrzsz = std::min(lrzsz, Since(start));
        }
        {
            ST_Pty pty;
            CFdChannel channel(pty.master);
            CFileSink sink(in);
            const Clock::time_point start = Clock::now();
            const pid_t sz = Start({"sz", "-q", "-b", "big.bin"}, pty.slave, out);
            CZmodemReceive receive(channel, sink, Options());
            ok &= receive.Run().End == ETransferEnd::Done;
            ok &= Ended(sz);
            received = std::min(received, Since(start));
        }
        {
            ST_Pty pty;
            CFdChannel channel(pty.master);
            const Clock::time_point start = Clock::now();
            const pid_t rz = Start({"rz", "-q", "-b", "-y"}, pty.slave, in);
            CZmodemSend send(channel, {TransferFileAt(out + "/big.bin")}, Options());
            ok &= send.Run().End == ETransferEnd::Done;
            ok &= Ended(rz);
            sent = std::min(sent, Since(start));
        }
    }
    std::printf("best of %d rounds%s\n", rounds, ok ? "" : " (A TRANSFER FAILED)");
    Print("lrzsz sz -> lrzsz rz", lrzsz, size);
    Print("lrzsz sz -> CZmodemReceive", received, size);
    Print("CZmodemSend -> lrzsz rz", sent, size);
    std::printf("rate against lrzsz's: receive %.2f, send %.2f\n", lrzsz / received, lrzsz / sent);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return ok ? 0 : 1;
}
