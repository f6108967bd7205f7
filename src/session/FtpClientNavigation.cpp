// The navigation commands of a session: listing folders through the
// per-folder cache, the tree and list they fill, and the history.

#include "session/FtpClient.h"

#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "net/VisibleText.h"
#include "remote/ListingParser.h"
#include "remote/ListingSink.h"
#include "remote/RemotePath.h"
#include "session/SessionView.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace
{

constexpr int linesPerViewUpdate = 50;
constexpr qint64 listingFileBlock = 256 * 1024;
const std::string searchFolderName = "<ZeltaSearchResults>";

QByteArray toBytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Missing and empty cache files count as absent.
bool hasContent(const QString& file)
{
    const QFileInfo info(file);
    return info.exists() && info.size() > 0;
}

namespace texts
{
QString cannotAccessFolder(const std::string& folder)
{
    return QStringLiteral("Ranquil cannot access remote folder \n\n\"%1\"\n").arg(decodeRemoteText(folder));
}
QString workingDirectoryCheckFailed()
{
    return QStringLiteral("Working directory check failed.");
}
QString asciiRefused()
{
    return QStringLiteral("Unable to set transfer type to ASCII.");
}
QString listingFailed()
{
    return QStringLiteral("Ranquil failed on retrieving directory listing!");
}
QString noSearchResults()
{
    return QStringLiteral("Connected server search query found no results.");
}
} // namespace texts

} // namespace

struct ftpClient::folderTarget {
    std::string slash; // S
    std::string plain; // P
    QString listingFile;
    bool fetch = false;
};

ftpClient::folderTarget ftpClient::targetOf(const std::string& path, bool search) const
{
    folderTarget target;
    target.slash = remotePath::slashForm(path);
    target.plain = remotePath::plainForm(path);
    if (search) {
        target.listingFile = searchResultsFile_;
        target.fetch = relist_;
    } else {
        target.listingFile = cacheFileOf(target.slash);
        target.fetch = relist_ || !hasContent(target.listingFile);
    }
    return target;
}

void ftpClient::changeDirectoryAndList(const std::string& path)
{
    const commandScope scope(*this);
    setSessionState(sessionState::CwdList);
    const bool search = path.find(searchFolderName) != std::string::npos;
    if (listFolder(path, search, true, false, search) && selectedNode_ && !closing_)
        view_->selectTreeNode(*selectedNode_);
    setSessionState(sessionState::IndeterminateStable);
}

bool ftpClient::listFolder(const std::string& path, bool quiet, bool ascii, bool strict, bool search)
{
    const commandScope scope(*this);
    const std::string requested = remotePath::withDriveSlash(path);
    folderTarget target = targetOf(requested, search);
    ftp_->SetHostFileName({});
    bool failed = false;
    if (target.fetch && (requested.empty() || requested.front() == '~')) {
        if (ftp_->Pwd()) {
            target = targetOf(ftp_->DirResult().toStdString(), search);
        } else {
            showServerError(texts::workingDirectoryCheckFailed());
            failed = true;
        }
    }
    if (target.fetch && ascii) {
        showStatus(QStringLiteral("Switching server to ASCII mode."));
        ftp_->SetBinary(false);
        if (!ftp_->TypeSet())
            showServerError(texts::asciiRefused());
    }
    const bool drivePath = requested.find(':') != std::string::npos;
    ftp_->SetHostDirName(toBytes(drivePath ? target.slash : target.plain));
    if (failed || closing_) {
        tree_.ensureRoot(site_.displayAddress, target.slash);
    } else if (const std::optional<bool> ended = enterFolder(target, quiet, strict, search, failed)) {
        return *ended;
    }
    clearList();
    for (int round = 0; round < 2 && !failed; ++round) {
        if (relist_)
            QFile::remove(target.listingFile);
        showStatus(QStringLiteral("Retrieving directory listing.."));
        // With a folder node to show it under, the listing goes to the views
        // while it arrives; otherwise only into its file.
        const bool streamed = target.fetch && selectedNode_;
        if (streamed)
            site_.initialDirectory = selectedNode_->path;
        directoryCommandIdle_ = false;
        if (target.fetch && !fetchListing(target.listingFile, target.slash, search, streamed)) {
            directoryCommandIdle_ = true;
            if (!closing_)
                showServerError(texts::listingFailed());
            failed = true;
            break;
        }
        directoryCommandIdle_ = true;
        if (closing_)
            break;
        if (streamed) {
            showListed();
            break;
        }
        if (selectedNode_) {
            site_.initialDirectory = selectedNode_->path;
            if (loadListing(target.listingFile, target.slash, search)) {
                showListed();
                break;
            }
        }
    }
    relist_ = false;
    if (closing_) {
        setSessionState(sessionState::Connected);
        finishCommand();
        return false;
    }
    ftp_->SetHostFileName({});
    ftp_->SetLocalFileName({});
    ftp_->SetHostDirName({});
    return !failed;
}

