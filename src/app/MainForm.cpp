#include "app/MainForm.h"

#include "app/BookmarkTree.h"
#include "app/BuildInfo.h"
#include "app/LinkFileRegistration.h"
#include "app/ShellView.h"
#include "app/UpgradeCheck.h"
#include "common/Notices.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "common/ShellMembers.h"
#include "common/UnreadableStore.h"
#include "settings/MainWindowSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdlib>

namespace
{
QString absoluteLinkFile(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return {};
    const QString& path = arguments.first();
    return path.startsWith(QLatin1Char('/')) ? path : joinPath(QDir::currentPath(), path);
}

// Sets aside every store that cannot be read; what the user is to be told
// of them ("" when both read).
QString setAsideUnreadableStores()
{
    QStringList texts;
    for (const QString& path : { settingsFilePath(), registryFilePath() })
        if (const std::optional<UnreadableStore> store = setAsideUnreadableStore(path))
            texts << unreadableStoreText(*store);
    return texts.join(QStringLiteral("\n\n"));
}
} // namespace

TMainForm::TMainForm(QStringList arguments, Prompter& prompter, QObject* parent)
    : QObject(parent)
    , arguments_(std::move(arguments))
    , commandLineLinkFile_(absoluteLinkFile(arguments_))
    , prompter_(prompter)
    , unreadableStores_(setAsideUnreadableStores())
    , guiOptions_(GUIOptionsStore().load())
    , connection_(connectionOptionsStore().load())
{
    if (!unreadableStores_.isEmpty())
        prompter_.showErrorBox(unreadableStores_);
    loaders_ = std::make_unique<loaderManager>();
    autoUpgradeCheck_ = readAutoUpdateFlag(registryFilePath());
    if (autoUpgradeCheck_)
        startUpgradeCheck();
    connectionSpeedLabels_ = { QStringLiteral("Unknown"), QStringLiteral("Multiple T3"), QStringLiteral("T3"),
        QStringLiteral("T1"), QStringLiteral("Cable"), QStringLiteral("DSL"), QStringLiteral("56K"),
        QStringLiteral("33.6K"), QStringLiteral("28.8K") };
    actions_ = std::make_unique<ActionsList>(registryFilePath());
    actions_->loadAll(connection_.AnonymousPassword);
    if (const std::uint64_t leftOut = actions_->operationsLeftOut())
        prompter_.showErrorBox(
            QStringLiteral("The list of actions holds more than can be loaded: the last %1 "
                           "actions were left out.")
                .arg(leftOut));
    operations_ = std::make_unique<OperationsList>(
        *actions_, *loaders_, connection_, prompter_, connectionSpeedLabels_);
    operations_->startLoadTimer();
    bookmarks_ = std::make_unique<BookmarkTree>(joinPath(programFolder(), BookmarkTree::rootText()),
        prompter_, [this] { return connection_.AnonymousPassword; });
    // An installed program's file type comes with its package.
    if (runsFromBuildFolder(QCoreApplication::applicationDirPath()))
        registerLinkFileType(QCoreApplication::applicationFilePath());
}

TMainForm::~TMainForm()
{
    actions_->discardAll();
    GUIOptionsStore().save(guiOptions_);
    connectionOptionsStore().save(connection_);
}

QString TMainForm::windowTitle()
{
    return QStringLiteral("Quorvane Ranquil ") + programMajorMinor();
}

void TMainForm::startUpgradeCheck()
{
    const QString address = readUpgradeInformationUrl(settingsFilePath(), builtInUpgradeInformationUrl());
    if (address.isEmpty())
        return;
    upgradeCheck_ = std::make_unique<UpgradeCheck>(address, programVersion(), connection_);
    connect(
        upgradeCheck_.get(), &UpgradeCheck::newerVersionAvailable, this, &TMainForm::newerVersionAvailable);
    upgradeCheck_->start();
}

void TMainForm::startLocalServer() const
{
    const QString server = joinPath(QCoreApplication::applicationDirPath(), QStringLiteral("ranquilserver"));
    if (QFileInfo(server).isExecutable())
        QProcess::startDetached(server, { QStringLiteral("/p2p") }, programFolder());
}

void TMainForm::firstShow()
{
    if (!std::exchange(firstShowPending_, false))
        return;
    startLocalServer();
    const MainWindowSettings saved = MainWindowSettings::load(settingsFilePath());
    tipsEnabled_ = saved.tipsEnabled;
    left_ = saved.left;
    top_ = saved.top;
    maximized_ = saved.maximized();
    // A maximized window was saved with its restored size negated.
    clientWidth_ = maximized_ ? std::abs(saved.width) : saved.width;
    clientHeight_ = maximized_ ? std::abs(saved.height) : saved.height;
    if (view_)
        view_->applyGeometry(left_, top_, clientWidth_, clientHeight_, maximized_);
    if (guiOptions_.InitialPath.compare(defaultDownloadFolder(), Qt::CaseInsensitive) == 0)
        QDir().mkpath(guiOptions_.InitialPath);
    activeTabChanged();
}

void TMainForm::firstPaint()
{
    if (!std::exchange(firstPaintPending_, false))
        return;
    if (!commandLineLinkFile_.isEmpty() && openLinkFileInNewSession)
        openLinkFileInNewSession(commandLineLinkFile_);
    if (view_)
        view_->setTitle(windowTitle());
}

void TMainForm::activeTabChanged()
{
    if (!view_)
        return;
    view_->setSessionCommandsEnabled(view_->activeTabTag() == sessionTabTag);
}

