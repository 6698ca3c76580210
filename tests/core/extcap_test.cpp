#include "extcap/extcapports.h"
#include "extcap/livecapture.h"
#include "extcap/livedoor.h"
#include "frame/framechoices.h"
#include "frame/frameprofilefile.h"
#include "log/logpcapng.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ptypair.h"
#include "tempdir.h"
#include "tsharklive.h"

namespace {

template <typename Done> bool WaitFor(Done done, int ms = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Held(const std::string &device)
{
    struct stat st = {};
    return stat(device.c_str(), &st) == 0 && DevicesHeldOpen().count(st.st_rdev) > 0;
}

std::string Text(const std::vector<uint8_t> &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

// A port nobody holds is offered and captured, framed by one of the user's profiles as asked, from
// the moment the capture program says it listens; one a program holds is not offered. The
// analyser's stop ends the program, which lets go of the port.
TEST(Extcap, FreePortListedAndCaptured)
{
    CTempHome app;
    ST_FramingProfile mine; // lines ending in CR LF, kept
    mine.Name = "Mine";
    WriteFrameProfilesFile(FramingFilePath(app.Dir()), {mine});
    CAnalyserHome home(KESTRUM_EXTCAP);
    int master = -1, slave = -1;
    char name[64];
    ASSERT_EQ(0, openpty(&master, &slave, name, nullptr, nullptr));
    close(slave);
    const std::string port = home.VirtualPort("free", name);
    CTestPty held;
    home.VirtualPort("held", held.Path());

    const std::string list = home.Interfaces();
    const std::string interface = "kestrum-port:" + port;
    EXPECT_NE(std::string::npos, list.find(interface + " (")) << list;
    EXPECT_EQ(std::string::npos, list.find("/held")) << list;

    int status = 0;
    const std::string config =
        RunCommand(std::string(KESTRUM_EXTCAP) + " --extcap-config --extcap-interface " + interface, status);
    EXPECT_NE(std::string::npos, config.find("{value=Mine}")) << config;

    // The greeting and two lines.
    CLiveTshark tshark(
        interface, 3, home.File("port.pcapng"),
        {ExtcapPreference(interface, "framing", "Mine"), ExtcapPreference(interface, "baud", "1200")});
    ASSERT_TRUE(WaitFor([&] { return tshark.Lines() >= 1 || tshark.Ended(); })) << tshark.Output();
    ASSERT_FALSE(tshark.Ended()) << tshark.Output();
    const std::string fed = "hello\r\nworld\r\n";
    ASSERT_EQ(static_cast<ssize_t>(fed.size()), write(master, fed.data(), fed.size()));
    ASSERT_TRUE(WaitFor([&] { return tshark.Ended(); })) << tshark.Output();
    EXPECT_EQ(0, tshark.Status()) << tshark.Output();
    EXPECT_TRUE(WaitFor([&] { return !Held(name); })) << "the capture program still holds the port";

    const ST_PcapngContent content = ReadPcapngFile(home.File("port.pcapng"));
    ASSERT_EQ(3u, content.Records.size());
    ASSERT_FALSE(content.Interfaces.empty());
    EXPECT_NE(std::string::npos, content.Interfaces[0].Description.find("1200 8N1"));
    EXPECT_NE(std::string::npos, content.Records[0].Comment.find("framed by Mine"));
    EXPECT_EQ("hello\r\n", Text(content.Records[1].Bytes));
    EXPECT_EQ("world\r\n", Text(content.Records[2].Bytes));
    for (size_t i = 1; i < 3; ++i)
        EXPECT_EQ(EPcapngDirection::Inbound, content.Records[i].Direction);
    EXPECT_LE(content.Records[1].WallMicros, content.Records[2].WallMicros);
    close(master);
}

// A socket in the windows' folder that another user made, or one that another user's process
// answers behind a file of ours, is neither offered nor captured.
TEST(Extcap, RefusesAnotherUsersWindow)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can play another user";
    CAnalyserHome home(KESTRUM_EXTCAP);
    const std::string folder = LiveCaptureFolder();
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    TempDir open;
    chmod(open.path.c_str(), 0777);
    const std::string made = open.File("sock");
    const std::string socketPath = folder + "/" + LiveCaptureSocketName(999999, 1);

    int ready[2], done[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(done));
    const pid_t child = fork();
    if (child == 0) {
        // As nobody: a listener where a window's would be.
        close(ready[0]);
        close(done[1]);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        made.copy(address.sun_path, sizeof address.sun_path - 1);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        if (setgid(65534) != 0 || setuid(65534) != 0 ||
            bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            listen(listener, 4) != 0)
            _exit(1);
        char c = 1;
        [[maybe_unused]] ssize_t n = write(ready[1], &c, 1);
        n = read(done[0], &c, 1);
        _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    ASSERT_EQ(0, rename(made.c_str(), socketPath.c_str()));

    const std::string interface = WindowInterfaceName(LiveCaptureSocketName(999999, 1));
    const std::string capture = std::string(KESTRUM_EXTCAP) + " --capture --extcap-interface " + interface +
                                " --fifo " + home.File("never");
    int status = 0;
    std::string out = RunCommand(std::string(KESTRUM_EXTCAP) + " --extcap-interfaces", status);
    EXPECT_EQ(std::string::npos, out.find(interface)) << out;
    out = RunCommand(capture, status);
    EXPECT_NE(0, status);
    EXPECT_NE(std::string::npos, out.find("belongs to user 65534")) << out;

    // The file made ours: the process behind it still is not.
    ASSERT_EQ(0, lchown(socketPath.c_str(), 0, 0));
    out = RunCommand(std::string(KESTRUM_EXTCAP) + " --extcap-interfaces", status);
    EXPECT_EQ(std::string::npos, out.find(interface)) << out;
    out = RunCommand(capture, status);
    EXPECT_NE(0, status);
    EXPECT_NE(std::string::npos, out.find("answered by a process of user 65534")) << out;

    [[maybe_unused]] const ssize_t n = write(done[1], &c, 1);
    waitpid(child, nullptr, 0);
}

// A caller that stops reading costs the window nothing: its queue is bounded, what does not fit
// is dropped, and once it reads again the stream says how many packets it lost, where.
TEST(Extcap, StuckCallerLosesPacketsAndIsTold)
{
    TempDir dir;
    chmod(dir.path.c_str(), 0700);
    CLiveCaptureDoor door;
    const std::string path = dir.File("live-1-1");
    ASSERT_EQ("", door.Start(path, PcapngHeader(LogPcapngInterfaces("ttyS0", "")), "", 16 * 1024));
    door.SetDropNote([](uint64_t packets, uint64_t) {
        std::string block;
        const std::string text = "dropped " + std::to_string(packets);
        AppendLogPcapng(block, LogDirection::Note, reinterpret_cast<const uint8_t *>(text.data()),
                        text.size(), 0);
        return block;
    });
    std::string why;
    const int fd = ConnectLiveWindow(path, why);
    ASSERT_GE(fd, 0) << why;
    ASSERT_TRUE(WaitFor([&] { return door.Attached(); }));

    // Far more than the queue and the socket's buffers hold, while the caller reads nothing.
    const std::vector<uint8_t> payload(1000, 0x55);
    const auto packet = [&](uint8_t mark) {
        std::vector<uint8_t> bytes = payload;
        bytes[0] = mark;
        std::string block;
        AppendLogPcapng(block, LogDirection::Received, bytes.data(), bytes.size(), 1);
        return block;
    };
    constexpr int kPosted = 2000;
    for (int i = 0; i < kPosted; ++i)
        door.Post(packet(1));
    // The reader wakes up: the rest of what fitted comes, then, before the next packet, the note.
    std::string stream;
    const auto readAll = [&] {
        char chunk[65536];
        pollfd p = {fd, POLLIN, 0};
        while (poll(&p, 1, 0) == 1)
            if (const ssize_t n = read(fd, chunk, sizeof chunk); n > 0)
                stream.append(chunk, static_cast<size_t>(n));
            else
                break;
    };
    ASSERT_TRUE(WaitFor([&] {
        readAll();
        return door.QueuedBytes() == 0;
    }));
    readAll();
    const std::string last = packet(2);
    door.Post(last);
    ASSERT_TRUE(WaitFor([&] {
        readAll();
        return stream.size() >= last.size() &&
               stream.compare(stream.size() - last.size(), last.size(), last) == 0;
    }));
    close(fd);
    const ST_PcapngContent content =
        ParsePcapng(reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    size_t received = 0, dropped = 0;
    const ST_PcapngRecord *lastNote = nullptr;
    for (const ST_PcapngRecord &record : content.Records) {
        if (!record.Comment.empty()) {
            dropped += std::stoul(record.Comment.substr(8));
            lastNote = &record;
        } else if (record.Bytes[0] == 1) {
            ++received;
        }
    }
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(&content.Records[content.Records.size() - 2], lastNote)
        << "the note stands before the next packet";
    EXPECT_EQ(static_cast<size_t>(kPosted), received + dropped);
}
