#include "net/EventWait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <optional>

namespace
{

std::atomic<bool> applicationQuitting { false };

void watchForQuit()
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { applicationQuitting = true; });
}
Q_COREAPP_STARTUP_FUNCTION(watchForQuit)

// How often the wait looks at its condition when no event arrives, so that a
// condition set by another thread or an expired deadline ends it promptly.
constexpr std::chrono::milliseconds recheckInterval { 5 };

} // namespace

bool terminationRequested()
{
    const auto* app = QCoreApplication::instance();
    if (!app || applicationQuitting.load() || QCoreApplication::closingDown())
        return true;
    const QThread* current = QThread::currentThread();
    return current != app->thread() && current->isInterruptionRequested();
}

WaitOutcome processEventsUntil(const std::function<bool()>& ready, const QDeadlineTimer& deadline)
{
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    // The timer only wakes the dispatcher; it has nothing to do itself.
    std::optional<QTimer> recheck;
    if (dispatcher) {
        recheck.emplace();
        recheck->start(recheckInterval);
    }
    for (;;) {
        if (ready())
            return WaitOutcome::Ready;
        if (terminationRequested())
            return WaitOutcome::Terminating;
        if (deadline.hasExpired())
            return WaitOutcome::TimedOut;
        if (dispatcher) {
            dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
    }
}
