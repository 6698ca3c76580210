// A capture going on in new files: by day, by size, per connect; the budget and compression.
#include "log/capturefile.h"

#include "tempdir.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

class CManualClock : public IClock
{
public:
    explicit CManualClock(int64_t ms) : m_ms(ms) {}
    int64_t NowMs() const override { return m_ms.load(); }
    void Set(int64_t ms) { m_ms = ms; }

private:
    std::atomic<int64_t> m_ms;
};

int64_t LocalMs(int year, int month, int day, int hour, int minute, int second)
{
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return static_cast<int64_t>(timegm(&fields)) * 1000;
}

// Every file in the folder by name with what it holds.
std::map<std::string, std::string> Files(const TempDir &dir)
{
    std::map<std::string, std::string> files;
    DIR *d = opendir(dir.path.c_str());
    while (const dirent *entry = readdir(d))
        if (entry->d_name[0] != '.')
            files[entry->d_name] = ReadRaw(dir.File(entry->d_name));
    closedir(d);
    return files;
}

using NewFile = ST_CaptureOptions::NewFile;

} // namespace

TEST(CaptureRotation, ANewDayStartsADatedFileWithADateNote)
{
    TempDir dir;
    CManualClock clock(LocalMs(2026, 12, 10, 23, 59, 59));
    CCaptureFile capture(CCaptureFile::kBufferLimit, clock);
    ST_CaptureOptions options;
    options.newFile = NewFile::EachDay;
    options.dateNotes = true;
    options.names.link = "../../Board/A";
    ASSERT_EQ(capture.Start(dir.File("{link}-{date}.log"), options), 0);
    capture.Append("Rec  :(23:59:59)a\r\n");
    clock.Set(LocalMs(2026, 12, 11, 0, 0, 1));
    capture.Append("Rec  :(00:00:01)b\r\n");
    EXPECT_EQ(capture.Stop(), 0);
    // The link's name stays a part of a name in the capture's folder.
    const std::map<std::string, std::string> expected = {
        {"___.._Board_A-2026-12-10.log", "Rec  :(23:59:59)a\r\n"},
        {"___.._Board_A-2026-12-11.log", "Note :Date 2026-12-11\r\nRec  :(00:00:01)b\r\n"}};
    EXPECT_EQ(Files(dir), expected);

    // Without new files the one file still tells the day.
    TempDir same;
    options.newFile = NewFile::Never;
    ASSERT_EQ(capture.Start(same.File("capture.log"), options), 0);
    capture.Append("a\r\n");
    clock.Set(LocalMs(2026, 12, 12, 0, 0, 0));
    capture.Append("b\r\n");
    EXPECT_EQ(capture.Stop(), 0);
    EXPECT_EQ(ReadRaw(same.File("capture.log")), "a\r\nNote :Date 2026-12-12\r\nb\r\n");
}

TEST(CaptureRotation, SizeChangesUnderAFloodSplitNoLine)
{
    TempDir dir;
    ST_CaptureOptions options;
    options.newFile = NewFile::AtSize;
    options.sizeBytes = 1000;
    CCaptureFile capture;
    ASSERT_EQ(capture.Start(dir.File("cap-{seq}.log"), options), 0);
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t)
        writers.emplace_back([&capture, t] {
            for (int i = 0; i < 3000; ++i)
                capture.Append("Rec  :" + std::to_string(t) + "-" + std::to_string(i) +
                               std::string(static_cast<size_t>(i % 50), 'x') + "\r\n");
        });
    for (std::thread &w : writers)
        w.join();
    EXPECT_EQ(capture.Stop(), 0);

    std::set<std::string> seen;
    const std::map<std::string, std::string> files = Files(dir);
    EXPECT_GT(files.size(), 100u);
    for (const auto &[name, text] : files) {
        EXPECT_LE(text.size(), 1000u) << name;
        ASSERT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) << name;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n", at);
            EXPECT_EQ(text.compare(at, 6, "Rec  :"), 0) << name << " has a torn line at " << at;
            EXPECT_TRUE(seen.insert(text.substr(at, end - at)).second)
                << "twice: " << text.substr(at, end - at);
            at = end + 2;
        }
    }
    EXPECT_EQ(seen.size(), 3u * 3000);
}

