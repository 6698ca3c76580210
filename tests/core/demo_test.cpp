// The demo devices as a program meets them: a port name whose far end is played in this process,
// on a real pseudo-terminal.
#include "demo/demodevices.h"
#include "demo/demorunner.h"
#include "ptypair.h"
#include "serial/serial.h"
#include "tempdir.h"

#include <atomic>
#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace {

using demo::Clock;

// The devices' folders are made in $XDG_RUNTIME_DIR: here a scratch folder a test can look into.
class CRuntimeDir
{
public:
    CRuntimeDir()
    {
        if (const char *old = std::getenv("XDG_RUNTIME_DIR")) {
            m_had = true;
            m_old = old;
        }
        setenv("XDG_RUNTIME_DIR", m_dir.path.c_str(), 1);
    }
    ~CRuntimeDir()
    {
        if (m_had)
            setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    const TempDir &Dir() const { return m_dir; }

private:
    TempDir m_dir;
    std::string m_old;
    bool m_had = false;
};

// The one entry of `dir`.
std::string DemoFolderOf(const std::string &dir)
{
    std::string found;
    DIR *d = opendir(dir.c_str());
    while (const dirent *e = d ? readdir(d) : nullptr)
        if (e->d_name[0] != '.')
            found = dir + "/" + e->d_name;
    if (d)
        closedir(d);
    return found;
}

std::string ReadFor(CSerial &port, size_t count)
{
    std::string got;
    const auto end = Clock::now() + std::chrono::seconds(10);
    char buf[512];
    while (got.size() < count && Clock::now() < end) {
        uint32_t n = 0;
        if (port.Read(buf, sizeof buf, &n) != 0)
            break;
        got.append(buf, n);
    }
    return got;
}

// Greets, wants one tick at once, then only echoes.
class CGreeter final : public demo::IDemoDevice
{
public:
    explicit CGreeter(std::atomic<int> &ticks) : m_ticks(ticks) {}
    void Start(demo::IDemoOutput &out, Clock::time_point now) override
    {
        out.Write("hello\r\n");
        m_next = now;
    }
    void Received(demo::IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point) override
    {
        out.Write(data, size);
    }
    Clock::time_point NextTick() const override { return m_next; }
    void Tick(demo::IDemoOutput &, Clock::time_point) override
    {
        ++m_ticks;
        m_next = Clock::time_point::max();
    }

private:
    std::atomic<int> &m_ticks;
    Clock::time_point m_next = Clock::time_point::max();
};

// Serves "demo://greeter" in place of the program's devices, keeping the runner in reach.
class CGreeterPorts final : public IDemoPorts
{
public:
    std::vector<ST_DemoKind> Kinds() const override { return {{"greeter", "Greeter"}}; }
    std::unique_ptr<IDemoPort> Start(const std::string &, std::string *error) override;

    std::atomic<int> ticks{0};
    demo::CDemoRunner *runner = nullptr;
};

class CGreeterPort final : public IDemoPort
{
public:
    explicit CGreeterPort(std::unique_ptr<demo::CDemoRunner> r) : m_runner(std::move(r)) {}
    const std::string &SlavePath() const override { return m_runner->SlavePath(); }
    void Opened() override { m_runner->Opened(); }

private:
    std::unique_ptr<demo::CDemoRunner> m_runner;
};

std::unique_ptr<IDemoPort> CGreeterPorts::Start(const std::string &, std::string *error)
{
    auto made =
        demo::CDemoRunner::Make([this](const std::string &) { return std::make_unique<CGreeter>(ticks); },
                                demo::EDemoStart::WhenTold, error);
    runner = made.get();
    return made ? std::make_unique<CGreeterPort>(std::move(made)) : nullptr;
}

// Fails at the first byte, as a device with a fault would.
class CFaulty final : public demo::IDemoDevice
{
public:
    void Start(demo::IDemoOutput &, Clock::time_point) override {}
    void Received(demo::IDemoOutput &, const uint8_t *, size_t, Clock::time_point) override
    {
        throw std::runtime_error("faulty on purpose");
    }
};

} // namespace

