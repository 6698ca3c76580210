#include "platform/capturefile.h"

#include "tempdir.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
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
    capture.Stop();
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
