#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ActionsList;
class TFtpClient;
class TLoadFrame;
class connectionOptions;
class loaderManager;
struct LoadFrameSetup;

// The shell's one maker of stand-alone transfer windows, whichever part
// starts an operation on connections of its own. Main thread only.
class transferWindowOpener
{
public:
    virtual ~transferWindowOpener() = default;
    // A transfer window of its own, on connections of its own: shown, then
    // started.
    virtual void openTransferWindow(LoadFrameSetup setup) = 0;
};

// What a session needs of the shell to start transfer operations.
struct transferServices {
    ActionsList* actions = nullptr; // the operations get their rows here
    loaderManager* manager = nullptr;
    // The shell's live options: the workers take them, and the choices of
    // askNewConnection are remembered in them (and saved at the end).
    connectionOptions* options = nullptr;
    QStringList speedLabels;
    transferWindowOpener* windows = nullptr;
};

// What the session's own tab (or a test) shows of its transfers: the view of
// a transfer on the session's connection, and the download-folder chooser.
// Main thread only.
class transferViews
{
public:
    virtual ~transferViews() = default;
    // A transfer view inside the session's frame, started on the session's
    // connection, which is already detached from the main thread. The view
    // goes by posting Notice::ObjectDone to `noticeReceiver`; the core
    // returns the connection through the setup's handBack.
    virtual TLoadFrame& embedTransferView(LoadFrameSetup setup, TFtpClient& lent, QObject* noticeReceiver)
        = 0;
    // The embedded view has handed the connection back: the frame shows the
    // remote panes again.
    virtual void transferViewGone() = 0;
    // The download-folder chooser: the folder ending in "/", or "" when
    // cancelled.
    virtual QString chooseDownloadFolder() = 0;
};
