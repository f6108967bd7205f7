#pragma once

#include "session/CommandDialogs.h"
#include "session/SessionLog.h"
#include "session/SessionState.h"

#include <QString>

#include <optional>
#include <span>

struct ftpObject;
struct ftpTreeViewObject;

// The keyword dialog's answer.
struct searchRequest {
    QString keyword;
    int mode = 0; // 0 all keywords ("ANDed"), 1 any ("ORed")
};

// Everything a session shows, as the session's frame (or a test) receives
// it. The session owns the tree nodes and list entries it hands over; they
// stay valid until the matching clear call. Main thread only.
class sessionView
{
public:
    virtual ~sessionView() = default;

    // The tab's caption and the page coming to the front.
    virtual void setCaption(const QString& caption) = 0;
    virtual void bringToFront() = 0;

    // A resolved state ("indeterminate-stable" never arrives) and the
    // commands it allows.
    virtual void setState(sessionState state, const sessionCommands& commands) = 0;
    // Just before (true) and after (false) a modal dialog of the session.
    virtual void setModal(bool entering) = 0;
    virtual void showStatus(const QString& text) = 0;

    virtual void clearLog() = 0;
    // A line safe to show, and its colour class.
    virtual void appendLog(const QString& line, logColour colour) = 0;

    virtual void setPathText(const QString& path) = 0;

    virtual void clearTree() = 0;
    // Its parent has been announced before (null for the root).
    virtual void addTreeNode(const ftpTreeViewObject& node) = 0;
    virtual void selectTreeNode(const ftpTreeViewObject& node) = 0;
    virtual void sortTree() = 0;
    virtual void expandTree() = 0;

    virtual void clearList() = 0;
    // A block of new list entries, in listing order.
    virtual void addListEntries(std::span<const ftpObject* const> entries) = 0;
    // An entry already shown changed its size, date or rights.
    virtual void updateListEntry(const ftpObject& entry) = 0;
    // Entries about to be destroyed, and tree nodes about to be destroyed
    // with everything below them (none of them below another).
    virtual void removeListEntries(std::span<const ftpObject* const> entries) = 0;
    virtual void removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes) = 0;

    // The keyword dialog of a server search; nothing when cancelled.
    virtual std::optional<searchRequest> askSearchKeyword() = 0;
    // The dialogs of the file commands.
    // The edited text; empty when cancelled.
    virtual QString askName(const nameQuestion& question) = 0;
    virtual permissionsAnswer askPermissions(const permissionsQuestion& question) = 0;
    // Nothing when cancelled.
    virtual std::optional<newObjectAnswer> askNewObject() = 0;
};
