#include "common/BackgroundWriter.h"

BackgroundWriter::BackgroundWriter()
    : thread_([this] { run(); })
{
}

BackgroundWriter::~BackgroundWriter()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void BackgroundWriter::post(Write write)
{
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(write);
    }
    wake_.notify_one();
}

void BackgroundWriter::flush()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void BackgroundWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || ending_; });
        if (!waiting_)
            return;
        Write write = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        write();
        lock.lock();
        writing_ = false;
        idle_.notify_all();
    }
}
