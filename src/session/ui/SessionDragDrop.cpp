#include "session/ui/SessionDragDrop.h"

#include "remote/FtpObject.h"
#include "session/FtpClient.h"
#include "session/ui/ModeListView.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/RemoteTreePane.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

SessionDragDrop::SessionDragDrop(RemoteTreePane& tree, ModeListView& list, RemoteListModel& model,
    std::function<std::vector<const ftpObject*>()> selectedEntries, QObject* parent)
    : QObject(parent)
    , tree_(tree)
    , list_(list)
    , model_(model)
    , selectedEntries_(std::move(selectedEntries))
{
    for (QWidget* viewport :
        { tree_.viewport(), list_.detailView()->viewport(), list_.iconView()->viewport() })
        viewport->installEventFilter(this);
}

bool SessionDragDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return handleDrag(watched, event);
    case QEvent::DragLeave:
        endDragHighlight(watched);
        break;
    case QEvent::Drop:
        endDragHighlight(watched);
        return handleDrop(watched, event);
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool SessionDragDrop::isListViewport(const QObject* watched) const
{
    return watched == list_.detailView()->viewport() || watched == list_.iconView()->viewport();
}

const ftpObject* SessionDragDrop::folderEntryAt(const QPoint& viewportPoint) const
{
    const ftpObject* entry = model_.entryAt(list_.rowAt(viewportPoint));
    return entry && entry->kind == ftpObject::Folder && entry->treeNode ? entry : nullptr;
}

bool SessionDragDrop::handleDrag(QObject* target, QEvent* event)
{
    auto* drag = static_cast<QDragMoveEvent*>(event);
    const bool onTree = target == tree_.viewport();
    const bool onList = isListViewport(target);
    if (!onTree && !onList)
        return false;
    const QPoint point = drag->position().toPoint();
    const bool internal
        = drag->mimeData()->hasFormat(QString::fromLatin1(RemoteListModel::internalDragFormat))
        || drag->source() == &tree_;
    const bool outside = !internal && drag->mimeData()->hasUrls();
    bool accept = false;
    if (onTree) {
        accept = outside || (internal && tree_.itemAt(point));
        tree_.highlightDropTarget(accept ? tree_.itemAt(point) : nullptr);
    } else {
        const ftpObject* folder = folderEntryAt(point);
        accept = internal ? folder != nullptr : outside;
        model_.setDropTarget(accept ? folder : nullptr);
    }
    if (accept)
        drag->acceptProposedAction();
    else
        drag->ignore();
    return true;
}

void SessionDragDrop::endDragHighlight(QObject* viewport)
{
    if (viewport == tree_.viewport())
        tree_.highlightDropTarget(nullptr);
    else if (isListViewport(viewport))
        model_.setDropTarget(nullptr);
}

bool SessionDragDrop::handleDrop(QObject* target, QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const bool onTree = target == tree_.viewport();
    const bool onList = isListViewport(target);
    if ((!onTree && !onList) || !session_)
        return false;
    drop->acceptProposedAction();
    const QPoint point = drop->position().toPoint();
    const bool fromList
        = drop->mimeData()->hasFormat(QString::fromLatin1(RemoteListModel::internalDragFormat));
    const bool fromTree = drop->source() == &tree_;
    if (!fromList && !fromTree) {
        dropFromOutside(*drop->mimeData(), onTree, point);
        return true;
    }
    if (onTree) {
        const ftpTreeViewObject* node = RemoteTreePane::nodeOf(tree_.itemAt(point));
        if (!node)
            return true;
        if (fromList)
            session_->moveEntries(selectedEntries_(), *node, true);
        else if (fromTree) {
            if (const ftpTreeViewObject* dragged = RemoteTreePane::nodeOf(tree_.currentItem());
                dragged && dragged != node)
                session_->moveTreeNode(*dragged, *node);
        }
        return true;
    }
    if (fromList) {
        if (const ftpObject* folder = folderEntryAt(point))
            session_->moveEntries(selectedEntries_(), *folder->treeNode, false);
    }
    return true;
}

void SessionDragDrop::dropFromOutside(const QMimeData& data, bool onTree, const QPoint& point)
{
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    ftpClient::dropPoint target;
    target.onTree = onTree;
    if (onTree)
        target.node = RemoteTreePane::nodeOf(tree_.itemAt(point));
    else
        target.entry = model_.entryAt(list_.rowAt(point));
    session_->uploadDropped(paths, target);
}
