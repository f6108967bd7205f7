#pragma once

#include <QObject>

#include <functional>
#include <vector>

class ModeListView;
class QEvent;
class QMimeData;
class QPoint;
class RemoteListModel;
class RemoteTreePane;
class ftpClient;
struct ftpObject;

// The drags and drops over a session's remote tree and list: local files
// from outside are uploaded where they fall, list entries and tree nodes
// dragged onto a folder are moved into it, and the folder under the pointer
// is highlighted meanwhile. It filters the events of the panes' viewports.
// Main thread only.
class SessionDragDrop : public QObject
{
public:
    // `selectedEntries`: the remote list's selection, in display order.
    SessionDragDrop(RemoteTreePane& tree, ModeListView& list, RemoteListModel& model,
        std::function<std::vector<const ftpObject*>()> selectedEntries, QObject* parent = nullptr);

    // The session the drops go to (null: none, drops are refused).
    void setSession(ftpClient* session) { session_ = session; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isListViewport(const QObject* watched) const;
    bool handleDrag(QObject* target, QEvent* event);
    bool handleDrop(QObject* target, QEvent* event);
    void endDragHighlight(QObject* viewport);
    void dropFromOutside(const QMimeData& data, bool onTree, const QPoint& point);
    const ftpObject* folderEntryAt(const QPoint& viewportPoint) const;

    RemoteTreePane& tree_;
    ModeListView& list_;
    RemoteListModel& model_;
    std::function<std::vector<const ftpObject*>()> selectedEntries_;
    ftpClient* session_ = nullptr;
};
