#include "transfer/LoaderManager.h"

#include "common/TransferWindow.h"

#include <algorithm>

loaderManager::~loaderManager()
{
    closeAll();
}

void loaderManager::registerWindow(TransferWindow* window)
{
    windows_.push_back(window);
}

void loaderManager::unregisterWindow(TransferWindow* window)
{
    std::erase(windows_, window);
}

bool loaderManager::hasUnfinishedOperations() const
{
    return std::any_of(
        windows_.begin(), windows_.end(), [](const TransferWindow* w) { return w->operationUnfinished(); });
}

void loaderManager::closeAll()
{
    // A closing window unregisters itself, so take them from the back.
    while (!windows_.empty()) {
        TransferWindow* newest = windows_.back();
        windows_.pop_back();
        newest->closeAndStop();
    }
}
