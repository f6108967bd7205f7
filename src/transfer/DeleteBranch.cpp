#include "transfer/DeleteBranch.h"

#include "common/Prompter.h"
#include "net/TFtpClient.h"
#include "remote/RemotePath.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderTexts.h"
#include "transfer/RemoteName.h"
#include "transfer/WorkerContext.h"

#include <QStringList>

namespace
{

// As deep as a walk goes (TreeWalker).
constexpr int deepestFolder = 200;

} // namespace

DeleteBranch::DeleteBranch(WorkerContext& worker)
    : worker_(worker)
    , walker_(worker)
{
}

void DeleteBranch::run()
{
    using Step = void (DeleteBranch::*)();
    static constexpr Step steps[] = {
        &DeleteBranch::announceWalking,
        &DeleteBranch::deleteFolders,
        &DeleteBranch::deleteOwnFiles,
        &DeleteBranch::deleteOwnLinks,
    };
    for (const Step step : steps) {
        if (worker_.stopping())
            return;
        (this->*step)();
    }
}

void DeleteBranch::announceWalking()
{
    worker_.withOperation(
        [](ftpOperationObject& operation) { operation.request.kind = OperationKind::Delete; });
    worker_.progressBlock().walkingStarted = true;
}

void DeleteBranch::deleteFolders()
{
    for (const TransferEntry& entry : worker_.items().folders) {
        if (worker_.stopping())
            return;
        std::string folder = entry.path;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        worker_.setRemoteBase(remotePath::parentOf(folder));
        deleteTree(folder, 0);
    }
}

void DeleteBranch::deleteOwnFiles()
{
    deleteEntries(worker_.items().files);
}

void DeleteBranch::deleteOwnLinks()
{
    deleteEntries(worker_.items().links);
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
            if (!deleteEntries(listed->files) || !deleteEntries(listed->links))
                return;
            for (const TransferEntry& subfolder : listed->folders) {
                if (worker_.stopping())
                    return;
                deleteTree(subfolder.path, depth + 1);
            }
        }
    }
    const std::string parent = remotePath::parentOf(folder);
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

bool DeleteBranch::deleteEntries(const std::vector<TransferEntry>& entries)
{
    std::vector<QByteArray> commands;
    for (const TransferEntry& entry : entries)
        commands.push_back("DELE " + QByteArray::fromStdString(entry.path));
    for (std::size_t first = 0; first < commands.size();) {
        const std::size_t end = WorkerContext::batchEnd(commands, first);
        if (worker_.stopping())
            return false;
        if (!deleteBatch({ entries.begin() + static_cast<std::ptrdiff_t>(first),
                             entries.begin() + static_cast<std::ptrdiff_t>(end) },
                { commands.begin() + static_cast<std::ptrdiff_t>(first),
                    commands.begin() + static_cast<std::ptrdiff_t>(end) }))
            return false;
        first = end;
    }
    return !worker_.stopping();
}

bool DeleteBranch::deleteBatch(std::span<const TransferEntry> entries, std::vector<QByteArray> commands)
{
    const QString first = shownName(entries.front().path);
    worker_.setStatus(LoaderTexts::deletingFile(first));
    worker_.progressBlock().setCurrentFile(first);
    TFtpClient& client = worker_.connection0();
    client.SetQuoteCommands(std::move(commands));
    // The whole batch is on its way before the first reply comes back: a
    // refusal cannot hold back the rest of it, so every path of the batch
    // that was not confirmed is named, and no further batch is sent.
    client.QuoteEach();
    if (worker_.stopping())
        return false;
    const auto& replies = client.QuoteReplies();
    QStringList refused;
    // The first refusal explains the others better than the batch's last
    // reply, which may be a success.
    QString firstRefusal;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const bool answered = k < replies.size();
        if (answered && (replies[k].code == 250 || replies[k].code == 257))
            continue;
        if (refused.isEmpty())
            firstRefusal = answered               ? replies[k].text
                : client.ErrorMessage().isEmpty() ? client.LastResponse()
                                                  : client.ErrorMessage();
        refused << shownName(entries[k].path);
        worker_.setStatus(LoaderTexts::fileNotRemoved(refused.back()));
    }
    if (refused.isEmpty())
        return true;
    worker_.prompter().showServerError(
        LoaderTexts::fileRemovalFailed(refused.join(QLatin1Char('\n'))), firstRefusal);
    worker_.stopSelf();
    return false;
}
