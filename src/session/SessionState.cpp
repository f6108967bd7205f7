#include "session/SessionState.h"

QString sessionStateName(sessionState state)
{
    switch (state) {
    case sessionState::BeginningState:
        return QStringLiteral("beginning-state");
    case sessionState::Disconnected:
        return QStringLiteral("disconnected");
    case sessionState::Connecting:
        return QStringLiteral("connecting");
    case sessionState::Disconnecting:
        return QStringLiteral("disconnecting");
    case sessionState::CwdList:
        return QStringLiteral("CWDLIST");
    case sessionState::Linking:
        return QStringLiteral("linking");
    case sessionState::Making:
        return QStringLiteral("making");
    case sessionState::Renaming:
        return QStringLiteral("renaming");
    case sessionState::Transferring:
        return QStringLiteral("transferring");
    case sessionState::ChmodingChpwding:
        return QStringLiteral("chmoding/chpwding");
    case sessionState::KeepingAlive:
        return QStringLiteral("keepingalive");
    case sessionState::Searching:
        return QStringLiteral("searching");
    case sessionState::Connected:
        return QStringLiteral("connected");
    case sessionState::IndeterminateStable:
        return QStringLiteral("indeterminate-stable");
    case sessionState::ModalForm:
        return QStringLiteral("modalform");
    }
    return {};
}

sessionState resolvedState(sessionState state, const sessionActivity& activity)
{
    if (state != sessionState::IndeterminateStable)
        return state;
    return activity.connected ? sessionState::Connected : sessionState::Disconnected;
}

sessionCommands commandsFor(
    sessionState state, const sessionActivity& activity, const sessionCommands& previous)
{
    sessionCommands commands;
    switch (state) {
    case sessionState::BeginningState:
        commands.clientCommands = false;
        return commands;
    case sessionState::Disconnected:
    case sessionState::ModalForm:
    case sessionState::IndeterminateStable:
        commands = previous;
        commands.busy = false;
        commands.connected = false;
        return commands;
    case sessionState::Connecting:
    case sessionState::Disconnecting:
        return commands;
    case sessionState::CwdList:
    case sessionState::Linking:
    case sessionState::Making:
    case sessionState::Renaming:
    case sessionState::Transferring:
    case sessionState::ChmodingChpwding:
    case sessionState::KeepingAlive:
    case sessionState::Searching:
        commands.abort = true;
        commands.busy = true;
        return commands;
    case sessionState::Connected:
        break;
    }
    commands.connected = true;
    const bool idle = activity.ready && activity.directoryCommandIdle;
    if (activity.connected && !idle) {
        commands.abort = true;
    } else {
        commands.remoteViews = true;
        commands.upload = true;
    }
    commands.disconnect = idle;
    commands.back = activity.canGoBack;
    commands.forward = activity.canGoForward;
    return commands;
}

bool groupEnabled(commandGroup group, const sessionCommands& commands)
{
    if (!commands.clientCommands)
        return false;
    switch (group) {
    case commandGroup::Client:
        return true;
    case commandGroup::RemoteCommands:
        return commands.remoteViews;
    case commandGroup::Upload:
        return commands.upload;
    case commandGroup::Abort:
        return commands.abort;
    case commandGroup::Disconnect:
        return commands.disconnect;
    }
    return false;
}
