#pragma once

#include <vector>

class TransferWindow;

// Keeps the open transfer windows; there is no queue and no limit on running
// operations. Destroying it closes every window, newest first, which stops
// their workers. Main thread only.
class loaderManager
{
public:
    loaderManager() = default;
    ~loaderManager();
    loaderManager(const loaderManager&) = delete;
    loaderManager& operator=(const loaderManager&) = delete;

    void registerWindow(TransferWindow* window);
    void unregisterWindow(TransferWindow* window);

    bool hasUnfinishedOperations() const;
    void closeAll();

private:
    std::vector<TransferWindow*> windows_;
};
