#include "transfer/DeleteBranch.h"

#include "net/TFtpClient.h"
#include "transfer/EntryFields.h"
#include "transfer/LoaderTexts.h"
#include "transfer/LoaderThread.h"
#include "transfer/RemoteName.h"

namespace
{

// As deep as a walk goes (TreeWalker).
constexpr int deepestFolder = 200;

} // namespace

DeleteBranch::DeleteBranch(LoaderThread& worker)
    : worker_(worker)
    , walker_(worker)
{
}

void DeleteBranch::run()
{
    using Step = void (DeleteBranch::*)();
    static constexpr Step steps[] = {
        &DeleteBranch::announceWalking,
        &DeleteBranch::resolveLinks,
        &DeleteBranch::deleteFolders,
        &DeleteBranch::deleteFiles,
    };
    for (const Step step : steps) {
        if (worker_.stopping())
            return;
        (this->*step)();
    }
}

void DeleteBranch::announceWalking()
{
    worker_.withOperation([](ftpOperationObject& operation) { operation.kind = OperationKind::Delete; });
    worker_.progressBlock().walkingStarted = true;
}

void DeleteBranch::resolveLinks()
{
    worker_.setStatus(LoaderTexts::resolvingLinksToDelete());
    walker_.resolveLinks(worker_.links(), worker_.files(), worker_.folders());
}

void DeleteBranch::deleteFolders()
{
    for (const std::string& entry : worker_.folders()) {
        if (worker_.stopping())
            return;
        std::string folder(folderEntryPath(entry));
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        worker_.setRemoteBase(parentFolderOf(folder));
        deleteTree(folder, 0);
    }
}

void DeleteBranch::deleteFiles()
{
    for (const std::string& entry : worker_.files()) {
        if (worker_.stopping())
            return;
        deleteFile(entry);
    }
}

void DeleteBranch::deleteTree(const std::string& folder, int depth)
{
    if (worker_.stopping() || depth > deepestFolder)
        return;
    if (walker_.changeRemoteFolder(folder) && !worker_.stopping()) {
        walker_.setCurrentFolder(folder + '/');
        const QString shown = shownName(folder);
        worker_.withWindow([&](LoaderWindow& window) { window.showFolders(worker_.localBase(), shown); });
        if (const auto listed = walker_.listCurrentFolder()) {
            for (const std::string& file : listed->files) {
                if (worker_.stopping())
                    return;
                deleteFile(file);
            }
            for (const std::string& subfolder : listed->folders) {
                if (worker_.stopping())
                    return;
                deleteTree(std::string(folderEntryPath(subfolder)), depth + 1);
            }
        }
    }
    const std::string parent = parentFolderOf(folder);
    walker_.setCurrentFolder(parent);
    if (worker_.stopping() || !walker_.changeRemoteFolder(parent) || worker_.stopping())
        return;
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName(QByteArray::fromStdString(folder));
    const bool removed = client.Rmd();
    client.SetHostFileName({});
    if (!removed && !worker_.stopping()) {
        worker_.showServerError(LoaderTexts::folderRemovalFailed(shownName(folder)));
        worker_.stopSelf();
    }
}

void DeleteBranch::deleteFile(const std::string& entry)
{
    const auto fields = parseRemoteFileEntry(entry);
    if (!fields)
        return;
    const QString shown = shownName(fields->remotePath);
    worker_.setStatus(LoaderTexts::deletingFile(shown));
    worker_.progressBlock().setCurrentFile(shown);
    TFtpClient& client = worker_.connection0();
    client.SetHostFileName(QByteArray::fromStdString(fields->remotePath));
    const bool deleted = client.Dele();
    if (!deleted && !worker_.stopping()) {
        worker_.showServerError(LoaderTexts::fileRemovalFailed(shown));
        worker_.stopSelf();
    }
    client.SetHostFileName({});
}
