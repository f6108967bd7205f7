// The commands that change things on the server with single commands on the
// session's own connection: rename and move, new folders and bookmark
// uploads, permissions and the account's password.

#include "session/FtpClient.h"

#include "common/LinkFile.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "net/VisibleText.h"
#include "remote/RemotePath.h"
#include "session/Permissions.h"
#include "session/SessionView.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <unordered_set>

namespace
{

QByteArray toBytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<std::string> namesOf(std::span<const ftpObject* const> entries)
{
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const ftpObject* entry : entries)
        names.push_back(entry->name);
    return names;
}

bool within(const ftpTreeViewObject* node, const ftpTreeViewObject& subtree)
{
    for (; node; node = node->parent) {
        if (node == &subtree)
            return true;
    }
    return false;
}

using treeNodeSet = std::unordered_set<const ftpTreeViewObject*>;

// Whether `node` is one of `subtrees` or lies below one.
bool withinAny(const ftpTreeViewObject* node, const treeNodeSet& subtrees)
{
    for (; node; node = node->parent) {
        if (subtrees.contains(node))
            return true;
    }
    return false;
}

namespace texts
{
QString renameRefused()
{
    return QStringLiteral("Rename operation failed. You do not have the permission to rename.");
}
QString overwriteOne()
{
    return QStringLiteral("Moving/renaming may cause overwriting. Do you still want to move the object?");
}
QString overwriteSeveral()
{
    return QStringLiteral("Moving/renaming may cause overwriting. Do you still want to move the object(s)?");
}
QString notConnected()
{
    return QStringLiteral("Please connect to a FTP server first, Folder/link creation error");
}
QString busy()
{
    return QStringLiteral("FTP connection is busy, Folder/link creation error");
}
QString mkdRefused()
{
    return QStringLiteral(
        "Unable to create folder. (possibly, you do not have write permission on this server)");
}
QString linkUploadRefused()
{
    return QStringLiteral(
        "Unable to upload file. (possibly, you do not have write permission on this server)");
}
QString noUnixPermissions()
{
    return QStringLiteral("This server does NOT support UNIX-type permissions (CHMOD command)");
}
QString chpwdRefused()
{
    return QStringLiteral(
        "This server does NOT support remotely changing passwords\nand/or you are trying to change the "
        "password of Anonymous user\n(which is illegal).");
}
QString unsendable()
{
    return QStringLiteral(
        "The text holds a line break or a NUL character, which cannot be sent to the server.\n"
        "Nothing was sent.");
}
QString notAMode()
{
    return QStringLiteral(
        "A permission number holds the digits 0 to 7 only (for example 755).\nNothing was changed.");
}
QString modeNotChanged(const QString& path)
{
    return QStringLiteral("Permissions not changed: ") + path;
}
QString notChanged(const QString& paths)
{
    return QStringLiteral("Not changed:\n") + paths;
}
QString bookmarkAdded()
{
    return QStringLiteral("The current site is added to your bookmarks into the root folder.");
}
QString locksOut(int mode)
{
    return QStringLiteral(
        "The permission number %1 takes reading, writing or entering away from your own account, "
        "which can lock you out of these objects.\nDo you still want to change the permissions?")
        .arg(mode);
}
} // namespace texts

} // namespace

// ------------------------------------------------------------ rename and move

void ftpClient::renameEntry(const ftpObject& entry)
{
    const commandScope scope(*this);
    showStatus(QStringLiteral("Renaming.."));
    const std::string oldPath = remotePath::join(entry.directory, entry.name);
    const ftpObject* renamed = &entry;
    view_->setModal(true);
    const QString answer = view_->askName(
        { QStringLiteral("Enter new object name"), QStringLiteral("Ok"), decodeRemoteText(oldPath) });
    view_->setModal(false);
    const std::string newPath = answer.toStdString();
    if (!newPath.empty() && newPath != oldPath && !closing_ && sendable(answer)
        && prompter_.askYesNo(texts::overwriteOne())) {
        setSessionState(sessionState::Renaming);
        renamePath(oldPath, newPath);
        removeEntries(std::span<const ftpObject* const>(&renamed, 1));
        relistCurrentFolder();
        setSessionState(sessionState::IndeterminateStable);
    }
    finishCommand();
}

