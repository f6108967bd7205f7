#include "common/BackgroundWriter.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

namespace
{

// Records which writes ran, in order; safe from the writer's thread.
struct WriteLog {
    std::mutex mutex;
    std::vector<int> ran;
    BackgroundWriter::Write write(int id)
    {
        return [this, id] {
            std::lock_guard lock(mutex);
            ran.push_back(id);
        };
    }
    std::vector<int> snapshot()
    {
        std::lock_guard lock(mutex);
        return ran;
    }
};

TEST(BackgroundWriter, AWriteWaitingBehindARunningOneIsReplacedByTheLatest)
{
    WriteLog log;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    BackgroundWriter writer;
    writer.post([&] {
        started.set_value();
        released.wait();
        log.write(1)();
    });
    started.get_future().wait();
    writer.post(log.write(2));
    writer.post(log.write(3));
    release.set_value();
    writer.flush();
    EXPECT_EQ(log.snapshot(), (std::vector<int> { 1, 3 }));
}

TEST(BackgroundWriter, FlushReturnsOnlyAfterTheWriteRan)
{
    WriteLog log;
    BackgroundWriter writer;
    for (int i = 0; i < 100; ++i) {
        writer.post(log.write(i));
        writer.flush();
        ASSERT_FALSE(log.snapshot().empty());
        EXPECT_EQ(log.snapshot().back(), i);
    }
}

TEST(BackgroundWriter, TheWriteStillWaitingRunsBeforeTheWriterEnds)
{
    WriteLog log;
    {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        BackgroundWriter writer;
        writer.post([released] { released.wait(); });
        writer.post(log.write(7));
        release.set_value();
    }
    EXPECT_EQ(log.snapshot(), (std::vector<int> { 7 }));
}

} // namespace
