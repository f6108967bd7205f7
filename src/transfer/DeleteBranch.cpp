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
        &DeleteBranch::deleteOwnFiles,
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

void DeleteBranch::deleteOwnFiles()
{
    deleteFiles(worker_.files());
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
            if (!deleteFiles(listed->files))
                return;
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

bool DeleteBranch::deleteFiles(const std::vector<std::string>& entries)
{
    // The DELE commands after a refused one in the same batch are on their
    // way by then, and delete what the operation asked to delete anyway.
    TFtpClient& client = worker_.connection0();
    std::vector<QString> shown;
    std::vector<QByteArray> commands;
    for (auto next = entries.begin(); next != entries.end();) {
        shown.clear();
        commands.clear();
        for (; next != entries.end() && commands.size() < LoaderThread::commandsPerBatch; ++next) {
            if (const auto fields = parseRemoteFileEntry(*next)) {
                shown.push_back(shownName(fields->remotePath));
                commands.push_back("DELE " + QByteArray::fromStdString(fields->remotePath));
            }
        }
        if (commands.empty() || worker_.stopping())
            return !worker_.stopping();
        worker_.setStatus(LoaderTexts::deletingFile(shown.front()));
        worker_.progressBlock().setCurrentFile(shown.front());
        client.SetQuoteCommands(commands);
        client.QuoteEach();
        if (worker_.stopping())
            return false;
        const auto& replies = client.QuoteReplies();
        for (std::size_t k = 0; k < commands.size(); ++k) {
            if (k >= replies.size() || (replies[k].code != 250 && replies[k].code != 257)) {
                worker_.showServerError(LoaderTexts::fileRemovalFailed(shown[k]));
                worker_.stopSelf();
                return false;
            }
        }
    }
    return true;
}
