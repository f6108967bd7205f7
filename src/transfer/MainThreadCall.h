#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

// Runs `call` on the thread of `target` and waits until it has run (directly
// when that is the calling thread). The target's thread must keep serving
// its events while the caller waits.
//
// Qt's blocking queued call synchronises through code ThreadSanitizer cannot
// see, so the hand-over is announced to it explicitly.
template <typename Call> void callOnThreadOf(QObject* target, Call&& call)
{
    if (QThread::currentThread() == target->thread()) {
        call();
        return;
    }
#if defined(__SANITIZE_THREAD__)
    int handOver = 0;
    __tsan_release(&handOver);
    QMetaObject::invokeMethod(
        target,
        [&] {
            __tsan_acquire(&handOver);
            call();
            __tsan_release(&handOver);
        },
        Qt::BlockingQueuedConnection);
    __tsan_acquire(&handOver);
#else
    QMetaObject::invokeMethod(
        target, [&] { call(); }, Qt::BlockingQueuedConnection);
#endif
}
