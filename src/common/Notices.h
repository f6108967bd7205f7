#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

// Notices hand control back to the main thread: an object that finishes
// asynchronously posts one to the main window's queue and never deletes
// itself; the main thread acts on it later, outside the poster's call stack.
enum class Notice : int {
    SessionClosed = 0x8064, // object: the session; value: is-last flag
    SearchClosed = 0x8065, // object: the search; value: is-last flag
    FrameClosed = 0x8066, // object: the tab page of a closed search
    ObjectDone = 0x8067, // object: a finished transfer window
    RefreshSession = 0x8068, // object: the session whose folder to reload
    RunSearch = 0x806A, // object: the search to run
    DestroyRequest = 0x8001, // ends the main loop
};

class NoticeEvent : public QEvent
{
public:
    NoticeEvent(Notice notice, QObject* object, int value)
        : QEvent(static_cast<QEvent::Type>(notice))
        , object_(object)
        , value_(value)
    {
    }

    Notice notice() const { return static_cast<Notice>(type()); }
    // Null when the object was deleted before the notice was handled.
    QObject* object() const { return object_.data(); }
    int value() const { return value_; }

    static bool isNotice(const QEvent* event)
    {
        switch (static_cast<Notice>(event->type())) {
        case Notice::SessionClosed:
        case Notice::SearchClosed:
        case Notice::FrameClosed:
        case Notice::ObjectDone:
        case Notice::RefreshSession:
        case Notice::RunSearch:
        case Notice::DestroyRequest:
            return true;
        }
        return false;
    }

private:
    QPointer<QObject> object_;
    int value_;
};

// Safe from any thread.
inline void postNotice(QObject* receiver, Notice notice, QObject* object = nullptr, int value = 0)
{
    QCoreApplication::postEvent(receiver, new NoticeEvent(notice, object, value));
}