void ftpClient::moveEntries(
    std::span<const ftpObject* const> entries, const ftpTreeViewObject& target, bool askFirst)
{
    const commandScope scope(*this);
    if (entries.empty() || (askFirst && !prompter_.askYesNo(texts::overwriteSeveral())))
        return;
    setSessionState(sessionState::Renaming);
    showStatus(QStringLiteral("Moving object(s).."));
    const std::string targetPath = target.path;
    // Both folders change: a cached listing of either would now be wrong.
    QFile::remove(cacheFileOf(targetPath));
    QFile::remove(cacheFileOf(currentDirectory_));
    const std::string from = currentDirectory_;
    for (const std::string& name : namesOf(entries)) {
        const std::string source = remotePath::plainForm(remotePath::join(from, name));
        // A folder dropped onto itself stays where it is.
        if (source != remotePath::plainForm(targetPath) && !closing_)
            renamePath(source, remotePath::join(targetPath, name));
    }
    removeEntries(entries);
    relistCurrentFolder();
    setSessionState(sessionState::IndeterminateStable);
}

void ftpClient::moveTreeNode(const ftpTreeViewObject& node, const ftpTreeViewObject& target)
{
    const commandScope scope(*this);
    if (within(&target, node) || !prompter_.askYesNo(texts::overwriteSeveral()))
        return;
    setSessionState(sessionState::Renaming);
    showStatus(QStringLiteral("Moving object(s).."));
    const std::string from = node.path;
    const std::string to = remotePath::plainForm(remotePath::join(target.path, node.name));
    QFile::remove(cacheFileOf(target.path));
    if (node.parent)
        QFile::remove(cacheFileOf(node.parent->path));
    renamePath(from, to);
    const ftpTreeViewObject* moved = &node;
    removeTreeNodes(std::span(&moved, 1));
    if (!closing_) {
        relist_ = true;
        changeDirectoryAndList(to);
        relist_ = false;
    }
    setSessionState(sessionState::IndeterminateStable);
}

bool ftpClient::renamePath(const std::string& from, const std::string& to)
{
    if (to.empty() || to == from || closing_)
        return false;
    ftp_->SetHostFileName(toBytes(from));
    ftp_->SetRenameTarget(toBytes(to));
    const bool renamed = ftp_->Ren();
    ftp_->SetHostFileName({});
    ftp_->SetRenameTarget({});
    if (!renamed)
        showError(texts::renameRefused());
    finishCommand();
    return renamed;
}

// ------------------------------------------------------------ new objects

void ftpClient::makeObject()
{
    const commandScope scope(*this);
    if (!ftp_->GetConnected()) {
        showServerError(texts::notConnected());
        return;
    }
    if (!commands_.remoteViews) {
        showServerError(texts::busy());
        return;
    }
    view_->setModal(true);
    const std::optional<newObjectAnswer> answer = view_->askNewObject();
    view_->setModal(false);
    if (!answer || closing_)
        return;
    const QString name = answer->folderName.isEmpty() ? answer->linkName : answer->folderName;
    if (name.isEmpty() || !sendable(name))
        return;
    setSessionState(sessionState::Making);
    ftp_->SetHostFileName(toBytes(remotePath::join(currentDirectory_, name.toStdString())));
    if (!answer->folderName.isEmpty()) {
        if (!ftp_->Mkd())
            showServerError(texts::mkdRefused());
    } else {
        showStatus(QStringLiteral("Uploading ") + name);
        ftp_->SetLocalFileName(answer->linkFile);
        if (!ftp_->Put())
            showServerError(texts::linkUploadRefused());
        ftp_->SetLocalFileName({});
    }
    ftp_->SetHostFileName({});
    relistCurrentFolder();
    finishCommand();
    setSessionState(sessionState::IndeterminateStable);
}

// ------------------------------------------------------------ permissions and password

void ftpClient::changePermissions(std::span<const ftpObject* const> selected)
{
    const commandScope scope(*this);
    if (selected.empty())
        return;
    if (selected.front()->rights == "???????") {
        showServerError(texts::noUnixPermissions());
        return;
    }
    std::vector<permissions::chmodTarget> targets;
    targets.reserve(selected.size());
    for (const ftpObject* entry : selected)
        targets.push_back(permissions::targetOf(*entry));
    view_->setModal(true);
    const permissionsAnswer answer = view_->askPermissions(permissions::questionFor(selected));
    view_->setModal(false);
    std::optional<int> mode;
    switch (answer.from) {
    case permissionsAnswer::source::Cancelled:
        return;
    case permissionsAnswer::source::Boxes:
        mode = permissions::modeFromBoxes(answer.checked);
        break;
    case permissionsAnswer::source::Manual:
        mode = permissions::modeFromText(answer.manualText);
        break;
    }
    if (!mode) {
        showError(texts::notAMode());
        return;
    }
    const bool locksOut = std::any_of(targets.begin(), targets.end(),
        [&](const permissions::chmodTarget& target) { return permissions::locksOwnerOut(*mode, target); });
    // No box checked reads as no answer, as it always has.
    if (*mode == 0 || closing_ || (locksOut && !prompter_.askYesNo(texts::locksOut(*mode))))
        return;
    setSessionState(sessionState::ChmodingChpwding);
    showStatus(QStringLiteral("Changing object attributes.."));
    changeModes(*mode, targets);
    relistCurrentFolder();
    setSessionState(sessionState::IndeterminateStable);
}

