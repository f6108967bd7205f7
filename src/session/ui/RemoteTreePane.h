#pragma once

#include <QTreeWidget>

#include <functional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct ftpTreeViewObject;

// The remote folder tree of a session's tab: one item for each node the
// session announced, kept in the session's order and dropped with the
// nodes. The session owns the nodes; every item holds its node's address.
// Main thread only.
class RemoteTreePane : public QTreeWidget
{
    Q_OBJECT

public:
    explicit RemoteTreePane(QWidget* parent = nullptr);

    // The user made another node current (the session's own selections are
    // not reported).
    std::function<void(const ftpTreeViewObject*)> nodeChosen;

    // Shows the nodes still pending first.
    QTreeWidgetItem* itemOf(const ftpTreeViewObject& node);
    static const ftpTreeViewObject* nodeOf(const QTreeWidgetItem* item);

    void clearNodes();
    // Its parent has been announced before (null for the root).
    void addNode(const ftpTreeViewObject& node);
    void selectNode(const ftpTreeViewObject& node);
    // Puts every item below `root` in the order of the session's tree.
    void sortBelow(const ftpTreeViewObject& root);
    void expandNodes();
    // The nodes with everything below them (none of them below another).
    void removeNodes(std::span<const ftpTreeViewObject* const> nodes);
    // Shows the nodes announced since the tree was last used.
    void createPendingItems();

    // The item shown as the target of a drag over the tree (null: none).
    QTreeWidgetItem* dropHighlighted() const { return dropHighlight_; }
    void highlightDropTarget(QTreeWidgetItem* item);

private:
    void forgetItems(QTreeWidgetItem* item);
    void removeChildren(QTreeWidgetItem& parent, const std::unordered_set<QTreeWidgetItem*>& going);
    void orderChildren(QTreeWidgetItem* item, const ftpTreeViewObject& node);

    // Nodes announced but not yet shown, in announcement order (parents
    // first); items are made when the tree is next used.
    std::vector<const ftpTreeViewObject*> pendingNodes_;
    std::unordered_map<const ftpTreeViewObject*, QTreeWidgetItem*> items_;
    bool programmaticChange_ = false;
    QTreeWidgetItem* dropHighlight_ = nullptr;
};