bool TMainForm::requireSessionTab() const
{
    if (view_ && view_->activeTabTag() == sessionTabTag)
        return true;
    prompter_.showErrorBox(QStringLiteral("View a FTP sheet before applying a client command."));
    return false;
}

void TMainForm::setModalState(bool entering)
{
    if (view_)
        view_->setTrayShutDownEnabled(!entering);
}

void TMainForm::upgradeCheckCommand()
{
    autoUpgradeCheck_ = prompter_.askYesNo(
        QStringLiteral("Do you want to check for a newer version the next time the program starts?"));
}

void TMainForm::sendToTray()
{
    closeQuits_ = false;
    requestClose();
    closeQuits_ = true;
}

void TMainForm::shutDown()
{
    closeQuits_ = true;
    requestClose();
}

void TMainForm::requestClose()
{
    if (shuttingDown_)
        return;
    if (!closeQuits_) {
        if (view_)
            view_->sendToTray();
        return;
    }
    bool answer = true;
    if (loaders_->hasUnfinishedOperations())
        answer = prompter_.askYesNo(QStringLiteral(
            "There are actions going on (download/upload/delete), go on and terminate the ongoing actions?"));
    if (answer && !sessions_.empty())
        answer = prompter_.askYesNo(
            QStringLiteral("Do you really want to quit, terminating the client FTP connection?"));
    if (!answer)
        return;
    sessionEnd();
}

void TMainForm::sessionEnd()
{
    if (shuttingDown_)
        return;
    if (view_)
        view_->hideWindow();
    runShutdownSequence();
    if (nothingToWaitFor_)
        postDestroyRequest();
}

void TMainForm::restoreFromTray()
{
    if (view_)
        view_->restoreWindow(maximized_);
}

void TMainForm::runShutdownSequence()
{
    shuttingDown_ = true;
    operations_->stopLoadTimer();
    if (view_)
        view_->removeTrayIcon();
    selectedPaths_.clear();
    loaders_.reset();
    if (!actions_->storeAll())
        prompter_.showErrorBox(
            QStringLiteral("The list of actions could not be saved: %1").arg(actions_->lastStoreError()));
    // After the store: both live in the same file, and the store's own
    // writes are done only once storeAll has returned.
    writeAutoUpdateFlag(registryFilePath(), autoUpgradeCheck_);
    saveWindowSettings();
    nothingToWaitFor_ = sessions_.empty() && searches_.empty();
    // Copies: a search or session may remove itself while it is told to close.
    const std::vector<ShellSearch*> searches = searches_;
    const std::vector<ShellSession*> sessions = sessions_;
    for (size_t i = searches.size(); i-- > 0;)
        searches[i]->close(i == 0 && sessions.empty());
    for (size_t i = sessions.size(); i-- > 0;)
        sessions[i]->disconnectAndClose(i == 0);
}

void TMainForm::saveWindowSettings()
{
    MainWindowSettings settings;
    settings.width = maximized_ ? -clientWidth_ : clientWidth_;
    settings.height = maximized_ ? -clientHeight_ : clientHeight_;
    settings.left = left_;
    settings.top = top_;
    settings.tipsEnabled = tipsEnabled_;
    settings.save(settingsFilePath());
}

void TMainForm::windowGeometryChanged(WindowState state, int left, int top, int clientWidth, int clientHeight)
{
    if (state == WindowState::Maximized)
        maximized_ = true;
    else if (state == WindowState::Normal)
        maximized_ = false;
    if (state != WindowState::Normal)
        return;
    left_ = left;
    top_ = top;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
}

std::string TMainForm::getUpdateIndexUrl() const
{
    std::lock_guard guard(updateIndexUrlLock_);
    return updateIndexUrl_;
}

void TMainForm::setUpdateIndexUrl(std::string url)
{
    std::lock_guard guard(updateIndexUrlLock_);
    updateIndexUrl_ = std::move(url);
}

void TMainForm::addSession(ShellSession* session)
{
    sessions_.push_back(session);
}

void TMainForm::removeSession(ShellSession* session)
{
    std::erase(sessions_, session);
}

void TMainForm::addSearch(ShellSearch* search)
{
    searches_.push_back(search);
}

void TMainForm::removeSearch(ShellSearch* search)
{
    std::erase(searches_, search);
}

void TMainForm::postDestroyRequest()
{
    postNotice(this, Notice::DestroyRequest);
}

bool TMainForm::event(QEvent* event)
{
    if (!NoticeEvent::isNotice(event))
        return QObject::event(event);
    const auto* notice = static_cast<NoticeEvent*>(event);
    QObject* object = notice->object();
    switch (notice->notice()) {
    case Notice::SessionClosed:
        if (auto* session = qobject_cast<ShellSession*>(object)) {
            removeSession(session);
            delete session;
        }
        if (notice->value())
            postDestroyRequest();
        break;
    case Notice::SearchClosed:
        if (auto* search = qobject_cast<ShellSearch*>(object)) {
            removeSearch(search);
            delete search;
        }
        if (notice->value())
            postDestroyRequest();
        break;
    case Notice::FrameClosed:
        if (view_ && object)
            view_->deleteTabPage(object);
        break;
    case Notice::ObjectDone:
        delete object;
        break;
    case Notice::RefreshSession:
        if (auto* session = qobject_cast<ShellSession*>(object))
            session->refreshCurrentFolder();
        break;
    case Notice::RunSearch:
        if (auto* search = qobject_cast<ShellSearch*>(object))
            search->run();
        break;
    case Notice::DestroyRequest:
        Q_EMIT destroyRequested();
        break;
    }
    return true;
}
