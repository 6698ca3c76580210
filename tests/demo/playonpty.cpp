// Plays a demo device on the master end of a fresh pseudo-terminal and prints the slave's path,
// so a program of someone else's can talk to it. Runs until its standard input closes.
// Usage: playonpty modbus|gps
#include "demo/gps.h"
#include "demo/modbusserver.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

class CMasterOutput : public demo::IDemoOutput
{
public:
    explicit CMasterOutput(int master) : m_master(master) {}
    void Write(const uint8_t *data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = write(m_master, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            data += n;
            size -= size_t(n);
        }
    }
    // The master's termios are the slave's: what the client set.
    demo::ST_DemoLine Line() const override
    {
        demo::ST_DemoLine line;
        termios t{};
        if (tcgetattr(m_master, &t) != 0)
            return line;
        static const std::pair<speed_t, uint32_t> kSpeeds[] = {
            {B300, 300},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},
            {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
        };
        for (const auto &[code, baud] : kSpeeds)
            if (cfgetospeed(&t) == code)
                line.Baud = baud;
        const tcflag_t size = t.c_cflag & CSIZE;
        line.DataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
        line.Parity = t.c_cflag & PARENB;
        line.StopBits = t.c_cflag & CSTOPB ? 2 : 1;
        return line;
    }

private:
    int m_master;
};

} // namespace

int main(int argc, char **argv)
{
    std::unique_ptr<demo::IDemoDevice> device;
    if (argc == 2 && std::strcmp(argv[1], "modbus") == 0)
        device = std::make_unique<demo::CModbusServer>();
    else if (argc == 2 && std::strcmp(argv[1], "gps") == 0)
        device = std::make_unique<demo::CGpsDevice>();
    else {
        std::fprintf(stderr, "usage: %s modbus|gps\n", argv[0]);
        return 2;
    }
    int master = -1, slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    // The slave stays open here too, so the client's close is no hang-up for the master.
    std::printf("%s\n", ttyname(slave));
    std::fflush(stdout);

    CMasterOutput out(master);
    device->Start(out, demo::Clock::now());
    for (;;) {
        const demo::Clock::time_point next = device->NextTick();
        int wait = -1;
        if (next != demo::Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - demo::Clock::now()).count();
            wait = int(std::clamp<long long>(left, 0, 60000));
        }
        pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, wait) < 0 && errno != EINTR)
            return 1;
        if (fds[1].revents)
            return 0;
        if (fds[0].revents & POLLIN) {
            uint8_t buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0)
                device->Received(out, buffer, size_t(n), demo::Clock::now());
        }
        if (demo::Clock::now() >= device->NextTick())
            device->Tick(out, demo::Clock::now());
    }
}
