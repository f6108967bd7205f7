#include "transfer/LoaderManager.h"

#include "common/TransferWindow.h"
#include "transfer/LoaderThread.h"

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

void loaderManager::addWorker(LoaderThread* worker)
{
    workers_.push_back(worker);
}

void loaderManager::removeWorker(LoaderThread* worker)
{
    std::erase(workers_, worker);
}

bool loaderManager::hasUnfinishedOperations() const
{
    return std::any_of(
        windows_.begin(), windows_.end(), [](const TransferWindow* w) { return w->operationUnfinished(); });
}

void loaderManager::stopWorker(LoaderThread* worker)
{
    worker->clearWindow();
    worker->stopAndWait();
}

void loaderManager::closeAll()
{
    // Every window disappears before the first worker is waited for, so the
    // user does not watch them close one by one.
    for (TransferWindow* window : windows_)
        window->hide();
    // A closing window unregisters itself, so take them from the back.
    while (!windows_.empty()) {
        TransferWindow* newest = windows_.back();
        windows_.pop_back();
        newest->closeAndStop();
    }
}
