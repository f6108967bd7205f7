// The registry of transfer windows and workers: the unfinished-work question
// and the order in which windows close.

#include "common/TransferWindow.h"
#include "transfer/LoaderManager.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace
{

// Unregisters itself when closed, as a real window does when destroyed.
struct FakeWindow : TransferWindow {
    FakeWindow(loaderManager& manager, QString name, QStringList& log, bool unfinished = true)
        : manager(manager)
        , name(std::move(name))
        , log(log)
        , unfinished(unfinished)
    {
        manager.registerWindow(this);
    }
    bool operationUnfinished() const override { return unfinished; }
    void hide() override { log << QStringLiteral("hide ") + name; }
    void closeAndStop() override
    {
        log << QStringLiteral("close ") + name;
        manager.unregisterWindow(this);
    }
    void operationRowRemoved() override { }

    loaderManager& manager;
    QString name;
    QStringList& log;
    bool unfinished;
};

TEST(LoaderManager, WithoutWindowsNothingIsUnfinished)
{
    loaderManager manager;
    EXPECT_FALSE(manager.hasUnfinishedOperations());
}

TEST(LoaderManager, OneRunningWindowBesideAFinishedOneIsUnfinishedWork)
{
    loaderManager manager;
    QStringList log;
    FakeWindow finished(manager, QStringLiteral("done"), log, false);
    EXPECT_FALSE(manager.hasUnfinishedOperations());
    FakeWindow running(manager, QStringLiteral("running"), log, true);
    EXPECT_TRUE(manager.hasUnfinishedOperations());
    manager.closeAll();
}

TEST(LoaderManager, ClosingHidesEveryWindowOldestFirstThenDestroysNewestFirst)
{
    QStringList log;
    {
        // The manager goes first, while the windows it holds still exist.
        auto manager = std::make_unique<loaderManager>();
        FakeWindow one(*manager, QStringLiteral("1"), log);
        FakeWindow two(*manager, QStringLiteral("2"), log);
        FakeWindow three(*manager, QStringLiteral("3"), log);
        // Destroying the manager closes what it still holds.
        manager.reset();
    }
    EXPECT_EQ(log,
        QStringList({ QStringLiteral("hide 1"), QStringLiteral("hide 2"), QStringLiteral("hide 3"),
            QStringLiteral("close 3"), QStringLiteral("close 2"), QStringLiteral("close 1") }));
}

} // namespace
