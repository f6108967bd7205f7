#pragma once

#include <QDeadlineTimer>
#include <functional>

// The blocking layers (TFtpClient, THttpCli, TCustomSyncWSocket) wait for
// their asynchronous requests with this loop: it runs the calling thread's
// own events (socket notifications, posted notices, timers; on the main
// thread that includes the user interface) until a condition holds.
//
//     const auto outcome = processEventsUntil([&] { return state_ == ftpReady; }, deadline_);
//
// Code that runs during the wait may re-enter the caller: check your own busy
// and closing flags again when the wait returns.

enum class WaitOutcome {
    Ready, // `ready()` returned true
    TimedOut, // the deadline passed first
    Terminating // the application is quitting or this thread was asked to stop
};

// Runs this thread's events until `ready()` is true, `deadline` has passed or
// terminationRequested() holds, whichever comes first; `ready()` is checked
// before the first round. The deadline is read again on every round, so event
// handlers may push it further (a transfer that makes progress); pass
// QDeadlineTimer::Forever for no limit. Conditions changed by other threads
// are noticed within a few milliseconds.
WaitOutcome processEventsUntil(const std::function<bool()>& ready, const QDeadlineTimer& deadline);

// True once QCoreApplication::quit()/exit() was called (aboutToQuit was
// emitted), or when the calling QThread has been asked to stop with
// requestInterruption().
bool terminationRequested();