std::optional<bool> ftpClient::enterFolder(
    folderTarget& target, bool quiet, bool strict, bool search, bool& failed)
{
    showStatus(QStringLiteral("Changing current directory.."));
    directoryCommandIdle_ = false;
    const bool cwdSent = target.slash != serverWorkingDirectory_ && target.fetch;
    const bool entered = !cwdSent || ftp_->Cwd();
    directoryCommandIdle_ = true;
    if (!entered) {
        if (!quiet)
            showServerError(texts::cannotAccessFolder(target.slash));
        if (strict)
            return false;
        return fallBackAfterRefusedCwd(quiet, search);
    }
    if (!target.fetch && !strict) {
        showFolder(target);
        return std::nullopt;
    }
    if (!ftp_->Pwd()) {
        showServerError(texts::workingDirectoryCheckFailed());
        failed = true;
        return std::nullopt;
    }
    const bool fetch = target.fetch;
    const std::string reported = ftp_->DirResult().toStdString();
    target.slash = remotePath::slashForm(reported);
    target.plain = remotePath::plainForm(reported);
    if (fetch) {
        serverWorkingDirectory_ = target.plain;
        ftp_->SetHostDirName(toBytes(target.plain));
    }
    if (strict)
        target = targetOf(target.plain, search);
    showFolder(target);
    return std::nullopt;
}

bool ftpClient::fallBackAfterRefusedCwd(bool quiet, bool search)
{
    if (selectedNode_ && !fallingBack_) {
        // Selecting the node again lists its folder, as the tree's change
        // event would.
        fallingBack_ = true;
        ftpTreeViewObject* node = selectedNode_;
        view_->selectTreeNode(*node);
        changeDirectoryAndList(node->path);
        fallingBack_ = false;
        return true;
    }
    ftpTreeViewObject& root = tree_.ensureRoot(site_.displayAddress, "/");
    if (selectedNode_ == &root)
        return false;
    selectNode(root);
    return listFolder("/", quiet, false, false, search);
}

void ftpClient::showFolder(const folderTarget& target)
{
    currentDirectory_ = target.plain;
    view_->setPathText(decodeRemoteText(target.plain));
    tree_.ensureRoot(site_.displayAddress, target.slash);
    selectNode(tree_.nodeOf(target.plain));
}

void ftpClient::selectNode(ftpTreeViewObject& node)
{
    selectedNode_ = &node;
    view_->selectTreeNode(node);
}

// Puts the entries of one listing into the list (and its folders into the
// tree) in listing order, handing them to the view in blocks, as its sink
// hands them over while the bytes arrive. The type text of a regular file is
// given here, since the files listed before it decide it.
class ftpClient::listingLoad
{
public:
    listingLoad(ftpClient& session, const std::string& directory, bool search, bool serveEvents)
        : session_(session)
        , directory_(directory)
        , search_(search)
        , serveEvents_(serveEvents)
        , sink_({ sharedSite(session.site_), directory, search, nullptr, false },
              [this](entryBlock block) { return add(std::move(block)); })
    {
        block_.reserve(linesPerViewUpdate);
    }

    // Where the listing's bytes go.
    listingSink& sink() { return sink_; }

    // The bytes have ended: files the rest, or, when the listing did not
    // come whole (abandoned), what was parsed.
    void finish()
    {
        sink_.complete();
        if (!block_.empty() && !session_.closing_)
            showBlock();
        const listingTally& tally = sink_.tally();
        if (search_ && tally.lines == 0)
            session_.showError(texts::noSearchResults());
        else if (tally.notUnderstood())
            session_.showListingNotUnderstood();
    }

private:
    bool add(entryBlock parsed)
    {
        for (ftpObject& entry : session_.list_.keep(std::move(parsed))) {
            if (session_.closing_)
                return false;
            file(entry);
        }
        return true;
    }

    void file(ftpObject& entry)
    {
        if (entry.kind == ftpObject::RegularFile)
            entry.typeText = fileTypeText(entry.name, &session_.typeTexts_);
        else if (entry.kind == ftpObject::Folder && !search_)
            entry.treeNode = &session_.tree_.childOf(listedNode(), entry.name);
        session_.typeTexts_.add(entry);
        block_.push_back(&entry);
        session_.list_.appendKept(entry);
        if (block_.size() == linesPerViewUpdate)
            showBlock();
    }

