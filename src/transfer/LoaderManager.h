#pragma once

#include <vector>

class LoaderThread;
class TransferWindow;

// The registry of what the transfer engine runs: every transfer window and
// every worker that exists. There is no queue and no limit on running
// operations. It owns neither: each window owns its worker, and destroying
// the manager closes the windows it still holds. Main thread only.
class loaderManager
{
public:
    loaderManager() = default;
    ~loaderManager();
    loaderManager(const loaderManager&) = delete;
    loaderManager& operator=(const loaderManager&) = delete;

    // A window registers itself when created and unregisters when destroyed;
    // it adds its worker when it starts it and removes it when it deletes it.
    void registerWindow(TransferWindow* window);
    void unregisterWindow(TransferWindow* window);
    void addWorker(LoaderThread* worker);
    void removeWorker(LoaderThread* worker);

    bool hasUnfinishedOperations() const;
    // The worker's window is forgotten first, so the worker shows nothing
    // more; then it is stopped, and this waits (serving the worker's
    // synchronous calls) until its thread has ended.
    void stopWorker(LoaderThread* worker);
    // Hides every window, oldest first, then destroys them newest first.
    void closeAll();

    const std::vector<TransferWindow*>& windows() const { return windows_; }
    const std::vector<LoaderThread*>& workers() const { return workers_; }

private:
    std::vector<TransferWindow*> windows_;
    std::vector<LoaderThread*> workers_;
};