void ftpClient::changeModes(int mode, const std::vector<permissions::chmodTarget>& targets)
{
    // A refusal may be the server's word on one entry only: the others are
    // still tried, and every one left unchanged is named.
    std::vector<std::string> unchanged;
    QString firstRefusal;
    for (const permissions::chmodTarget& target : targets) {
        if (closing_)
            return;
        if (ftp_->GetConnected() && quote(permissions::chmodCommand(mode, target.path)))
            continue;
        if (unchanged.empty())
            firstRefusal = ftp_->LastResponse();
        unchanged.push_back(target.path);
        logLine(QStringLiteral("! ") + texts::modeNotChanged(decodeRemoteText(target.path)));
    }
    if (!unchanged.empty() && !closing_)
        prompter_.showServerError(texts::noUnixPermissions() + QStringLiteral("\n\n")
                + texts::notChanged(permissions::unchangedPathsText(unchanged)),
            firstRefusal);
}

void ftpClient::changePassword()
{
    const commandScope scope(*this);
    if (lentTo_)
        return;
    showStatus(QStringLiteral("Changing password.."));
    view_->setModal(true);
    const QString answer
        = view_->askName({ QStringLiteral("Enter new password"), QStringLiteral("Ok"), QString(), true });
    view_->setModal(false);
    if (!answer.isEmpty() && !closing_ && sendable(answer)) {
        setSessionState(sessionState::ChmodingChpwding);
        const std::string password = answer.toStdString();
        if (quote("SITE CHPWD " + password))
            site_.password = password;
        else
            showServerError(texts::chpwdRefused());
    }
    setSessionState(sessionState::IndeterminateStable);
    finishCommand();
}

// ------------------------------------------------------------ bookmark

void ftpClient::addBookmark()
{
    const commandScope scope(*this);
    const QString folder = joinPath(programFolder(), QStringLiteral("My FTP Links"));
    QDir().mkpath(folder);
    linkFileValues values = linkFileValues::of(site_);
    values.initialDirectory = currentDirectory_;
    // The site's name may come from a server's link file: writeLinkFile
    // refuses one that is not a plain file name.
    QString error;
    if (!writeLinkFile(folder, site_.name, values, LinkFileUse::Session, &error)) {
        showError(error);
        return;
    }
    if (bookmarkAdded)
        bookmarkAdded();
    prompter_.showHint(texts::bookmarkAdded());
}

// ------------------------------------------------------------ helpers

bool ftpClient::sendable(const QString& text)
{
    const bool clean = std::none_of(text.begin(), text.end(),
        [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0); });
    if (!clean)
        showError(texts::unsendable());
    return clean;
}

void ftpClient::relistCurrentFolder()
{
    if (closing_)
        return;
    relist_ = true;
    listFolder(currentDirectory_, false, true, false, false);
    relist_ = false;
}

void ftpClient::removeEntries(std::span<const ftpObject* const> entries)
{
    const std::vector<const ftpObject*> present = list_.listedAmong(entries);
    if (present.empty())
        return;
    view_->removeListEntries(present);
    std::vector<const ftpTreeViewObject*> folders;
    for (const ftpObject* entry : present) {
        if (entry->treeNode)
            folders.push_back(entry->treeNode);
    }
    removeTreeNodes(folders);
    list_.remove(present);
    typeTexts_.clear();
    for (const auto& entry : list_)
        typeTexts_.add(*entry);
}

void ftpClient::removeTreeNodes(std::span<const ftpTreeViewObject* const> nodes)
{
    if (nodes.empty() || tree_.empty())
        return;
    // Only nodes still in the tree, and none inside another that goes: its
    // subtree goes with it.
    const treeNodeSet inTree = tree_.nodes();
    const treeNodeSet asked(nodes.begin(), nodes.end());
    std::vector<const ftpTreeViewObject*> going;
    treeNodeSet goingSet;
    for (const ftpTreeViewObject* node : nodes) {
        if (inTree.contains(node) && !withinAny(node->parent, asked) && goingSet.insert(node).second)
            going.push_back(node);
    }
    for (const ftpTreeViewObject* node : going) {
        if (within(selectedNode_, *node))
            selectedNode_ = node->parent;
    }
    for (const auto& entry : list_) {
        if (withinAny(entry->treeNode, goingSet))
            entry->treeNode = nullptr;
    }
    view_->removeTreeNodes(going);
    tree_.remove(going);
}
