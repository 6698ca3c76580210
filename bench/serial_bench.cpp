// Throughput of the device on a pseudo-terminal against plain read()/write() loops on the same
// pair in the same run. Prints figures; not a test.
#include "rawpty.h"
#include "serial/serial.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// 32 MB; --smoke makes it 1 MB and one run, only to show the bench still works.
size_t kTotal = 32u << 20;
constexpr size_t kChunk = 2047;

// Feeds kTotal bytes into the master while `reader` takes them from the slave side.
template <typename Reader> double ReadRate(const Pair &pair, Reader reader)
{
    std::thread feeder([&] {
        std::vector<uint8_t> block(65536, 'r');
        size_t sent = 0;
        while (sent < kTotal) {
            const ssize_t n = write(pair.master, block.data(), std::min(block.size(), kTotal - sent));
            if (n > 0)
                sent += static_cast<size_t>(n);
        }
    });
    const Clock::time_point start = Clock::now();
    const size_t got = reader();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    feeder.join();
    return static_cast<double>(got) / seconds;
}

// Drains the master while `writer` pushes kTotal bytes from the slave side.
template <typename Writer> double WriteRate(const Pair &pair, Writer writer)
{
    std::atomic<bool> done{false};
    std::thread drain([&] {
        std::vector<uint8_t> buf(65536);
        size_t got = 0;
        while (got < kTotal) {
            const ssize_t n = read(pair.master, buf.data(), buf.size());
            if (n > 0)
                got += static_cast<size_t>(n);
        }
        done = true;
    });
    const Clock::time_point start = Clock::now();
    writer();
    drain.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<double>(kTotal) / seconds;
}

size_t PlainRead(int fd)
{
    std::vector<uint8_t> buf(kChunk);
    size_t got = 0;
    while (got < kTotal) {
        const ssize_t n = read(fd, buf.data(), buf.size());
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 1000);
        }
    }
    return got;
}

size_t DeviceRead(CSerial &port)
{
    std::vector<uint8_t> buf(kChunk + 1);
    size_t got = 0;
    while (got < kTotal) {
        uint32_t n = 0;
        if (port.Read(buf.data(), static_cast<long>(kChunk), &n) != 0)
            break;
        got += n;
    }
    return got;
}

void PlainWrite(const std::string &path, size_t block)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    std::vector<uint8_t> data(block, 'w');
    size_t sent = 0;
    while (sent < kTotal) {
        const ssize_t n = write(fd, data.data(), std::min(block, kTotal - sent));
        if (n > 0)
            sent += static_cast<size_t>(n);
    }
    close(fd);
}

void DeviceWrite(const std::string &path, size_t block)
{
    CSerial port;
    port.Open(path);
    port.Setup(921600, 8, NOPARITY, ONESTOPBIT);
    std::vector<uint8_t> data(block, 'w');
    size_t sent = 0;
    while (sent < kTotal) {
        const long len = static_cast<long>(std::min(block, kTotal - sent));
        uint32_t n = 0;
        port.Write(data.data(), len, &n);
        sent += n;
    }
}

} // namespace

int main(int argc, char **argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke)
        kTotal = 1u << 20;
    const int runs = smoke ? 1 : 3;
    const char *home = "/tmp/kestrum-serial-bench";
    mkdir(home, 0700);
    setenv("KESTRUM_HOME", home, 1);
    std::printf("%zu MB through a pseudo-terminal, best of %d runs each\n", kTotal >> 20, runs);
    double plainRead = 0, deviceRead = 0;
    double plainWrites[2] = {0, 0}, deviceWrites[2] = {0, 0};
    for (int run = 0; run < runs; ++run) {
        Pair pair = MakePair();
        const std::string path = pair.name;
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        plainRead = std::max(plainRead, ReadRate(pair, [&] { return PlainRead(fd); }));
        close(fd);
        {
            CSerial port;
            port.Open(path);
            port.Setup(921600, 8, NOPARITY, ONESTOPBIT);
            deviceRead = std::max(deviceRead, ReadRate(pair, [&] { return DeviceRead(port); }));
        }
        for (int k = 0; k < 2; ++k) {
            const size_t block = k == 0 ? 256 : 4096;
            plainWrites[k] = std::max(plainWrites[k], WriteRate(pair, [&] { PlainWrite(path, block); }));
            deviceWrites[k] = std::max(deviceWrites[k], WriteRate(pair, [&] { DeviceWrite(path, block); }));
        }
        close(pair.master);
        close(pair.slave);
    }
    std::printf("read, 2047-byte reads:   plain %8.1f MB/s  device %8.1f MB/s  ratio %.2f\n", plainRead / 1e6,
                deviceRead / 1e6, deviceRead / plainRead);
    for (int k = 0; k < 2; ++k)
        std::printf("write, %4d-byte items:  plain %8.1f MB/s  device %8.1f MB/s  ratio %.2f\n",
                    k == 0 ? 256 : 4096, plainWrites[k] / 1e6, deviceWrites[k] / 1e6,
                    deviceWrites[k] / plainWrites[k]);
    return 0;
}