TEST(CaptureRotation, EachConnectStartsAFileAndOldFilesAreLeftAlone)
{
    TempDir dir;
    WriteRaw(dir.File("capture.log"), "before\r\n");
    ST_CaptureOptions options;
    options.newFile = NewFile::AtConnect;
    CCaptureFile capture;
    ASSERT_EQ(capture.Start(dir.File("capture.log"), options), 0);
    capture.NewFile(); // the first connect finds the file empty: no second file
    capture.Append("Note :Port opened\r\nfirst\r\n");
    capture.NewFile();
    capture.Append("Note :Port opened\r\nsecond\r\n");
    EXPECT_EQ(capture.Stop(), 0);
    const std::map<std::string, std::string> expected = {
        {"capture.log", "before\r\n"},
        {"capture-001.log", "Note :Port opened\r\nfirst\r\n"},
        {"capture-002.log", "Note :Port opened\r\nsecond\r\n"}};
    EXPECT_EQ(Files(dir), expected);
}

TEST(CaptureRotation, TheBudgetRemovesOnlyTheOldestFilesOfThisCapture)
{
    TempDir dir;
    WriteRaw(dir.File("notes.log"), "mine");
    WriteRaw(dir.File("board-007.log.bak"), "mine too");
    // Named as a capture would, but no capture made it.
    WriteRaw(dir.File("board-001.log"), "from last week");
    const timeval lastWeek[2] = {{1000, 0}, {1000, 0}};
    utimes(dir.File("board-001.log").c_str(), lastWeek);
    ST_CaptureOptions options;
    options.newFile = NewFile::AtSize;
    options.sizeBytes = 4;
    options.keepFiles = 3;
    CCaptureFile capture;
    ASSERT_EQ(capture.Start(dir.File("board-{seq}.log"), options), 0);
    for (const char *line : {"aaaa", "bbbb", "cccc", "dddd"}) {
        capture.Append(line);
        capture.Flush();
    }
    capture.WaitHousekeeping();
    const std::map<std::string, std::string> expected = {
        {"notes.log", "mine"},     {"board-007.log.bak", "mine too"}, {"board-001.log", "from last week"},
        {"board-003.log", "bbbb"}, {"board-004.log", "cccc"},         {"board-005.log", "dddd"}};
    EXPECT_EQ(Files(dir), expected);
    EXPECT_EQ(capture.Stop(), 0);

    // A budget in bytes never takes the current file, however large; the files of the capture
    // before count against it.
    options.keepFiles = 0;
    options.keepBytes = 2;
    ASSERT_EQ(capture.Start(dir.File("board-{seq}.log"), options), 0);
    capture.Append("eeee");
    capture.Flush();
    capture.WaitHousekeeping();
    const std::map<std::string, std::string> left = {{"notes.log", "mine"},
                                                     {"board-007.log.bak", "mine too"},
                                                     {"board-001.log", "from last week"},
                                                     {"board-006.log", "eeee"}};
    EXPECT_EQ(Files(dir), left);
}

