// How fast a script answers: the bench plays the device on a pseudo-terminal, asks a numbered
// question and times until the answer is back, once with a headless run whose script answers with
// expect and write, once with a small C loop of poll and read doing the same. Then the real
// program's headless start: from exec until the script's first byte is on the line, and its
// resident memory. Prints figures; not a test.
#include "rawpty.h"
#include "script/headless.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// No wait of the bench's is longer: a side that stopped answering ends the bench as a failure.
constexpr int kAnswerMs = 10000;

// Reads from `fd` until `text` has come; false at EOF, an error or when `ms` passed without it.
bool ReadUntil(int fd, const std::string &text, std::string &seen, int ms = kAnswerMs)
{
    char buffer[256];
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (seen.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        seen.append(buffer, static_cast<size_t>(n));
    }
    seen.erase(0, seen.find(text) + text.size());
    return true;
}

// Asks `rounds` questions on `master` and returns each round trip in microseconds.
std::vector<double> Ask(int master, int rounds)
{
    std::vector<double> times;
    std::string seen;
    for (int i = 1; i <= rounds; ++i) {
        const std::string question = "Q" + std::to_string(i) + "?";
        const Clock::time_point start = Clock::now();
        if (write(master, question.data(), question.size()) != static_cast<ssize_t>(question.size()))
            break;
        if (!ReadUntil(master, "A" + std::to_string(i) + "\n", seen)) {
            std::fprintf(stderr, "no answer to question %d\n", i);
            break;
        }
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return times;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The same answerer as the script, in C: the slave end, poll, read, scan, write.
void AnswerInC(int slave, int rounds)
{
    std::string seen;
    char buffer[256];
    for (int answered = 0; answered < rounds;) {
        pollfd p{slave, POLLIN, 0};
        if (poll(&p, 1, kAnswerMs) <= 0)
            return;
        const ssize_t n = read(slave, buffer, sizeof buffer);
        if (n <= 0)
            return;
        seen.append(buffer, static_cast<size_t>(n));
        for (size_t mark; (mark = seen.find('?')) != std::string::npos;) {
            const std::string answer = "A" + seen.substr(1, mark - 1) + "\n";
            seen.erase(0, mark + 1);
            if (write(slave, answer.data(), answer.size()) < 0)
                return;
            ++answered;
        }
    }
}

std::string WriteScript(const std::string &text)
{
    char path[] = "/tmp/kestrum_script_bench_XXXXXX.lua";
    const int fd = mkstemps(path, 4);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        std::exit(1);
    close(fd);
    return path;
}

// The program's own start: exec until the first byte, and the peak resident memory.
void Startup(const char *program, int rounds)
{
    const std::string script = WriteScript("write('up') expect('bye', 10000)");
    std::vector<double> startMs;
    long maxRssKb = 0;
    for (int i = 0; i < rounds; ++i) {
        Pair pair = MakePair();
        const Clock::time_point start = Clock::now();
        const pid_t child = fork();
        if (child == 0) {
            close(pair.master);
            execl(program, program, "--run", script.c_str(), "--port", pair.name,
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        std::string seen;
        const bool up = ReadUntil(pair.master, "up", seen);
        startMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!up || write(pair.master, "bye", 3) != 3)
            kill(child, SIGKILL);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
        close(pair.master);
        close(pair.slave);
    }
    unlink(script.c_str());
    std::printf(
        "headless start to the port's first byte: median %.1f ms, worst %.1f ms; peak resident %.1f MB\n",
        Median(startMs), *std::max_element(startMs.begin(), startMs.end()), maxRssKb / 1024.0);
}

// write() of a headless script on a pseudo-terminal, each returning once its bytes went out:
// `count` writes of `size` bytes, from the device's "go" until it read the last byte.
void WriteThroughput(size_t size, int count)
{
    Pair pair = MakePair();
    const std::string script = WriteScript("local c = string.rep('x', " + std::to_string(size) +
                                           ") write('ready') expect('go', 10000) for i = 1, " +
                                           std::to_string(count) + " do write(c) end");
    ST_HeadlessOptions options;
    options.Script = script;
    options.Port = pair.name;
    options.TimeoutSeconds = 600;
    std::FILE *quiet = std::fopen("/dev/null", "w");
    int code = -1;
    std::thread run([&] { code = RunHeadless(options, quiet); });
    std::string seen;
    const bool ready = ReadUntil(pair.master, "ready", seen);
    const Clock::time_point start = Clock::now();
    size_t heard = seen.size();
    if (ready && write(pair.master, "go", 2) == 2) {
        char buffer[65536];
        const size_t total = size * static_cast<size_t>(count);
        while (heard < total) {
            pollfd p{pair.master, POLLIN, 0};
            if (poll(&p, 1, kAnswerMs) <= 0)
                break;
            const ssize_t n = read(pair.master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            heard += static_cast<size_t>(n);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.join();
    std::fclose(quiet);
    unlink(script.c_str());
    close(pair.master);
    close(pair.slave);
    std::printf("write() of %zu bytes x %d on a pty: %.1f MB/s, %.0f writes/s (%zu bytes heard, exit %d)\n",
                size, count, heard / seconds / 1e6, count / seconds, heard, code);
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int rounds = smoke ? 20 : 2000;

    Pair c = MakePair();
    std::thread answerer(AnswerInC, c.slave, rounds);
    const double cMedian = Median(Ask(c.master, rounds));
    answerer.join();

    Pair s = MakePair();
    // The port is emptied as it opens: the script says when it listens.
    const std::string script =
        WriteScript("write('ready\\n') for i = 1, " + std::to_string(rounds) +
                    " do local _, n = expect('Q(%d+)%?') write('A' .. n .. '\\n') end");
    ST_HeadlessOptions options;
    options.Script = script;
    options.Port = s.name;
    options.TimeoutSeconds = smoke ? 120 : 1200;
    std::FILE *quiet = std::fopen("/dev/null", "w");
    int code = -1;
    std::thread run([&] { code = RunHeadless(options, quiet); });
    std::string seen;
    ReadUntil(s.master, "ready\n", seen);
    const std::vector<double> times = Ask(s.master, rounds);
    run.join();
    std::fclose(quiet);
    unlink(script.c_str());
    const double scriptMedian = Median(times);
    std::printf(
        "question to answer, %d rounds: C loop median %.0f us, script median %.0f us (%.2fx); exit %d\n",
        rounds, cMedian, scriptMedian, cMedian > 0 ? scriptMedian / cMedian : 0.0, code);
#ifdef KESTRUM_PROGRAM
    // First: a child forked from a bench that grew would count the bench's memory as its own.
    Startup(KESTRUM_PROGRAM, smoke ? 2 : 20);
#endif
    WriteThroughput(65536, smoke ? 16 : 1024);
    WriteThroughput(64, smoke ? 100 : 20000);
    return code == 0 && static_cast<int>(times.size()) == rounds ? 0 : 1;
}
