#pragma once

#include "common/FtpSite.h"
#include "common/LinkFile.h"
#include "common/NewObjectChooser.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Prompter;

// One node of the bookmark tree: a folder of link files on disk, or a site
// read from one link file of its parent folder.
class BookmarkNode
{
public:
    enum class Kind { Folder, Site };

    Kind kind() const { return kind_; }
    bool isFolder() const { return kind_ == Kind::Folder; }
    const std::string& text() const { return text_; }
    BookmarkNode* parent() const { return parent_; }
    const std::vector<std::unique_ptr<BookmarkNode>>& children() const { return children_; }
    const ftpSite& site() const { return site_; }
    // The folder on disk: a folder's own, a site's parent's.
    QString folderPath() const { return isFolder() ? path_ : parent_->path_; }
    // A site's link file.
    QString linkFile() const { return linkFilePath(folderPath(), text_); }
    bool isBelow(const BookmarkNode* ancestor) const;

private:
    friend class BookmarkTree;
    BookmarkNode(Kind kind, std::string text, BookmarkNode* parent)
        : kind_(kind)
        , text_(std::move(text))
        , parent_(parent)
    {
    }

    Kind kind_;
    std::string text_;
    BookmarkNode* parent_;
    QString path_; // folders only
    ftpSite site_; // sites only
    std::vector<std::unique_ptr<BookmarkNode>> children_;
};

// The Start tab's bookmarks: the tree of "My FTP Links" in the program
// folder, every command mirrored at once on disk. Main thread only. The
// view shows the nodes after each command; node pointers stay valid until
// the command that removes the node.
class BookmarkTree
{
public:
    static QString rootText() { return QStringLiteral("My FTP Links"); }
    static QString privateText() { return QStringLiteral("Private"); }

    // Creates `rootFolder` and its "Private" folder when missing. The
    // anonymous password is asked for when a site is read, so a changed
    // option is seen at once.
    BookmarkTree(QString rootFolder, Prompter& prompter, std::function<std::string()> anonymousPassword);

    BookmarkNode* root() const { return root_.get(); }

    // Takes in the sub-folders and ".wkt" files of a folder node; nodes whose
    // files have gone are kept.
    void scan(BookmarkNode* folder);

    // The folder a command acts in: the node when it is a folder, else its
    // site's folder.
    static BookmarkNode* targetFolder(BookmarkNode* selected);

    // "Store Site": writes the panel's values under `profileName` (empty: the
    // box shows its placeholder) in the selected folder. The stored node, or
    // null after telling the user why not.
    BookmarkNode* storeSite(
        BookmarkNode* selected, const std::string& profileName, const linkFileValues& values);
    // "New Folder": the new (or existing) folder node, or null.
    BookmarkNode* newFolder(BookmarkNode* selected, const std::string& name);
    // "Rename": false when refused or the renaming on disk failed.
    bool rename(BookmarkNode* node, const std::string& newName);
    // "Delete" after asking; true when the node is gone.
    bool remove(BookmarkNode* node);

    enum class ClipMode { None, Cut, Copy };
    void cut(BookmarkNode* node) { clip(node, ClipMode::Cut); }
    void copy(BookmarkNode* node) { clip(node, ClipMode::Copy); }
    // "Paste" into the selected node's folder; the clipboard is empty after.
    void paste(BookmarkNode* selected);
    BookmarkNode* clipboardNode() const { return clipNode_; }
    ClipMode clipboardMode() const { return clipMode_; }

    // "Import Sites...": the FTP sites of a FileZilla site manager file into
    // the selected folder, telling the user how many came and were skipped.
    void importSites(BookmarkNode* selected, const QString& siteManagerPath);

    static QString renameRefusedText() { return QStringLiteral("Unable to rename Zelta link"); }

private:
    BookmarkNode* addChild(BookmarkNode* parent, BookmarkNode::Kind kind, const std::string& text);
    BookmarkNode* findChild(BookmarkNode* parent, const std::string& text, BookmarkNode::Kind kind) const;
    std::unique_ptr<BookmarkNode> detach(BookmarkNode* node);
    void erase(BookmarkNode* node);
    void moveNode(BookmarkNode* node, BookmarkNode* newParent);
    static void setFolderPath(BookmarkNode* folder, const QString& path);
    static void sortChildren(BookmarkNode* folder);
    bool acceptName(const std::string& name);
    void clip(BookmarkNode* node, ClipMode mode);
    void clearClipboard();

    Prompter& prompter_;
    std::function<std::string()> anonymousPassword_;
    std::unique_ptr<BookmarkNode> root_;
    BookmarkNode* clipNode_ = nullptr;
    ClipMode clipMode_ = ClipMode::None;
};

// "Create New Object" with a bookmark chosen: the link to upload, or nothing
// (after telling the user) when the node is a folder.
std::optional<newObjectRequest> linkRequestFor(const BookmarkNode* node, Prompter& prompter);