TEST(CaptureRotation, FinishedFilesAreCompressedAndReadBackIdentical)
{
    TempDir dir;
    ST_CaptureOptions options;
    options.newFile = NewFile::AtConnect;
    options.compress = true;
    CCaptureFile capture;
    ASSERT_EQ(capture.Start(dir.File("cap-{seq}.log"), options), 0);
    std::string first;
    for (int i = 0; i < 20000; ++i)
        first += "Rec  :line " + std::to_string(i) + std::string(static_cast<size_t>(i % 70), '.') + "\r\n";
    capture.Append(first);
    capture.NewFile();
    capture.Append("still writing\r\n");
    capture.Flush();
    capture.WaitHousekeeping();
    const std::map<std::string, std::string> files = Files(dir);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.count("cap-001.log.gz"), 1u);
    EXPECT_EQ(files.at("cap-002.log"), "still writing\r\n") << "the current file is never compressed";

    gzFile gz = gzopen(dir.File("cap-001.log.gz").c_str(), "rb");
    ASSERT_NE(gz, nullptr);
    std::string back;
    char chunk[65536];
    for (int n; (n = gzread(gz, chunk, sizeof chunk)) > 0;)
        back.append(chunk, static_cast<size_t>(n));
    gzclose(gz);
    EXPECT_EQ(back, first);
    EXPECT_EQ(capture.Stop(), 0);
}

TEST(CaptureRotation, ANewFileThatCannotBeMadeEndsTheCaptureNamingIt)
{
    TempDir dir;
    ST_CaptureOptions options;
    options.newFile = NewFile::AtSize;
    options.sizeBytes = 4;
    std::atomic<int> failures{0};
    CCaptureFile capture;
    capture.SetFailureHandler([&failures](int) { ++failures; });

    // The disk full at the moment of a new file: it is made, but takes nothing.
    ASSERT_EQ(capture.Start(dir.File("cap-{seq}.log"), options), 0);
    capture.Append("aaaa");
    capture.Flush();
    {
        const FileSizeLimit full(3);
        capture.Append("bbbb");
        capture.Flush();
    }
    capture.Append("cccc");
    capture.Flush();
    EXPECT_EQ(capture.Error(), EFBIG);
    EXPECT_EQ(capture.Path(), dir.File("cap-002.log"));
    EXPECT_EQ(capture.Stop(), EFBIG);
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(ReadRaw(dir.File("cap-001.log")), "aaaa") << "the old file is whole";

    // The folder gone: the next file cannot be made at all.
    TempDir other;
    const std::string folder = other.File("logs");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(capture.Start(folder + "/cap-{seq}.log", options), 0);
    capture.Append("aaaa");
    capture.Flush();
    ASSERT_EQ(rename(folder.c_str(), other.File("moved").c_str()), 0);
    capture.Append("bbbb");
    capture.Flush();
    EXPECT_EQ(capture.Error(), ENOENT);
    EXPECT_EQ(capture.Path(), folder + "/cap-002.log");
    EXPECT_EQ(capture.Stop(), ENOENT);
    EXPECT_EQ(failures.load(), 2);
    EXPECT_EQ(ReadRaw(other.File("moved/cap-001.log")), "aaaa");
}

TEST(CaptureRotation, TheBudgetLeavesTheUsersFilesAndOtherCapturesAlone)
{
    TempDir dir;
    WriteRaw(dir.File("dev-2019.log"), "the user's");
    WriteRaw(dir.File("dev.log.gz"), "the user's too");
    ST_CaptureOptions options;
    options.newFile = NewFile::AtSize;
    options.sizeBytes = 4;
    options.keepFiles = 3;
    // Two links whose names fit each other's pattern, and two windows with one pattern.
    CCaptureFile dev, dev2, first, second;
    options.names.link = "dev";
    ASSERT_EQ(dev.Start(dir.File("{link}.log"), options), 0);
    options.names.link = "dev-2";
    ASSERT_EQ(dev2.Start(dir.File("{link}.log"), options), 0);
    ASSERT_EQ(first.Start(dir.File("capture.log"), options), 0);
    ASSERT_EQ(second.Start(dir.File("capture.log"), options), 0);
    CCaptureFile *captures[] = {&dev, &dev2, &first, &second};
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 4; ++c) {
            captures[c]->Append(std::to_string(i) + "ab" + std::to_string(c));
            captures[c]->Flush();
            captures[c]->WaitHousekeeping();
        }
    const std::map<std::string, std::string> files = Files(dir);
    EXPECT_EQ(files.at("dev-2019.log"), "the user's");
    EXPECT_EQ(files.at("dev.log.gz"), "the user's too");
    // Each keeps its own newest three, the one it writes last.
    for (int c = 0; c < 4; ++c) {
        int own = 0;
        for (const auto &[name, text] : files)
            if (!text.empty() && text.back() == static_cast<char>('0' + c))
                ++own;
        EXPECT_EQ(own, 3) << "capture " << c;
        EXPECT_EQ(ReadRaw(captures[c]->Path()), "5ab" + std::to_string(c)) << captures[c]->Path();
    }
    EXPECT_EQ(files.size(), 2u + 4 * 3);
    for (CCaptureFile *capture : captures)
        EXPECT_EQ(capture->Stop(), 0);
}

