#include "app/BookmarkTree.h"

#include "app/BookmarkFiles.h"
#include "app/BookmarkImport.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace
{
QString fromBytes(const std::string& text)
{
    return QString::fromStdString(text);
}
} // namespace

bool BookmarkNode::isBelow(const BookmarkNode* ancestor) const
{
    for (const BookmarkNode* node = this; node; node = node->parent_)
        if (node == ancestor)
            return true;
    return false;
}

BookmarkTree::BookmarkTree(
    QString rootFolder, Prompter& prompter, std::function<std::string()> anonymousPassword)
    : prompter_(prompter)
    , anonymousPassword_(std::move(anonymousPassword))
    , root_(new BookmarkNode(BookmarkNode::Kind::Folder, rootText().toStdString(), nullptr))
{
    root_->path_ = rootFolder;
    makePrivateFolder(rootFolder);
    BookmarkNode* privateNode
        = addChild(root_.get(), BookmarkNode::Kind::Folder, privateText().toStdString());
    makePrivateFolder(privateNode->path_);
}

BookmarkNode* BookmarkTree::addChild(BookmarkNode* parent, BookmarkNode::Kind kind, const std::string& text)
{
    auto& added = parent->children_.emplace_back(new BookmarkNode(kind, text, parent));
    if (kind == BookmarkNode::Kind::Folder)
        added->path_ = joinPath(parent->path_, fromBytes(text));
    return added.get();
}

BookmarkNode* BookmarkTree::findChild(
    BookmarkNode* parent, const std::string& text, BookmarkNode::Kind kind) const
{
    for (const auto& child : parent->children_)
        if (child->kind_ == kind && child->text_ == text)
            return child.get();
    return nullptr;
}

// Folders first, then by text in byte order.
void BookmarkTree::sortChildren(BookmarkNode* folder)
{
    std::stable_sort(folder->children_.begin(), folder->children_.end(), [](const auto& a, const auto& b) {
        if (a->isFolder() != b->isFolder())
            return a->isFolder();
        return a->text_ < b->text_;
    });
}

void BookmarkTree::scan(BookmarkNode* folder)
{
    const QFileInfoList entries
        = QDir(folder->path_)
              .entryInfoList(
                  QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const std::string name = entry.fileName().toStdString();
        if (entry.isDir()) {
            if (!findChild(folder, name, BookmarkNode::Kind::Folder))
                addChild(folder, BookmarkNode::Kind::Folder, name);
            continue;
        }
        // The extension test is exact: "Site.WKT" is not a link file.
        if (!entry.isFile() || !name.ends_with(linkFiles::extension)
            || name.size() == linkFiles::extension.size())
            continue;
        // An unreadable or foreign file is left out rather than shown empty.
        const auto site = readLinkFile(entry.filePath(), LinkFileUse::Bookmark, anonymousPassword_());
        if (!site)
            continue;
        BookmarkNode* node = findChild(folder, site->name, BookmarkNode::Kind::Site);
        if (!node)
            node = addChild(folder, BookmarkNode::Kind::Site, site->name);
        node->site_ = *site;
    }
    sortChildren(folder);
}

BookmarkNode* BookmarkTree::targetFolder(BookmarkNode* selected)
{
    return selected->isFolder() ? selected : selected->parent_;
}

bool BookmarkTree::acceptName(const std::string& name)
{
    QString reason;
    if (isSafeLinkName(name, &reason))
        return true;
    prompter_.showErrorBox(reason);
    return false;
}

BookmarkNode* BookmarkTree::storeSite(
    BookmarkNode* selected, const std::string& profileName, const linkFileValues& values)
{
    if (profileName.empty()) {
        prompter_.showErrorBox(
            QStringLiteral("Enter a valid profile name other than <Enter site ID (optional)>"));
        return nullptr;
    }
    if (!acceptName(profileName))
        return nullptr;
    BookmarkNode* folder = targetFolder(selected);
    QString error;
    if (!writeLinkFile(folder->path_, profileName, values, LinkFileUse::Bookmark, &error)) {
        prompter_.showErrorBox(QStringLiteral("Unable to store Zelta link\n%1").arg(error));
        return nullptr;
    }
    BookmarkNode* node = findChild(folder, profileName, BookmarkNode::Kind::Site);
    if (!node)
        node = addChild(folder, BookmarkNode::Kind::Site, profileName);
    if (const auto site = readLinkFile(node->linkFile(), LinkFileUse::Bookmark, anonymousPassword_()))
        node->site_ = *site;
    sortChildren(folder);
    return node;
}

BookmarkNode* BookmarkTree::newFolder(BookmarkNode* selected, const std::string& name)
{
    if (name.empty() || !acceptName(name))
        return nullptr;
    BookmarkNode* parent = targetFolder(selected);
    BookmarkNode* folder = findChild(parent, name, BookmarkNode::Kind::Folder);
    if (!folder)
        folder = addChild(parent, BookmarkNode::Kind::Folder, name);
    // The node stands even when the folder cannot be made; storing into it
    // then reports the failure.
    makePrivateFolder(folder->path_);
    sortChildren(parent);
    return folder;
}

void BookmarkTree::setFolderPath(BookmarkNode* folder, const QString& path)
{
    folder->path_ = path;
    for (const auto& child : folder->children_)
        if (child->isFolder())
            setFolderPath(child.get(), joinPath(path, fromBytes(child->text_)));
}

