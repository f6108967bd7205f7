#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <type_traits>

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
    // Qt copies the functor into memory of its own inside invokeMethod, after
    // anything announced before the call, and destroys it in the calling
    // thread once the target has run it. So every copy of the capture
    // announces itself by its own address, which the target names without
    // reading the copy.
    struct Announced {
        int* token;
        std::remove_reference_t<Call>* call;
        Announced(int* handOverToken, std::remove_reference_t<Call>* callToRun)
            : token(handOverToken)
            , call(callToRun)
        {
            handOverRelease(this);
        }
        Announced(const Announced& other)
            : token(other.token)
            , call(other.call)
        {
            handOverRelease(this);
        }
        Announced& operator=(const Announced&) = delete;
        ~Announced() { handOverAcquire(this); }
    };
    QMetaObject::invokeMethod(
        target,
        [announced = Announced(&handOver, &call)] {
            handOverAcquire(&announced);
            (*announced.call)();
            handOverRelease(announced.token);
            handOverRelease(&announced);
        },
        Qt::BlockingQueuedConnection);
    handOverAcquire(&handOver);
}