TEST(DemoPort, AFailingDeviceFallsSilentAndIsLogged)
{
    CTempHome home;
    CRuntimeDir runtime;
    std::string error;
    auto runner = demo::CDemoRunner::Make([](const std::string &) { return std::make_unique<CFaulty>(); },
                                          demo::EDemoStart::WhenTold, &error);
    ASSERT_TRUE(runner) << error;
    CSerial port;
    ASSERT_EQ(port.Open(runner->SlavePath()), 0);
    runner->Opened();
    ASSERT_EQ(port.Write("x"), 0);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (home.LogText().find("faulty on purpose") == std::string::npos && Clock::now() < end)
        std::this_thread::yield();
    EXPECT_NE(home.LogText().find("the device stopped: faulty on purpose"), std::string::npos);
    port.Close();
    runner.reset();
    EXPECT_EQ(runtime.Dir().EntryCount(), 0);
}

TEST(DemoPort, EchoOpensAsAPortAndTakesItsFolderAlongOnClose)
{
    CTempHome home;
    CRuntimeDir runtime;
    demo::InstallDemoPorts();
    CSerial port;
    ASSERT_EQ(port.Open("demo://echo"), 0) << port.OpenFailure();
    ASSERT_EQ(runtime.Dir().EntryCount(), 1);
    struct stat st
    {
    };
    ASSERT_EQ(lstat(DemoFolderOf(runtime.Dir().path).c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(port.Setup(115200, 8, NOPARITY, ONESTOPBIT), 0);
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    ASSERT_EQ(port.Write(all.data(), static_cast<long>(all.size())), 0);
    EXPECT_EQ(ReadFor(port, all.size()), all);
    port.Close();
    EXPECT_EQ(runtime.Dir().EntryCount(), 0);

    EXPECT_NE(port.Open("demo://foo"), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.OpenFailure().rfind("demo://foo: no such demo device (", 0), 0u) << port.OpenFailure();
    EXPECT_NE(port.OpenFailure().find("echo"), std::string::npos) << port.OpenFailure();
    EXPECT_EQ(runtime.Dir().EntryCount(), 0);
}

TEST(DemoPort, DeviceSpeaksOnceOpenTicksWhenAskedAndSleepsOtherwise)
{
    CTempHome home;
    CRuntimeDir runtime;
    CGreeterPorts greeter;
    RegisterDemoPorts(&greeter);
    CSerial port;
    const long opened = port.Open("demo://greeter");
    demo::InstallDemoPorts();
    ASSERT_EQ(opened, 0) << port.OpenFailure();
    // Said before the open had settled, the greeting would have been flushed away.
    EXPECT_EQ(ReadFor(port, 7), "hello\r\n");
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (greeter.ticks.load() == 0 && Clock::now() < end)
        std::this_thread::yield();
    ASSERT_EQ(greeter.ticks.load(), 1);

    ASSERT_EQ(port.Setup(57600, 8, NOPARITY, TWOSTOPBITS), 0);
    const demo::ST_DemoLine line = greeter.runner->Line();
    EXPECT_EQ(line.Baud, 57600u);
    EXPECT_EQ(line.StopBits, 2);

    // Each exchange wakes the runner about once; one that polled without waiting would wake
    // thousands of times meanwhile.
    const uint64_t before = greeter.runner->Wakeups();
    constexpr int kExchanges = 20;
    for (int i = 0; i < kExchanges; ++i) {
        ASSERT_EQ(port.Write("x"), 0);
        ASSERT_EQ(ReadFor(port, 1), "x");
    }
    EXPECT_LE(greeter.runner->Wakeups() - before, 3u * kExchanges);
    EXPECT_EQ(greeter.ticks.load(), 1);

    // A device's own thread writes more than the line holds: the rest goes as the program reads.
    std::string block(256 * 1024, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>('a' + i % 26);
    std::thread([&] { greeter.runner->Write(block); }).join();
    EXPECT_EQ(ReadFor(port, block.size()), block);
    port.Close();
    EXPECT_EQ(runtime.Dir().EntryCount(), 0);
}
