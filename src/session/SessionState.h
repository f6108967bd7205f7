#pragma once

#include <QString>

// The named states through which a session tells its frame what it is
// doing; the frame enables its commands from them.
enum class sessionState {
    BeginningState,
    Disconnected,
    Connecting,
    Disconnecting,
    CwdList,
    Linking,
    Making,
    Renaming,
    Transferring,
    ChmodingChpwding,
    KeepingAlive,
    Searching,
    Connected,
    // Resolved at once to Connected or Disconnected by the component's state.
    IndeterminateStable,
    // Just before and after a modal dialog: toggles the main window's
    // commands, leaves the stored state alone.
    ModalForm,
};

// "beginning-state", "CWDLIST", "chmoding/chpwding", ...
QString sessionStateName(sessionState state);

// What the views offer and show in a state.
struct sessionCommands {
    bool clientCommands = true; // the main window's client menu
    bool abort = false;
    bool upload = false;
    bool disconnect = false;
    bool remoteViews = false; // the remote tree, list and their commands
    bool back = false;
    bool forward = false;
    // A command of the session runs: the tool bar's commands act on the
    // local panes until the session is connected again.
    bool busy = false;
    // The session is connected: the tool bar's commands go back to the pane
    // they acted on before, and the remote list's popup offers Refresh.
    bool connected = false;
    bool operator==(const sessionCommands&) const = default;
};

// The groups of commands a state switches on and off; every control of the
// views that acts on a session belongs to one of them.
enum class commandGroup {
    Client, // on while the session has a page at all
    RemoteCommands, // act on the remote views' selection or the server
    Upload,
    Abort,
    Disconnect,
};

bool groupEnabled(commandGroup group, const sessionCommands& commands);

// What the session knows when it resolves a state.
struct sessionActivity {
    bool connected = false; // the component's control connection is open
    bool ready = false; // the component is in ftpReady
    bool directoryCommandIdle = true;
    bool canGoBack = false;
    bool canGoForward = false;
};

// IndeterminateStable becomes Connected or Disconnected; every other state
// stays as it is.
sessionState resolvedState(sessionState state, const sessionActivity& activity);

// The one rule of what the views offer and show in a resolved state;
// "disconnected" keeps what `previous` offered and is neither busy nor
// connected.
sessionCommands commandsFor(
    sessionState state, const sessionActivity& activity, const sessionCommands& previous);
