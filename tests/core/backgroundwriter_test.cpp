#include "platform/backgroundwriter.h"
#include "platform/textfile.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <unistd.h>

namespace {

// The whole text, made on the writer's thread when it asks for its first piece.
CBackgroundWriter::Producer Lazily(std::function<std::string()> make)
{
    return [make = std::move(make), given = false](std::string &piece) mutable {
        if (given)
            return false;
        given = true;
        piece = make();
        return true;
    };
}

} // namespace

TEST(BackgroundWriter, WritesOnlyTheNewestWaitingContentAndWaitSeesItOnDisk)
{
    const TempDir temp;
    const std::string &dir = temp.path;
    setenv("KESTRUM_HOME", dir.c_str(), 1);
    const std::string path = dir + "/list.txt";
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> stale{0};
    {
        CBackgroundWriter writer;
        // Hold the worker inside a write so the next two requests queue up behind it.
        std::promise<void> started;
        writer.Post(path, Lazily([&started, released] {
                        started.set_value();
                        // A test that failed before the release must not hold the worker forever.
                        released.wait_for(std::chrono::seconds(30));
                        return std::string("first");
                    }));
        ASSERT_EQ(started.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready)
            << "the worker never took the first write";
        writer.Post(path, Lazily([&stale] {
                        ++stale;
                        return std::string("stale");
                    }));
        writer.Post(path, Lazily([] { return std::string("newest"); }));
        release.set_value();
        writer.Wait();
        std::string content;
        ASSERT_TRUE(ReadWholeFile(path, content));
        EXPECT_EQ(content, "newest");
        EXPECT_EQ(stale.load(), 0);

        writer.Post(path, Lazily([] { return std::string("at exit"); }));
    }
    std::string content;
    ASSERT_TRUE(ReadWholeFile(path, content));
    EXPECT_EQ(content, "at exit") << "a request still waiting is written before the writer ends";
}

TEST(BackgroundWriter, AFailedWriteIsLoggedAndKeepsTheWriterWorking)
{
    const TempDir temp;
    const std::string &dir = temp.path;
    setenv("KESTRUM_HOME", dir.c_str(), 1);
    CBackgroundWriter writer;
    writer.Post(dir + "/missing/dir/list.txt", Lazily([] { return std::string("x"); }));
    writer.Wait();
    std::string log;
    ASSERT_TRUE(ReadWholeFile(dir + "/kestrum.log", log));
    EXPECT_NE(log.find("Cannot create file " + dir + "/missing/dir/list.txt"), std::string::npos);

    writer.Post(dir + "/ok.txt", Lazily([] { return std::string("ok"); }));
    writer.Wait();
    EXPECT_TRUE(FileExists(dir + "/ok.txt"));
}