    // Found when its first subfolder is filed, as the path of that
    // subfolder would find it.
    ftpTreeViewObject& listedNode()
    {
        if (!listedNode_)
            listedNode_ = &session_.tree_.nodeOf(directory_);
        return *listedNode_;
    }

    void showBlock()
    {
        session_.view_->addListEntries(block_);
        block_.clear();
        if (serveEvents_)
            QCoreApplication::processEvents();
    }

    ftpClient& session_;
    const std::string directory_;
    const bool search_;
    const bool serveEvents_;
    listingSink sink_;
    std::vector<const ftpObject*> block_;
    ftpTreeViewObject* listedNode_ = nullptr;
};

bool ftpClient::loadListing(const QString& file, const std::string& directory, bool search)
{
    QFile listing(file);
    if (!listing.open(QIODevice::ReadOnly))
        return false;
    listingLoad load(*this, directory, search, true);
    std::string block(static_cast<std::size_t>(listingFileBlock), '\0');
    for (qint64 got = listing.read(block.data(), listingFileBlock); got > 0 && !closing_;
         got = listing.read(block.data(), listingFileBlock))
        load.sink().feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
    load.finish();
    return true;
}

bool ftpClient::fetchListing(const QString& file, const std::string& directory, bool search, bool streamed)
{
    QFile::remove(file);
    if (!streamed) {
        ftp_->SetLocalFileName(file);
        return ftp_->Dir();
    }
    // Written here rather than by the component, so that the lines are parsed
    // as they arrive. The session's folder is private: created anew, the file
    // cannot be a link planted there.
    QFile cache(file);
    const bool opened = cache.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    // The wait inside Dir serves events between the blocks; the view is not
    // to serve them again from inside the component's data handler.
    listingLoad load(*this, directory, search, false);
    if (opened)
        load.sink().copyTo(cache);
    ftp_->SetLocalFileName({});
    const bool listed = load.sink().fetch(*ftp_);
    cache.close();
    if (!listed) {
        clearList();
        QFile::remove(file);
        return false;
    }
    load.finish();
    if (!opened || !load.sink().wholeCopy())
        QFile::remove(file);
    return true;
}

void ftpClient::showListingNotUnderstood()
{
    // Said rather than shown as an empty folder, which the user would take
    // for the truth about the server.
    const QString text = QString::fromLatin1(
        listingNotUnderstoodText.data(), static_cast<qsizetype>(listingNotUnderstoodText.size()));
    logLine(QStringLiteral("! ") + text);
    showError(text);
}

void ftpClient::showListed()
{
    tree_.sort();
    view_->sortTree();
    recordHistory();
}

void ftpClient::clearList()
{
    view_->clearList();
    list_.clear();
    typeTexts_.clear();
}

void ftpClient::recordHistory()
{
    if (skipHistory_) {
        skipHistory_ = false;
        return;
    }
    history_.record(site_);
}

// ------------------------------------------------------------ commands

void ftpClient::refreshListing()
{
    const commandScope scope(*this);
    if (!ftp_->GetConnected())
        return;
    relist_ = true;
    changeDirectoryAndList(currentDirectory_);
    relist_ = false;
}

void ftpClient::goUp()
{
    const commandScope scope(*this);
    if (selectedNode_ && selectedNode_->parent)
        treeSelectionChanged(selectedNode_->parent);
}

void ftpClient::goToPath(const std::string& path)
{
    const commandScope scope(*this);
    site_.initialDirectory = path;
    relist_ = true;
    changeDirectoryAndList(path);
    relist_ = false;
}

void ftpClient::treeSelectionChanged(const ftpTreeViewObject* node)
{
    const commandScope scope(*this);
    if (!treeEvents_ || !node || closing_)
        return;
    view_->selectTreeNode(*node);
    changeDirectoryAndList(node->path);
}

bool ftpClient::sameServer(const ftpSite& other) const
{
    return other.hostAddress == site_.hostAddress && other.port == site_.port && other.userId == site_.userId;
}

void ftpClient::goBack()
{
    const commandScope scope(*this);
    skipHistory_ = true;
    goToHistoryEntry(history_.back());
}

void ftpClient::goForward()
{
    const commandScope scope(*this);
    skipHistory_ = true;
    goToHistoryEntry(history_.forward());
}

void ftpClient::goToHistoryEntry(const ftpSite* entry)
{
    if (!entry || entry->hostAddress.empty())
        return;
    if (sameServer(*entry)) {
        changeDirectoryAndList(entry->initialDirectory);
    } else {
        // The disconnect clears the site, so the entry goes in afterwards.
        const ftpSite target = *entry;
        leaveServer();
        site_ = target;
        if (!connectSession(true))
            showStatus(QStringLiteral("Connection failed."));
    }
    finishCommand();
}

