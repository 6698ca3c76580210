#include "platform/appfolder.h"
#include "platform/bulkmemory.h"
#include "platform/diaglog.h"
#include "platform/errors.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct HomeDir
{
    HomeDir()
    {
        char tmpl[] = "/tmp/kestrum_home_XXXXXX";
        path = mkdtemp(tmpl);
        setenv("KESTRUM_HOME", path.c_str(), 1);
    }
    ~HomeDir()
    {
        unsetenv("KESTRUM_HOME");
        std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string path;
};

bool IsDir(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

TEST(StrToInt, AcceptsOnlyWholeDecimalIntegers)
{
    EXPECT_EQ(StrToInt("9600"), 9600);
    EXPECT_EQ(StrToInt("-5"), -5);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    for (const char *bad : {"", "-", "+", "abc", "12a", " 12", "12 ", "1.5", "0x10", "2147483648",
                            "-2147483649", "99999999999999999999999999"})
        EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
        EXPECT_EQ(e.Text(), "abc");
    }
}

TEST(AppFolder, HomeVariableWinsOverTheProgramFolder)
{
    {
        HomeDir home;
        const std::string sub = home.path + "/a/b/";
        setenv("KESTRUM_HOME", sub.c_str(), 1);
        EXPECT_EQ(AppFolder(), home.path + "/a/b");
        EXPECT_TRUE(IsDir(home.path + "/a/b"));
        EXPECT_EQ(AppFilePath("Default.cps"), home.path + "/a/b/Default.cps");
        EXPECT_EQ(DiagLogPath(), home.path + "/a/b/kestrum.log");
    }
    // Without the variable the program's own (writable) folder is used.
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(AppFolder(), exe.substr(0, exe.rfind('/')));
}

TEST(AppFolder, AnInstalledProgramKeepsItsFilesInTheUsersDataFolder)
{
    HomeDir home;
    const std::string data = home.path + "/data";
    const char *old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    mkdir((home.path + "/bin").c_str(), 0755);
    mkdir((home.path + "/build").c_str(), 0755);
    // A writable bin folder (as for root) is still no place for working files.
    EXPECT_EQ(AppFolderFor(home.path + "/bin/kestrum"), data + "/kestrum");
    EXPECT_TRUE(IsDir(data + "/kestrum"));
    EXPECT_EQ(AppFolderFor(home.path + "/build/kestrum"), home.path + "/build");
    EXPECT_EQ(AppFolderFor(home.path + "/missing/kestrum"), data + "/kestrum");
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST(DiagLog, LinesEndInCrLfAndTextIsNeverAFormat)
{
    HomeDir home;
    const std::string log = DiagLogPath();
    AppendLogLine(log, "CSerial::Open - Unable to open port");
    AppendLogLine(log, "two\nparts");
    AppendLogLine(log, "already\r\nended");
    AppendLogFormatted(log, "%s - %d", "%n%s%x", 5);
    EXPECT_EQ(ReadRaw(log), "CSerial::Open - Unable to open port\r\ntwo\r\nparts\r\nalready\r\nended\r\n"
                            "%n%s%x - 5\r\n");

    const std::string huge(5000, 'z');
    AppendLogFormatted(home.path + "/big.log", "%s", huge.c_str());
    EXPECT_EQ(ReadRaw(home.path + "/big.log"), std::string(1023, 'z') + "\r\n");

    AppendLogLine(home.path + "/no/such/dir/x.log", "dropped"); // must not throw or crash
}

TEST(DiagLog, BoundedToOneMebibyteWithOneOldFileAndEveryLineKept)
{
    HomeDir home;
    const std::string log = DiagLogPath();
    const std::string line(98, '.'); // 100 bytes with CR LF
    const int perFile = static_cast<int>(kDiagLogLimit / 100);
    for (int i = 0; i < perFile + 5; ++i)
        AppendLogLine(log, line);
    std::string old = ReadRaw(log + ".1");
    EXPECT_EQ(old.size(), static_cast<size_t>(perFile) * 100);
    EXPECT_EQ(ReadRaw(log).size(), 500u);

    // Lines are never split across the two files, and the next move replaces the old file.
    const std::string odd(60, '#');
    const size_t oddLines = kDiagLogLimit / 62 + 10;
    for (size_t i = 0; i < oddLines; ++i)
        AppendLogLine(log, odd);
    old = ReadRaw(log + ".1");
    EXPECT_LE(old.size(), kDiagLogLimit);
    EXPECT_EQ(old.rfind(line + "\r\n", 0), 0u); // the lines from before the move
    EXPECT_EQ((old.size() - 500) % 62, 0u);
    const std::string now = ReadRaw(log);
    EXPECT_EQ(now.size() % 62, 0u);
    EXPECT_EQ((old.size() - 500 + now.size()) / 62, oddLines);

    // A log removed while the program runs is started again, not written into the void.
    std::remove(log.c_str());
    AppendLogLine(log, "after");
    EXPECT_EQ(ReadRaw(log), "after\r\n");
}

// A flood of line events traces one wait after another; what went wrong before it is still there.
TEST(DiagLog, FailuresOutliveAFloodOfTracesInAFileOfTheirOwn)
{
    HomeDir home;
    const std::string log = DiagLogPath();
    const std::string failures = DiagFailurePath(log);
    EXPECT_EQ(failures, home.path + "/kestrum-failures.log");
    AppendLogLine(log, "CSerial::Setup - Unable to set DCB information");
    const std::string begin = "CSerialEx::ThreadProc - Begin";
    for (size_t written = 0; written < 2 * kDiagLogLimit + 1000; written += begin.size() + 2)
        AppendLogTrace(log, begin);
    EXPECT_EQ((ReadRaw(log + ".1") + ReadRaw(log)).find("Unable to set DCB"), std::string::npos)
        << "the flood did not fill both generations";
    EXPECT_EQ(ReadRaw(failures), "CSerial::Setup - Unable to set DCB information\r\n");

    // Bounded like the log, at its own limit.
    const std::string line(98, '!');
    for (size_t i = 0; i < kDiagFailureLimit / 100 + 5; ++i)
        AppendLogLine(log, line);
    EXPECT_LE(ReadRaw(failures + ".1").size(), kDiagFailureLimit);
    EXPECT_EQ(ReadRaw(failures + ".1").rfind("CSerial::Setup", 0), 0u);
    EXPECT_EQ(ReadRaw(failures).size(), 600u);
}

TEST(DiagLog, LinesFromManyThreadsStayWhole)
{
    HomeDir home;
    const std::string log = DiagLogPath();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
                AppendLogLine(log, "CSerialEx::ThreadProc - Begin " + std::to_string(t));
        });
    for (std::thread &t : threads)
        t.join();
    std::istringstream in(ReadRaw(log));
    std::string l;
    int lines = 0;
    while (std::getline(in, l)) {
        ++lines;
        ASSERT_EQ(l.rfind("CSerialEx::ThreadProc - Begin ", 0), 0u) << l;
        ASSERT_EQ(l.size(), 32u) << l;
    }
    EXPECT_EQ(lines, 2000);
}

// The regions a reserve hands over are whole, zeroed and each the caller's alone, made ready or
// not yet; a reserve that goes while it prepares the next ends.
TEST(BulkMemory, AReserveHandsOverWholeFreshRegions)
{
    std::vector<BulkBytes> taken;
    {
        CBulkReserve reserve(kHugePage);
        for (int i = 0; i < 4; ++i) {
            taken.push_back(reserve.Take());
            uint8_t *bytes = taken.back().get();
            ASSERT_NE(bytes, nullptr);
            EXPECT_EQ(static_cast<size_t>(std::count(bytes, bytes + kHugePage, 0)), kHugePage) << i;
            std::memset(bytes, i + 1, kHugePage);
        }
    }
    for (size_t i = 0; i < taken.size(); ++i) {
        const uint8_t *bytes = taken[i].get();
        EXPECT_EQ(static_cast<size_t>(std::count(bytes, bytes + kHugePage, static_cast<uint8_t>(i + 1))),
                  kHugePage)
            << i;
    }
}
