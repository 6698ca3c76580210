#include "log/capturefile.h"

#include "tempdir.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

TEST(CaptureFile, AppendsToWhatIsThereAndCountsIt)
{
    TempDir dir;
    const std::string path = dir.File("capture.log");
    WriteRaw(path, "old\r\n");
    CCaptureFile capture;
    capture.Append("dropped before start");
    ASSERT_EQ(capture.Start(path), 0);
    EXPECT_EQ(capture.Size(), 5);
    capture.Append("Rec  :AB\r\n");
    capture.Append(std::string("\0\xFF", 2));
    capture.Flush();
    // Readable while the capture still runs: nothing waits for Stop.
    EXPECT_EQ(ReadRaw(path), std::string("old\r\nRec  :AB\r\n\0\xFF", 17));
    EXPECT_EQ(capture.Size(), 17);
    EXPECT_EQ(capture.Pending(), 0u);
    EXPECT_EQ(capture.Stop(), 0) << "synced and closed";
    EXPECT_FALSE(capture.IsRunning());
    capture.Append("after stop");
    EXPECT_EQ(ReadRaw(path).size(), 17u);
}

TEST(CaptureFile, WritersOnSeveralThreadsLoseNothing)
{
    TempDir dir;
    const std::string path = dir.File("capture.log");
    {
        CCaptureFile capture;
        ASSERT_EQ(capture.Start(path), 0);
        std::vector<std::thread> writers;
        for (char c : {'a', 'b', 'c'})
            writers.emplace_back([&capture, c] {
                for (int i = 0; i < 2000; ++i)
                    capture.Append(std::string(7, c) + "\n");
            });
        for (std::thread &t : writers)
            t.join();
        // The destructor writes what is still buffered.
    }
    const std::string text = ReadRaw(path);
    ASSERT_EQ(text.size(), 3u * 2000 * 8);
    for (size_t i = 0; i < text.size(); i += 8)
        EXPECT_EQ(text.substr(i, 8), std::string(7, text[i]) + "\n") << "lines are never torn, at " << i;
}

TEST(CaptureFile, AFileThatCannotBeOpenedIsReported)
{
    TempDir dir;
    CCaptureFile capture;
    EXPECT_NE(capture.Start(dir.File("missing/capture.log")), 0);
    EXPECT_FALSE(capture.IsRunning());
    EXPECT_NE(capture.Start(dir.path), 0) << "a folder";
}

TEST(CaptureFile, AFullDiskEndsTheCaptureOnceKeepingWhatFitted)
{
    TempDir dir;
    const std::string path = dir.File("capture.log");
    WriteRaw(path, "old\r\n");
    CCaptureFile capture;
    std::atomic<int> failures{0};
    capture.SetFailureHandler([&failures](int error) {
        EXPECT_EQ(error, EFBIG);
        ++failures;
    });
    ASSERT_EQ(capture.Start(path), 0);
    {
        const FileSizeLimit full(5 + 10);
        capture.Append("0123456789ABCDEF");
        capture.Flush();
        EXPECT_EQ(capture.Error(), EFBIG);
        capture.Append("later");
        capture.Flush();
    }
    // Room again, but a capture with a hole in it does not go on.
    capture.Append("after");
    capture.Flush();
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(capture.Size(), 15);
    EXPECT_EQ(capture.Stop(), EFBIG);
    EXPECT_EQ(ReadRaw(path), "old\r\n0123456789");
}

TEST(CaptureFile, AWriterTooFarBehindEndsTheCaptureAfterWritingAllItTook)
{
    // A pipe nobody reads holds the writer, as a disk that does not keep up would.
    TempDir dir;
    const std::string path = dir.File("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETFL, 0);
    CCaptureFile capture(1024);
    std::atomic<int> failures{0};
    capture.SetFailureHandler([&failures](int error) {
        EXPECT_EQ(error, CCaptureFile::kOverflow);
        ++failures;
    });
    ASSERT_EQ(capture.Start(path), 0);
    std::string appended;
    for (int i = 0; capture.Error() == 0 && i < 100000; ++i) {
        const std::string piece = std::to_string(i) + std::string(90, '.') + "\n";
        capture.Append(piece);
        appended += piece;
    }
    ASSERT_EQ(capture.Error(), CCaptureFile::kOverflow);
    EXPECT_LE(capture.Pending(), 1024u + 100);
    capture.Append("dropped");

    std::string received;
    std::thread drain([reader, &received] {
        char chunk[65536];
        for (ssize_t n; (n = read(reader, chunk, sizeof chunk)) > 0;)
            received.append(chunk, static_cast<size_t>(n));
    });
    EXPECT_EQ(capture.Stop(), CCaptureFile::kOverflow) << "a pipe has nothing to sync";
    drain.join();
    close(reader);
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(received, appended);
}