void ftpClient::openEntry(const ftpObject& entry)
{
    const commandScope scope(*this);
    switch (entry.kind) {
    case ftpObject::Folder:
        openEntryFolder(entry, remotePath::join(entry.directory, entry.name));
        break;
    case ftpObject::LinkFile:
        openLinkFile(entry);
        break;
    case ftpObject::UnixLink:
        followUnixLink(entry);
        break;
    default:
        if (downloadSelection)
            downloadSelection();
        break;
    }
}

void ftpClient::openEntryFolder(const ftpObject& entry, const std::string& target)
{
    const commandScope scope(*this);
    view_->bringToFront();
    if (sameServer(*entry.site)) {
        changeDirectoryAndList(target);
        return;
    }
    const ftpSite server = *entry.site;
    setSessionState(sessionState::Linking);
    leaveServer();
    takeOverServer(server, target);
    if (connectSession(true)) {
        setSessionState(sessionState::Connected);
    } else {
        setSessionState(sessionState::Disconnected);
        showStatus(QStringLiteral("Connection to link failed."));
    }
    finishCommand();
}

void ftpClient::followUnixLink(const ftpObject& entry)
{
    const commandScope scope(*this);
    view_->bringToFront();
    const std::string target = remotePath::join(entry.directory, entry.name);
    const ftpSite server = *entry.site;
    const bool reconnect = !sameServer(server);
    if (reconnect) {
        setSessionState(sessionState::Disconnecting);
        leaveServer();
        setSessionState(sessionState::Connecting);
        takeOverServer(server, target);
        if (!connectSession(false)) {
            finishCommand();
            return;
        }
    }
    setSessionState(sessionState::CwdList);
    if (!listFolder(target, true, true, true, false) && !closing_ && downloadSelection)
        downloadSelection();
    setSessionState(reconnect ? sessionState::Connected : sessionState::IndeterminateStable);
    finishCommand();
}

void ftpClient::leaveServer()
{
    keepHistory_ = true;
    disconnectSession(false);
    keepHistory_ = false;
}

void ftpClient::takeOverServer(const ftpSite& server, const std::string& initialDirectory)
{
    site_.hostAddress = server.hostAddress;
    site_.port = server.port;
    site_.userId = "anonymous";
    site_.password = options_.AnonymousPassword;
    site_.anonymous = true;
    site_.initialDirectory = initialDirectory;
    site_.persistent = server.persistent;
    site_.p2pUserName = server.p2pUserName;
    site_.displayAddress = server.persistent ? server.hostAddress : server.p2pUserName;
    site_.name = site_.displayAddress;
    site_.network = server.network;
}

void ftpClient::insertNewEntry(const std::string& name, bool isFile)
{
    const commandScope scope(*this);
    QFile::remove(cacheFileOf(currentDirectory_));
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale english(QLocale::English);
    const std::string date = (english.monthName(now.date().month(), QLocale::ShortFormat)
        + QStringLiteral(" %1 ").arg(now.date().day()) + now.toString(QStringLiteral("hh:mm")))
                                 .toStdString();
    const auto sameKind = [&](const ftpObject* entry) {
        return entry->name == name && (entry->kind == ftpObject::Folder) != isFile;
    };
    if (const auto found = std::find_if(list_.begin(), list_.end(), sameKind); found != list_.end()) {
        ftpObject& entry = **found;
        entry.size = 0;
        entry.dateText = date;
        entry.rights = "-r--r--r--";
        view_->updateListEntry(entry);
        return;
    }
    ftpObject entry;
    entry.site = sharedSite(site_);
    entry.name = name;
    entry.directory = currentDirectory_;
    entry.dateText = date;
    entry.rights = "-r--r--r--";
    if (!isFile) {
        entry.kind = ftpObject::Folder;
        entry.typeText = typeTexts::folder;
        if (!tree_.empty())
            entry.treeNode = &tree_.nodeOf(remotePath::join(currentDirectory_, name));
    } else if (QString::fromStdString(std::string(extensionOf(name)))
                   .compare(QStringLiteral(".wkt"), Qt::CaseInsensitive)
        == 0) {
        entry.kind = ftpObject::LinkFile;
        entry.typeText = typeTexts::linkFile;
    } else {
        entry.kind = ftpObject::RegularFile;
        entry.typeText = fileTypeText(name, &typeTexts_);
    }
    const ftpObject* shown = &list_.append(std::move(entry));
    typeTexts_.add(*shown);
    view_->addListEntries(std::span<const ftpObject* const>(&shown, 1));
}
