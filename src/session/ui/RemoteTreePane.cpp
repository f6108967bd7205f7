#include "session/ui/RemoteTreePane.h"

#include "net/VisibleText.h"
#include "session/RemoteTree.h"

#include <QStyle>

#include <algorithm>

namespace
{
// Subfolders removed from one folder one by one; more go all at once.
constexpr std::size_t fewRemovedChildren = 16;
} // namespace

RemoteTreePane::RemoteTreePane(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("TreeView"));
    setAccessibleName(QStringLiteral("Remote Site Tree"));
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    viewport()->setAcceptDrops(true);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!programmaticChange_ && item && nodeChosen)
            nodeChosen(nodeOf(item));
    });
}

QTreeWidgetItem* RemoteTreePane::itemOf(const ftpTreeViewObject& node)
{
    createPendingItems();
    const auto found = items_.find(&node);
    return found == items_.end() ? nullptr : found->second;
}

const ftpTreeViewObject* RemoteTreePane::nodeOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<const ftpTreeViewObject*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

void RemoteTreePane::clearNodes()
{
    dropHighlight_ = nullptr;
    programmaticChange_ = true;
    pendingNodes_.clear();
    clear();
    items_.clear();
    programmaticChange_ = false;
}

void RemoteTreePane::addNode(const ftpTreeViewObject& node)
{
    // Items are made in bulk when the tree is next used: a folder with
    // thousands of subfolders would otherwise lay the tree out again for
    // each one while its listing arrives.
    pendingNodes_.push_back(&node);
}

void RemoteTreePane::createPendingItems()
{
    if (pendingNodes_.empty())
        return;
    const std::vector<const ftpTreeViewObject*> nodes = std::move(pendingNodes_);
    pendingNodes_.clear();
    std::unordered_map<QTreeWidgetItem*, QList<QTreeWidgetItem*>> childrenByParent;
    std::vector<QTreeWidgetItem*> parentsInOrder;
    // Looked up once: the style finds an icon in the theme anew on every call.
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon serverIcon = style()->standardIcon(QStyle::SP_DriveNetIcon);
    for (const ftpTreeViewObject* node : nodes) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, decodeRemoteText(node->name));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
        item->setIcon(0, node->parent ? folderIcon : serverIcon);
        const auto known = node->parent ? items_.find(node->parent) : items_.end();
        QTreeWidgetItem* parent = known == items_.end() ? nullptr : known->second;
        items_[node] = item;
        if (!parent) {
            addTopLevelItem(item);
            continue;
        }
        auto [slot, added] = childrenByParent.try_emplace(parent);
        if (added)
            parentsInOrder.push_back(parent);
        slot->second << item;
    }
    // A parent made in this batch is attached before its children are.
    for (QTreeWidgetItem* parent : parentsInOrder)
        parent->addChildren(childrenByParent[parent]);
}

void RemoteTreePane::selectNode(const ftpTreeViewObject& node)
{
    QTreeWidgetItem* item = itemOf(node);
    if (!item)
        return;
    programmaticChange_ = true;
    setCurrentItem(item);
    scrollToItem(item);
    programmaticChange_ = false;
}

void RemoteTreePane::orderChildren(QTreeWidgetItem* item, const ftpTreeViewObject& node)
{
    if (!item || node.children.empty())
        return;
    // Taken out and put back in one go each: thousands of subfolders would
    // otherwise lay the tree out again for every one of them.
    const QList<QTreeWidgetItem*> taken = item->takeChildren();
    QList<QTreeWidgetItem*> ordered;
    ordered.reserve(taken.size());
    std::unordered_set<QTreeWidgetItem*> placed;
    for (const auto& child : node.children) {
        if (QTreeWidgetItem* childItem = itemOf(*child); childItem && placed.insert(childItem).second)
            ordered << childItem;
    }
    // Items the session does not know (none in practice) stay at the end.
    for (QTreeWidgetItem* left : taken) {
        if (!placed.contains(left))
            ordered << left;
    }
    item->addChildren(ordered);
    for (const auto& child : node.children)
        orderChildren(itemOf(*child), *child);
}

void RemoteTreePane::sortBelow(const ftpTreeViewObject& root)
{
    programmaticChange_ = true;
    QTreeWidgetItem* current = currentItem();
    orderChildren(itemOf(root), root);
    if (current)
        setCurrentItem(current);
    programmaticChange_ = false;
}

void RemoteTreePane::expandNodes()
{
    createPendingItems();
    expandAll();
}

void RemoteTreePane::forgetItems(QTreeWidgetItem* item)
{
    if (item == dropHighlight_)
        dropHighlight_ = nullptr;
    items_.erase(nodeOf(item));
    for (int at = 0; at < item->childCount(); ++at)
        forgetItems(item->child(at));
}

void RemoteTreePane::removeNodes(std::span<const ftpTreeViewObject* const> nodes)
{
    std::unordered_map<QTreeWidgetItem*, std::unordered_set<QTreeWidgetItem*>> goingByParent;
    std::vector<QTreeWidgetItem*> parentsInOrder;
    std::vector<QTreeWidgetItem*> topLevel;
    for (const ftpTreeViewObject* node : nodes) {
        QTreeWidgetItem* item = itemOf(*node);
        if (!item)
            continue;
        QTreeWidgetItem* parent = item->parent();
        if (!parent) {
            topLevel.push_back(item);
            continue;
        }
        auto [slot, added] = goingByParent.try_emplace(parent);
        if (added)
            parentsInOrder.push_back(parent);
        slot->second.insert(item);
    }
    programmaticChange_ = true;
    for (QTreeWidgetItem* parent : parentsInOrder)
        removeChildren(*parent, goingByParent[parent]);
    for (QTreeWidgetItem* item : topLevel) {
        forgetItems(item);
        delete item;
    }
    programmaticChange_ = false;
}

void RemoteTreePane::removeChildren(
    QTreeWidgetItem& parent, const std::unordered_set<QTreeWidgetItem*>& going)
{
    const auto forget = [this](QTreeWidgetItem* item) {
        forgetItems(item);
        delete item;
    };
    if (going.size() <= fewRemovedChildren) {
        std::for_each(going.begin(), going.end(), forget);
        return;
    }
    // The view handles every removed row on its own, in time that grows
    // with the rows it shows: 10,000 subfolders took 12 s one by one. They
    // go all at once and the others are put back, as the tree's ordering
    // does; the current item stays unless it went with them.
    QTreeWidgetItem* current = currentItem();
    bool currentGoes = false;
    for (QTreeWidgetItem* above = current; above && !currentGoes; above = above->parent())
        currentGoes = going.contains(above);
    QList<QTreeWidgetItem*> kept;
    for (QTreeWidgetItem* child : parent.takeChildren()) {
        if (going.contains(child))
            forget(child);
        else
            kept << child;
    }
    parent.addChildren(kept);
    if (current && !currentGoes)
        setCurrentItem(current);
}

// The node a drop would go to looks selected, as in a desktop's file
// manager; the tree's own current item stays the folder that is listed.
void RemoteTreePane::highlightDropTarget(QTreeWidgetItem* item)
{
    if (item == dropHighlight_)
        return;
    if (dropHighlight_) {
        dropHighlight_->setData(0, Qt::BackgroundRole, QVariant());
        dropHighlight_->setData(0, Qt::ForegroundRole, QVariant());
    }
    dropHighlight_ = item;
    if (item) {
        item->setBackground(0, palette().highlight());
        item->setForeground(0, palette().highlightedText());
    }
}
