#pragma once

#include <QObject>

// What the shell needs of an open FTP session and of an open global search
// while the program ends. Both live on the main thread; when told to close
// they finish on their own time and then post their closed notice (with the
// is-last flag they were given) instead of deleting themselves.
class ShellSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // The "Disconnect" command, then closing the session.
    virtual void disconnectAndClose(bool isLast) = 0;
    // Reloads the current remote folder when connected.
    virtual void refreshCurrentFolder() = 0;
};

class ShellSearch : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    virtual void close(bool isLast) = 0;
    virtual void run() = 0;
};