TEST(CaptureRotation, NewFilesNeverGoBackToTheBareName)
{
    TempDir dir;
    ST_CaptureOptions options;
    options.newFile = NewFile::AtSize;
    options.sizeBytes = 1;
    options.keepFiles = 2;
    CCaptureFile capture;
    for (const char *run : {"abcde", "fg"}) {
        ASSERT_EQ(capture.Start(dir.File("cap.log"), options), 0);
        for (const char *c = run; *c; ++c) {
            capture.Append(c, 1);
            capture.Flush();
            capture.WaitHousekeeping();
        }
        EXPECT_EQ(capture.Stop(), 0);
        // A file of the user's put in the place of one of the capture's is not the capture's.
        if (*run == 'a') {
            ASSERT_EQ(rename(dir.File("cap-003.log").c_str(), dir.File("cap-003.moved").c_str()), 0);
            WriteRaw(dir.File("cap-003.log"), "mine");
        }
    }
    // The names sort as the files were made, also after the budget freed the first name.
    const std::map<std::string, std::string> expected = {
        {"cap-003.log", "mine"}, {"cap-003.moved", "d"}, {"cap-005.log", "f"}, {"cap-006.log", "g"}};
    EXPECT_EQ(Files(dir), expected);
}

TEST(CaptureRotation, ALinkPutAtANameTheCaptureMakesIsNeverFollowed)
{
    TempDir dir, elsewhere;
    const std::string target = elsewhere.File("target");
    WriteRaw(target, "precious");
    // Without new files: the one file.
    ASSERT_EQ(symlink(target.c_str(), dir.File("capture.log").c_str()), 0);
    CCaptureFile capture;
    EXPECT_EQ(capture.Start(dir.File("capture.log")), ELOOP);

    // With them: a numbered name taken by a link is passed over, and the compressor's temporary
    // and final names are not written through.
    ASSERT_EQ(symlink(target.c_str(), dir.File("cap-001.log").c_str()), 0);
    ST_CaptureOptions options;
    options.newFile = NewFile::AtConnect;
    options.compress = true;
    ASSERT_EQ(capture.Start(dir.File("cap-{seq}.log"), options), 0);
    EXPECT_EQ(capture.Path(), dir.File("cap-002.log"));
    capture.Append("two\r\n");
    ASSERT_EQ(symlink(target.c_str(), dir.File("cap-002.log.gz.part").c_str()), 0);
    capture.NewFile();
    capture.Append("three\r\n");
    capture.Flush();
    WriteRaw(dir.File("cap-003.log.gz"), "the user's");
    capture.NewFile();
    capture.Append("four\r\n");
    capture.Flush();
    capture.WaitHousekeeping();
    EXPECT_EQ(capture.Stop(), 0);
    EXPECT_EQ(ReadRaw(target), "precious");
    const std::map<std::string, std::string> files = Files(dir);
    EXPECT_EQ(files.at("cap-002.log"), "two\r\n") << "left as it was";
    EXPECT_EQ(files.at("cap-003.log"), "three\r\n");
    EXPECT_EQ(files.at("cap-003.log.gz"), "the user's");
    EXPECT_EQ(files.at("cap-004.log"), "four\r\n");
}
