#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Runs writes on a thread of its own, so that a slow disk (an fsync behind
// gigabytes of downloaded data) never stalls the thread that asks for them.
// Each write must be a whole snapshot: a write posted while another still
// waits replaces it, because only the latest state is worth the disk.
class BackgroundWriter
{
public:
    using Write = std::function<void()>;

    BackgroundWriter();
    // Runs the write still waiting, then ends the thread.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    void post(Write write);
    // Returns once no write waits or runs: what was posted is on disk.
    void flush();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<Write> waiting_;
    bool writing_ = false;
    bool ending_ = false;
    std::thread thread_;
};
