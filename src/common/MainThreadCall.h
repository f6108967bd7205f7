#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

// Qt is not built with ThreadSanitizer, so hand-overs that synchronise
// inside Qt (a blocking queued call, QThread::wait) are announced to it:
// what a thread did before handOverRelease(token) happens before what
// another does after handOverAcquire(token). Nothing without ThreadSanitizer.
inline void handOverRelease([[maybe_unused]] const void* token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void handOverAcquire([[maybe_unused]] const void* token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(token));
#endif
}

// Runs `call` on the thread of `target` and waits until it has run (directly
// when that is the calling thread). The target's thread must keep serving
// its events while the caller waits.
template <typename Call> void callOnThreadOf(QObject* target, Call&& call)
{
    if (QThread::currentThread() == target->thread()) {
        call();
        return;
    }
    int handOver = 0;
    // Qt destroys the queued functor in the calling thread before
    // invokeMethod returns: the guard's destructor orders that after the
    // target thread's use of it.
    struct AcquireOnDestruction {
        const int* token;
        ~AcquireOnDestruction() { handOverAcquire(token); }
    };
    handOverRelease(&handOver);
    QMetaObject::invokeMethod(
        target,
        [&, guard = AcquireOnDestruction { &handOver }] {
            handOverAcquire(&handOver);
            call();
            handOverRelease(&handOver);
        },
        Qt::BlockingQueuedConnection);
    handOverAcquire(&handOver);
}
