#include "transfer/TreeWalker.h"

#include "net/TFtpClient.h"
#include "remote/ListingSink.h"
#include "remote/RemotePath.h"
#include "transfer/LoaderTexts.h"
#include "transfer/RemoteName.h"
#include "transfer/WorkerContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace
{

// Deeper trees are not walked: a server could otherwise lead the walk on
// without end.
constexpr int deepestFolder = 200;

bool isDotName(std::string_view name)
{
    return name == "." || name == ".." || name == "...";
}

QString shown(const std::string& bytes)
{
    return shownName(bytes);
}

std::string withSlash(std::string_view folder)
{
    std::string result(folder);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

} // namespace

TreeWalker::TreeWalker(WorkerContext& worker)
    : worker_(worker)
    , currentFolder_(worker.remoteBase())
{
    source_.site = sharedSite(worker.site());
    source_.fileTypeTexts = false;
}

bool TreeWalker::changeRemoteFolder(std::string path)
{
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (!path.empty() && path.back() == ':')
        path += '/';
    worker_.setStatus(LoaderTexts::changingFolder(shown(path)));
    TFtpClient& client = worker_.connection0();
    client.SetHostDirName(QByteArray::fromStdString(path));
    return client.Cwd() || worker_.stopping();
}

bool TreeWalker::listRemoteFolder(const std::function<bool(ftpObject& entry)>& accept)
{
    worker_.setStatus(LoaderTexts::queryingListing(shown(currentFolder_)));
    source_.directory = currentFolder_;
    listingSink sink(source_, [&](entryBlock block) {
        for (ftpObject& entry : block) {
            if (worker_.stopping() || !accept(entry))
                return false;
        }
        return true;
    });
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName({});
    client.SetLocalFileName({});
    const bool listed = sink.fetch(client);
    if (listed && sink.tally().notUnderstood())
        worker_.setStatus(QString::fromLatin1(
            listingNotUnderstoodText.data(), static_cast<qsizetype>(listingNotUnderstoodText.size())));
    if (!listed && !worker_.stopping()) {
        worker_.showServerError(LoaderTexts::listingFailed(shown(currentFolder_)));
        worker_.stopSelf();
    }
    return listed || worker_.stopping();
}

void TreeWalker::createRemoteFolder(const std::string& path)
{
    worker_.setStatus(LoaderTexts::creatingFolder(shown(path)));
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName(QByteArray::fromStdString(path));
    client.Mkd();
    client.SetHostFileName({});
}

void TreeWalker::latestRemoteSize(const std::string& path, std::uint64_t& size, bool force)
{
    worker_.setTransferTypeFor(path);
    LoaderProgress& progress = worker_.progressBlock();
    const bool download = worker_.kind() == OperationKind::Download;
    // A listing's size is wrong for ASCII transfers and may be stale.
    const bool worthAsking = worker_.transferType() == TransferType::Ascii || force || size == 0 || !download;
    if (!worthAsking || progress.remoteSizeIndicator == -1 || worker_.stopping())
        return;
    worker_.setStatus(LoaderTexts::obtainingSize());
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName(QByteArray::fromStdString(path));
    if (client.Size() && client.SizeResult() >= 0) {
        const auto answer = static_cast<std::uint64_t>(client.SizeResult());
        if (download)
            progress.totalBytes += static_cast<std::int64_t>(answer) - static_cast<std::int64_t>(size);
        size = answer;
        progress.remoteSizeIndicator = 1;
    } else {
        size = 0;
        if (download && progress.remoteSizeIndicator != 1)
            progress.remoteSizeIndicator = -1;
    }
}

bool TreeWalker::acceptableName(const ftpObject& entry)
{
    if (isDotName(entry.name))
        return false;
    if (isSafeLocalName(entry.name))
        return true;
    const QString text = LoaderTexts::unsafeName(shown(entry.name));
    const std::string path = withSlash(currentFolder_) + entry.name;
    worker_.withWindow([&](LoaderWindow& window) { window.leftOut(path, text, {}); });
    return false;
}

std::optional<TransferItems> TreeWalker::listCurrentFolder()
{
    TransferItems listed;
    std::vector<std::string> paths;
    const bool whole = listRemoteFolder([&](ftpObject& entry) {
        if (!acceptableName(entry))
            return true;
        TransferEntry item = entryAt(currentFolder_ + entry.name);
        item.dateText = std::move(entry.dateText);
        if (entry.kind == ftpObject::Folder) {
            listed.folders.push_back(std::move(item));
            return true;
        }
        item.size = static_cast<std::uint64_t>(std::max<std::int64_t>(entry.size, 0));
        if (entry.kind == ftpObject::UnixLink) {
            listed.links.push_back(std::move(item));
        } else {
            paths.push_back(item.path);
            listed.files.push_back(std::move(item));
        }
        return true;
    });
    if (!whole || worker_.stopping())
        return std::nullopt;
    std::vector<std::string> digests = worker_.queryDigests(paths);
    for (std::size_t i = 0; i < listed.files.size(); ++i)
        listed.files[i].digest = std::move(digests[i]);
    return listed;
}

std::vector<std::string> TreeWalker::walkRemoteFolders(
    const std::vector<std::string>& folders, std::vector<TransferEntry>& files)
{
    struct Pending {
        std::string path;
        int depth = 0;
    };
    // The next folder is at the back: depth first, in the order found.
    std::vector<Pending> pending;
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        pending.push_back({ withSlash(*folder), 0 });
    std::vector<std::string> notWalked;
    LoaderProgress& progress = worker_.progressBlock();
    while (!pending.empty() && !worker_.stopping()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        std::optional<TransferItems> listed;
        if (next.depth <= deepestFolder)
            listed = openAndList(next.path);
        // A listing cut short by a stop is walked again as a whole.
        if (!listed || worker_.stopping()) {
            if (!worker_.stopping())
                reportNotOpened(next.path,
                    next.depth <= deepestFolder ? worker_.connection0().LastResponse() : QString());
            notWalked.push_back(std::move(next.path));
            continue;
        }
        progress.totalBytes += static_cast<std::int64_t>(totalSizeOf(listed->files));
        std::move(listed->files.begin(), listed->files.end(), std::back_inserter(files));
        for (auto folder = listed->folders.rbegin(); folder != listed->folders.rend(); ++folder)
            pending.push_back({ withSlash(folder->path), next.depth + 1 });
    }
    for (auto folder = pending.rbegin(); folder != pending.rend(); ++folder)
        notWalked.push_back(std::move(folder->path));
    return notWalked;
}

std::optional<TransferItems> TreeWalker::openAndList(const std::string& folder)
{
    // The folder connection 0 is in already is listed without a CWD.
    if (folder != currentFolder_ && (!changeRemoteFolder(folder) || worker_.stopping()))
        return std::nullopt;
    currentFolder_ = folder;
    return listCurrentFolder();
}

void TreeWalker::reportNotOpened(const std::string& folder, const QString& serverReply)
{
    ++worker_.progressBlock().foldersNotOpened;
    worker_.markIncomplete();
    const QString text = LoaderTexts::folderNotOpened(shown(folder));
    worker_.withWindow([&](LoaderWindow& window) { window.leftOut(folder, text, serverReply); });
}

void TreeWalker::resolveLinks(const std::vector<TransferEntry>& links, std::vector<TransferEntry>& files,
    std::vector<TransferEntry>& folders)
{
    if (links.empty() || !changeRemoteFolder(currentFolder_))
        return;
    const std::string base = currentFolder_;
    for (const TransferEntry& link : links) {
        if (worker_.stopping())
            return;
        if (link.path.empty())
            continue;
        const std::string joined = link.path.front() == '/' ? link.path : base + link.path;
        if (changeRemoteFolder(joined) && !worker_.stopping()) {
            // Connection 0 is in the link's folder now.
            currentFolder_ = withSlash(joined);
            folders.push_back(entryAt(joined));
        } else {
            TransferEntry file = entryAt(joined, link.size);
            latestRemoteSize(joined, file.size, true);
            files.push_back(std::move(file));
        }
    }
}

std::optional<std::string> TreeWalker::remotePathOfLocal(
    const QString& localPath, const QString& localBase) const
{
    if (!localPath.startsWith(localBase) || localPath.size() <= localBase.size())
        return std::nullopt;
    return worker_.remoteBase() + QFile::encodeName(localPath.mid(localBase.size())).toStdString();
}

void TreeWalker::walkLocalFolder(
    const QString& folder, const QString& localBase, std::vector<TransferEntry>& files)
{
    walkLocalFolder(folder, { localBase, QFileInfo(localBase).canonicalFilePath() }, files, 0);
}

void TreeWalker::walkLocalFolder(
    const QString& folder, const LocalWalk& walk, std::vector<TransferEntry>& files, int depth)
{
    if (depth > deepestFolder)
        return;
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    std::vector<QString> subfolders;
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    LoaderProgress& progress = worker_.progressBlock();
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink()) {
            const QString target = entry.canonicalFilePath();
            const bool insideBase
                = !target.isEmpty() && target.startsWith(walk.canonicalBase + QLatin1Char('/'));
            if (!insideBase || entry.isDir()) {
                worker_.setStatus(LoaderTexts::skippedLink(entry.filePath()));
                continue;
            }
        }
        if (entry.isDir()) {
            subfolders.push_back(entry.filePath());
        } else if (entry.isFile()) {
            files.push_back(entryAt(
                QFile::encodeName(entry.filePath()).toStdString(), static_cast<std::uint64_t>(entry.size())));
            progress.totalBytes += entry.size();
        }
    }
    const auto remoteFolder = remotePathOfLocal(path, walk.base);
    if (remoteFolder && !worker_.stopping()) {
        listRemoteParent(remotePath::parentOf(*remoteFolder), false);
        if (!remoteFolderExists(*remoteFolder))
            createRemoteFolder(*remoteFolder);
    }
    for (const QString& subfolder : subfolders) {
        if (worker_.stopping())
            return;
        walkLocalFolder(subfolder, walk, files, depth + 1);
    }
}

void TreeWalker::listRemoteParent(const std::string& folder, bool fresh)
{
    if (folder == lastListedFolder_ && !fresh)
        return;
    lastListedFolder_ = folder;
    worker_.setTransferType(TransferType::Ascii);
    if (!changeRemoteFolder(folder) || worker_.stopping())
        return;
    currentFolder_ = folder.back() == '/' ? folder : folder + '/';
    listRemoteFolder([&](ftpObject& entry) {
        if (entry.kind == ftpObject::UnixLink || isDotName(entry.name))
            return true;
        const std::string path = currentFolder_ + entry.name;
        if (entry.kind == ftpObject::Folder)
            remoteFolders_.insert(path + '/');
        else
            remoteFiles_[path] = static_cast<std::uint64_t>(entry.size);
        return true;
    });
}

bool TreeWalker::remoteFolderExists(const std::string& folder) const
{
    return remoteFolders_.count(folder.back() == '/' ? folder : folder + '/') > 0;
}

std::uint64_t TreeWalker::listedRemoteSize(const std::string& path) const
{
    const auto found = remoteFiles_.find(path);
    return found == remoteFiles_.end() ? 0 : found->second;
}