bool BookmarkTree::rename(BookmarkNode* node, const std::string& newName)
{
    if (node == root_.get() || newName.empty() || newName == node->text_)
        return false;
    if (!acceptName(newName))
        return false;
    const QString parentPath = node->parent_->path_;
    const bool renamed = node->isFolder()
        ? QDir().rename(node->path_, joinPath(parentPath, fromBytes(newName)))
        : QFile::rename(node->linkFile(), linkFilePath(parentPath, newName));
    // A node that no longer names its file would store into a new one and
    // leave the old behind, so a failed renaming leaves the node as it is.
    if (!renamed) {
        prompter_.showErrorBox(renameRefusedText());
        return false;
    }
    node->text_ = newName;
    if (node->isFolder())
        setFolderPath(node, joinPath(parentPath, fromBytes(newName)));
    else
        node->site_.name = newName;
    sortChildren(node->parent_);
    return true;
}

std::unique_ptr<BookmarkNode> BookmarkTree::detach(BookmarkNode* node)
{
    auto& siblings = node->parent_->children_;
    const auto it
        = std::find_if(siblings.begin(), siblings.end(), [&](const auto& c) { return c.get() == node; });
    std::unique_ptr<BookmarkNode> owned = std::move(*it);
    siblings.erase(it);
    return owned;
}

void BookmarkTree::erase(BookmarkNode* node)
{
    if (clipNode_ && clipNode_->isBelow(node))
        clearClipboard();
    detach(node);
}

bool BookmarkTree::remove(BookmarkNode* node)
{
    if (node == root_.get()
        || !prompter_.askYesNo(QStringLiteral("Do you really want to delete the selected link/folder?")))
        return false;
    if (node->isFolder() ? !bookmarkFiles::removeTree(node->path_)
                         : !bookmarkFiles::removeFile(node->linkFile())) {
        prompter_.showErrorBox(node->isFolder() ? QStringLiteral("Unable to delete Zelta link folder")
                                                : QStringLiteral("Unable to delete Zelta link file"));
        return false;
    }
    erase(node);
    return true;
}

void BookmarkTree::clip(BookmarkNode* node, ClipMode mode)
{
    if (node == root_.get())
        return;
    clipNode_ = node;
    clipMode_ = mode;
}

void BookmarkTree::clearClipboard()
{
    clipNode_ = nullptr;
    clipMode_ = ClipMode::None;
}

void BookmarkTree::moveNode(BookmarkNode* node, BookmarkNode* newParent)
{
    std::unique_ptr<BookmarkNode> owned = detach(node);
    owned->parent_ = newParent;
    newParent->children_.push_back(std::move(owned));
    if (node->isFolder())
        setFolderPath(node, joinPath(newParent->path_, fromBytes(node->text_)));
}

void BookmarkTree::paste(BookmarkNode* selected)
{
    BookmarkNode* source = clipNode_;
    const bool cut = clipMode_ == ClipMode::Cut;
    if (!source)
        return;
    BookmarkNode* target = targetFolder(selected);
    clearClipboard();
    const QString copyFailedText = source->isFolder() ? QStringLiteral("Unable to copy Zelta link folder")
                                                      : QStringLiteral("Unable to copy Zelta link");
    // A folder cannot go into itself, and an entry pasted where it already is
    // would only overwrite itself.
    if (source->isFolder() && target->isBelow(source)) {
        prompter_.showErrorBox(copyFailedText);
        return;
    }
    if (source->parent_ == target)
        return;
    const auto same = std::find_if(target->children_.begin(), target->children_.end(),
        [&](const auto& child) { return child->text_ == source->text_; });
    if (same != target->children_.end()) {
        if (source->isBelow(same->get())) {
            prompter_.showErrorBox(copyFailedText);
            return;
        }
        erase(same->get());
    }
    const QString from = source->isFolder() ? source->path_ : source->linkFile();
    const QString to = source->isFolder() ? joinPath(target->path_, fromBytes(source->text_))
                                          : linkFilePath(target->path_, source->text_);
    if (!(source->isFolder() ? bookmarkFiles::copyTree(from, to) : bookmarkFiles::copyFile(from, to))) {
        prompter_.showErrorBox(copyFailedText);
        scan(target);
        return;
    }
    if (cut) {
        if (source->isFolder())
            bookmarkFiles::removeTree(from);
        else
            bookmarkFiles::removeFile(from);
        moveNode(source, target);
        sortChildren(target);
    } else {
        scan(target);
    }
}

void BookmarkTree::importSites(BookmarkNode* selected, const QString& siteManagerPath)
{
    QFile file(siteManagerPath);
    if (!QFileInfo(siteManagerPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        prompter_.showErrorBox(QStringLiteral("Unable to read %1").arg(siteManagerPath));
        return;
    }
    const QByteArray bytes = file.read(bookmarkImport::maxFileSize + 1);
    if (bytes.size() > bookmarkImport::maxFileSize) {
        prompter_.showErrorBox(
            QStringLiteral("%1 is too large for a site manager file.").arg(siteManagerPath));
        return;
    }
    const bookmarkImport::siteManager sites = bookmarkImport::parseSiteManager(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!sites.error.isEmpty()) {
        prompter_.showErrorBox(sites.error);
        return;
    }
    BookmarkNode* target = targetFolder(selected);
    QString error;
    const int written = bookmarkImport::writeSites(sites, target->path_, &error);
    scan(target);
    QString text = bookmarkImport::summary(written, sites.skipped);
    if (written < static_cast<int>(sites.sites.size()))
        text += QLatin1Char('\n') + error;
    prompter_.showHint(text);
}

std::optional<newObjectRequest> linkRequestFor(const BookmarkNode* node, Prompter& prompter)
{
    if (node->isFolder()) {
        prompter.showErrorBox(
            QStringLiteral("Unable to form link from folders.\nPlease select a bookmark and try again."));
        return std::nullopt;
    }
    return newObjectRequest { newObjectRequest::Kind::Link, node->text() + std::string(linkFiles::extension),
        node->linkFile() };
}
